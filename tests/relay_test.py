#!/usr/bin/env python3
"""barbershop-trace's relay end to end: its exit statuses, piped answers, stopped and stuck
programs. Most cases run a small fake barbershop written here, which prompts as the program does
and then prints a good run, a broken one, or gets stuck; no broken shop code is kept anywhere.

Usage: relay_test.py BINARY [unittest arguments]; barbershop-trace is expected beside BINARY."""
import json
import os
import pathlib
import select
import signal
import subprocess
import sys
import tempfile
import time
import unittest

BINARY = os.path.abspath(sys.argv.pop(1) if len(sys.argv) > 1 else "build/barbershop")
TRACE = (os.environ.get("BARBERSHOP_TRACE_PROGRAM") or
         os.path.join(os.path.dirname(BINARY), "barbershop-trace"))
BED = "\n[[Barber going to bed]]\n"

# The fake: the console's texts (console/texts.h) and a lone customer's run (core/narration.h).
FAKE = r'''#!/usr/bin/env python3
import os, signal, subprocess, sys, threading, time
MODE = os.environ.get("FAKE_MODE", "good")
STUCK_RUN = int(os.environ.get("FAKE_STUCK_RUN", "0"))
with open(os.environ["FAKE_PIDS"], "a") as pids:
    pids.write(f"{os.getpid()}\n")
MENU = ("Menu:\n1: Add new customer\n2: Delete a customer\n3: Delete all customers\n"
        "4: Create random customers\n5: Show customers\n6: Run\n7: Exit\n")
FIRST = "\n<<Customer A: see Barber sleeping>>\n"
REST = ["\n<<Customer A: try to wake up barber>>\n",
        "\n<<Customer A: woken up barber successfully>>\nCurr: {A}\nWait Queue: \n"
        "------------------------\n",
        "\n<<Customer A : waiting>>\n", "\n[[Barber woken up]]\n",
        "\n[[start cutting: customer A]]\n", "\n[[finish cutting: customer A]]\n",
        "\n[[Barber going to bed]]\n",
        "\n<<Customer A: go away after being cut>>\nCurr: \nWait Queue: \nFinished: [A]\n"
        "------------------------\n",
        "\nFinished all customers.\n"]
continued = []
# Set before anything is printed: the test may stop and continue the fake as soon as a run's
# first line shows.
signal.signal(signal.SIGCONT, lambda *_: continued.append(1))

def say(text):
    sys.stdout.write(text)
    sys.stdout.flush()

def ask(prompt):
    say(prompt)
    line = sys.stdin.readline()
    if not line:
        sys.exit(0)
    return line.rstrip("\n")

def leave_a_child():
    # A child of its own that outlives it unless its whole process group is ended.
    child = subprocess.Popen(["sleep", "1000"], stdin=subprocess.DEVNULL,
                             stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    with open(os.environ["FAKE_PIDS"] + ".children", "a") as pids:
        pids.write(f"{child.pid}\n")

def block_everyone():
    # Every thread waits on a lock nobody will release: each sits in a futex wait.
    lock = threading.Lock()
    lock.acquire()
    threading.Thread(target=lock.acquire, daemon=True).start()
    lock.acquire()

def run(number):
    mode = "stuck" if number == STUCK_RUN else MODE
    if mode == "stuck":
        leave_a_child()
    say(FIRST)
    if mode == "stuck":
        block_everyone()
    if mode == "die":
        sys.exit(1)
    if mode == "pause":
        # Blocked in timed waits that read as locks until continued after a SIGSTOP, then a
        # while longer.
        lock = threading.Lock()
        lock.acquire()
        while not continued:
            lock.acquire(timeout=0.2)
        lock.acquire(timeout=0.6)
    else:
        time.sleep(0.3)
    rest = REST[:]
    if mode == "broken":  # the customer leaves before the barber has finished its cut
        rest[5], rest[8] = rest[8], rest[5]
    say("".join(rest))

say("\n[[Barber going to bed]]\n")
if MODE == "silent":
    leave_a_child()
    time.sleep(3600)
roster, runs = [], 0
while True:
    say(MENU)
    choice = ask("Your choice: ").strip()
    if choice == "1":
        roster.append((ask("Input customer's ID: "),
                       ask("Input customer's delay (in miniseconds): "),
                       ask("Input customer's cutting time (in miniseconds): ")))
    elif choice == "5":
        say("Customer list:\n" + "".join(
            f"------------------------------------\nCustomer {i}:\nID: {c}\n"
            f"delay: {d} miniseconds\ncuttingTime: {t} miniSeconds\n"
            for i, (c, d, t) in enumerate(roster)))
    elif choice == "6":
        runs += 1
        run(runs)
        roster = []
    elif choice == "7":
        sys.exit(0)
    else:
        say("Invalid choice\n")
'''


def wait_for(condition, seconds=20):
    """Waits until `condition()` holds; False when it still does not after `seconds`."""
    deadline = time.monotonic() + seconds
    while not condition():
        if time.monotonic() > deadline:
            return False
        time.sleep(0.05)
    return True


