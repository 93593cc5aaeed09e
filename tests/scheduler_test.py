#!/usr/bin/env python3
"""The scheduler library preloaded into small scenes of the tests' own and into the real program:
the choices it offers, the plan's picks taken, the virtual clock, stuck and diverged runs, and
the same plan giving the same run. Records are read from a pipe as barbershop-trace reads them.

Usage: scheduler_test.py LIBRARY SCENES FORTIFIED_SCENES BARBERSHOP [unittest arguments]
(FORTIFIED_SCENES: the scenes built with _FORTIFY_SOURCE, whose prints are the checked twins)"""
import os
import select
import socket
import struct
import subprocess
import sys
import tempfile
import time
import unittest

LIBRARY, SCENES, FORTIFIED, BARBERSHOP = (os.path.abspath(sys.argv.pop(1)) for _ in range(4))
LIMIT = 10  # seconds for any one run: none waits in real time
ROSTER = b"1\nAnn\n0\n100\n6\n7\n"
ENDS = ("exit", "stuck", "diverged")


class Run:
    def __init__(self, records, stdout, killed):
        self.records, self.stdout, self.killed = records, stdout, killed

    def kind(self, kind):
        return [r for r in self.records if r[0] == kind]

    def step(self, n):
        return next(r for r in self.kind("step") if int(r[1]) == n)

    def choices(self, why):
        return [c for c in self.kind("choice") if c[3] == why]

    def normalised(self):
        # Addresses change from run to run; everything else must not.
        drop = {"hello": slice(0, 1), "object": slice(0, 3), "thread": slice(0, 3)}
        return [r[drop[r[0]]] if r[0] in drop else r for r in self.records]


def asan_options():
    # A sanitized program's runtime would refuse a library preloaded ahead of it.
    return ":".join(filter(None, [os.environ.get("ASAN_OPTIONS"), "verify_asan_link_order=0"]))


def run(program, args=(), plan="", stdin=b"", answers=None, control=True):
    records_read, records_write = os.pipe()
    env = dict(os.environ, LD_PRELOAD=LIBRARY, BARBERSHOP_CONTROL_FD=str(records_write),
               BARBERSHOP_CONTROL_PLAN=plan, ASAN_OPTIONS=asan_options())
    if not control:
        del env["BARBERSHOP_CONTROL_FD"]
    fds = [records_write]
    if answers is not None:
        answer_read, answer_write = os.pipe()
        os.write(answer_write, answers.encode())
        os.close(answer_write)
        env["BARBERSHOP_CONTROL_ANSWER_FD"] = str(answer_read)
        fds.append(answer_read)
    with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as into:
        into.write(stdin)
        into.seek(0)
        child = subprocess.Popen([program, *args], stdin=into, stdout=out,
                                 stderr=subprocess.DEVNULL, env=env, pass_fds=fds)
        for fd in fds:
            os.close(fd)
        text = read_records(records_read)
        try:
            child.wait(timeout=2)
            killed = False
        except subprocess.TimeoutExpired:
            child.kill()
            child.wait()
            killed = True
        out.seek(0)
        return Run([line.split(" ") for line in text.splitlines()], out.read(), killed)


class ForkServer:
    """The program started once and forked for each run, as barbershop-trace uses it; the runs
    are the server's children, and their ends are asked of it."""

    def __init__(self, program, args=()):
        self.socket, theirs = socket.socketpair(socket.AF_UNIX, socket.SOCK_SEQPACKET)
        env = dict(os.environ, LD_PRELOAD=LIBRARY, BARBERSHOP_CONTROL_FORK=str(theirs.fileno()),
                   ASAN_OPTIONS=asan_options())
        self.server = subprocess.Popen([program, *args], stdin=subprocess.DEVNULL,
                                       stdout=subprocess.DEVNULL, env=env,
                                       pass_fds=[theirs.fileno()])
        theirs.close()
        self.socket.settimeout(LIMIT)
        assert struct.unpack("q", self.socket.recv(8)) == (0,)

    def run(self, plan, stdin=b""):
        records_read, records_write = os.pipe()
        answers_read, answers_write = os.pipe()
        with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as into, \
                open(os.devnull, "wb") as errors:
            into.write(stdin)
            into.seek(0)
            ends = [into.fileno(), out.fileno(), errors.fileno(), records_write, answers_read]
            socket.send_fds(self.socket, [plan.encode()], ends)
            for fd in (records_write, answers_read):
                os.close(fd)
            pid = struct.unpack("q", self.socket.recv(8))[0]
            text = read_records(records_read)
            os.close(answers_write)
            self.socket.send(struct.pack("q", pid))
            status = struct.unpack("q", self.socket.recv(8))[0]
            out.seek(0)
            return Run([line.split(" ") for line in text.splitlines()], out.read(), status != 0)

    def close(self):
        self.socket.close()
        self.server.wait(timeout=LIMIT)


