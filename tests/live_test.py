#!/usr/bin/env python3
"""barbershop-trace --live end to end, over plain HTTP: a table of bad requests, each refused
with its status and a line of text while the run goes on; the cap on open pages; a page that
never reads, which holds up nobody; where it listens and that the port is freed; a busy port;
and every variant's challenge met by drive requests along its failing schedule, the same
requests never breaking the correct shop.

Usage: live_test.py BINARY [unittest arguments]; barbershop-trace is expected beside BINARY."""
import http.client
import json
import os
import re
import socket
import subprocess
import sys
import tempfile
import time
import unittest

BINARY = os.path.abspath(sys.argv.pop(1) if len(sys.argv) > 1 else "build/barbershop")
TRACE = os.path.join(os.path.dirname(BINARY), "barbershop-trace")
LIMIT_S = 60
MAX_STREAMS = 16


class Live:
    """A barbershop-trace session with --live, its standard input held open and silent."""

    def __init__(self, *options):
        self.process = subprocess.Popen([TRACE, *options, "--live", "0"], stdin=subprocess.PIPE,
                                        stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
        drive = self.process.stderr.readline().decode()
        watch = self.process.stderr.readline().decode()
        found = re.search(r"open http://127\.0\.0\.1:(\d+)/\?k=([0-9a-f]{32})$", drive.strip())
        assert found, drive + watch
        self.port, self.key = int(found.group(1)), found.group(2)
        self.watch = re.search(r"watch only: http://\S+/\?k=([0-9a-f]{32})$", watch.strip()).group(1)

    def request(self, method, path, key=None, headers=None, body=None):
        connection = http.client.HTTPConnection("127.0.0.1", self.port, timeout=10)
        sep = "&" if "?" in path else "?"
        url = path if key == "" else f"{path}{sep}k={key or self.key}"
        connection.request(method, url, body=body, headers=headers or {})
        answer = connection.getresponse()
        text = answer.read()
        connection.close()
        return answer.status, text

    def drive(self, body):
        return self.request("POST", "/drive", headers={
            "Content-Type": "application/x-www-form-urlencoded"}, body=body)[0]

    def events(self):
        """The stream's events as (name, data), forever."""
        connection = http.client.HTTPConnection("127.0.0.1", self.port, timeout=LIMIT_S)
        connection.request("GET", f"/events?k={self.key}")
        stream = connection.getresponse()
        assert stream.status == 200, stream.status
        name = None
        for line in stream:
            line = line.decode().rstrip("\n")
            if line.startswith("event: "):
                name = line[7:]
            elif line.startswith("data: "):
                yield name, json.loads(line[6:])

    def end(self):
        self.process.stdin.close()
        self.process.terminate()
        try:
            return self.process.wait(timeout=LIMIT_S)
        finally:
            if self.process.poll() is None:
                self.process.kill()  # never left behind, whatever failed


def raw_stream(port, key, buffer=None):
    """An event stream opened by hand: its socket, once the answer's status line is read."""
    sock = socket.socket()
    if buffer:
        sock.setsockopt(socket.SOL_SOCKET, socket.SO_RCVBUF, buffer)
    sock.settimeout(10)
    sock.connect(("127.0.0.1", port))
    sock.sendall(f"GET /events?k={key} HTTP/1.1\r\nHost: 127.0.0.1:{port}\r\n\r\n".encode())
    return sock, sock.recv(12).decode()


def listening_addresses(port):
    with open("/proc/net/tcp") as table:
        rows = [line.split() for line in table.readlines()[1:]]
    return {row[1].split(":")[0] for row in rows if row[1].endswith(f":{port:04X}") and row[3] == "0A"}


class Safety(unittest.TestCase):
    def test_bad_requests_get_their_status_and_nothing_of_the_session(self):
        live = Live("--program", BINARY, "--scenario", "full-house", "--slow", "2", "--run",
                    "--quiet")
        try:
            form = {"Content-Type": "application/x-www-form-urlencoded"}
            table = [
                ("no key", "GET", "/", "", {}, None, 403),
                ("a wrong key", "GET", "/events", "0" * 32, {}, None, 403),
                ("the watch key driving", "POST", "/drive", live.watch, form, "act=back", 403),
                ("another origin", "GET", "/events", None, {"Origin": "http://evil.example"},
                 None, 403),
                ("a name rebound to this machine", "GET", "/", None, {"Host": "evil.example"},
                 None, 403),
                ("a path outside the run", "GET", "/../../etc/passwd", None, {}, None, 404),
                ("a run never run", "GET", "/run/99", None, {}, None, 404),
                ("a file beside the run", "GET", "/run/1/../../etc/passwd", None, {}, None, 404),
                ("another method", "PUT", "/", None, {}, "x", 405),
                ("a huge header", "GET", "/", None, {"X-Big": "a" * 100000}, None, 400),
                ("a drive that says nothing", "POST", "/drive", None, form, "act=jump", 400),
                ("a drive with nothing to drive", "POST", "/drive", None, form,
                 "act=pick&choice=1&tid=1", 409),
            ]
            for name, method, path, key, headers, body, status in table:
                with self.subTest(name):
                    got, text = live.request(method, path, key, headers, body)
                    self.assertEqual(got, status, text)
                    self.assertLess(len(text), 100, text)
                    self.assertNotIn(b"<", text)
                    self.assertNotIn(live.key.encode(), text)
            self.assertEqual(listening_addresses(live.port), {"0100007F"}, "loopback only")
            self.pages_beyond_the_cap_are_turned_away_and_a_stalled_one_holds_up_nobody(live)
            self.assertEqual(live.process.wait(timeout=LIMIT_S), 0)
            with self.assertRaises(ConnectionRefusedError):
                socket.create_connection(("127.0.0.1", live.port), timeout=5)
        finally:
            if live.process.poll() is None:
                live.end()

    def pages_beyond_the_cap_are_turned_away_and_a_stalled_one_holds_up_nobody(self, live):
        stalled, status = raw_stream(live.port, live.key, buffer=4096)
        self.assertEqual(status, "HTTP/1.1 200")
        reader = live.events()
        self.assertEqual(next(reader)[0], "hello")
        opened = [raw_stream(live.port, live.key) for _ in range(MAX_STREAMS - 2)]
        self.assertEqual([status for _, status in opened], ["HTTP/1.1 200"] * (MAX_STREAMS - 2))
        extra, status = raw_stream(live.port, live.key)
        self.assertEqual(status, "HTTP/1.1 503")
        for sock, _ in opened + [(extra, "")]:
            sock.close()
        # The reader follows the run to its end while the stalled page reads nothing.
        for name, data in reader:
            if name == "page" and data["done"]:
                break
        stalled.close()

    def test_what_cannot_be_served_ends_with_status_2_and_says_why(self):
        with socket.socket() as taken:
            taken.bind(("127.0.0.1", 0))
            taken.listen()
            port = taken.getsockname()[1]
            table = [
                (["--live", str(port)], f"cannot listen on 127.0.0.1:{port}: the port is in use"),
                (["--live", "99999"], "PORT a number from 0"),
                (["--live", "10.1.2:80"], "ADDRESS is an IPv4 address"),
                (["--live", "0", "--explore"], "not --explore"),
                (["--challenge", "lost-wakeup"], "it goes with --live"),
                (["--live", "0", "--challenge", "no-such"], "no variant 'no-such'"),
                (["--live", "0", "--variant", "lost-wakeup", "--challenge", "lost-wakeup"],
                 "a variant has its own challenge"),
            ]
            for options, said in table:
                with self.subTest(options=options):
                    program = [] if "--variant" in options else ["--program", BINARY]
                    done = subprocess.run([TRACE, *program, "--scenario", "lone", *options],
                                          capture_output=True, text=True,
                                          stdin=subprocess.DEVNULL, timeout=LIMIT_S)
                    self.assertEqual(done.returncode, 2, done.stderr)
                    self.assertIn(said, done.stderr)


def failing_picks(variant, folder):
    """The picks of the variant's shortest failing schedule, by choice, from its saved log."""
    subprocess.run([TRACE, "--variant", variant, "--explore", "--seed", "1", "--report", folder],
                   capture_output=True, timeout=LIMIT_S)
    with open(os.path.join(folder, "run-1.jsonl")) as log:
        lines = [json.loads(line) for line in log]
    return {line["choice"]: line["pick"] for line in lines if "choice" in line and "pick" in line}


def drive_along(live, picks):
    """Answers every question with the saved pick where it can go, else the plain one; the
    run's row once the run is over and the page may take it back or try again."""
    row = None
    for name, data in live.events():
        if name == "choice" and data["k"] is not None:
            can_go = [thread["tid"] for thread in data["threads"] if thread["canGo"]]
            blocked = [thread["tid"] for thread in data["threads"] if not thread["canGo"]]
            if blocked:
                assert live.drive(f"act=pick&choice={data['k']}&tid={blocked[0]}") == 409
            want = picks.get(data["k"])
            body = (f"act=pick&choice={data['k']}&tid={want}" if want in can_go
                    else f"act=plain&choice={data['k']}")
            assert live.drive(body) == 204, body
            # The same question answered twice: the second is told it came too late.
            assert live.drive(body) == 409, body
        elif name == "runs" and data["runs"]:
            row = data["runs"][-1]
        elif name == "choice" and data["over"] and row and row["done"]:
            return row


def questions_until_over(live, act):
    """Answers every question of a stepped run with `act`; how many questions there were. The
    end of an earlier try, still shown when the stream opens, is passed over."""
    asked = 0
    for name, data in live.events():
        if name == "choice" and data["k"] is not None:
            asked += 1
            assert live.drive(f"act={act}&choice={data['k']}") == 204, act
        elif name == "choice" and data["over"] and asked:
            return asked
    return asked


class Drive(unittest.TestCase):
    def test_next_lets_the_plain_order_run_to_the_shops_next_line(self):
        counts = {}
        for act in ("plain", "next"):
            live = Live("--program", BINARY, "--scenario", "lone", "--step")
            try:
                counts[act] = questions_until_over(live, act)
            finally:
                live.end()
        self.assertLess(counts["next"], counts["plain"], counts)
        self.assertGreater(counts["next"], 1, counts)

    def test_each_try_keeps_its_own_files(self):
        with tempfile.TemporaryDirectory() as folder:
            live = Live("--program", BINARY, "--scenario", "lone", "--step", "--report", folder)
            try:
                questions_until_over(live, "next")
                self.assertEqual(live.drive("act=again"), 204)
                questions_until_over(live, "next")
                live.process.stdin.write(b"q\n")  # ends the session once the try is written
                live.process.stdin.flush()
                self.assertEqual(live.process.wait(timeout=LIMIT_S), 0)
            finally:
                live.end()
            self.assertEqual(sorted(os.listdir(folder)),
                             [f"run-{n}.{kind}" for n in (1, 2)
                              for kind in ("html", "jsonl", "trace.json")])


class Challenges(unittest.TestCase):
    def test_every_variant_is_broken_by_its_failing_picks_and_the_correct_shop_never(self):
        listed = subprocess.run([TRACE, "--variant", "list"], capture_output=True, text=True)
        variants = re.findall(r"^([a-z-]+): ", listed.stdout, re.M)
        self.assertGreaterEqual(len(variants), 6, listed.stdout)
        for variant in variants:
            with self.subTest(variant), tempfile.TemporaryDirectory() as folder:
                picks = failing_picks(variant, folder)
                live = Live("--variant", variant, "--step")
                try:
                    row = drive_along(live, picks)
                    self.assertTrue(row["met"], row)
                finally:
                    live.end()
                live = Live("--program", BINARY, "--challenge", variant, "--step")
                try:
                    row = drive_along(live, picks)
                    self.assertIs(row["met"], False, row)
                    self.assertEqual(row["headline"], "every rule holds")
                    # Taken back a step once it is over, the run is a new try.
                    self.assertEqual(live.drive("act=back"), 204)
                    for name, data in live.events():
                        if name == "runs" and data["tries"] == 1:
                            break
                finally:
                    live.end()


if __name__ == "__main__":
    unittest.main()
