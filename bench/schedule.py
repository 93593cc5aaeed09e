"""The exact schedule of a roster, as barbershop-trace works it out (`barbershop-trace schedule
--roster FILE --json`): the benchmark keeps no schedule of its own. Also draws the seeded
rosters the fidelity measure plays. A roster is a list of (cid, delay ms, cutting ms)."""
import json
import os
import random
import subprocess
import tempfile


def write_roster(roster, path):
    """Writes `roster` as the roster CSV file barbershop-trace reads."""
    with open(path, "w") as f:
        f.write("id,delay_ms,cut_ms\n")
        f.writelines(f"{cid},{delay},{cut}\n" for cid, delay, cut in roster)


class Schedules:
    """Asks barbershop-trace for the schedule of each roster once; every call is a process
    start (a few milliseconds), so the answers are kept for the life of this object."""

    def __init__(self, companion):
        self.companion = companion
        self.asked = 0
        self._known = {}
        self._dir = tempfile.TemporaryDirectory(prefix="bench-rosters-")

    def of(self, roster):
        """The schedule's JSON: {"customers": [{id, arrival_ms, outcome, start_ms?,
        finish_ms?}], "closing_ms", "longest_queue"}, customers in roster order."""
        key = tuple(roster)
        if key not in self._known:
            path = os.path.join(self._dir.name, "roster.csv")
            write_roster(roster, path)
            done = subprocess.run([self.companion, "schedule", "--roster", path, "--json"],
                                  capture_output=True, text=True)
            if done.returncode != 0:
                raise RuntimeError(f"{self.companion} schedule failed ({done.returncode}): "
                                   f"{done.stderr.strip()}")
            self._known[key] = json.loads(done.stdout)
            self.asked += 1
        return self._known[key]


def is_cut(customer):
    return customer["outcome"] != "sent-away"


def events(schedule):
    """(exact ms, kind, cid) of every start line, finish line and the closing line."""
    found = [(c[f"{kind}_ms"], kind, c["id"])
             for c in schedule["customers"] if is_cut(c) for kind in ("start", "finish")]
    found.append((schedule["closing_ms"], "closing", ""))
    return sorted(found)


def spaced(moments, margin):
    ordered = sorted(moments)
    return all(b - a >= margin for a, b in zip(ordered, ordered[1:]))


def separated(schedule, margin):
    """True when no two moments of the schedule (arrivals, finishes) lie closer than `margin`
    ms: then no measured jitter smaller than that can change who waits or leaves."""
    customers = schedule["customers"]
    return spaced([c["arrival_ms"] for c in customers] +
                  [c["finish_ms"] for c in customers if is_cut(c)], margin)


def seeded_roster(seed, schedules, customers=10, delays=(10, 900), cuts=(150, 450), margin=40):
    """A roster drawn from `seed`, drawn again until its schedule is separated by `margin`.
    Arrivals are the delays, so a draw whose delays already lie too close is rejected without
    asking for its schedule: of the thousands of draws a seed takes, a few dozen are asked."""
    rng = random.Random(seed)
    while True:
        roster = [(f"c{i}", rng.randint(*delays), rng.randint(*cuts)) for i in range(customers)]
        if not spaced([max(delay, 0) for _, delay, _ in roster], margin):
            continue
        schedule = schedules.of(roster)
        if separated(schedule, margin):
            return roster, schedule
