#!/usr/bin/env bash
# Model-checks the shop's protocol (barbershop.pml) with SPIN: the protocol as the program
# implements it must pass every check, and each variant (variants/*.patch, and the model's own
# marks-late) must be rejected with a counterexample, which is replayed as a few lines of
# narration. A variant whose fault leaves customers waiting for ever (the run the companion calls
# stuck) is also rejected by the liveness check.
#
# Usage: model/check.sh [--deep]     Needs spin and a C compiler; exits 1 on any other verdict.
#   --deep  also the checks that take minutes and gigabytes (see model/README.md)
set -euo pipefail

model="$(cd "$(dirname "$0")" && pwd)/barbershop.pml"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

# name | expected verdict | safety or liveness | hash table size (log2) | spin -D options.
# The longest first, so that it runs beside all the others.
checks=(
  "4 customers, 2 chairs|pass|safety|26|-DN=4 -DCAP=2"
  "3 customers, 6 chairs|pass|safety|23|-DN=3 -DCAP=6"
  "3 customers, 6 chairs|pass|liveness|23|-DN=3 -DCAP=6"
  "3 customers, 1 chair|pass|safety|23|-DN=3 -DCAP=1"
  "3 customers, 1 chair|pass|liveness|23|-DN=3 -DCAP=1"
  "3 customers, 1 chair, 2 runs|pass|safety|23|-DN=3 -DCAP=1 -DRUNS=2"
  "3 customers, 1 chair, 2 runs|pass|liveness|23|-DN=3 -DCAP=1 -DRUNS=2"
  "variant lost-wakeup|reject|safety|20|-DN=3 -DCAP=6 -DVARIANT_LOST_WAKEUP"
  "variant lost-wakeup|reject|liveness|20|-DN=3 -DCAP=6 -DVARIANT_LOST_WAKEUP"
  "variant marks-late (the model's own)|reject|safety|20|-DN=3 -DCAP=6 -DVARIANT_MARKS_LATE"
  "variant check-then-act|reject|safety|20|-DN=3 -DCAP=1 -DVARIANT_CHECK_THEN_ACT"
  "variant early-release|reject|safety|20|-DN=3 -DCAP=6 -DVARIANT_EARLY_RELEASE"
  "variant double-wake|reject|safety|20|-DN=3 -DCAP=6 -DVARIANT_DOUBLE_WAKE"
  "variant double-wake|reject|liveness|20|-DN=3 -DCAP=6 -DVARIANT_DOUBLE_WAKE"
  "variant late-clear|reject|safety|20|-DN=3 -DCAP=6 -DVARIANT_LATE_CLEAR"
  "variant late-clear|reject|liveness|20|-DN=3 -DCAP=6 -DVARIANT_LATE_CLEAR"
)
if [ "${1:-}" = --deep ]; then
  checks+=(
    "4 customers, 2 chairs|pass|liveness|27|-DN=4 -DCAP=2"
    "4 customers, 6 chairs|pass|safety|26|-DN=4 -DCAP=6"
  )
fi

# Every variant of the program is checked here, or is one the model cannot express:
# unlocked-print changes only how the narration is written, and the model leaves narration out.
unmodelled=" unlocked-print "
checked="$(printf '%s\n' "${checks[@]}" | cut -d'|' -f1)"
for patch in "$(dirname "$model")"/../variants/*.patch; do
  [ -e "$patch" ] || continue
  name="$(basename "$patch" .patch)"
  [[ $unmodelled == *" $name "* ]] && continue
  if ! grep -qx "variant $name" <<<"$checked"; then
    echo "FAIL variant $name: variants/$name.patch has no check in model/check.sh" >&2
    exit 1
  fi
done

# Runs check number $1 in its own folder; leaves its verdict line in result and, for a
# rejection, the replayed counterexample in story.
verify() {
  local name expect mode hash defines dir
  IFS='|' read -r name expect mode hash defines <<<"${checks[$1]}"
  dir="$work/$1"
  mkdir "$dir"
  cd "$dir"
  cp "$model" .
  # shellcheck disable=SC2086
  if ! spin $defines -a barbershop.pml >spin.log 2>&1; then
    echo "FAIL $name: spin: $(tail -1 spin.log)" >result
    return
  fi
  local flags=(-O2 -w -DMEMLIM=12000) run=(-m200000 "-w$hash")
  if [ "$mode" = safety ]; then
    # Assertions and end states; a rejection's trail is shortened to the least depth.
    flags+=(-DNOCLAIM -DSAFETY)
    if [ "$expect" = reject ]; then
      flags+=(-DREACH)
      run+=(-i)
    fi
  else
    # Only the claim, under weak fairness: assertions are the safety check's business.
    flags+=(-DNFAIR=3)
    run+=(-a -f -A -N allLeave)
  fi
  if ! cc "${flags[@]}" -o pan pan.c 2>cc.log; then
    echo "FAIL $name: cc: $(tail -1 cc.log)" >result
    return
  fi
  ./pan "${run[@]}" >pan.log 2>&1 || true
  local errors states found
  errors="$(sed -n 's/.*errors: \([0-9]*\).*/\1/p' pan.log | tail -1)"
  states="$(sed -n 's/^ *\([0-9.e+]*\) states, stored.*/\1/p' pan.log | tail -1)"
  found="$(grep -m1 -E '^pan:1: ' pan.log | sed 's/^pan:1: //; s/ (at depth.*//' || true)"
  if grep -qE 'depth too small|out of memory|MEMLIM|too many processes|NFAIR' pan.log ||
    [ -z "$errors" ]; then
    echo "FAIL $name, $mode: incomplete search: $(grep -m1 -iE 'error|warning' pan.log)" >result
  elif [ "$expect" = pass ] && [ "$errors" = 0 ]; then
    echo "ok   $name, $mode: holds over $states states" >result
  elif [ "$expect" = reject ] && [ "$errors" != 0 ]; then
    echo "ok   $name, $mode: rejected ($found)" >result
    # shellcheck disable=SC2086
    spin $defines -t barbershop.pml 2>&1 | sed -n 's/^ *\(barber: \|customer \)/    \1/p' >story
  else
    echo "FAIL $name, $mode: expected $expect; found ${found:-nothing} over $states states" >result
  fi
}

jobs="$(nproc 2>/dev/null || echo 2)"
for i in "${!checks[@]}"; do
  while [ "$(jobs -rp | wc -l)" -ge "$jobs" ]; do wait -n || true; done
  (verify "$i") &
done
wait

status=0
for i in "${!checks[@]}"; do
  cat "$work/$i/result" 2>/dev/null || echo "FAIL ${checks[$i]%%|*}: no verdict"
  grep -q '^ok' "$work/$i/result" 2>/dev/null || status=1
  if [ -s "$work/$i/story" ]; then cat "$work/$i/story"; fi
done
[ "$status" = 0 ] && echo "model: every verdict as expected" || echo "model: unexpected verdicts"
exit "$status"
