#!/usr/bin/env bash
# The report files seen as their readers see them. barbershop-trace writes the reports of a full
# house, of a wake-up race and of a session of twenty close calls; `render` of the saved logs
# must give the same files again, byte for byte. Then Debian's headless Chromium, driven by
# playwright-core (tests/browser/pages.mjs), plays each run page: the shop it draws at every
# state line must be the program's own block; the keys, the #t= address and zoom move the
# cursor and the lanes as they should, and a press or a drag on the lanes carries the cursor; at
# 375 px no text is below 11 px and nothing is cut off; at 1280x720 the shop and the lanes share
# the screen, and at 150 % no name in the shop is cut; the page of a stuck run (a saved log of
# the lost-wakeup variant) opens where it got stuck, every time in its verdict a link there; the
# page of a controlled run that got stuck (a saved log of the double-wake variant under the plain
# order) says so in its header, draws the locks held, the waits and what ended them in step with
# the zoom, and its numbered story's steps move the cursor to their instants; the session page
# links every run and its compare view draws two runs, zooms and keeps them in the address. A
# page that logs to the console or asks for anything but itself fails. Last, each trace must be
# valid Trace Event JSON with a named thread per customer, and each drawn page have a lane per
# customer and a screenshot of more than one colour. And the live page (tests/browser/live.mjs):
# a full house followed live draws each state block as the program printed it, catches up after a
# reload and fits a projector's 1280x720; the lost-wakeup variant driven from the page's buttons
# meets its challenge, and the correct shop driven alike does not.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/deps.sh chromium
# Node brings npm where it comes from Debian's archive; some images ship a node with npm inside.
if ! command -v node >/dev/null 2>&1 || ! command -v npm >/dev/null 2>&1; then
  scripts/deps.sh nodejs npm
fi
# CI has just built build-ci with warnings as errors; reusing it keeps the pass short.
build=build-browser
[ -f build-ci/CMakeCache.txt ] && build=build-ci
cmake -S . -B "$build" -DBARBERSHOP_WERROR=ON >/dev/null
cmake --build "$build" -j "$(nproc)" --target barbershop barbershop-trace \
  barbershop-scheduler variants >/dev/null
(cd tests/browser && npm ci --no-audit --no-fund --loglevel=error >/dev/null)

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Runs barbershop-trace with the given arguments; 1 is a broken rule, which the end-to-end tests
# judge: the files must be there all the same.
trace() {
  local status=0
  "$build/barbershop-trace" "$@" >"$work/summary" 2>&1 || status=$?
  if [ "$status" -gt 1 ]; then
    echo "pass-browser: barbershop-trace $* ended with status $status" >&2
    cat "$work/summary" >&2
    exit 1
  fi
}

