#!/usr/bin/env python3
"""--explore end to end: each broken variant, on the scenario that shows it, fails within 1000
schedules naming its rule, with a shortest failing schedule and its numbered story; the correct
shop holds under at least 2000 schedules of every scenario and under every schedule within two
switches of the plain order where that space is small; the counts do not depend on the number
of worker processes, and a search split with --seeds adds up with `merge`.

Usage: explore_test.py BUILD_DIR [unittest arguments]. Skipped under a sanitizer, whose runtime
the scheduler library cannot be preloaded ahead of."""
import glob
import json
import os
import subprocess
import sys
import tempfile
import unittest

BUILD = sys.argv.pop(1) if len(sys.argv) > 1 else "build"
SOURCE = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
TRACE = os.path.join(BUILD, "barbershop-trace")
SANITIZED = bool(os.environ.get("BARBERSHOP_SANITIZED"))
SCENARIOS = ["lone", "wake-up-race", "full-house", "trickle", "zero-cuts", "last-chair",
             "close-call"]
# Budgets that fit the guess of the space within two switches (3635 and 13980 guessed; 4277
# and 10909 found).
NEAR_ALL = {"wake-up-race": 4500, "close-call": 14000}


def headers(patch):
    """A variant's header fields: Name, Scenario, Controlled, Rule, ..."""
    fields = {}
    with open(patch) as f:
        for line in f:
            if line.strip() == "---":
                break
            key, _, value = line.partition(":")
            fields[key.strip()] = value.strip()
    return fields


def explored(*options, timeout=300):
    with tempfile.TemporaryDirectory() as scratch:
        export = os.path.join(scratch, "explore.json")
        done = subprocess.run([TRACE, "--color", "never", "--seed", "1", "--export-json", export,
                               *options], capture_output=True, timeout=timeout)
        out = (done.stdout + done.stderr).decode("utf-8", "replace")
        with open(export) as f:
            return done.returncode, out, json.load(f)["explore"]


@unittest.skipIf(SANITIZED, "the scheduler library is not preloaded into a sanitized build")
class Explore(unittest.TestCase):
    def test_each_variant_fails_naming_its_rule_with_a_short_story(self):
        patches = sorted(glob.glob(os.path.join(SOURCE, "variants", "*.patch")))
        self.assertTrue(patches)
        for patch in patches:
            variant = headers(patch)
            with self.subTest(variant=variant["Name"]):
                status, out, found = explored("--variant", variant["Name"], "--explore", "1000")
                self.assertIn(f"scenario {variant['Controlled']}", out + found["roster"])
                self.assertEqual(status, 1, out)
                failure = found["failure"]
                self.assertEqual(failure["rule"], variant["Rule"], out)
                self.assertLess(failure["index"], 1000)
                self.assertIn(f"schedule {failure['index']} (", out)
                tried = failure["index"] + 1  # the ones that held, and the one that broke
                self.assertIn(f" {tried} schedule{'' if tried == 1 else 's'} in ", out)
                shortest = failure["shortest"]
                self.assertIsNotNone(shortest, out)
                self.assertTrue(1 <= len(shortest["story"]) <= 6, out)
                self.assertIn("\u2460 " + shortest["story"][0]["text"], out)

    def test_the_correct_shop_holds_under_every_scenario(self):
        for scenario in SCENARIOS:
            budget = NEAR_ALL.get(scenario, 2000)
            with self.subTest(scenario=scenario):
                status, out, found = explored("--scenario", scenario, "--explore", str(budget),
                                              timeout=600)
                self.assertEqual((status, found["failure"]), (0, None), out)
                self.assertEqual(found["tally"]["total"], budget)
                self.assertIn(f"{budget} schedules held every rule", out)
                if scenario in NEAR_ALL:
                    self.assertTrue(found["tally"]["boundedAll"], out)
                    self.assertIn("within two switches (all of them)", out)

    def test_workers_and_split_searches_count_alike(self):
        base = ("--scenario", "wake-up-race", "--explore", "300")
        _, _, alone = explored(*base, "--jobs", "1")
        _, _, pair = explored(*base, "--jobs", "2")
        self.assertEqual(alone["tally"], pair["tally"])
        _, _, first = explored("--variant", "unlocked-print", "--explore", "300", "--jobs", "1")
        _, _, second = explored("--variant", "unlocked-print", "--explore", "300", "--jobs", "2")
        self.assertEqual((first["failure"]["index"], first["failure"]["plan"], first["tally"]),
                         (second["failure"]["index"], second["failure"]["plan"], second["tally"]))
        with tempfile.TemporaryDirectory() as scratch:
            parts = []
            for seeds in ("0:120", "120:300"):
                part = os.path.join(scratch, seeds.replace(":", "-") + ".json")
                subprocess.run([TRACE, *base, "--seeds", seeds, "--export-json", part],
                               capture_output=True, timeout=300, check=True)
                parts.append(part)
            merged = subprocess.run([TRACE, "merge", *parts], capture_output=True, timeout=60)
        self.assertEqual(merged.returncode, 0, merged.stderr)
        self.assertIn(b"300 schedules held every rule", merged.stdout)


if __name__ == "__main__":
    unittest.main()
