"""How often each variant of the shop shows its fault: every variant built from variants/*.patch
is run through barbershop-trace on its own scenario, `--variant NAME --runs N` in one process
(a stuck run is ended and a fresh program started), and the runs whose verdict is not clean are
counted, with the rules the companion named in them ("stuck" for a run it had to end).

Usage: python3 bench/variants.py BUILD_DIR [--runs N] [NAME ...]
  BUILD_DIR  holds barbershop-trace, built with its variants
  --runs N   runs per variant (default 200)
  NAME       only these variants
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


def runs_of(trace, name, runs, export):
    """Per run, the rules its verdict named, "stuck" first when the companion ended it; empty
    when every rule held."""
    done = subprocess.run([trace, "--variant", name, "--runs", str(runs), "--quiet",
                           "--export-json", export], stdout=subprocess.DEVNULL,
                          stderr=subprocess.PIPE, text=True, check=False)
    if done.returncode not in (0, 1):
        sys.exit(f"{trace} --variant {name} ended with {done.returncode}: {done.stderr.strip()}")
    with open(export) as f:
        exported = json.load(f)["runs"]
    named = []
    for run in exported:
        rules = ["stuck"] if run["end"] != "closed" else []
        for finding in run["verdict"]["broken"]:
            if finding["rule"] not in rules:
                rules.append(finding["rule"])
        named.append(rules)
    return named


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
        export = os.path.join(scratch, "runs.json")
        for name in chosen:
            started = time.monotonic()
            per_run = runs_of(trace, name, options.runs, export)
            minutes = (time.monotonic() - started) / 60
            named = collections.Counter(rule for rules in per_run for rule in rules)
            faulty = sum(1 for rules in per_run if rules)
            rules = ", ".join(f"{rule} {count}" for rule, count in named.most_common())
            print(f"| {name} | {scenario_of(name)} | {faulty} / {len(per_run)} | {rules or '-'} "
                  f"| {minutes:.1f} |", flush=True)


if __name__ == "__main__":
    main()
