#!/usr/bin/env bash
# Model checking: SPIN over the shop's protocol (model/check.sh). The protocol as the program
# implements it must pass every check, and each of the shop's variants that the model can express
# (variants/*.patch by the same names) must be rejected with a counterexample.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/deps.sh spin gcc
bash model/check.sh