def process(pid):
    """A process's state letter, parent and command line; None once it is gone."""
    try:
        with open(f"/proc/{pid}/stat") as f:
            fields = f.read().rsplit(")", 1)[1].split()
        with open(f"/proc/{pid}/cmdline", "rb") as f:
            return fields[0], int(fields[1]), f.read()
    except (FileNotFoundError, ProcessLookupError):
        return None


class Companion:
    """barbershop-trace over the fake (or `program`), its output read as it comes."""

    def __init__(self, scratch, *options, mode="good", stuck_run=0, program=None, stdout=None,
                 answers=None, roster="id,delay_ms,cut_ms\nA,0,0\n"):
        self.pids = os.path.join(scratch, "pids")
        self.export = os.path.join(scratch, "runs.json")
        path = os.path.join(scratch, "lone.csv")
        with open(path, "w") as f:
            f.write(roster)
        fake = self.fake = os.path.join(scratch, "fake")
        with open(fake, "w") as f:
            f.write(FAKE)
        os.chmod(fake, 0o755)
        env = dict(os.environ, FAKE_MODE=mode, FAKE_STUCK_RUN=str(stuck_run), FAKE_PIDS=self.pids,
                   LC_ALL="C.UTF-8")
        if program is None:
            options = ("--roster", path, *options)
        self.process = subprocess.Popen(
            [TRACE, "--program", program or fake, "--width", "100", "--export-json",
             self.export, *options],
            stdin=subprocess.PIPE if answers is not None else subprocess.DEVNULL,
            stdout=stdout or subprocess.PIPE, stderr=subprocess.PIPE, env=env)
        if answers is not None:
            self.process.stdin.write(answers.encode())
            self.process.stdin.close()
            self.process.stdin = None
        self.out = b""

    def until(self, text, times=1, seconds=60):
        """Reads the companion's output until `text` has come `times` times."""
        deadline = time.monotonic() + seconds
        while self.out.count(text.encode()) < times:
            left = deadline - time.monotonic()
            if left <= 0 or not select.select([self.process.stdout], [], [], left)[0]:
                raise AssertionError(f"{text!r} did not come: {self.out[-300:]!r}")
            chunk = os.read(self.process.stdout.fileno(), 65536)
            if not chunk:
                raise AssertionError(f"output ended before {text!r}: {self.out[-300:]!r}")
            self.out += chunk

    def started(self):
        with open(self.pids) as f:
            return [int(line) for line in f]

    def children(self):
        """The fakes it started that still run: a number in the list whose process has ended
        may have been given to another process since, which is none of ours to judge or kill."""
        return [pid for pid in self.started() if self.ours(pid)]

    def ours(self, pid):
        seen = process(pid)
        return seen is not None and (seen[1] == self.process.pid or self.fake.encode() in seen[2])

    def left_behind(self):
        """The children the fakes started that still run once it has ended (after a while for
        the kernel to end them); each is killed, so that a failing test leaves none."""
        path = pathlib.Path(self.pids + ".children")
        pids = [int(pid) for pid in path.read_text().split()] if path.exists() else []

        def running():
            return [pid for pid, seen in ((pid, process(pid)) for pid in pids)
                    if seen and seen[0] != "Z" and seen[2] == b"sleep\x001000\x00"]

        wait_for(lambda: not running(), seconds=5)
        left = running()
        for pid in left:
            os.kill(pid, signal.SIGKILL)
        return left

    def descriptors(self):
        """The companion's open descriptors, less the /proc entries it reads now and then."""
        fds = f"/proc/{self.process.pid}/fd"
        targets = []
        for fd in os.listdir(fds):
            try:
                targets.append(os.readlink(os.path.join(fds, fd)))
            except FileNotFoundError:
                pass
        return len([t for t in targets if not t.startswith("/proc/")])

    def end(self, seconds=60):
        """Waits for the end; returns the status, the output, the errors and the exported runs."""
        if self.process.stdout and self.process.stdout.closed:
            self.process.stdout = None
        try:
            out, err = self.process.communicate(timeout=seconds)
        except subprocess.TimeoutExpired:
            for pid in [self.process.pid] + (self.children() if os.path.exists(self.pids) else []):
                try:
                    os.kill(pid, signal.SIGKILL)
                except ProcessLookupError:
                    pass
            raise
        runs = []
        if os.path.exists(self.export):
            with open(self.export) as f:
                runs = json.load(f)["runs"]
        return (self.process.returncode, (self.out + (out or b"")).decode("latin-1"),
                err.decode("latin-1"), runs)


