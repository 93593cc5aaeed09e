#!/usr/bin/env python3
"""The built barbershop program end to end, driven through its standard input, alone and through
barbershop-trace, whose check is the judge of every run.

Usage: e2e_test.py BINARY [unittest arguments]; barbershop-trace is expected beside BINARY, or
named by BARBERSHOP_TRACE_PROGRAM (a build under a sanitizer judges with another build's)."""
import json
import os
import subprocess
import sys
import tempfile
import unittest

BINARY = sys.argv.pop(1) if len(sys.argv) > 1 else "build/barbershop"
TRACE = (os.environ.get("BARBERSHOP_TRACE_PROGRAM") or
         os.path.join(os.path.dirname(BINARY), "barbershop-trace"))
INTRO = ("-------------------------------------------------\n"
         "This program simulates the sleeping barber problem.\n"
         "The barber shop has one barber, one barber chair, and ten chairs for waiting customers "
         "to sit on. If there are no customers present, the barber sits down in the barber chair "
         "and fall asleep .When a customer arrive, he has to wake up the sleeping barber. If "
         "additional customers arrive while the barber is cutting a customer's hair, they either "
         "sit down (if there are empty chairs) or leave the shop (if all chairs are full).\n"
         "Let's see how the sleeping barber problem is simulated.\n"
         "-------------------------------------------------\n")
MENU = ("Menu:\n1: Add new customer\n2: Delete a customer\n3: Delete all customers\n"
        "4: Create random customers\n5: Show customers\n6: Run\n7: Exit\nYour choice: ")
ID, DELAY, CUT = ("Input customer's ID: ", "Input customer's delay (in miniseconds): ",
                  "Input customer's cutting time (in miniseconds): ")
BED = "\n[[Barber going to bed]]\n"
CLOSING = "\nFinished all customers.\n"


def start(answers, seconds=120, env=None, command=None):
    """Runs the program (or `command`) on `answers`; returns the exit status and both outputs."""
    done = subprocess.run(command or [BINARY], input=answers.encode("latin-1"),
                          capture_output=True, timeout=seconds, env=env)
    return done.returncode, done.stdout.decode("latin-1"), done.stderr.decode("latin-1")


def shop(answers, seconds=120):
    """Runs the program on `answers`; returns its standard output after a clean exit."""
    status, out, err = start(answers, seconds)
    assert (status, err) == (0, ""), (status, err[-2000:])
    return out


def add(cid, delay, cut):
    return f"1\n{cid}\n{delay}\n{cut}\n"


def dialogue(out):
    """The console's part: without the introduction and the barber's first bed line."""
    assert out.startswith(INTRO), out[:200]
    return out[len(INTRO):].replace(BED, "", 1)


def traced(answers="", *options, program=None, seconds=120):
    """barbershop-trace on piped `answers` with `options`; returns its status, its output (the
    summaries included), its errors and the runs it exported."""
    with tempfile.TemporaryDirectory() as scratch:
        export = os.path.join(scratch, "runs.json")
        command = [TRACE, "--width", "100", "--export-json", export, *options]
        status, out, err = start(answers, seconds, env=dict(os.environ, LC_ALL="C.UTF-8"),
                                 command=command + ["--program", program or BINARY])
        runs = []
        if os.path.exists(export):
            with open(export) as f:
                runs = json.load(f)["runs"]
    return status, out, err, runs


def roster_file(directory, customers):
    path = os.path.join(directory, "roster.csv")
    with open(path, "w") as f:
        f.write("id,delay_ms,cut_ms\n" + "".join(f'"{c}",{d},{t}\n' for c, d, t in customers))
    return path


def outcomes(run):
    return {c["id"]: c["outcome"] for c in run["customers"]}


