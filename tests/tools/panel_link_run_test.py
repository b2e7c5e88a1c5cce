"""The real exhibit, headless, and the real velmora-panel on one pseudo-terminal: the
exhibit's status packet reaches the panel, and a knob the panel's script turns after
it reaches the exhibit, whose Syn1 triangle is then larger than in a run at the
default weights; a later drag on Syn2's triangle on the screen reaches the panel as a
status packet carrying the new weight, so the panel's knobs follow the screen."""

import argparse
import os
import select
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "e2e"))
from e2e_support import (NO_MONITORING, PanelTerminal, SYN1_BOX, blue_pixels, check, patient, read_picture,  # noqa: E402
                         require)

LINE_TIMEOUT_S = 30  # longest wait for one expected line of the panel: the test never hangs
RUN_TIMEOUT_S = 60   # longest wait for the exhibit's run to end (both on a quiet machine)
FRAMES = 250         # about 5 s: far longer than a poll and its reply take, and room for a touch
SCRIPT = "0 wait status\n0 param 1 20\n"
DEFAULTS = "speed 15, parameters 6 6 6 7 6 6"
# A drag upwards from Syn2's triangle (its middle at about 264, 154 on the headless
# 1024 x 768 screen) by two and a half steps of 6 mm, with 0.25 mm pixels.
TOUCH_FRAME = 200
DRAG = "%d:1:down:264:154 %d:1:move:264:94 %d:1:up:264:94" % (TOUCH_FRAME, TOUCH_FRAME + 1, TOUCH_FRAME + 2)
AFTER_DRAG = "speed 15, parameters 20 8 6 7 6 6"


class PanelOutput:
    """The panel's standard output, line by line as it comes."""

    def __init__(self, stream):
        self.fd = stream.fileno()
        self.pending = b""

    def wait_for(self, wanted):
        """The first line from now for which wanted(line) holds; None when none came in
        time or the output ended."""
        deadline = time.monotonic() + patient(LINE_TIMEOUT_S)
        while True:
            while b"\n" in self.pending:
                raw, self.pending = self.pending.split(b"\n", 1)
                line = raw.decode(errors="replace").rstrip("\r")
                print("panel: " + line)
                if wanted(line):
                    return line
            remaining = deadline - time.monotonic()
            if remaining <= 0 or not select.select([self.fd], [], [], remaining)[0]:
                return None
            chunk = os.read(self.fd, 4096)
            if not chunk:
                return None
            self.pending += chunk


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--velmora", required=True)
    parser.add_argument("--panel", required=True)
    options = parser.parse_args()
    require("convert")

    refused = subprocess.run([options.panel, "--script"], capture_output=True, text=True, timeout=patient(RUN_TIMEOUT_S))
    check(refused.returncode == 2 and refused.stderr.startswith("velmora-panel: "),
          "velmora-panel refuses a bad argument with exit code 2 and a message (%d, %r)"
          % (refused.returncode, refused.stderr))

    with tempfile.TemporaryDirectory() as folder:
        with PanelTerminal() as silent:
            default = subprocess.run([options.velmora, "--headless", "--midi-out", "none", "--panel", silent.path,
                                      *NO_MONITORING, "--frames", "1", "--screenshot", "1:default.png"],
                                     cwd=folder, capture_output=True, timeout=patient(RUN_TIMEOUT_S))
        check(default.returncode == 0, "a run at the default weights without a panel's replies")
        script = os.path.join(folder, "knobs.txt")
        with open(script, "w") as out:
            out.write(SCRIPT)
        panel = subprocess.Popen([options.panel, "--script", script], stdin=subprocess.DEVNULL,
                                 stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
        exhibit = None
        try:
            output = PanelOutput(panel.stdout)
            opened = output.wait_for(lambda line: line.startswith("Panel line: "))
            check(opened is not None, "velmora-panel makes a pseudo-terminal and prints its path")
            with open(os.path.join(folder, "exhibit.log"), "w") as log:
                exhibit = subprocess.Popen(
                    [options.velmora, "--headless", "--midi-out", "none", "--panel", opened.split(": ", 1)[1],
                     *NO_MONITORING, "--panel-poll", "--frames", str(FRAMES), "--screenshot", "%d:turned.png" % FRAMES,
                     "--screen-width-mm", "256", "--touches", DRAG],
                    cwd=folder, stdout=log, stderr=subprocess.STDOUT)

            status = output.wait_for(lambda line: line.startswith("status packet:"))
            check(status is not None and DEFAULTS in status,
                  "the exhibit's status packet reaches the panel with the defaults (%r)" % status)
            check(output.wait_for(lambda line: line.startswith("script: param 1 20")) is not None,
                  "after the status packet the script turns parameter 1 to 20")
            check(output.wait_for(lambda line: line.startswith("poll ") and "parameters 20 6 6 7 6 6" in line)
                  is not None, "the exhibit polls and the reply carries parameter 1 at 20")
            # The exhibit never polls over an unfinished reply: a further poll means it took the reply in.
            check(output.wait_for(lambda line: line.startswith("poll ")) is not None,
                  "the exhibit polls again, so it has taken that reply in")
            check(output.wait_for(lambda line: line.startswith("status packet:") and AFTER_DRAG in line) is not None,
                  "after the drag on Syn2 the panel receives a status packet with weight 2 at 8")

            code = exhibit.wait(timeout=patient(RUN_TIMEOUT_S))
            check(code == 0, "the exhibit ends after its frames with 0 (%s)" % code)
            at_default = blue_pixels(read_picture(os.path.join(folder, "default.png")), SYN1_BOX)
            turned = blue_pixels(read_picture(os.path.join(folder, "turned.png")), SYN1_BOX)
            check(turned > at_default, "Syn1's triangle is larger with the panel's knob at 20 (%d > %d blue pixels)"
                  % (turned, at_default))
        finally:
            for process in (exhibit, panel):
                if process is not None and process.poll() is None:
                    process.kill()
                    process.wait()


if __name__ == "__main__":
    main()
