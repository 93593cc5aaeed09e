#!/usr/bin/env python3
"""The shop's broken variants caught and explained: each variant's scenario, run through
barbershop-trace a few times, must break the rule its fault breaks (or get stuck) in at least one
run, with every run accounted for; the correct program on the same scenarios must keep every rule.

Usage: break_test.py BUILD_DIR [unittest arguments]. Skipped under a sanitizer, which would catch
the variants' races itself."""
import json
import os
import subprocess
import sys
import tempfile
import unittest

BUILD = sys.argv.pop(1) if len(sys.argv) > 1 else "build"
TRACE = os.path.join(BUILD, "barbershop-trace")
SANITIZED = bool(os.environ.get("BARBERSHOP_SANITIZED"))

# What each variant must show on its own scenario, and in how many runs: each fault showed in 9 of
# 10 runs or more of 200 (docs/benchmarks.md), so five runs miss it less than once in 10,000.
CASES = [
    ("lost-wakeup", "close-call", "stuck", 5),
    ("check-then-act", "last-chair", "queue-capacity", 5),
    ("early-release", "lone", "released-after-finish", 3),
    ("double-wake", "wake-up-race", "stuck", 5),
    ("unlocked-print", "zero-cuts", "no-torn-line", 5),
    ("late-clear", "trickle", "stuck", 5),
]


def traced(*options, timeout=300):
    with tempfile.TemporaryDirectory() as scratch:
        export = os.path.join(scratch, "runs.json")
        done = subprocess.run([TRACE, "--quiet", "--width", "100", "--export-json", export,
                               *options], capture_output=True, timeout=timeout)
        with open(export) as f:
            return done.returncode, done.stdout.decode("utf-8", "replace"), json.load(f)["runs"]


def rules_of(run):
    found = {finding["rule"] for finding in run["verdict"]["broken"]}
    return found | ({"stuck"} if run["verdict"]["stuck"] else set())


@unittest.skipIf(SANITIZED, "a sanitizer catches the variants' races before the verdict does")
class Break(unittest.TestCase):
    def test_each_variant_is_caught_and_the_correct_shop_is_not(self):
        for variant, scenario, rule, runs in CASES:
            with self.subTest(variant=variant):
                status, out, exported = traced("--variant", variant, "--runs", str(runs))
                self.assertEqual([r["number"] for r in exported], list(range(1, runs + 1)), out)
                self.assertTrue(all(r["roster"] for r in exported))
                caught = [r["number"] for r in exported if rule in rules_of(r)]
                self.assertEqual(status, 1, out[-2000:])
                self.assertTrue(caught, f"{rule} never named in {runs} runs:\n{out[-2000:]}")
                named = f"stuck in {len(caught)} of {runs} runs" if rule == "stuck" else \
                    f"{rule} broke in {len(caught)} of {runs} runs"
                self.assertIn(named, out)
                # The change is shown once in a session, however many of its runs fail.
                self.assertEqual(out.count("the shop with this change to its protocol"), 1)
            with self.subTest(correct=scenario):
                status, out, exported = traced("--scenario", scenario, "--runs", "3")
                self.assertEqual((status, [rules_of(r) for r in exported]), (0, [set()] * 3),
                                 out[-2000:])


if __name__ == "__main__":
    unittest.main()