class Console(unittest.TestCase):
    def test_dialogues(self):
        k35 = "abcdefghijklmnopqrstuvwxyz012345678"
        shown = ("------------------------------------\nCustomer {}:\nID: {}\n"
                 "delay: {} miniseconds\ncuttingTime: {} miniSeconds\n")
        cases = [
            ("7\n", MENU),
            ("0\n8\n-1\nabc def\n99999999999\n7\n", (MENU + "Invalid choice\n") * 5 + MENU),
            ("2\n3\n5\n7\n", MENU + "The customer list is empty!\n" + MENU +
             "Deleted all customers\n" + MENU + "Customer list:\n" + MENU),
            (add("a", 1, 1) + add("b", 2, -3) + "1\nc\n99999999999\n-99999999999\n"
             "2\n0\n2\n2\n2\n-1\n5\n7\n",
             (MENU + ID + DELAY + CUT) * 3 + MENU + "Input customer's index: Deleted\n" + MENU +
             "Input customer's index: Invalid index: 2\n" + MENU +
             "Input customer's index: Invalid index: -1\n" + MENU + "Customer list:\n" +
             shown.format(0, "b", 2, -3) + shown.format(1, "c", 2147483647, -2147483648) + MENU),
            # An ID line of 35 characters or more keeps 34; a line that is not a number is
            # dropped and its prompt asked again.
            (f"1\n{k35}\nx 1\n5\n7\n1\n{k35}tail\n6\n-\n8\n5\n7\n",
             MENU + ID + DELAY + DELAY + CUT + MENU + ID + DELAY + CUT + CUT + MENU +
             "Customer list:\n" + shown.format(0, k35[:34], 5, 7) +
             shown.format(1, k35[:34], 6, 8) + MENU),
            ("4\n1\n7\n", MENU + "Created 10 customers\n" + MENU +
             "Full of customers. Cannot add anymore!\n" + MENU),
            # End of input ends the program; nothing is made of answers never given.
            ("1\nAnn\n12\n", MENU + ID + DELAY + CUT),
            ("", MENU),
        ]
        for answers, expected in cases:
            with self.subTest(answers=answers):
                out = shop(answers)
                self.assertLessEqual(out.count(BED), 1)  # Exit may come before the barber's
                self.assertEqual(dialogue(out), expected)


class Relay(unittest.TestCase):
    def test_the_companion_passes_the_programs_bytes_unchanged(self):
        # No customer runs, so nothing but the barber's first bed line can come in another order.
        answers = (add("Ann", 5, 6) + "0\nabc\n\n  \n5\n" + add("%s x", 1, 2) + "2\n7\n2\n0\n"
                   "1\nBob\nx\n9\n9\n5\n3\n6\n4\n3\n")
        status, alone, _ = start(answers)
        traced_status, out, err, runs = traced(answers)
        self.assertEqual((status, traced_status, err), (0, 0, ""))
        self.assertEqual(len(runs), 1)  # the empty roster's run, with its summary
        # The summary's frame, read as the program's bytes are.
        top, bottom = ("╭─ barbershop-trace".encode().decode("latin-1"),
                       "╯\n".encode().decode("latin-1"))
        summary = out.index(top)
        out = out[:summary] + out[out.index(bottom, summary) + len(bottom):]
        self.assertEqual(out.replace(BED, "", 1), alone.replace(BED, "", 1))

    def test_every_run_of_a_piped_session_is_checked(self):
        answers = add("Ann", 100, 300) + add("Bob", 150, 100) + "6\n4\n6\n7\n"
        status, out, err, runs = traced(answers)
        self.assertEqual((status, err), (0, ""), out[-3000:])
        self.assertEqual([r["verdict"]["holds"] for r in runs], [True, True])
        self.assertEqual(outcomes(runs[0]), {"Ann": "woke", "Bob": "waited"})
        # The random roster, unseen by the companion, was read back off the program.
        drawn = runs[1]["roster"]
        self.assertEqual([c["id"] for c in drawn], [str(i) for i in range(10)])
        self.assertTrue(all(0 <= c["delay_ms"] <= 10000 and 500 <= c["cut_ms"] <= 2000
                            for c in drawn))
        self.assertEqual(out.count(CLOSING), 2)


class Run(unittest.TestCase):
    def test_arriving_together_one_wakes_the_others_sit(self):
        # Losing the race to wake him needs arrivals within microseconds of each other, which a
        # loaded machine spreads out: seven racers, each run retried until a loser's path shows.
        with tempfile.TemporaryDirectory() as scratch:
            roster = roster_file(scratch, [(c, 300, 200) for c in "ABCDEFG"])
            for _ in range(20):
                status, out, _, runs = traced("", "--roster", roster, "--run")
                self.assertEqual(status, 0, out[-3000:])
                self.assertEqual(sorted(outcomes(runs[0]).values()), ["waited"] * 6 + ["woke"])
                if "failed to wake up barber" in out:
                    return
        # Under a sanitizer thread start-up takes milliseconds: customers never arrive together.
        if not os.environ.get("BARBERSHOP_SANITIZED"):
            self.fail("no customer ever lost the race to wake the barber")

    def test_seventh_later_arrival_finds_the_chairs_taken(self):
        waiting = [f"c{i}" for i in range(1, 8)]
        with tempfile.TemporaryDirectory() as scratch:
            roster = roster_file(scratch, [("A", 0, 2500)] +
                                 [(c, 150 + 150 * i, 0) for i, c in enumerate(waiting, 1)])
            status, out, _, runs = traced("", "--roster", roster, "--run")
        self.assertEqual(status, 0, out[-3000:])
        self.assertEqual(outcomes(runs[0])["c7"], "queue-full")
        self.assertIn("\n<<Customer c7: see WaitQueue full, go away>>\n"
                      "Curr: {A}\nWait Queue: [c1][c2][c3][c4][c5][c6]\nGo away: [c7]\n"
                      "------------------------\n", out)


