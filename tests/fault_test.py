#!/usr/bin/env python3
"""Failing threading primitives and hostile input. Usage: fault_test.py BINARY INTERPOSER"""
import os
import random
import subprocess
import sys
import unittest

import e2e_test
from e2e_test import add

INJECT = sys.argv.pop(1)  # importing e2e_test took the binary's path before it


def offsets():
    """The program's functions and objects by name, at their offsets as `nm` shows them."""
    listing = subprocess.run(["nm", "-C", "--defined-only", e2e_test.BINARY], check=True,
                             capture_output=True, text=True).stdout.splitlines()
    return {name.split("(")[0]: int(address, 16)
            for address, _, name in (line.split(" ", 2) for line in listing)}


def start(answers, fail=None):
    """Runs the program on `answers`, failing the call that `fail` names: NAME[@OBJECT]:COUNT:
    ERROR, OBJECT the name of a shop global or thread body, or "customer" (see faults/inject.c).
    Returns the status, standard output and standard error, and the target as announced."""
    target = fail
    if fail and "@" in fail:
        name, rest = fail.split("@")
        thing, count, error = rest.rsplit(":", 2)
        if thing != "customer":
            thing = hex(offsets()[thing])
        target = f"{name}@{thing}:{count}:{error}"
    env = dict(os.environ, LD_PRELOAD=INJECT, BARBERSHOP_FAIL=target) if fail else None
    return (*e2e_test.start(answers, seconds=60, env=env), target)


@unittest.skipIf(os.environ.get("BARBERSHOP_SANITIZED"), "the sanitizers intercept these calls")
class Inject(unittest.TestCase):
    def test_fatal_failures_print_their_line_and_end_with_1(self):
        ab = add("A", 100, 1000) + add("B", 400, 0) + "6\n"  # the console waits in the run
        cases = [  # the call to fail with its error, the answers, the report, stdout's end
            ("pthread_create@Barber::Run:1:11", "", "error: pthread_create, rc: {}", ""),
            ("pthread_create@menu:1:1", "", "error: pthread_create, rc: {}", ""),
            ("pthread_create@RunCustomer:2:22", ab, "error: pthread_create, rc: {}", ""),  # B's
            *[(f"pthread_mutex_init@{lock}:1:{error}", "", "mutex initilization", "")
              for lock, error in [("WaitQueue::fgLock", 11), ("Barber::fgHWakeUpTurn", 12),
                                  ("Barber::fgFinishedLock", 1), ("gGoAwayLock", 16)]],
            ("sem_init@Barber::fgHBed:1:22", "", "semaphore initilization", ""),
            ("sem_init@Barber::fgHReady:1:38", "", "semaphore initilization", ""),
            ("sem_init@gHCout:1:28", "", "semaphore initialization", ""),
            ("sem_init@customer:1:12", ab, "semaphore initilization", ""),  # A's
            ("sem_wait@Barber::fgHBed:1:22", ab, "semaphore waiting", ""),
            ("sem_wait@customer:1:75", ab, "semaphore waiting", ""),  # A's, while it is cut
            ("pthread_mutex_lock@WaitQueue::fgLock:1:22", ab, "mutex waiting", ""),  # the barber's
            ("pthread_mutex_lock@Barber::fgHWakeUpTurn:1:35", ab, "mutex waiting",
             "A: try to wake up barber>>\n"),
            # B's look under the queue lock, after the barber's, A's state block and B's own
            # first look and state block.
            ("pthread_mutex_lock@WaitQueue::fgLock:5:11", ab, "mutex waiting",
             "sit down>>\nCurr: {A}\nWait Queue: \n" + "-" * 24 + "\n"),
        ]
        for call, answers, label, end in cases:
            with self.subTest(call=call):
                error = int(call.rsplit(":", 1)[1])
                report = label.format(error) if "{" in label else f"{label}: {os.strerror(error)}"
                status, out, err, target = start(answers, call)
                self.assertEqual((status, err), (1, f"inject: {target}\n{report}\n"))
                self.assertTrue(out.endswith(end), out[-300:])

    def test_ignored_failures_change_nothing(self):
        cases = ["pthread_join@RunCustomer:2:3",  # the run's of B
                 "pthread_mutex_unlock@Barber::fgHWakeUpTurn:2:1",  # A's, after B's
                 "sem_post@Barber::fgHBed:1:75+",  # B's post of the bed: made, then failed
                 "sem_wait@gHCout:1:4"]  # the barber's first for the console lock
        for call in cases:
            with self.subTest(call=call):
                # B is cut and gone when A comes.
                status, out, err, target = start(add("A", 300, 0) + add("B", 0, 0) + "6\n7\n",
                                                 call)
                self.assertEqual((status, err), (0, f"inject: {target}\n"))
                # Each wakes the barber and is cut, the run ends and the menu comes back.
                for cid in "AB":
                    for line in ["woken up barber successfully", "go away after being cut"]:
                        self.assertEqual(out.count(f"<<Customer {cid}: {line}>>"), 1, out)
                self.assertEqual(out.count("\nFinished all customers.\n"), 1, out)
                self.assertTrue(out.endswith(e2e_test.MENU), out[-300:])


@unittest.skipIf(os.environ.get("BARBERSHOP_SANITIZED") == "thread", "one thread; slow exits")
class Input(unittest.TestCase):
    def test_random_bytes_and_cut_dialogues_end_cleanly(self):
        # A run waits out its customers' delays: random bytes never choose it.
        rng, pool = random.Random(4), bytes(range(256)).replace(b"6", b"") + b"0123457\n-" * 20
        streams = [bytes(rng.choices(pool, k=rng.randrange(400))).decode("latin-1")
                   for _ in range(150)]
        dialogue = add("Ann", 0, 20) + "1\nBob\nx\n10\n0\n2\n1\n5\n6\n4\n2\n-1\n3\n7\n"
        for answers in streams + [dialogue[:cut] for cut in range(len(dialogue))]:
            with self.subTest(answers=answers):
                self.assertEqual(start(answers)[0:3:2], (0, ""))


if __name__ == "__main__":
    unittest.main()
