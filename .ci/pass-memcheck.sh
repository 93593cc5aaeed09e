#!/usr/bin/env bash
# Memory: valgrind's memcheck over a scripted session of the normal build: random creation and
# deletions, two runs (one with a customer who goes away), and customers left on the roster at
# Exit. Any error and any definitely or indirectly lost block fails the pass; customers still
# on the roster at Exit are reachable, since the process ends without freeing them.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/deps.sh valgrind
cmake -S . -B build-memcheck -DBARBERSHOP_TESTS=OFF >/dev/null
cmake --build build-memcheck -j "$(nproc)" --target barbershop

# Run 1: A is cut for 1.5 s while B to H arrive 100 ms apart; six of them wait and H goes away.
# Run 2: two short customers, one deleted first. Then ten random ones, one deleted, are left.
session="4\n2\n3\n2\n0\n5\n3\n1\nA\n0\n1500\n"
delay=300
for id in B C D E F G H; do
  session+="1\n$id\n$delay\n10\n"
  delay=$((delay + 100))
done
session+="6\n1\nI\n0\n50\n1\nJ\n20\n50\n1\nK\n30\n0\n2\n1\n6\n4\n2\n9\n5\n7\n"
out=$(mktemp)
trap 'rm -f "$out"' EXIT
status=0
printf '%b' "$session" | timeout 300 valgrind --quiet --error-exitcode=99 --leak-check=full \
  --show-leak-kinds=definite,indirect --errors-for-leak-kinds=definite,indirect \
  build-memcheck/barbershop >"$out" || status=$?
if [ "$status" -ne 0 ]; then
  echo "pass-memcheck: memcheck or the program failed (status $status)" >&2
  exit 1
fi
runs=$(grep -c '^Finished all customers\.$' "$out" || true)
if [ "$runs" -ne 2 ] || ! grep -q 'Customer H: see WaitQueue full, go away' "$out"; then
  echo "pass-memcheck: the session did not go as scripted ($runs runs)" >&2
  tail -n 40 "$out" >&2
  exit 1
fi
echo "pass-memcheck: no errors and no lost blocks over $runs runs, deletions and random creation"
