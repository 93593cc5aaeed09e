#!/usr/bin/env bash
# The report files seen as their readers see them: barbershop-trace writes the reports of a full
# house and of a wake-up race, headless Chromium opens each page, and the pass fails when a page
# logs anything to the console (it has no script, so anything there is an error), reaches for the
# network, lacks a lane for a customer of the roster or draws an empty screenshot; when a trace
# is not valid Trace Event JSON with a named thread per customer; or when `render` of a saved log
# does not give the same files again.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/deps.sh chromium
# CI has just built build-ci with warnings as errors; reusing it keeps the pass short.
build=build-browser
[ -f build-ci/CMakeCache.txt ] && build=build-ci
cmake -S . -B "$build" -DBARBERSHOP_WERROR=ON >/dev/null
cmake --build "$build" -j "$(nproc)" --target barbershop barbershop-trace >/dev/null

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

chromium_run() {
  # No sandbox: CI runs as root. Nothing that would reach for the network on its own.
  timeout 60 chromium --headless --no-sandbox --disable-gpu --disable-quic --no-first-run \
    --disable-background-networking --disable-component-update --disable-sync \
    --user-data-dir="$(mktemp -d -p "$work")" --enable-logging=stderr --v=0 "$@"
}

for scenario in full-house wake-up-race; do
  echo "pass-browser: $scenario"
  out="$work/$scenario"
  status=0
  "$build/barbershop-trace" --scenario "$scenario" --run --quiet --report "$out" \
    >"$work/$scenario.summary" || status=$?
  # 1 is a broken rule, which the end-to-end tests judge; the files must be there all the same.
  if [ "$status" -gt 1 ]; then
    echo "pass-browser: barbershop-trace ended with status $status" >&2
    cat "$work/$scenario.summary" >&2
    exit 1
  fi
  "$build/barbershop-trace" render "$out/run-1.jsonl" --report "$out-again" 2>/dev/null
  for file in run-1.jsonl run-1.trace.json run-1.html; do
    cmp "$out/$file" "$out-again/$file" ||
      { echo "pass-browser: render gave another $file" >&2; exit 1; }
  done

  page="file://$out/run-1.html"
  chromium_run --dump-dom "$page" >"$out/dom.html" 2>"$out/console.log"
  chromium_run --window-size=1200,1400 --screenshot="$out/shot.png" "$page" \
    >/dev/null 2>>"$out/console.log"
  if grep -F ':CONSOLE' "$out/console.log" >&2; then
    echo "pass-browser: $scenario's page logged to the console" >&2
    exit 1
  fi

  python3 - "$out" <<'EOF'
import html.parser, json, sys, zlib

out = sys.argv[1]
def fail(message):
    sys.exit(f"pass-browser: {out}: {message}")

with open(f"{out}/run-1.jsonl", encoding="utf-8") as log:
    roster = [entry["id"] for entry in json.loads(log.readline())["roster"]]

# The page: self-contained, small, and drawn with a lane per customer of the roster.
with open(f"{out}/run-1.html", "rb") as page:
    source = page.read()
if len(source) > 300 * 1024:
    fail(f"the page is {len(source)} bytes, over 300 KB")
text = source.decode("utf-8")
for outside in ("<script", "<link rel=\"stylesheet\"", "@import", "https://", "src="):
    if outside in text:
        fail(f"the page reaches outside itself: {outside}")
if text.replace('xmlns="http://www.w3.org/2000/svg"', "").count("http://"):
    fail("the page names a network address")

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
print(f"pass-browser: {len(roster)} lanes drawn, {len(source)} bytes, trace of "
      f"{len(trace['traceEvents'])} events")
EOF
done
