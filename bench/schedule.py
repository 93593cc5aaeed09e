"""The exact schedule of a run: when each cut starts and ends and who goes away, had the shop's
machinery cost nothing. Also draws the seeded rosters the fidelity measure plays."""
import random
from dataclasses import dataclass, field

CHAIRS = 6


@dataclass
class Outcome:
    """One customer's ideal visit; times in milliseconds after the Run choice."""
    cid: str
    arrival: int
    start: int | None = None  # None: sent away
    finish: int | None = None

    @property
    def cut(self):
        return self.start is not None

    @property
    def leaves(self):
        return self.finish if self.cut else self.arrival


@dataclass
class Schedule:
    outcomes: dict = field(default_factory=dict)  # cid -> Outcome
    closing: int = 0  # the closing line: when the last customer has left

    def events(self):
        """(ideal ms, kind, cid) of every start line, finish line and the closing line."""
        found = []
        for o in self.outcomes.values():
            if o.cut:
                found += [(o.start, "start", o.cid), (o.finish, "finish", o.cid)]
        found.append((self.closing, "closing", ""))
        return sorted(found)


def simulate(roster):
    """The schedule of `roster`, a list of (cid, delay ms, cutting ms) in roster order.

    One barber, CHAIRS waiting chairs served first come first served. A customer who finds
    the barber asleep wakes him and is cut at once, before anybody seated; one who finds him
    busy sits down, or goes away when every chair is taken. Customers arriving at the same
    moment are taken in roster order; a finish at the moment of an arrival comes first."""
    outcomes = {cid: Outcome(cid, delay) for cid, delay, _ in roster}
    cutting = {cid: cut for cid, _, cut in roster}
    arrivals = sorted(range(len(roster)), key=lambda i: (roster[i][1], i))
    queue, free_at, busy = [], 0, False

    def serve_until(moment):
        # Cuts end, and the next seated customer is taken, up to and including `moment`.
        nonlocal free_at, busy
        while busy and free_at <= moment:
            if queue:
                nxt = outcomes[queue.pop(0)]
                nxt.start, nxt.finish = free_at, free_at + max(cutting[nxt.cid], 0)
                free_at = nxt.finish
            else:
                busy = False

    for i in arrivals:
        cid, delay, _ = roster[i]
        serve_until(delay)
        o = outcomes[cid]
        if not busy:
            o.start, o.finish, busy = delay, delay + max(cutting[cid], 0), True
            free_at = o.finish
        elif len(queue) < CHAIRS:
            queue.append(cid)
    serve_until(float("inf"))
    schedule = Schedule(outcomes)
    schedule.closing = max(o.leaves for o in outcomes.values())
    return schedule


def separated(schedule, margin):
    """True when no two distinct moments of the schedule (arrivals, finishes) lie closer than
    `margin` ms: then no measured jitter smaller than that can change who waits or leaves."""
    moments = sorted([o.arrival for o in schedule.outcomes.values()] +
                     [o.finish for o in schedule.outcomes.values() if o.cut])
    return all(b - a >= margin for a, b in zip(moments, moments[1:]))


def seeded_roster(seed, customers=10, delays=(10, 900), cuts=(150, 450), margin=40):
    """A roster drawn from `seed`, drawn again until its schedule is separated by `margin`."""
    rng = random.Random(seed)
    while True:
        roster = [(f"c{i}", rng.randint(*delays), rng.randint(*cuts)) for i in range(customers)]
        schedule = simulate(roster)
        if separated(schedule, margin):
            return roster, schedule
