#!/usr/bin/env bash
# Fuzzing: the console's whole input handling under libFuzzer with AddressSanitizer and
# UndefinedBehaviorSanitizer, for about a minute from the seed corpus in fuzz/corpus. A crash,
# a leak, a hang of an input or a broken roster invariant fails the pass; the input that did it
# is left in build-fuzz/.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/deps.sh clang libclang-rt-14-dev
CC=clang CXX=clang++ cmake -S fuzz -B build-fuzz >/dev/null
cmake --build build-fuzz -j "$(nproc)"

corpus=$(mktemp -d)
trap 'rm -rf "$corpus"' EXIT
log=build-fuzz/fuzz.log
if ! build-fuzz/menu_fuzzer -max_total_time=60 -timeout=10 -print_final_stats=1 \
  -dict=fuzz/menu.dict -artifact_prefix=build-fuzz/ "$corpus" fuzz/corpus >"$log" 2>&1; then
  tail -n 60 "$log"
  echo "pass-fuzz: the fuzzer found a fault; the full report is in $log" >&2
  exit 1
fi
echo "pass-fuzz: no finding; $(grep -E '^Done ' "$log"), $(grep -E '^runs asked for' "$log")," \
  "$(find "$corpus" -type f | wc -l) new inputs kept"
