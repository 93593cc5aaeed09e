#!/usr/bin/env bash
# Makes sure the tools the build needs are on this machine: installs the missing Debian
# packages when run as root, and otherwise says which ones to install.
# Usage: scripts/deps.sh [--run | --trace] [PACKAGE...]
#   --run      only what building and starting the program needs: g++, CMake and make
#   --trace    that, and what barbershop-trace and the variants need (`make trace`): no GoogleTest
#   (neither)  all of that, and what the tests need: GoogleTest and python3
#   PACKAGE    further Debian packages a caller needs (a CI pass, the package build)
set -euo pipefail

mode=all
case "${1:-}" in
  --run) mode=run && shift ;;
  --trace) mode=trace && shift ;;
esac

missing=()
command -v cmake >/dev/null 2>&1 || missing+=(cmake)
command -v g++ >/dev/null 2>&1 || missing+=(g++)
command -v make >/dev/null 2>&1 || missing+=(make)
if [ $mode != run ]; then
  # barbershop-trace: its command line, its JSON and its roster files.
  [ -f /usr/share/cmake/CLI11/CLI11Config.cmake ] || missing+=(libcli11-dev)
  [ -d /usr/include/nlohmann ] || missing+=(nlohmann-json3-dev)
  [ -f /usr/include/csv.h ] || missing+=(libcsv-dev)
  # --live: its HTTP server, found through pkg-config.
  [ -f /usr/include/httplib.h ] || missing+=(libcpp-httplib-dev)
  command -v pkg-config >/dev/null 2>&1 || missing+=(pkg-config)
  # The variants: each applies its change to a copy of the sources.
  command -v patch >/dev/null 2>&1 || missing+=(patch)
fi
if [ $mode = all ]; then
  [ -f /usr/include/gtest/gtest.h ] || missing+=(libgtest-dev)
  command -v python3 >/dev/null 2>&1 || missing+=(python3)
fi
for extra in "$@"; do
  dpkg -s "$extra" >/dev/null 2>&1 || missing+=("$extra")
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -eq 0 ] && command -v apt-get >/dev/null 2>&1; then
  echo "Installing missing packages: ${missing[*]}" >&2
  apt-get update -qq >&2
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}" >&2
else
  echo "barbershop needs these Debian packages, which are missing: ${missing[*]}" >&2
  echo "Install them with: sudo apt-get install ${missing[*]}" >&2
  exit 1
fi
