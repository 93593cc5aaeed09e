#!/usr/bin/env python3
"""Failing threading primitives and hostile input. Usage: fault_test.py BINARY INTERPOSER"""
import os
import random
import sys
import unittest

import e2e_test
import transcript
from e2e_test import add

INJECT = sys.argv.pop(1)  # importing e2e_test took the binary's path before it


def start(answers, fail=None):
    """Runs the program on `answers`, failing the call that `fail` names (see faults/inject.c)."""
    env = dict(os.environ, LD_PRELOAD=INJECT, BARBERSHOP_FAIL=fail) if fail else None
    return e2e_test.start(answers, seconds=60, env=env)


@unittest.skipIf(os.environ.get("BARBERSHOP_SANITIZED"), "the sanitizers intercept these calls")
class Inject(unittest.TestCase):
    def test_fatal_failures_print_their_line_and_end_with_1(self):
        # Objects are counted in set-up order: the queue lock, wake-up lock, bed, start-up
        # semaphore, finished-list lock, go-away lock, console lock, then the customers'.
        ab = add("A", 100, 1000) + add("B", 400, 0) + "6\n"  # the console waits in the run
        cases = [  # the call to fail with its error, the answers, the report, stdout's end
            ("pthread_create:1:11", "", "error: pthread_create, rc: {}", ""),  # the barber's
            ("pthread_create:2:1", "", "error: pthread_create, rc: {}", ""),  # the console's
            ("pthread_create:4:22", ab, "error: pthread_create, rc: {}", ""),  # B's
            *[(f"pthread_mutex_init:{n}:{error}", "", "mutex initilization", "")
              for n, error in [(1, 11), (2, 12), (3, 1), (4, 16)]],
            ("sem_init:1:22", "", "semaphore initilization", ""),
            ("sem_init:2:38", "", "semaphore initilization", ""),
            ("sem_init:3:28", "", "semaphore initialization", ""),
            ("sem_init:4:12", ab, "semaphore initilization", ""),  # A's
            ("sem_wait@3:1:22", ab, "semaphore waiting", ""),  # the barber's, on his bed
            ("sem_wait@8:1:75", ab, "semaphore waiting", ""),  # A's, while it is cut
            ("pthread_mutex_lock@1:1:22", ab, "mutex waiting", ""),  # the barber's
            ("pthread_mutex_lock@2:1:35", ab, "mutex waiting", "A: try to wake up barber>>\n"),
            # B's third look at the queue, after A's state block and its own first two.
            ("pthread_mutex_lock@1:5:11", ab, "mutex waiting",
             "sit down>>\nCurr: {A}\nWait Queue: \n" + transcript.RULE),
        ]
        for call, answers, label, end in cases:
            with self.subTest(call=call):
                error = int(call.rsplit(":", 1)[1])
                report = label.format(error) if "{" in label else f"{label}: {os.strerror(error)}"
                status, out, err = start(answers, call)
                self.assertEqual((status, err), (1, f"inject: {call}\n{report}\n"))
                self.assertTrue(out.endswith(end), out[-300:])

    def test_ignored_failures_change_nothing(self):
        cases = ["pthread_join:3:3",  # the run's of B; main's of the barber came first
                 "pthread_mutex_unlock@2:2:1",  # A's, of the wake-up lock, after B's
                 "sem_post@3:1:75+",  # B's post of the bed: made, then failed
                 "sem_wait@7:1:4"]  # the barber's first for the console lock
        for call in cases:
            with self.subTest(call=call):
                # B is cut and gone when A comes.
                status, out, err = start(add("A", 300, 0) + add("B", 0, 0) + "6\n7\n", call)
                self.assertEqual((status, err), (0, f"inject: {call}\n"))
                self.assertEqual(transcript.check_session(e2e_test.settled(out), [["A", "B"]]), [],
                                 out)
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
                self.assertEqual(start(answers)[0::2], (0, ""))


if __name__ == "__main__":
    unittest.main()
