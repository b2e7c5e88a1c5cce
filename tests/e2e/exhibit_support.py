"""The real exhibit, headless, with its status server on a free loopback port, for the
end-to-end tests of what operators see: it talks HTTP as the monitoring tests' stand-in
frame loop does (feeder_support.Feeder), and reads the exhibit's standard error."""

import atexit
import os
import queue
import signal
import subprocess
import sys
import threading

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "monitoring"))
from feeder_support import Feeder, check  # noqa: E402
from patience import patient  # noqa: E402

SERVER_LINE = "velmora: status server on http://127.0.0.1:"
STOP_TIMEOUT_S = 30

# Every exhibit started, so that one left running by a failed check (which exits at
# once) is killed when the test ends instead of holding its panel line for minutes.
started = []


@atexit.register
def kill_left_running():
    for process in started:
        if process.poll() is None:
            process.kill()
            process.wait()


class Exhibit(Feeder):
    def __init__(self, velmora, folder, *arguments, environment=None):
        command = [velmora, "--headless", "--status-listen", "127.0.0.1:0", *arguments]
        if "--midi-out" not in arguments:
            command += ["--midi-out", "none"]
        if "--panel" not in arguments:
            command += ["--panel", os.path.join(folder, "no-panel")]
        self.process = subprocess.Popen(command, cwd=folder, env=environment, stdin=subprocess.DEVNULL,
                                        stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True, bufsize=1)
        started.append(self.process)
        self.lines = queue.Queue()
        self.said = []  # every line of standard error so far
        threading.Thread(target=self._read, daemon=True).start()
        self.port = int(self.expect(SERVER_LINE)[len(SERVER_LINE):].rstrip("/"))

    def _read(self):
        for line in self.process.stderr:
            print("exhibit: " + line.rstrip("\n"))
            self.said.append(line.rstrip("\n"))
            self.lines.put(line.rstrip("\n"))
        self.lines.put(None)

    def stop(self):
        """Ends the run as the service manager does, with SIGTERM."""
        self.process.send_signal(signal.SIGTERM)
        check(self.process.wait(timeout=patient(STOP_TIMEOUT_S)) == 0, "SIGTERM ends the exhibit with 0")
