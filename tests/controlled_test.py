#!/usr/bin/env python3
"""barbershop-trace's controlled runs end to end: the program run one thread at a time under the
scheduler library, the same log twice, --replay of a saved run (and of one edited at a pick),
programs the scheduler cannot take over, a run that gets stuck and a thread that never steps.

Usage: controlled_test.py BINARY [unittest arguments]; barbershop-trace and
libbarbershop-scheduler.so are expected beside BINARY, the variants in variants/ below it."""
import json
import os
import shutil
import subprocess
import sys
import tempfile
import unittest

BINARY = os.path.abspath(sys.argv.pop(1) if len(sys.argv) > 1 else "build/barbershop")
BUILD = os.path.dirname(BINARY)
TRACE = os.path.join(BUILD, "barbershop-trace")
LIBRARY = os.path.join(BUILD, "libbarbershop-scheduler.so")
SCENARIOS = ["lone", "wake-up-race", "full-house", "trickle", "zero-cuts", "last-chair",
             "close-call"]
LIMIT = 60  # seconds any one companion may take before the test fails instead of hanging


def trace(*options):
    return subprocess.run([TRACE, *options], capture_output=True, text=True, timeout=LIMIT,
                          stdin=subprocess.DEVNULL)


def without_wall_clock(log):
    """The log's bytes but the wall-clock moment of the Run, which no plan decides."""
    lines = log.splitlines(keepends=True)
    header = json.loads(lines[0])
    for key in ("started_unix_ms", "started"):
        header.pop(key)
    return json.dumps(header) + "\n" + "".join(lines[1:])


@unittest.skipUnless(os.path.exists(LIBRARY), f"no scheduler library at {LIBRARY}")
class Controlled(unittest.TestCase):
    def setUp(self):
        self.scratch = tempfile.mkdtemp()

    def tearDown(self):
        shutil.rmtree(self.scratch)

    def record(self, name, *options):
        folder = os.path.join(self.scratch, name)
        done = trace("--program", BINARY, "--quiet", "--report", folder, *options)
        self.assertEqual(done.returncode, 0, done.stderr)
        with open(os.path.join(folder, "run-1.jsonl")) as log:
            return os.path.join(folder, "run-1.jsonl"), log.read()

    def test_one_plan_records_the_same_run_twice(self):
        for plan in ("then=first", "then=random;seed=7"):
            _, first = self.record("a", "--scenario", "lone", "--plan", plan)
            _, second = self.record("b", "--scenario", "lone", "--plan", plan)
            self.assertEqual(without_wall_clock(first), without_wall_clock(second), plan)
            self.assertIn('"controlled":true', first.splitlines()[0])

    def test_a_replay_prints_and_records_what_the_run_did(self):
        plan = "then=random;seed=3"
        for scenario in SCENARIOS:
            with self.subTest(scenario=scenario):
                self.replays_alike(scenario, plan)

    def replays_alike(self, scenario, plan):
        path, log = self.record(scenario, "--scenario", scenario, "--plan", plan)
        shown = trace("--program", BINARY, "--scenario", scenario, "--plan", plan,
                      "--summary", "full", "--color", "never")
        self.assertIn("controlled run, virtual time", shown.stdout)
        # After the run the replay goes on in the plain order, which the log does not record.
        run_part = shown.stdout[:shown.stdout.rindex("\u256f")]
        folder = os.path.join(self.scratch, scenario + "-replayed")
        again = trace("--replay", path, "--quiet", "--report", folder)
        self.assertEqual(again.returncode, shown.returncode, again.stderr)
        with open(os.path.join(folder, "run-1.jsonl")) as replayed:
            self.assertEqual(replayed.read().splitlines()[1:], log.splitlines()[1:])
        for _ in range(100):
            again = trace("--replay", path, "--summary", "full", "--color", "never")
            self.assertEqual(again.returncode, shown.returncode, again.stderr)
            self.assertEqual(again.stdout[:len(run_part)], run_part)

    def test_a_log_edited_at_one_pick_is_refused_naming_its_step(self):
        path, log = self.record("saved", "--scenario", "lone", "--plan", "then=first")
        lines = log.splitlines(keepends=True)
        def offered(line):
            return [t[4] for t in json.loads(line)["threads"]] if '"choice"' in line else []
        at = next(i for i, line in enumerate(lines)
                  if sum(offered(line)) >= 2 and not all(offered(line)))
        choice = json.loads(lines[at])
        stuck = next(t[0] for t in choice["threads"] if not t[4])
        other = next(t[0] for t in choice["threads"] if t[4] and t[0] != choice["pick"])
        for pick, said in ((stuck, f"choice {choice['choice']} (step {choice['before_step']})"),
                           (other, "(step ")):
            edited = dict(choice, pick=pick)
            lines[at] = json.dumps(edited, separators=(",", ":")) + "\n"
            with open(path, "w") as out:
                out.write("".join(lines))
            done = trace("--replay", path, "--quiet")
            self.assertEqual(done.returncode, 2, done.stderr)
            self.assertIn(said, done.stderr)

    def test_another_build_is_refused(self):
        path, _ = self.record("saved", "--scenario", "lone", "--plan", "then=first")
        other = os.path.join(self.scratch, "barbershop")
        shutil.copy(BINARY, other)
        with open(other, "ab") as out:
            out.write(b"\0")
        done = trace("--replay", path, "--program", other)
        self.assertEqual(done.returncode, 2)
        self.assertIn("was recorded with another build of " + other, done.stderr)

    def small_program(self, source, *flags):
        """A tiny C program built here, or None (with the reason) where cc cannot build it."""
        c_file = os.path.join(self.scratch, "small.c")
        program = os.path.join(self.scratch, "small")
        with open(c_file, "w") as out:
            out.write(source)
        built = subprocess.run(["cc", *flags, "-o", program, c_file], capture_output=True,
                               text=True, timeout=LIMIT)
        if built.returncode != 0:
            self.skipTest("cc " + " ".join(flags) + " cannot build here: " + built.stderr[-200:])
        return program

    def test_a_statically_linked_program_is_refused(self):
        program = self.small_program("int main(void) { return 0; }\n", "-static")
        done = trace("--program", program, "--scenario", "lone", "--plan", "then=first")
        self.assertEqual(done.returncode, 3)
        self.assertIn(program + " is linked statically: the scheduler cannot take over its "
                      "threads", done.stderr)

    def test_a_thread_that_never_steps_is_named(self):
        program = self.small_program("int main(void) { for (;;) {} }\n")
        done = trace("--program", program, "--scenario", "lone", "--plan",
                     "then=first;idle_ms=300")
        self.assertEqual(done.returncode, 3)
        self.assertIn("thread 0 made no visible step for 0.3 s", done.stderr)

    def test_a_stuck_run_is_reported_at_once(self):
        variant = os.path.join(BUILD, "variants", "lost-wakeup")
        if not os.path.exists(variant):
            self.skipTest("the lost-wakeup variant is not built")
        # Bob sees the barber awake, the barber goes to bed, Bob sits down (found by --explore).
        done = trace("--variant", "lost-wakeup", "--plan", "over=50:4,52:1;then=first", "--quiet",
                     "--summary", "full", "--color", "never")
        self.assertEqual(done.returncode, 1, done.stderr)
        self.assertIn("the run got stuck", done.stdout)


if __name__ == "__main__":
    unittest.main()
