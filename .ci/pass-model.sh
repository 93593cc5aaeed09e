#!/usr/bin/env bash
# Model checking: SPIN over the shop's protocol (model/check.sh). The protocol as the program
# implements it must pass every check, and the broken variants (the lost wake-up window left
# open, the chair slot cleared late) must each be rejected with a counterexample.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/deps.sh spin gcc
bash model/check.sh
