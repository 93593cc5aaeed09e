#!/usr/bin/env python3
"""barbershop-trace's output files end to end: --export-json and --report into whatever the path
names (a file, a folder, a device, a symlink, a FIFO, a pipe, standard output, a full disk, a
read-only folder), each with its exit status and message, and no node replaced.

Usage: files_test.py BINARY [unittest arguments]; barbershop-trace is expected beside BINARY."""
import json
import os
import stat
import subprocess
import sys
import tempfile
import threading
import unittest
from contextlib import ExitStack, suppress
from pathlib import Path

BINARY = os.path.abspath(sys.argv.pop(1) if len(sys.argv) > 1 else "build/barbershop")
TRACE = os.path.join(os.path.dirname(BINARY), "barbershop-trace")
ROOT = os.geteuid() == 0
FULL = "No space left on device"


def reader(path):
    """Reads `path` (a FIFO, or a descriptor) to its end in a thread: join(), then .data."""
    def read():
        with open(path, "rb") as f:
            thread.data = f.read()
    thread = threading.Thread(target=read, daemon=True)
    thread.start()
    return thread


def full_disk(scratch, stack):
    """A 64 KiB tmpfs holding runs.json, filled up, unmounted when `stack` closes; None where
    none can be mounted."""
    disk = os.path.join(scratch, "disk")
    os.mkdir(disk)
    if not ROOT or subprocess.run(["mount", "-t", "tmpfs", "-o", "size=64k", "tmpfs", disk],
                                  capture_output=True).returncode != 0:
        return None
    stack.callback(subprocess.run, ["umount", disk], check=True)
    Path(disk, "runs.json").write_text("old")
    with suppress(OSError):
        Path(disk, "filler").write_bytes(b"x" * 65536)
    return disk


def trace(scratch, *options, pass_fds=()):
    roster = os.path.join(scratch, "one.csv")
    with open(roster, "w") as f:
        f.write("id,delay_ms,cut_ms\nAnn,0,0\n")
    return subprocess.run([TRACE, "--program", BINARY, "--roster", roster, "--quiet", *options],
                          capture_output=True, timeout=60, pass_fds=pass_fds)


class Targets(unittest.TestCase):
    def test_every_kind_of_target(self):
        def node(name, make):  # a node made in the scratch folder
            return lambda s: make(f"{s}/{name}") or f"{s}/{name}"

        def device(path):  # /dev/null's numbers, on a node of our own where we may make one
            os.mknod(path, 0o666 | stat.S_IFCHR, os.makedev(1, 3)) if ROOT else \
                os.symlink("/dev/null", path)

        rows = [  # what, where the JSON goes, its status, what standard error says
            ("a new file", lambda s: os.path.join(s, "runs.json"), 0, ""),
            ("a symlink", node("link", lambda p: os.symlink("real.json", p)), 0, ""),
            ("a folder", lambda s: s, 2, "cannot write {}: Is a directory\n"),
            ("a device", node("null", device), 0, ""),
            ("a FIFO", node("fifo", os.mkfifo), 0, ""),
            ("a pipe, as >(jq .) gives", "pipe", 0, ""),
            ("standard output", lambda s: "-", 0, None),
            ("a missing folder", lambda s: os.path.join(s, "no", "runs.json"), 2,
             "cannot write {}: No such file or directory\n"),
            ("a full disk", "full", 2, f"cannot write {{}}: {FULL}\n"),
            ("a read-only folder", node("ro", lambda p: os.mkdir(p, 0o555)), 2,
             "cannot write {}: Permission denied\n"),
        ]
        for what, where, status, said in rows:
            with self.subTest(what), tempfile.TemporaryDirectory() as scratch, ExitStack() as stack:
                pipe = os.pipe() if where == "pipe" else ()
                path = (f"/dev/fd/{pipe[1]}" if pipe else where(scratch) if callable(where) else
                        full_disk(scratch, stack) and os.path.join(scratch, "disk"))
                if what in ("a full disk", "a read-only folder") and path:
                    path = os.path.join(path, "runs.json")
                if not path or (what == "a read-only folder" and ROOT):
                    continue  # no tmpfs here; root writes into a read-only folder anyway
                there = not pipe and os.path.lexists(path)
                kind = stat.S_IFMT(os.lstat(path).st_mode) if there else None
                got = reader(pipe[0] if pipe else path) if pipe or kind == stat.S_IFIFO else None
                done = trace(scratch, "--run", "--export-json", path, pass_fds=pipe[1:])
                if pipe:
                    os.close(pipe[1])
                err = done.stderr.decode()
                self.assertEqual(done.returncode, status, err)
                if said is not None:
                    self.assertEqual(err, "barbershop-trace: " + said.format(path) if said else "")
                if kind is not None:  # whatever was there is still what it was
                    self.assertEqual(stat.S_IFMT(os.lstat(path).st_mode), kind)
                if got:
                    got.join(30)
                data = (got.data if got else done.stdout if path == "-" else
                        Path(path).read_bytes() if os.path.isfile(path) else None)
                if where == "full":
                    self.assertEqual(data, b"old")  # the file before is kept whole
                elif status == 0 and what != "a device":  # the reader, or the symlink's file
                    self.assertEqual(json.loads(data)["exit_status"], 0)
                if path == "-":  # the summary goes to standard error, out of the JSON's way
                    self.assertIn("Ann", err)

    def test_a_report_on_a_full_disk_names_each_file_that_failed_and_counts_none_drawn(self):
        with tempfile.TemporaryDirectory() as scratch, ExitStack() as stack:
            disk = full_disk(scratch, stack)
            if disk is None:
                self.skipTest("no tmpfs can be mounted here")
            done = trace(scratch, "--runs", "2", "--report", disk)
            err = done.stderr.decode()
            self.assertEqual(done.returncode, 1, err)
            for file in ("run-1.jsonl", "run-2.jsonl", "index.html"):
                line = f"barbershop-trace: cannot write {disk}/{file}: {FULL}"
                self.assertEqual(err.splitlines().count(line), 1, err)
            self.assertNotIn("drawn", err)
            self.assertEqual(sorted(os.listdir(disk)), ["filler", "runs.json"])


if __name__ == "__main__":
    unittest.main()
