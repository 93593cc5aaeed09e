"""How often each variant of the shop shows its fault: every variant built from variants/*.patch
is run through barbershop-trace on the scenario its header names, one `--run` per process
(`--runs` would stop at the first stuck run), and the runs whose verdict is not clean are
counted, with the rules the companion named in them ("stuck" for a run it had to end).

Usage: python3 bench/variants.py BUILD_DIR [--runs N] [NAME[=ROSTER.csv] ...]
  BUILD_DIR  holds barbershop-trace and variants/NAME
  --runs N   runs per variant (default 200)
  NAME       only these variants; =ROSTER.csv plays that roster file instead of the scenario
Prints one Markdown row per variant; asserts nothing. A stuck run takes its schedule's length
plus two seconds or more before the companion ends it."""
import argparse
import collections
import json
import os
import re
import subprocess
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))


def scenario_of(name):
    """The Scenario field of variants/NAME.patch."""
    with open(os.path.join(ROOT, "variants", name + ".patch")) as f:
        header = f.read().split("\n---\n", 1)[0]
    found = re.search(r"^Scenario: (.+)$", header, re.M)
    if not found:
        sys.exit(f"variants/{name}.patch names no scenario")
    return found.group(1)


def one_run(trace, program, roster_args, export):
    """The rules named by one run's verdict, "stuck" first when the companion ended it;
    empty when every rule held."""
    done = subprocess.run([trace, "--program", program, *roster_args, "--run", "--quiet",
                           "--export-json", export], stdout=subprocess.DEVNULL,
                          stderr=subprocess.PIPE, text=True, check=False)
    if done.returncode not in (0, 1):
        sys.exit(f"{trace} {' '.join(roster_args)} ended with {done.returncode}: "
                 f"{done.stderr.strip()}\n(a scenario it does not list yet: give NAME=ROSTER.csv)")
    with open(export) as f:
        run = json.load(f)["runs"][0]
    rules = ["stuck"] if run["end"] != "closed" else []
    for finding in run["verdict"]["broken"]:
        if finding["rule"] not in rules:
            rules.append(finding["rule"])
    return rules


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("build")
    parser.add_argument("--runs", type=int, default=200)
    parser.add_argument("variants", nargs="*")
    options = parser.parse_intermixed_args()
    trace = os.path.join(options.build, "barbershop-trace")
    chosen = options.variants or sorted(
        name[:-len(".patch")] for name in os.listdir(os.path.join(ROOT, "variants"))
        if name.endswith(".patch"))

    print("| variant | scenario | faulty runs | rules named (runs) | minutes |")
    print("|---|---|---|---|---|")
    with tempfile.TemporaryDirectory(prefix="bench-variants-") as scratch:
        export = os.path.join(scratch, "run.json")
        for choice in chosen:
            name, _, roster = choice.partition("=")
            scenario = scenario_of(name)
            roster_args = ["--roster", roster] if roster else ["--scenario", scenario]
            program = os.path.join(options.build, "variants", name)
            named = collections.Counter()
            faulty = 0
            started = time.monotonic()
            for _ in range(options.runs):
                rules = one_run(trace, program, roster_args, export)
                faulty += bool(rules)
                named.update(rules)
            minutes = (time.monotonic() - started) / 60
            rules = ", ".join(f"{rule} {count}" for rule, count in named.most_common())
            print(f"| {name} | {scenario} | {faulty} / {options.runs} | {rules or '-'} "
                  f"| {minutes:.1f} |", flush=True)


if __name__ == "__main__":
    main()
