"""Two programs on one panel line: while an exhibit runs with its panel on a
pseudo-terminal, a second exhibit pointed at the same line is refused it ("Can not
open serial port!") and runs on, and `--self-test` reports the line in use by another
program. Neither sends a byte on the line, and the first exhibit still gets every
reply: a knob the panel turns afterwards shows in its picture."""

import argparse
import os
import subprocess
import tempfile
import time

from e2e_support import (NO_MONITORING, AnsweringPanel, SYN1_BOX, blue_pixels, check, patient, read_picture, require,
                         wait_for_run)

RUN_TIMEOUT_S = 60    # longest wait for one run or one condition on a quiet machine: the test never hangs
FRAMES = 750          # the first exhibit's run, at least 15 s: far longer than the intruders take
DEFAULTS = bytes([0, 0, 15, 6, 6, 6, 7, 6, 6])
TURNED = bytes([0, 0, 15, 20, 6, 6, 7, 6, 6])  # Syn1's knob at 20


def wait_until(condition):
    deadline = time.monotonic() + patient(RUN_TIMEOUT_S)
    while not condition():
        if time.monotonic() > deadline:
            return False
        time.sleep(0.02)
    return True


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--velmora", required=True)
    options = parser.parse_args()
    require("convert")
    quiet = ["--headless", "--midi-out", "none", *NO_MONITORING]

    with tempfile.TemporaryDirectory() as folder:
        default = subprocess.run([options.velmora] + quiet + ["--panel", "none", "--frames", "1",
                                                              "--screenshot", "1:default.png"],
                                 cwd=folder, capture_output=True, timeout=patient(RUN_TIMEOUT_S))
        check(default.returncode == 0, "a run at the default weights")
        panel = AnsweringPanel(DEFAULTS)
        first = None
        try:
            first_log = os.path.join(folder, "first.log")
            first = subprocess.Popen([options.velmora] + quiet + ["--panel", panel.device, "--panel-poll",
                                                                  "--frames", str(FRAMES), "--frame-log", first_log,
                                                                  "--screenshot", "%d:end.png" % FRAMES],
                                     cwd=folder, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            check(wait_until(lambda: panel.polls >= 3), "the first exhibit holds the line and polls the panel")
            sent_by_first = panel.other_bytes

            second = subprocess.run([options.velmora] + quiet + ["--panel", panel.device, "--frames", "5"],
                                    cwd=folder, capture_output=True, text=True, timeout=patient(RUN_TIMEOUT_S))
            check(second.returncode == 0 and "Error: Can not open serial port!" in second.stderr.splitlines(),
                  "a second exhibit is refused the line and runs on (%d, %r)" % (second.returncode, second.stderr))

            self_test = subprocess.run([options.velmora, "--self-test"] + quiet + ["--panel", panel.device,
                                                                                   "--panel-poll"],
                                       capture_output=True, text=True, timeout=patient(RUN_TIMEOUT_S))
            busy = [line for line in self_test.stdout.splitlines() if line.startswith("FAIL panel: ")]
            check(self_test.returncode == 1 and len(busy) == 1 and "in use by another program" in busy[0],
                  "the self-test reports the line in use by another program (%r)" % self_test.stdout)
            check(panel.other_bytes == sent_by_first,
                  "neither sent a byte on the line (%r after %r)" % (panel.other_bytes, sent_by_first))

            check(first.poll() is None, "the first exhibit still runs")
            polls = panel.polls
            panel.reply = TURNED
            check(wait_until(lambda: panel.polls >= polls + 2),
                  "the first exhibit polls on, so it took in the reply with the knob turned")
            code = wait_for_run(first, first_log)
            check(code == 0, "the first exhibit ends after its frames with 0 (%s)" % code)
        finally:
            if first is not None and first.poll() is None:
                first.kill()
                first.wait()
            panel.close()
        at_default = blue_pixels(read_picture(os.path.join(folder, "default.png")), SYN1_BOX)
        turned = blue_pixels(read_picture(os.path.join(folder, "end.png")), SYN1_BOX)
        check(turned > at_default, "the first exhibit shows Syn1 with the knob at 20 (%d > %d blue pixels)"
              % (turned, at_default))


if __name__ == "__main__":
    main()
