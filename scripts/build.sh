#!/usr/bin/env bash
# Builds in a configured CMake build directory and stays quiet but for one line per target as
# its compiling starts and one as it is built, so a long build is seen to move; the compiler's
# output goes to DIR/build.log and is shown whole only when the build fails.
# Usage: scripts/build.sh DIR JOBS [TARGET...]   (no target: everything the directory builds)
set -uo pipefail

dir=$1
jobs=$2
shift 2
targets=()
[ $# -gt 0 ] && targets=(--target "$@")
log=$dir/build.log

# Reads CMake's Makefile output ("[ 12%] Building CXX object trace/CMakeFiles/T.dir/x.cpp.o",
# "[ 15%] Built target T"). Nothing is printed until the first sign of work, so a build with
# nothing to do stays silent.
steps() {
  local line target working=false
  local -A started=()
  while IFS= read -r line; do
    case $line in
      *"] Building "*" object "*CMakeFiles/*.dir/*)
        working=true
        target=${line#*CMakeFiles/}
        target=${target%%.dir/*}
        if [ -z "${started[$target]:-}" ]; then
          started[$target]=1
          echo "${line%%]*}] building $target"
        fi
        ;;
      *"] Built target "*)
        $working && echo "${line%%]*}] built ${line##*Built target }"
        ;;
      "["*"] "*) working=true ;;
    esac
  done
}

cmake --build "$dir" -j "$jobs" "${targets[@]}" 2>&1 | tee "$log" | steps
if [ "${PIPESTATUS[0]}" -ne 0 ]; then
  cat "$log"
  echo "make: the build failed; its output is in $log" >&2
  exit 1
fi