class Hostile(unittest.TestCase):
    # Rosters the menu accepts that a judge could stumble on, each run end to end through the
    # correct program: every verdict holds, every JSON parses with its bytes, every page escapes.
    ROSTERS = {
        "namesakes overlapping": [(b"A", 0, 300), (b"A", 0, 200), (b"A", 50, 100)],
        "namesakes one after another": [(b"A", 0, 100), (b"A", 200, 100)],
        "empty IDs": [(b"", 0, 200), (b"", 10, 50), (b"B", 20, 50)],
        "brackets": [(b"a][b", 0, 200), (b"a", 10, 50), (b"b", 20, 50), (b"{x}", 30, 20)],
        "formats": [(b"%s", 0, 100), (b"%d%n", 10, 50)],
        "not UTF-8": [(b"B\xff", 0, 100), (b"\xc3(", 10, 50), (b"B\xff", 20, 20)],
        "controls": [(b"a\x1b[2Jb", 0, 100), (b"\x07\xc2\x85", 10, 50),
                     ("\u202eA\u2028".encode(), 20, 20)],
        "34 bytes": [(b"v" * 34, 0, 100), (b"v" * 33 + b"w", 10, 50)],
    }

    def test_every_verdict_holds_and_every_output_keeps_or_shows_the_bytes(self):
        for name, roster in self.ROSTERS.items():
            with self.subTest(roster=name), tempfile.TemporaryDirectory() as scratch:
                path = os.path.join(scratch, "roster.csv")
                with open(path, "wb") as f:
                    f.write(b"id,delay_ms,cut_ms\n" + b"".join(
                        b'"' + cid + f'",{d},{t}\n'.encode() for cid, d, t in roster))
                report = os.path.join(scratch, "out")
                status, out, err, runs = traced("", "--roster", path, "--run", "--quiet",
                                                "--report", report)
                self.assertEqual(status, 0, out[-3000:] + err)
                self.assertTrue(runs[0]["verdict"]["holds"], runs[0]["verdict"])
                ids = [c.get("id_hex") and bytes.fromhex(c["id_hex"]) or c["id"].encode()
                       for c in runs[0]["roster"]]
                self.assertEqual(ids, [cid for cid, _, _ in roster])  # every byte came back
                self.assertNotIn("\x1b[2J", out)  # the summary shows it, never obeys it
                with open(os.path.join(report, "run-1.html"), "rb") as page:
                    html = page.read()
                self.assertNotIn(b"\x1b", html)
                self.assertNotIn(b"<i>", html)
                html.decode("utf-8")  # the page is UTF-8 whatever the IDs were
                with open(os.path.join(report, "run-1.trace.json"), "rb") as trace:
                    json.loads(trace.read().decode("utf-8"))
                schedule = subprocess.run([TRACE, "schedule", "--roster", path, "--json"],
                                          capture_output=True, timeout=30)
                self.assertEqual(schedule.returncode, 0, schedule.stderr)
                json.loads(schedule.stdout.decode("utf-8"))


class Options(unittest.TestCase):
    def test_a_seed_gives_the_same_random_roster_and_another_seed_another(self):
        def drawn(*seed):
            done = subprocess.run([TRACE, "schedule", "--random", "10", *seed, "--json"],
                                  capture_output=True, timeout=30, text=True)
            self.assertEqual(done.returncode, 0, done.stderr)
            return json.loads(done.stdout)["customers"], done.stderr
        first, said = drawn("--seed", "42")
        self.assertEqual((first, said), drawn("--seed", "42"))
        self.assertNotEqual(first, drawn("--seed", "43")[0])
        # Without a seed the companion says which it drew, and that seed gives the roster again.
        unseeded, said = drawn()
        seed = said.split("--seed ")[1].split()[0]
        self.assertEqual(unseeded, drawn("--seed", seed)[0])

    def test_an_empty_value_is_refused_as_an_unknown_one(self):
        # `--variant "$V"` with V unset must not run the correct shop, nor any option's default.
        for option in ("--variant", "--report", "--scenario", "--roster", "--random", "--seed",
                       "--slow", "--program", "--runs", "--summary", "--color", "--width",
                       "--export-json"):
            with self.subTest(option):
                done = subprocess.run([TRACE, option, "", "--run"], capture_output=True,
                                      timeout=30, text=True, stdin=subprocess.DEVNULL)
                self.assertEqual(done.returncode, 2, done.stderr)
                self.assertTrue(done.stderr.startswith(option + ": an empty value"), done.stderr)


if __name__ == "__main__":
    unittest.main()