def read_records(fd):
    text, deadline = b"", time.monotonic() + LIMIT
    with os.fdopen(fd, "rb", buffering=0) as pipe:
        while time.monotonic() < deadline:
            if not select.select([pipe], [], [], 0.2)[0]:
                continue
            chunk = pipe.read(65536)
            lines = (text + chunk).decode().splitlines()
            text += chunk
            if not chunk or (lines and lines[-1].split(" ")[0] in ENDS):
                return text.decode()
    raise AssertionError(f"no end of the records within {LIMIT} s:\n{text.decode()[-2000:]}")


def threads(choice):
    """{tid: (op, obj, arg, can go)} from a choice record."""
    found = {}
    for entry in choice[6:]:
        tid, op, obj, arg, go = entry.split(":")
        found[int(tid)] = (op, obj, arg, go == "1")
    return found


class Scenes(unittest.TestCase):
    def test_picks_decide_who_takes_the_lock(self):
        for picks, first in (("0,1", b"one"), ("0,2", b"two")):
            with self.subTest(picks=picks):
                r = run(SCENES, ["mutex"], f"picks={picks}")
                self.assertTrue(r.stdout.startswith(first + b" holds the lock"), r.stdout)
                second = r.kind("choice")[1]
                self.assertEqual(second[3:6], ["go", picks[-1], "1"])
                self.assertEqual({t: s[0] for t, s in threads(second).items()},
                                 {0: "join", 1: "start", 2: "start"})

    def test_a_lock_that_waited_names_the_unlock(self):
        r = run(SCENES, ["mutex"], "picks=0,1,1,2")
        locks = [s for s in r.kind("step") if s[4] == "lock"]
        unlock = next(s for s in r.kind("step") if s[4] == "unlock" and s[2] == "1")
        self.assertEqual([(s[2], s[8]) for s in locks], [("1", "0"), ("2", unlock[1])])

    def test_each_thread_that_can_go_can_be_picked(self):
        # The wake (which waiter a post releases) and the tie (deadlines that came together),
        # each forced both ways, by an override and by the picks of a replay.
        for scene, why in (("wake", "wake"), ("tie", "tie")):
            plain = run(SCENES, [scene])
            choice = next(c for c in plain.choices(why) if not threads(c)[0][3])
            k = int(choice[1])
            earlier = [c[4] for c in plain.kind("choice")][:k - 1]
            for pick in (1, 2):
                for plan in (f"over={k}:{pick}", "picks=" + ",".join(earlier + [str(pick)])):
                    with self.subTest(scene=scene, plan=plan):
                        r = run(SCENES, [scene], plan)
                        made = r.kind("choice")[k - 1]
                        self.assertEqual(made[3:5], [why, str(pick)])
                        step = r.step(int(made[2]))
                        self.assertEqual(step[2], str(pick))
                        if why == "tie":
                            self.assertEqual((step[3], step[4], step[6]),
                                             ("5000000", "sleep", "5000000"))

    def test_a_timed_wait_times_out_on_the_virtual_clock(self):
        r = run(SCENES, ["timed"])
        waited = next(s for s in r.kind("step") if s[4] == "timedwait")
        self.assertEqual(waited[3], "60000000000")  # the deadline, a minute after the start
        self.assertEqual(waited[6:8], ["60000000000", "110"])  # ETIMEDOUT
        self.assertIn(b"timed wait: -1 timed out", r.stdout)

    def test_tries_fail_at_once_and_a_timed_lock_at_its_deadline(self):
        r = run(SCENES, ["tries"])
        steps = {s[4]: s for s in r.kind("step") if s[4] in ("trylock", "trywait", "timedlock")}
        self.assertEqual(steps["trylock"][7], "16")  # EBUSY
        self.assertEqual(steps["trywait"][7], "11")  # EAGAIN
        self.assertEqual(steps["timedlock"][3], steps["timedlock"][6])
        self.assertEqual(steps["timedlock"][7], "110")
        self.assertIn(b"timedlock 110 after 1000000000 ns", r.stdout)

    def test_without_a_descriptor_the_library_stays_out_of_the_way(self):
        r = run(SCENES, ["wake"], control=False)
        self.assertEqual((r.records, sorted(r.stdout.splitlines())),
                         ([], [b"done", b"one woke", b"two woke"]))

    def test_a_join_goes_once_the_thread_has_ended(self):
        r = run(SCENES, ["mutex"])
        ended = {s[2]: int(s[1]) for s in r.kind("step") if s[4] == "exit"}
        joins = [s for s in r.kind("step") if s[4] == "join"]
        self.assertEqual([s[6] for s in joins], ["1", "2"])
        for join in joins:
            self.assertGreater(int(join[1]), ended[join[6]])

    def test_threads_are_numbered_on_beyond_those_kept_at_a_time(self):
        r = run(SCENES, ["many"])
        self.assertEqual([int(t[1]) for t in r.kind("thread")], list(range(1, 101)))
        self.assertEqual(r.records[-1][0::2], ["exit", "0"])
        self.assertEqual(r.stdout.count(b"another holds the lock"), 100)

    def test_runs_that_cannot_go_on_stop_with_a_record(self):
        for scene, plan, last in (("crossed", "", ["stuck", "0"]),
                                  ("mutex", "picks=5;strict=1", ["diverged", "1", "5"])):
            with self.subTest(scene=scene, plan=plan):
                r = run(SCENES, [scene], plan)
                self.assertEqual(r.records[-1], last)
                self.assertTrue(r.killed)  # parked for good, until ended from outside
        loose = run(SCENES, ["mutex"], "picks=5")  # without strict: the plain order instead
        self.assertEqual(loose.records[-1][0], "exit")

    def test_then_ask_follows_the_answers(self):
        r = run(SCENES, ["wake"], "then=ask", answers="2\n" * 5 + "x\n")
        asks, choices = r.kind("ask"), r.kind("choice")
        self.assertEqual(len(asks), len(choices))
        for i, (ask, choice) in enumerate(zip(asks, choices)):
            answered = i < 5 and threads(choice).get(2, (0, 0, 0, False))[3]
            self.assertEqual(choice[4], "2" if answered else ask[4])

    def test_pct_without_change_points_keeps_one_order_of_priority(self):
        # Each choice goes to the highest priority among those who can go: a thread preferred
        # once to another is preferred to it at every later choice.
        for seed in (1, 2, 3):
            r = run(BARBERSHOP, stdin=ROSTER, plan=f"then=pct;seed={seed};depth=1")
            above = set()
            for choice in r.kind("choice"):
                pick = int(choice[4])
                for tid, (_, _, _, go) in threads(choice).items():
                    if go and tid != pick:
                        self.assertNotIn((tid, pick), above, f"seed {seed}, choice {choice[1]}")
                        above.add((pick, tid))

    def test_a_read_waits_for_the_rest_and_a_microsecond_is_a_yield(self):
        r = run(SCENES, ["settle"], stdin=b"x")
        self.assertEqual(r.stdout, b"late\nread x\ndone\n")
        self.assertEqual([s[6] for s in r.kind("step") if s[4] == "sleep"], ["0", "1500000"])

    def test_the_same_plan_gives_the_same_run(self):
        for plan in ("", "then=random;seed=3", "then=pct;seed=3;depth=3;steps=20"):
            for scene, program in (("mutex", SCENES), ("wake", SCENES), ("buffered", SCENES),
                                   ("mutex", FORTIFIED)):
                with self.subTest(plan=plan, scene=scene, program=program):
                    one, two = run(program, [scene], plan), run(program, [scene], plan)
                    self.assertEqual(one.normalised(), two.normalised())
                    self.assertEqual(one.stdout, two.stdout)
                    printed = sum(int(s[6]) for s in one.kind("step") if s[4] == "print")
                    self.assertEqual(printed, len(one.stdout))

    def test_a_forked_run_is_the_run_started_afresh(self):
        # Each run forked from one server, whatever ran before it, is the fresh run of its plan.
        for scene, stdin in (("wake", b""), ("settle", b"x")):
            server = ForkServer(SCENES, [scene])
            for plan in ("then=random;seed=12345678", "then=random;seed=3",
                         "then=pct;seed=3;depth=3;steps=20"):
                with self.subTest(scene=scene, plan=plan):
                    fresh, forked = run(SCENES, [scene], plan, stdin), server.run(plan, stdin)
                    self.assertEqual(fresh.normalised(), forked.normalised())
                    self.assertEqual((fresh.stdout, fresh.killed), (forked.stdout, forked.killed))
                    self.assertNotEqual(fresh.records[0][1], forked.records[0][1])  # its own pid
            server.close()

    def test_a_buffered_print_counts_when_stdio_writes(self):
        r = run(SCENES, ["buffered"])
        self.assertEqual([s[6] for s in r.kind("step") if s[4] == "print"], ["0", "5"])


class Program(unittest.TestCase):
    def test_the_shop_runs_to_its_end(self):
        real = subprocess.run([BARBERSHOP], input=ROSTER, capture_output=True, timeout=LIMIT)
        r = run(BARBERSHOP, stdin=ROSTER, plan="then=random;seed=11")
        self.assertEqual(r.records[-1][0::2], ["exit", "0"])
        narration = [{line for line in out.splitlines() if line.startswith((b"<<", b"[["))}
                     for out in (real.stdout, r.stdout)]
        self.assertEqual(narration[0], narration[1])
        self.assertTrue(r.stdout.endswith(b"Your choice: "))
        steps = r.kind("step")
        self.assertEqual([int(s[1]) for s in steps], list(range(1, len(steps) + 1)))
        self.assertEqual(sum(int(s[6]) for s in steps if s[4] == "print"), len(r.stdout))
        for choice in r.kind("choice"):
            self.assertTrue(threads(choice)[int(choice[4])][3])
            self.assertEqual(r.step(int(choice[2]))[2], choice[4])


if __name__ == "__main__":
    unittest.main()
