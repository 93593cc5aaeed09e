#!/usr/bin/env bash
# Fuzzing under libFuzzer with AddressSanitizer and UndefinedBehaviorSanitizer, a minute per
# target from its seed corpus and dictionary, all four side by side (on two cores each gets about
# half of one, which keeps the whole of CI within its time):
#   menu       the console's whole input                     fuzz/corpus
#   roster     a roster file for barbershop-trace            fuzz/corpus-roster
#   narration  a run's output, parsed, judged and logged     fuzz/corpus-narration
#   log        an event log, read, judged and written again  fuzz/corpus-log
# A crash, a leak, an input that hangs or a broken invariant fails the pass; the input that did
# it is left in build-fuzz/ (TARGET-crash-..., TARGET-timeout-...), the report in
# build-fuzz/TARGET.log.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/deps.sh clang libclang-rt-14-dev
CC=clang CXX=clang++ cmake -S fuzz -B build-fuzz >/dev/null
cmake --build build-fuzz -j 2

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

seeds() { if [ "$1" = menu ]; then echo fuzz/corpus; else echo "fuzz/corpus-$1"; fi; }

# Runs one target for a minute; the inputs it finds new go to a scratch corpus, not the seeds.
fuzz() {
  mkdir "$work/$1"
  build-fuzz/"$1"_fuzzer -max_total_time=60 -timeout=10 -print_final_stats=1 \
    -dict="fuzz/$1.dict" -artifact_prefix="build-fuzz/$1-" "$work/$1" "$(seeds "$1")" \
    >"build-fuzz/$1.log" 2>&1
}

# One line for a clean run; the end of the report for a finding, and status 1.
report() {
  local log="build-fuzz/$1.log"
  if [ "$2" -ne 0 ]; then
    tail -n 60 "$log"
    echo "pass-fuzz: $1 found a fault; the full report is in $log" >&2
    return 1
  fi
  local asked  # the menu target counts the runs its inputs asked for
  asked=$(grep -E '^runs asked for' "$log" || true)
  echo "pass-fuzz: $1: no finding; $(grep -E '^Done ' "$log"),${asked:+ $asked,}" \
    "$(find "$work/$1" -type f | wc -l) new inputs kept"
}

targets=(menu roster narration log)
pids=()
for target in "${targets[@]}"; do
  fuzz "$target" &
  pids+=($!)
done
failed=0
for i in "${!targets[@]}"; do
  if wait "${pids[$i]}"; then status=0; else status=$?; fi
  report "${targets[$i]}" "$status" || failed=1
done
exit "$failed"
