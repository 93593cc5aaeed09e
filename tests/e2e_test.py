#!/usr/bin/env python3
"""The built barbershop program end to end, driven through its standard input.

Usage: e2e_test.py BINARY [unittest arguments]"""
import os
import re
import subprocess
import sys
import unittest

import transcript

BINARY = sys.argv.pop(1) if len(sys.argv) > 1 else "build/barbershop"
INTRO = ("-------------------------------------------------\n"
         "This program simulates the sleeping barber problem.\n"
         "The barber shop has one barber, one barber chair, and ten chairs for waiting customers "
         "to sit on. If there are no customers present, the barber sits down in the barber chair "
         "and fall asleep .When a customer arrive, he has to wake up the sleeping barber. If "
         "additional customers arrive while the barber is cutting a customer's hair, they either "
         "sit down (if there are empty chairs) or leave the shop (if all chairs are full).\n"
         "Let's see how the sleeping barber problem is simulated.\n"
         "-------------------------------------------------\n")
MENU = ("Menu:\n1: Add new customer\n2: Delete a customer\n3: Delete all customers\n"
        "4: Create random customers\n5: Show customers\n6: Run\n7: Exit\nYour choice: ")
ID, DELAY, CUT = ("Input customer's ID: ", "Input customer's delay (in miniseconds): ",
                  "Input customer's cutting time (in miniseconds): ")
BED = "\n[[Barber going to bed]]\n"


def start(answers, seconds=120, env=None):
    """Runs the program on `answers`; returns its exit status, standard output and error."""
    done = subprocess.run([BINARY], input=answers.encode("latin-1"), capture_output=True,
                          timeout=seconds, env=env)
    return done.returncode, done.stdout.decode("latin-1"), done.stderr.decode("latin-1")


def shop(answers, seconds=120):
    """Runs the program on `answers`; returns its standard output after a clean exit."""
    status, out, err = start(answers, seconds)
    assert (status, err) == (0, ""), (status, err[-2000:])
    return out


def add(cid, delay, cut):
    return f"1\n{cid}\n{delay}\n{cut}\n"


def dialogue(out):
    """The console's part: without the introduction and the barber's first bed line."""
    assert out.startswith(INTRO), out[:200]
    return out[len(INTRO):].replace(BED, "", 1)


def settled(out):
    """The output without a bed line that came after the last closing line."""
    bed = out.rfind(BED)
    return out[:bed] + out[bed + len(BED):] if bed > out.rfind(transcript.CLOSING) else out


def customer(cid, what):
    return f"\n<<Customer {cid}: {what}>>\n"


class Console(unittest.TestCase):
    def test_start_up_then_exit(self):
        out = shop("7\n")
        self.assertLessEqual(out.count(BED), 1)  # Exit may come before the barber says it
        self.assertEqual(dialogue(out), MENU)

    def test_dialogues(self):
        k35 = "abcdefghijklmnopqrstuvwxyz012345678"
        shown = ("------------------------------------\nCustomer {}:\nID: {}\n"
                 "delay: {} miniseconds\ncuttingTime: {} miniSeconds\n")
        cases = [
            ("0\n8\n-1\nabc def\n99999999999\n7\n", (MENU + "Invalid choice\n") * 5 + MENU),
            ("2\n3\n5\n7\n", MENU + "The customer list is empty!\n" + MENU +
             "Deleted all customers\n" + MENU + "Customer list:\n" + MENU),
            (add("a", 1, 1) + add("b", 2, -3) + "1\nc\n99999999999\n-99999999999\n"
             "2\n0\n2\n5\n2\n-1\n5\n7\n",
             (MENU + ID + DELAY + CUT) * 3 + MENU + "Input customer's index: Deleted\n" + MENU +
             "Input customer's index: Invalid index: 5\n" + MENU +
             "Input customer's index: Invalid index: -1\n" + MENU + "Customer list:\n" +
             shown.format(0, "b", 2, -3) + shown.format(1, "c", 2147483647, -2147483648) + MENU),
            # An ID line of 35 characters or more keeps 34; a line that is not a number is
            # dropped and its prompt asked again.
            (f"1\n{k35}\nx 1\n5\n7\n1\n{k35}tail\n6\n-\n8\n5\n7\n",
             MENU + ID + DELAY + DELAY + CUT + MENU + ID + DELAY + CUT + CUT + MENU +
             "Customer list:\n" + shown.format(0, k35[:34], 5, 7) +
             shown.format(1, k35[:34], 6, 8) + MENU),
            ("4\n1\n7\n", MENU + "Created 10 customers\n" + MENU +
             "Full of customers. Cannot add anymore!\n" + MENU),
            # End of input ends the program; nothing is made of answers never given.
            ("1\nAnn\n12\n", MENU + ID + DELAY + CUT),
            ("", MENU),
        ]
        for answers, expected in cases:
            with self.subTest(answers=answers):
                self.assertEqual(dialogue(shop(answers)), expected)


