#!/usr/bin/env python3
"""What a controlled run costs: full-house runs under the scheduler per second on one core,
against the same roster's real-time runs measured in the same minutes; the cost of one scheduling
switch (bench/scheduler_switch.c, preloaded); and how --jobs 2 compares with --jobs 1. Prints a
table and writes it as JSON. Never a test: the figures belong in docs/benchmarks.md.

Usage: controlled.py [BUILD_DIR [OUTPUT_DIR]]   (defaults: build, build/bench)"""
import json
import os
import re
import shutil
import subprocess
import sys
import time

BUILD = sys.argv[1] if len(sys.argv) > 1 else "build"
OUT = sys.argv[2] if len(sys.argv) > 2 else os.path.join(BUILD, "bench")
TRACE = os.path.join(BUILD, "barbershop-trace")
LIBRARY = os.path.join(BUILD, "libbarbershop-scheduler.so")
HERE = os.path.dirname(os.path.abspath(__file__))
ONE_CORE = ["taskset", "-c", "0"] if shutil.which("taskset") else []


def timed(command):
    began = time.monotonic()
    done = subprocess.run(command, capture_output=True, text=True, timeout=3600)
    return time.monotonic() - began, done


def explored(scenario, budget, jobs, one_core=False):
    """Schedules a second of an exploration that holds throughout."""
    command = [*(ONE_CORE if one_core else []), TRACE, "--scenario", scenario, "--explore",
               str(budget), "--seed", "1", "--jobs", str(jobs)]
    seconds, done = timed(command)
    if f"{budget} schedules held every rule" not in done.stdout:
        sys.exit(f"controlled.py: {' '.join(command)} did not hold:\n{done.stdout}{done.stderr}")
    return budget / seconds


def real_time(runs=3):
    """full-house runs a second in real time, through the companion."""
    seconds, done = timed([*ONE_CORE, TRACE, "--scenario", "full-house", "--runs", str(runs),
                           "--quiet"])
    if done.returncode != 0:
        sys.exit(f"controlled.py: the real-time runs failed:\n{done.stderr}")
    return runs / seconds


def switch_us(rounds=200000):
    """Microseconds per switch: two threads passing a token through two semaphores."""
    program = os.path.join(OUT, "scheduler_switch")
    subprocess.run(["cc", "-O2", "-o", program, os.path.join(HERE, "scheduler_switch.c"),
                    "-lpthread"], check=True)
    # The records go to descriptor 3, which leads nowhere.
    os.dup2(os.open(os.devnull, os.O_WRONLY), 3)
    done = subprocess.run([*ONE_CORE, program, str(rounds)], capture_output=True, text=True,
                          env={**os.environ, "LD_PRELOAD": os.path.abspath(LIBRARY),
                               "BARBERSHOP_CONTROL_FD": "3"}, pass_fds=(3,))
    found = re.search(r"([0-9.]+) us a switch", done.stderr)
    if not found:
        sys.exit(f"controlled.py: scheduler_switch said: {done.stdout}{done.stderr}")
    return float(found.group(1))


def main():
    os.makedirs(OUT, exist_ok=True)
    results = {
        "cores": os.cpu_count(),
        "full_house_controlled_per_s_one_core": explored("full-house", 1000, 1, one_core=True),
        "full_house_real_time_per_s_one_core": real_time(),
        "switch_us": switch_us(),
        "close_call_jobs1_per_s": explored("close-call", 3000, 1),
        "close_call_jobs2_per_s": explored("close-call", 3000, 2),
    }
    results["jobs2_speedup"] = results["close_call_jobs2_per_s"] / results["close_call_jobs1_per_s"]
    results["controlled_over_real"] = (results["full_house_controlled_per_s_one_core"] /
                                       results["full_house_real_time_per_s_one_core"])
    for key, value in results.items():
        print(f"{key:40} {value:10.2f}")
    with open(os.path.join(OUT, "controlled.json"), "w") as f:
        json.dump(results, f, indent=2)


if __name__ == "__main__":
    main()