# `render` of a folder's logs must give each of its files again: every run's three, and the
# session's page when there are several (one log alone leaves index.html be).
same_again() {
  local dir=$1
  "$build/barbershop-trace" render "$dir"/run-*.jsonl --report "$dir-again" 2>/dev/null
  [ "$(ls "$dir"/run-* | wc -l)" -eq "$(ls "$dir-again"/run-* | wc -l)" ] ||
    { echo "pass-browser: render of $dir gave another set of files" >&2; exit 1; }
  for file in "$dir-again"/*; do
    cmp "$file" "$dir/$(basename "$file")" ||
      { echo "pass-browser: render gave another $(basename "$file")" >&2; exit 1; }
  done
}

for scenario in full-house wake-up-race; do
  trace --scenario "$scenario" --run --quiet --report "$work/$scenario"
  same_again "$work/$scenario"
done
trace --scenario close-call --runs 20 --quiet --report "$work/session"
same_again "$work/session"

# A stuck run, saved: the variant gets stuck in some runs only, its log every time.
"$build/barbershop-trace" render tests/browser/stuck-lost-wakeup.jsonl --report "$work/stuck" 2>/dev/null
"$build/barbershop-trace" render tests/browser/controlled-double-wake.jsonl --report "$work/controlled" \
  2>/dev/null

node tests/browser/live.mjs "$build"
node tests/browser/pages.mjs run "$work/full-house" run "$work/wake-up-race" session "$work/session" \
  stuck "$work/stuck" controlled "$work/controlled"

for scenario in full-house wake-up-race; do
  python3 - "$work/$scenario" <<'EOF'
import html.parser, json, re, sys, zlib

out = sys.argv[1]
def fail(message):
    sys.exit(f"pass-browser: {out}: {message}")

with open(f"{out}/run-1.jsonl", encoding="utf-8") as log:
    roster = [entry["id"] for entry in json.loads(log.readline())["roster"]]

# The page: self-contained, its only scripts its own two (the player's data and the player).
with open(f"{out}/run-1.html", encoding="utf-8") as page:
    text = page.read()
for outside in ("<link rel=\"stylesheet\"", "@import", "https://", " src=", "url(http", "fetch("):
    if outside in text:
        fail(f"the page reaches outside itself: {outside}")
if text.replace('xmlns="http://www.w3.org/2000/svg"', "").count("http://"):
    fail("the page names a network address")
scripts = re.findall(r"<script[^>]*>", text)
if scripts != ['<script type="application/json" id="player-data">', "<script>"]:
    fail(f"the page's scripts are {scripts}")

class Lanes(html.parser.HTMLParser):
    def __init__(self):
        super().__init__()
        self.customers, self.others = [], []
    def handle_starttag(self, tag, attrs):
        attrs = dict(attrs)
        if attrs.get("data-lane") == "customer":
            self.customers.append(attrs.get("data-id"))
        elif "data-lane" in attrs:
            self.others.append(attrs["data-lane"])

lanes = Lanes()
with open(f"{out}/dom.html", encoding="utf-8") as dom:
    lanes.feed(dom.read())
if lanes.customers != roster:
    fail(f"the drawn page has lanes for {lanes.customers}, the roster is {roster}")
if sorted(lanes.others) != ["barber", "queue"]:
    fail(f"the drawn page lacks the barber's or the queue's lane: {lanes.others}")

# The screenshot: a PNG of some size, not of a single colour.
with open(f"{out}/shot.png", "rb") as shot:
    png = shot.read()
if len(png) < 10 * 1024 or not png.startswith(b"\x89PNG"):
    fail(f"the screenshot is empty ({len(png)} bytes)")
idat, at = b"", 8
while at < len(png):
    length = int.from_bytes(png[at:at + 4], "big")
    if png[at + 4:at + 8] == b"IDAT":
        idat += png[at + 8:at + 8 + length]
    at += 12 + length
if len(set(zlib.decompress(idat))) < 16:
    fail("the screenshot is of one colour")

# The trace: every event with the fields its phase needs, a named thread per actor, a counter.
with open(f"{out}/run-1.trace.json", encoding="utf-8") as trace_file:
    trace = json.load(trace_file)
threads, phases = {}, set()
for event in trace["traceEvents"]:
    phase = event.get("ph")
    phases.add(phase)
    need = {"M": ("name", "pid", "tid", "args"), "X": ("name", "pid", "tid", "ts", "dur"),
            "i": ("name", "pid", "tid", "ts", "s"), "C": ("name", "pid", "ts", "args")}.get(phase)
    if need is None or any(field not in event for field in need):
        fail(f"a trace event lacks a field of its phase: {event}")
    if phase in "XiC" and not isinstance(event["ts"], (int, float)):
        fail(f"a trace event's time is no number: {event}")
    if phase == "X" and event["dur"] < 0:
        fail(f"a complete event ends before it starts: {event}")
    if phase == "M" and event["name"] == "thread_name":
        threads[event["tid"]] = event["args"]["name"]
names = list(threads.values())
if "Barber" not in names or any(names.count(f"Customer {id}") != roster.count(id) for id in roster):
    fail(f"the trace's threads are {names}, the roster is {roster}")
if not {"X", "C", "i"} <= phases:
    fail(f"the trace lacks complete events, the queue counter or instants: {sorted(phases)}")
print(f"pass-browser: {out.rsplit('/', 1)[-1]}: {len(roster)} lanes drawn, trace of "
      f"{len(trace['traceEvents'])} events")
EOF
done
