"""Checks the transcript of a barbershop run: what must hold whatever the interleaving."""
import re

RULE = "-" * 24 + "\n"
CLOSING = "\nFinished all customers.\n"
_TOKEN = re.compile(
    r"\n<<Customer (?P<cid>[^\n]*?) ?: (?P<what>[^\n]*)>>\n"
    r"|\n\[\[(?P<barber>Barber going to bed|Barber woken up"
    r"|(?P<cut>start|finish) cutting: customer (?P<bid>[^\n]*))\]\]\n"
    r"|Curr: (?:\{(?P<curr>[^\n]*)\})?\nWait Queue: (?P<wait>(?:\[[^\]\n]*\])*)"
    r"\n(?:Finished: (?P<fin>(?:\[[^\]\n]*\])+)\n)?(?:Go away: (?P<gone>(?:\[[^\]\n]*\])+)\n)?" +
    RULE + r"|(?P<closing>\nFinished all customers\.\n)")
# A customer's line, as a letter: its visit must spell a word of VISIT.
_LETTER = {"see Barber sleeping": "S", "try to wake up barber": "T",
           "woken up barber successfully": "W", "failed to wake up barber": "F",
           "see Barber not sleeping": "N", "see WaitQueue full, go away": "U",
           "see WaitQueue not full, try to get a chair to sit down": "C",
           "got a chair successfully": "G", "failed to get a chair, go away": "X",
           "waiting": "A", "go away after being cut": "L"}
VISIT = re.compile(r"((STF)*NC)*(STF)*(STWAL|NU|NCX|NCGAL)")
BLOCKS_AFTER = {"W": 1, "L": 1, "U": 1, "C": 1, "G": 1}


def entries(text):
    return re.findall(r"\[([^\]\n]*)\]", text or "")


def check(text, ids, chairs=6):
    """The faults of the run whose narration starts `text` and ends at its closing line."""
    faults, at, visits, cuts, cutting, woken = [], 0, {i: "" for i in ids}, [], None, False
    seated_before, left_cut, blocks, wakes = set(), set(), 0, 0
    finishes, sat, said_gone, listed_gone = [], set(), set(), set()
    while True:
        token = _TOKEN.match(text, at)
        if not token:
            return faults + [f"not a whole line or block at {at}: {text[at:at + 80]!r}"]
        at = token.end()
        if token["cid"] is not None:
            cid, letter = token["cid"], _LETTER.get(token["what"], "?")
            # Only the waiting line has a blank before its colon.
            if cid not in visits or letter == "?" or (letter == "A") != (" :" in token[0]):
                faults.append(f"unknown line {token[0]!r}")
                continue
            visits[cid] += letter
            if letter == "L":
                left_cut.add(cid)
            if letter in "GUX":
                (sat if letter == "G" else said_gone).add(cid)
        elif token["cut"] == "start":
            if cutting is not None:
                faults.append(f"{token['bid']} cut while {cutting} is in the chair")
            cutting = token["bid"]
            cuts.append((cutting, woken))
            woken = False
        elif token["cut"] == "finish":
            if cutting != token["bid"]:
                faults.append(f"{token['bid']} finished while {cutting} was in the chair")
            cutting = None
            finishes.append(token["bid"])
        elif token["barber"] == "Barber woken up":
            woken, wakes = True, wakes + 1
        elif token["closing"]:
            break
        elif token["barber"] is None:
            blocks += 1
            waiting, cut_ids = entries(token["wait"]), [c for c, _ in cuts]
            if len(waiting) > chairs:
                faults.append(f"{len(waiting)} waiting: {token[0]!r}")
            if left_cut - set(entries(token["fin"])):
                faults.append(f"{sorted(left_cut - set(entries(token['fin'])))} not finished")
            if set(waiting) & set(cut_ids):
                faults.append(f"already cut but waiting: {token[0]!r}")
            # A block is taken under the console lock, so it shows what the lines before it
            # report: seats taken (but the one the barber has just taken from the queue), gone
            # aways, the cut under way and the finished cuts (but the last one, if not listed yet).
            fin, gone = entries(token["fin"]), entries(token["gone"])
            listed_gone.update(gone)
            if fin != finishes[:len(fin)] or len(fin) < len(finishes) - 1 or len(
                    sat - set(cut_ids) - set(waiting)) > 1 or said_gone - set(gone) or (
                    cutting is not None and token["curr"] != cutting):
                faults.append(f"block out of date after {finishes} finished: {token[0]!r}")
            seated_before.update(zip(waiting, waiting[1:]))
    for cid, word in visits.items():
        if not VISIT.fullmatch(word):
            faults.append(f"customer {cid} went {word!r}")
        times = sum(1 for c, _ in cuts if c == cid)
        if times != word.endswith("L"):
            faults.append(f"customer {cid} went {word!r} and was cut {times} times")
    faults += [f"{cid} listed as gone away" for cid in listed_gone - said_gone]
    for cid, after_wake in cuts:
        if ("W" if after_wake else "G") not in visits.get(cid, ""):
            faults.append(f"{cid} cut {'on a wake-up it did not make' if after_wake else 'unseated'}")
    order = [c for c, _ in cuts]
    faults += [f"{a} sat before {b} but was cut after" for a, b in seated_before
               if a in order and b in order and order.index(a) > order.index(b)]
    expected = sum(BLOCKS_AFTER.get(letter, 0) for word in visits.values() for letter in word)
    if blocks != expected:
        faults.append(f"{blocks} state blocks, expected {expected}")
    if wakes != sum(word.count("W") for word in visits.values()):
        faults.append(f"barber woken {wakes} times")
    return faults


def runs(out):
    """Each run's narration in a session's output, from the Run choice to the closing line."""
    segments, end = [], 0
    while (closing := out.find(CLOSING, end)) >= 0:
        start = out.rfind("Your choice: ", end, closing) + len("Your choice: ")
        segments.append(out[start:closing + len(CLOSING)])
        end = closing + len(CLOSING)
    return segments


def check_session(out, rosters):
    """The faults of every run of a session; rosters[i] holds the IDs of run i."""
    segments = runs(out)
    faults = [f"{len(segments)} runs ended, expected {len(rosters)}"] * (
        len(segments) != len(rosters))
    for number, (segment, ids) in enumerate(zip(segments, rosters)):
        faults += [f"run {number}: {fault}" for fault in check(segment, ids)]
    outside, end = "", 0
    for segment in segments:  # in order, so that a long session takes linear time
        start = out.index(segment, end)
        outside, end = outside + out[end:start], start + len(segment)
    if "<<Customer" in outside + out[end:] or "cutting: customer" in outside + out[end:]:
        faults.append("narration outside a run")
    return faults