class ExitStatus(unittest.TestCase):
    def test_the_exit_status_table(self):
        first = "<<Customer A: see Barber sleeping>>"

        def gone_after_one_line(c):
            c.process.stdout.readline()
            c.process.stdout.close()

        def signalled(signo):
            def send(c):
                c.until(first)
                c.process.send_signal(signo)
            return send

        rows = [  # what happens, the fake's mode, options, what to do meanwhile, the status
            ("every rule holds", "good", ["--run"], None, 0),
            ("a rule is broken", "broken", ["--run"], None, 1),
            ("a run is stuck", "stuck", ["--run"], None, 1),
            ("a bad roster file", "good", ["--run"], None, 2),
            ("the program fails during a run", "die", ["--run"], None, 3),
            ("the program never prompts", "silent", ["--run"], None, 3),
            ("standard output is full", "good", ["--run"], "/dev/full", 1),
            ("help on a full standard output", "good", ["--help"], "/dev/full", 1),
            ("the reader goes away", "good", ["--runs", "50", "--quiet"], gone_after_one_line,
             141),
            ("Ctrl-C during a run", "stuck", ["--run"], signalled(signal.SIGINT), 130),
            ("SIGTERM during a run", "stuck", ["--run"], signalled(signal.SIGTERM), 143),
            ("the terminal hangs up", "stuck", ["--run"], signalled(signal.SIGHUP), 129),
            ("Ctrl-\\ during a run", "stuck", ["--run"], signalled(signal.SIGQUIT), 131),
        ]
        rosters = {"a bad roster file": "id,delay_ms,cut_ms\nA,0,1.5\n",
                   # A minute's cut: however late the signal comes, the run is not yet stuck.
                   **{what: "id,delay_ms,cut_ms\nA,0,60000\n" for what in (
                       "Ctrl-C during a run", "SIGTERM during a run", "the terminal hangs up",
                       "Ctrl-\\ during a run")}}
        for what, mode, options, meanwhile, expected in rows:
            with self.subTest(what), tempfile.TemporaryDirectory() as scratch:
                full = open("/dev/full", "wb") if meanwhile == "/dev/full" else None
                c = Companion(scratch, *options, mode=mode, stdout=full,
                              **({"roster": rosters[what]} if what in rosters else {}))
                if callable(meanwhile):
                    meanwhile(c)
                if full:
                    full.close()
                status, out, err, _ = c.end()
                self.assertEqual(status, expected, err + out[-3000:])
                # Every program the companion started has been ended and reaped, and so has
                # every process they started.
                if os.path.exists(c.pids):
                    self.assertFalse(c.children())
                self.assertFalse(c.left_behind())
                if full:
                    self.assertEqual(err, "barbershop-trace: cannot write to standard output: "
                                          "No space left on device\n")
                if mode == "silent":
                    self.assertIn("asked for nothing within 10 s of its start "
                                  "(the menu was awaited)", err)


class Relay(unittest.TestCase):
    def test_piped_answers_without_a_last_newline_end_as_the_program_alone_does(self):
        for answers in ["1\nA\n0\n100\n6", "1\nA\n0\n100\n6\n7", "1\nA\n0\n100\n6\n\n  7"]:
            with self.subTest(answers=answers), tempfile.TemporaryDirectory() as scratch:
                alone = subprocess.run([BINARY], input=answers.encode(), capture_output=True,
                                       timeout=60)
                c = Companion(scratch, program=BINARY, answers=answers)
                status, out, err, runs = c.end()
                self.assertEqual((status, err), (alone.returncode, ""))
                self.assertEqual([r["end"] for r in runs], ["closed"])
                # The barber's bed line may come after the menu, with the program alone too.
                self.assertTrue(out.replace(BED, "").endswith("Your choice: "), out[-300:])

    def test_a_program_stopped_longer_than_the_margin_is_not_stuck(self):
        with tempfile.TemporaryDirectory() as scratch:
            # A 4-second cut: the margin is 6 s of the program's time, and it is stopped for 7,
            # counted from when it is seen stopped.
            c = Companion(scratch, "--run", mode="pause", roster="id,delay_ms,cut_ms\nA,0,4000\n")
            c.until("<<Customer A: see Barber sleeping>>")
            fake = c.children()[0]
            os.kill(fake, signal.SIGSTOP)
            self.assertTrue(wait_for(lambda: (process(fake) or "?")[0] == "T"))
            time.sleep(7)
            os.kill(fake, signal.SIGCONT)
            status, out, err, runs = c.end()
        self.assertEqual((status, [r["end"] for r in runs]), (0, ["closed"]), err + out[-3000:])

    def test_runs_go_on_after_a_stuck_run_with_a_fresh_program(self):
        with tempfile.TemporaryDirectory() as scratch:
            c = Companion(scratch, "--runs", "3", stuck_run=2)
            descriptors = []
            for run in range(1, 4):
                c.until("\n<<Customer A: see Barber sleeping>>\n", run)
                descriptors.append(c.descriptors())
            status, out, err, runs = c.end()
            self.assertEqual(len(c.started()), 2)
            self.assertFalse(c.left_behind())
        self.assertEqual(status, 1, err + out[-3000:])
        self.assertEqual([(r["number"], r["end"]) for r in runs],
                         [(1, "closed"), (2, "stuck"), (3, "closed")])
        # A fresh program gets fresh pipes, and the old ones are closed.
        self.assertEqual(descriptors, descriptors[:1] * 3)


if __name__ == "__main__":
    unittest.main()
