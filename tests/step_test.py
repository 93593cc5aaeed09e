#!/usr/bin/env python3
"""barbershop-trace --step end to end: the person at the terminal picks who goes at each choice
of one controlled run, from scripted answers; one decision taken back; a pick of one's own that
the saved log replays; q; and the screen of an 80x24 terminal.

Usage: step_test.py BINARY [unittest arguments]; barbershop-trace and the scheduler library are
expected beside BINARY."""
import json
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time
import unittest

BINARY = os.path.abspath(sys.argv.pop(1) if len(sys.argv) > 1 else "build/barbershop")
TRACE = os.path.join(os.path.dirname(BINARY), "barbershop-trace")
LIMIT_S = 60
MENU = re.compile(r"^choice (\d+) at ")
THREAD = re.compile(r"^ *(\d+)  (.*) \S+ (can go|blocked)( \(Enter\))?$")


def step(answers, *options):
    return subprocess.run([TRACE, "--program", BINARY, "--color", "never", "--step", *options],
                          input=answers, capture_output=True, text=True, timeout=LIMIT_S)


def menus(output):
    """Each menu shown, in order: (choice number, {thread: (words, can go, default)})."""
    shown = []
    for line in output.splitlines():
        if MENU.match(line):
            shown.append((int(MENU.match(line).group(1)), {}))
        elif shown and THREAD.match(line):
            tid, words, state, default = THREAD.match(line).groups()
            shown[-1][1][int(tid)] = (words, state == "can go", default is not None)
    return shown


class Step(unittest.TestCase):
    def test_a_decision_taken_back_is_asked_again_and_the_run_ends_with_its_verdict(self):
        done = step("\n\nb\n\n", "--scenario", "lone")
        self.assertEqual(done.returncode, 0, done.stderr)
        asked = [k for k, _ in menus(done.stdout)]
        # Asked at three choices, back from the third to the second, asked there again.
        self.assertEqual(asked[3], asked[1], asked)
        self.assertIn(f"back at choice {asked[1]}", done.stdout)
        self.assertRegex(done.stdout, r"\n +3  Ann: [a-z]")
        # The replay up to the choice taken back stays off the screen: each line shows once.
        for line in ("<<Customer Ann: see Barber sleeping>>", "Finished all customers."):
            self.assertEqual(done.stdout.count(line), 1, line)
        self.assertIn("every rule holds", done.stdout)
        # The menus keep a column spare in 80 (the summary's frame is the terminal's width).
        ours = [line for line in done.stdout.splitlines() if THREAD.match(line) or MENU.match(line)]
        self.assertTrue(ours and all(len(line) < 80 for line in ours), ours)

    def test_a_thread_picked_goes_and_the_saved_log_replays_it(self):
        first = menus(step("q\n", "--scenario", "close-call").stdout)[0]
        k, threads = first
        mine = next(t for t, (_, can, default) in threads.items() if can and not default)
        with tempfile.TemporaryDirectory() as report:
            done = step(f"{mine}\n", "--scenario", "close-call", "--report", report)
            self.assertIn(done.returncode, (0, 1), done.stderr)
            log = os.path.join(report, "run-1.jsonl")
            with open(log) as lines:
                choices = [json.loads(line) for line in lines if line.startswith('{"choice"')]
            self.assertEqual(next(c for c in choices if c["choice"] == k)["pick"], mine)
            again = subprocess.run([TRACE, "--color", "never", "--replay", log],
                                   capture_output=True, text=True, timeout=LIMIT_S)
            self.assertEqual(again.returncode, done.returncode, again.stderr)

    def test_answers_that_cannot_be_taken_are_asked_again_and_q_stops(self):
        done = step("x\n0\nq\n", "--scenario", "lone")
        self.assertEqual(done.returncode, 130, done.stderr)
        self.assertIn("type a thread's number", done.stdout)
        self.assertIn("thread 0 cannot go now", done.stdout)
        self.assertEqual(len(menus(done.stdout)), 1)
        self.assertNotIn("every rule holds", done.stdout)

    def test_n_lets_the_plain_order_go_on_to_the_next_line(self):
        plain, skipped = step("\n" * 40, "--scenario", "lone"), step("n\n" * 40, "--scenario", "lone")
        self.assertEqual((plain.returncode, skipped.returncode), (0, 0), skipped.stderr)
        self.assertEqual([line for line in skipped.stdout.splitlines() if line.startswith("<<")],
                         [line for line in plain.stdout.splitlines() if line.startswith("<<")])
        self.assertLess(len(menus(skipped.stdout)), len(menus(plain.stdout)))
        # Between two questions the shop has printed something.
        parts = re.split(r"\nchoice \d+ at ", skipped.stdout)
        for between in parts[1:-1]:
            said = between.split("q stop: ", 1)[1].split("\n", 1)[-1]
            self.assertRegex(said, r"<<|\[\[|Curr:", between)

    @unittest.skipUnless(shutil.which("tmux"), "tmux is not installed")
    def test_the_menu_fits_an_80_by_24_terminal(self):
        tmux = ["tmux", "-L", f"step-test-{os.getpid()}"]
        command = f"{TRACE} --program {BINARY} --scenario full-house --step; sleep {LIMIT_S}"
        subprocess.run(tmux + ["new-session", "-d", "-x", "80", "-y", "24", command], check=True)
        try:
            # Past the first customers' starts, to a menu of many threads; then the screen
            # once it has settled at the question.
            subprocess.run(tmux + ["send-keys"] + ["Enter"] * 12, check=True)
            deadline, screen, before = time.monotonic() + LIMIT_S, "", None
            while screen != before or not screen.endswith("q stop:"):
                self.assertLess(time.monotonic(), deadline, screen)
                time.sleep(0.5)
                before, screen = screen, subprocess.run(
                    tmux + ["capture-pane", "-p"], capture_output=True, text=True,
                    check=True).stdout.rstrip()
        finally:
            subprocess.run(tmux + ["kill-server"], check=False)
        # The last menu whole on the screen, each thread on a line of its own.
        lines = screen.splitlines()
        heading = max(i for i, line in enumerate(lines) if MENU.match(line))
        self.assertGreater(len(lines) - heading, 8, screen)
        self.assertTrue(all(THREAD.match(line) for line in lines[heading + 1:-1]), screen)


if __name__ == "__main__":
    unittest.main()