class Run(unittest.TestCase):
    def assertRuns(self, out, *rosters):
        self.assertEqual(transcript.check_session(out, list(rosters)), [], out)

    def test_one_customer_whole_narration(self):
        out = settled(shop(add("Ann", 100, 300) + "6\n5\n7\n"))
        self.assertRuns(out, ["Ann"])  # every line, in order, and nothing else
        self.assertIn("Curr: {Ann}\nWait Queue: \n" + transcript.RULE, out)  # her first block
        self.assertTrue(out.endswith(transcript.CLOSING + MENU + "Customer list:\n" + MENU))

    def test_arriving_together_one_wakes_the_others_sit(self):
        # One of four arriving together wakes the barber and is cut long enough for the rest to
        # take chairs. Losing the race to wake him needs arrivals within microseconds of each
        # other, so retry until a loser's path shows.
        for _ in range(8):
            out = shop("".join(add(c, 300, 400) for c in "ABCD") + "6\n7\n")
            self.assertRuns(out, list("ABCD"))
            self.assertEqual(out.count("woken up barber successfully"), 1, out)
            self.assertEqual(out.count("got a chair successfully"), 3, out)
            if "failed to wake up barber" in out:
                return
        # Under a sanitizer thread start-up takes milliseconds: customers never arrive together.
        if not os.environ.get("BARBERSHOP_SANITIZED"):
            self.fail("no customer ever lost the race to wake the barber")

    def test_seventh_later_arrival_finds_the_chairs_taken(self):
        waiting = [f"c{i}" for i in range(1, 8)]
        out = shop(add("A", 0, 2500) + "".join(add(c, 150 + 150 * i, 0)
                                                for i, c in enumerate(waiting, 1)) + "6\n7\n")
        self.assertRuns(out, ["A"] + waiting)
        self.assertIn(customer("c7", "see WaitQueue full, go away") +
                      "Curr: {A}\nWait Queue: [c1][c2][c3][c4][c5][c6]\nGo away: [c7]\n" +
                      transcript.RULE, out)
        starts = [out.index(f"[[start cutting: customer {c}]]") for c in ["A"] + waiting[:6]]
        self.assertEqual(starts, sorted(starts))

    def test_random_customers_run_to_the_end(self):
        out = settled(shop("4\n5\n6\n5\n7\n"))
        self.assertEqual(re.findall(r"ID: (.*)", out), [str(i) for i in range(10)])
        self.assertTrue(all(0 <= int(d) <= 10000 for d in re.findall(r"delay: (-?\d+)", out)))
        self.assertTrue(all(500 <= int(c) <= 2000 for c in re.findall(r"Time: (-?\d+)", out)))
        self.assertRuns(out, [str(i) for i in range(10)])
        self.assertTrue(out.endswith(transcript.CLOSING + MENU + "Customer list:\n" + MENU))

if __name__ == "__main__":
    unittest.main()
