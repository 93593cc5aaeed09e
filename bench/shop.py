"""The built program (alone or through barbershop-trace) at the end of two pipes, driven like a
user at the console. Every chunk of its (unbuffered) standard output is stamped with the
monotonic clock the moment it is read, so any text in the output has the time at which its last
character arrived."""
import bisect
import os
import re
import select
import subprocess
import time

PROMPT = "Your choice: "
CLOSING = "\nFinished all customers.\n"
BED = "\n[[Barber going to bed]]\n"
_LINE = re.compile(r"\n(?:<<Customer (?P<cid>[^\n]*?) ?: (?P<what>[^\n]*)>>"
                   r"|\[\[(?P<cut>start|finish) cutting: customer (?P<bid>[^\n]*)\]\]"
                   r"|(?P<closing>Finished all customers\.))\n")


def now():
    return time.perf_counter_ns()


class Shop:
    def __init__(self, command):
        """`command`: the program's path, or a list of the arguments of a command that runs it
        (barbershop-trace with its options)."""
        self.launched = now()
        command = [command] if isinstance(command, str) else list(command)
        self.proc = subprocess.Popen(command, stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                     stderr=subprocess.PIPE, bufsize=0)
        self.fd = self.proc.stdout.fileno()
        self.poll = select.poll()
        self.poll.register(self.fd, select.POLLIN)
        self._watch = False
        self.out = ""
        self.ends, self.stamps = [], []  # chunk i ends at offset ends[i], read at stamps[i]

    @property
    def watch(self):
        """Watching, the reader never sleeps between reads, so each line is stamped within
        microseconds of its write however soon it follows the one before; it runs at idle
        priority meanwhile, on processor time no thread of the program wants. Programs started
        after this inherit that priority: start them before."""
        return self._watch

    @watch.setter
    def watch(self, on):
        try:
            os.sched_setscheduler(0, os.SCHED_IDLE if on else os.SCHED_OTHER, os.sched_param(0))
        except PermissionError:
            pass  # back from idle priority takes CAP_SYS_NICE: the reader simply stays there
        self._watch = on

    def send(self, text):
        """Writes `text` to the program's input; returns the time just before the write."""
        t = now()
        os.write(self.proc.stdin.fileno(), text.encode())
        return t

    def _read(self, deadline):
        if self.watch:
            while not self.poll.poll(0):
                if now() > deadline:
                    raise TimeoutError(f"no output for a while; last: {self.out[-300:]!r}")
        else:
            left = (deadline - now()) / 1e6
            if left <= 0 or not self.poll.poll(left):
                raise TimeoutError(f"no output for a while; last: {self.out[-300:]!r}")
        chunk = os.read(self.fd, 1 << 16)
        t = now()
        if not chunk:
            raise EOFError(f"the program ended: {self.out[-300:]!r}")
        self.out += chunk.decode("latin-1")
        self.ends.append(len(self.out))
        self.stamps.append(t)

    def forget(self):
        """Drops the output read so far; offsets count from here on."""
        self.out, self.ends, self.stamps = "", [], []

    def expect(self, text, start=0, seconds=30):
        """Waits for `text` at or after offset `start`; returns the offset just after it."""
        deadline = now() + int(seconds * 1e9)
        while (at := self.out.find(text, start)) < 0:
            self._read(deadline)
        return at + len(text)

    def expect_count(self, text, count, start=0, seconds=30):
        """Waits for `count` occurrences of `text` after `start`; offset after the last."""
        for _ in range(count):
            start = self.expect(text, start, seconds)
        return start

    def stamp(self, end):
        """When the character just before offset `end` arrived."""
        return self.stamps[bisect.bisect_left(self.ends, end)]

    def lines(self, start, end):
        """The narration lines between two offsets: (time, cid, what) for customers' lines,
        (time, None, 'start'/'finish'/'closing' [, cid]) for the barber's and the run's."""
        found = []
        for m in _LINE.finditer(self.out, start, end):
            t = self.stamp(m.end())
            if m["cid"] is not None:
                found.append((t, m["cid"], m["what"]))
            elif m["cut"]:
                found.append((t, None, m["cut"], m["bid"]))
            else:
                found.append((t, None, "closing", ""))
        return found

    def run(self, roster, seconds=60, timed=True):
        """Adds `roster` ((cid, delay, cut) ...), chooses Run and waits until the run is over
        and the barber back in bed. Returns (t0, start, end): the moment of sending the
        choice and the output offsets of the run's narration. Timed, the choice is sent
        only once the menu is back after the last addition, so that t0 is the run's start."""
        at = len(self.out)
        answers = "".join(f"1\n{cid}\n{delay}\n{cut}\n" for cid, delay, cut in roster)
        if not timed:
            t0 = self.send(answers + "6\n")
            start = self.expect_count(PROMPT, len(roster), at, seconds)
        else:
            self.send(answers)
            start = self.expect_count(PROMPT, len(roster), at, seconds)
            t0 = self.send("6\n")
        end = self.expect(CLOSING, start, seconds)
        self.settle(start)
        return t0, start, end

    def settle(self, start=0, seconds=30):
        """Waits for the menu after the run that follows `start` (or after start-up), and for
        the barber's bed line after the last cut."""
        closing = self.out.find(CLOSING, start)
        self.expect(PROMPT, closing if closing >= 0 else start, seconds)
        self.expect(BED, max(start, self.out.rfind("[[finish cutting", start)), seconds)

    def cpu_ticks(self):
        fields = open(f"/proc/{self.proc.pid}/stat").read().rsplit(")", 1)[1].split()
        return int(fields[11]) + int(fields[12])  # utime + stime, all threads

    def rss_kib(self):
        for line in open(f"/proc/{self.proc.pid}/status"):
            if line.startswith("VmRSS:"):
                return int(line.split()[1])
        raise RuntimeError("no VmRSS")

    def close(self, allowed=(0,)):
        """Chooses Exit and expects a clean end (an exit status in `allowed`) with nothing on
        standard error; returns the exit status."""
        try:
            self.send("7\n")
        except BrokenPipeError:
            pass
        err = self.proc.stderr.read()
        code = self.proc.wait(timeout=10)
        if code not in allowed or err:
            raise RuntimeError(f"the program ended with {code}: {err[-500:]!r}")
        return code
