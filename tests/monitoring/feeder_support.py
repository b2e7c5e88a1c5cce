"""Runs status_feeder (a stand-in frame loop with the real status server and usage
store) for the monitoring tests, and talks HTTP to it on the loopback interface."""

import argparse
import http.client
import os
import queue
import subprocess
import sys
import threading
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from patience import patient  # noqa: E402

SKIP = 77  # ctest's SKIP_RETURN_CODE
TOKEN = "test-token-0123456789abcdef"


def arguments():
    parser = argparse.ArgumentParser()
    parser.add_argument("--feeder", required=True)
    parser.add_argument("--stats", required=True)
    return parser.parse_args()


def require_modules(*names):
    for name in names:
        try:
            __import__(name)
        except ImportError:
            print(f"skipped: Python module {name} is missing")
            sys.exit(SKIP)


def check(condition, message):
    if not condition:
        print("FAILED: " + message)
        sys.exit(1)
    print("ok: " + message)


def wait_until(condition, what, timeout=10.0):
    """Polls `condition` until it gives a true value, which is returned; `timeout` is
    for a quiet machine (stretched by the load)."""
    deadline = time.monotonic() + patient(timeout)
    while True:
        value = condition()
        if value:
            return value
        if time.monotonic() > deadline:
            check(False, "in time: " + what)
        time.sleep(0.02)


def token_file(folder, mode=0o600, token=TOKEN):
    path = os.path.join(folder, f"token-{mode:o}")
    with open(path, "w") as f:
        f.write(token + "\n")
    os.chmod(path, mode)
    return path


class Feeder:
    def __init__(self, program, *extra):
        self.process = subprocess.Popen([program, *extra], stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                        text=True, bufsize=1)
        self.lines = queue.Queue()
        threading.Thread(target=self._read, daemon=True).start()
        first = self.expect(("listening on ", "no server: "))
        self.port = int(first.split()[-1]) if first.startswith("listening on ") else None

    def _read(self):
        for line in self.process.stdout:
            self.lines.put(line.rstrip("\n"))
        self.lines.put(None)

    def expect(self, prefixes, timeout=10.0):
        """The next line starting with one of `prefixes`; earlier lines are skipped."""
        deadline = time.monotonic() + patient(timeout)
        while True:
            try:
                line = self.lines.get(timeout=max(0.0, deadline - time.monotonic()))
            except queue.Empty:
                line = None
            check(line is not None, f"the feeder printed a line starting {prefixes}")
            if line.startswith(prefixes):
                return line

    def send(self, *commands):
        for command in commands:
            self.process.stdin.write(command + "\n")
        self.process.stdin.flush()

    def quit(self):
        self.send("quit")
        summary = self.expect("frames ")
        check(self.process.wait(timeout=patient(30)) == 0, "the feeder ended cleanly")
        return summary

    def kill(self):
        self.process.kill()
        self.process.wait(timeout=patient(30))

    def request(self, method, path, headers=None, body=None):
        connection = http.client.HTTPConnection("127.0.0.1", self.port, timeout=patient(10))
        try:
            connection.request(method, path, body=body, headers=headers or {})
            response = connection.getresponse()
            return response.status, response.getheader("Content-Type") or "", response.read(), response
        finally:
            connection.close()

    def get(self, path):
        return self.request("GET", path)
