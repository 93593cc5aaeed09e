#!/usr/bin/env python3
"""The protocol over many drawn rosters and a soak, every run judged by barbershop-trace's check.
Usage: protocol_test.py BINARY [unittest arguments]. PROTOCOL_SEED=N replays a draw."""
import json
import os
import random
import tempfile
import subprocess
import threading
import time
import unittest

from e2e_test import BINARY, TRACE, add, roster_file, traced

SANITIZED = bool(os.environ.get("BARBERSHOP_SANITIZED"))
# Namesakes, the empty ID and IDs holding the state block's brackets are drawn too: the companion
# must tell customers apart the way the program's own order allows.
IDS = ["A", "A", "b7", "%s", "c-d", "x_%d", "", "q", "a][b", "a", "b", "t%", "u", "v" * 34]


class Protocol(unittest.TestCase):
    def test_drawn_rosters(self):
        # Fifty runs a session. Random: up to ten customers within 30 ms and cuts of up to 20 ms,
        # so the larger runs often find the six chairs taken. Tight: equal delays and no cutting
        # time, so arrivals meet the barber on his way to bed.
        seed = int(os.environ.get("PROTOCOL_SEED", time.time_ns()))
        draw = random.Random(seed)
        kinds = [lambda: [(draw.choice(IDS), draw.randint(0, 30), draw.randint(0, 20))
                          for _ in range(draw.randint(1, 10))]] * 4 + [
                 lambda: [(f"t{i % 4}", delay, 0) for delay in [draw.randint(0, 3)]
                          for i in range(draw.randint(1, 10))]] * 2
        with self.subTest(PROTOCOL_SEED=seed):  # shown with any failure, a hang included
            for roster in kinds:
                rosters = [roster() for _ in range(50)]
                answers = "".join("".join(add(*c) for c in r) + "6\n" for r in rosters) + "7\n"
                status, out, err, runs = traced(answers, "--quiet", seconds=120)
                broken = [r for r in runs if not r["verdict"]["holds"]]
                # On a failure, the whole verdict of every broken run and the roster it had.
                self.assertEqual((status, err, len(broken)), (0, "", 0),
                                 json.dumps([{"number": r["number"], "roster": r["roster"],
                                              "verdict": r["verdict"]} for r in broken],
                                            indent=1, ensure_ascii=False))
                self.assertEqual([[c["id"] for c in r["roster"]] for r in runs],
                                 [[c[0] for c in r] for r in rosters])


class Namesakes(unittest.TestCase):
    def test_sharing_an_id_never_breaks_a_rule(self):
        # Customers who share an ID print the same lines, and at zero or tiny times their lines
        # interleave every way the program allows: the correct shop must hold in every run, which
        # a reading of the lines that drops the honest sharing fails within a few hundred runs.
        rosters = {
            "seven empty IDs, no time at all": [("", 0, 0)] * 7,
            "ten called a, cuts 0-2 ms": [("a", 0, cut % 3) for cut in range(10)],
            "two names mixed, 0-2 ms": [("ab"[i % 2], i % 3, (i * 7) % 3) for i in range(10)],
            "a full house of one name": [("x", 0, 5)] * 10,
        }
        runs = 50 if SANITIZED else 500
        for name, customers in rosters.items():
            with self.subTest(name), tempfile.TemporaryDirectory() as scratch:
                status, _, err, done = traced("", "--quiet", "--roster",
                                              roster_file(scratch, customers), "--runs", str(runs))
                broken = [r["verdict"] for r in done if not r["verdict"]["holds"]]
                self.assertEqual((status, err, len(done), broken[:1]), (0, "", runs, []))


class Soak(unittest.TestCase):
    def test_back_to_back_runs_end_and_memory_holds(self):
        # A sanitizer's allocator holds freed memory back on purpose: fewer runs, no memory check.
        runs, ids = 100 if SANITIZED else 1000, [f"s{i}" for i in range(10)]
        ended, resident = 0, {}
        batch = ("".join(add(c, 0, 0) for c in ids) + "6\n").encode()
        with subprocess.Popen([TRACE, "--program", BINARY, "--width", "80"], stdin=subprocess.PIPE,
                              stdout=subprocess.PIPE, stderr=subprocess.PIPE) as soak:
            timer = threading.Timer(180, soak.kill)  # a run that never ends fails, not hangs
            timer.start()
            for run in range(1, runs + 1):
                os.write(soak.stdin.fileno(), batch)
                while ended < run:
                    line = soak.stdout.readline()
                    self.assertTrue(line, f"run {run} did not end")
                    ended += line == b"Finished all customers.\n"
                if run in (10, runs):
                    resident[run] = resident_kib(soak.pid)
            _, errors = soak.communicate(b"7\n", timeout=30)
            timer.cancel()
        # The companion's status is 0 only if every run's verdict held.
        self.assertEqual((soak.returncode, errors), (0, b""))
        # The first runs reach a steady state; later growth is a page or none. 64 KiB leaves
        # room for the allocator and still catches a leak of 70 bytes a run.
        if not SANITIZED:
            self.assertLessEqual(resident[runs] - resident[10], 64, f"VmRSS in kB: {resident}")


def resident_kib(companion):
    """The resident set of the program, the companion's child."""
    with open(f"/proc/{companion}/task/{companion}/children") as children:
        program = children.read().split()[0]
    with open(f"/proc/{program}/status") as status:
        return int(status.read().split("VmRSS:")[1].split()[0])


if __name__ == "__main__":
    unittest.main()
