"""Start-up messages of an unattended run, on the real program, headless: with
--unattended, or started by a service manager (NOTIFY_SOCKET set), a missing panel's
messages go to standard error and stand as notice lines over the status line of the
first frame; a run attended by someone gets them on standard error alone. With
--panel none there is no message at all."""

import argparse
import os
import subprocess
import tempfile

from e2e_support import NO_MONITORING, check, patient, read_picture, require, rows_differing

RUN_TIMEOUT_S = 60
SERIAL_MESSAGES = ["Error: Can not open serial port!", "Error: Can not retrieve serial state!",
                   "Error: Can not set serial state!"]
# The status line's top row, and the band of the three notice lines above it (pixels).
STATUS_LINE_TOP = 748
NOTICE_BAND = range(STATUS_LINE_TOP - 3 * 16, STATUS_LINE_TOP)
BELOW_STATUS_LINE_TOP = 768 - STATUS_LINE_TOP


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--velmora", required=True)
    options = parser.parse_args()
    require("convert")

    with tempfile.TemporaryDirectory() as folder:
        def run(name, arguments, environment):
            result = subprocess.run([options.velmora, "--headless", "--midi-out", "none", *NO_MONITORING, "--frames", "2",
                                     "--screenshot", "1:%s.png" % name] + arguments,
                                    cwd=folder, env=environment, capture_output=True, text=True,
                                    timeout=patient(RUN_TIMEOUT_S))
            check(result.returncode == 0, "%s: runs on and ends with 0 (%s)" % (name, result.stderr.strip()))
            return result, read_picture(os.path.join(folder, name + ".png"))

        plain = dict(os.environ)
        plain.pop("NOTIFY_SOCKET", None)
        missing = ["--panel", os.path.join(folder, "ttyS9")]
        quiet, reference = run("no-panel", ["--panel", "none", "--panel-poll"], plain)
        check(quiet.stderr.strip() == "", "--panel none: no message at all (%r)" % quiet.stderr)

        cases = [
            ("attended", missing, plain, False),
            ("unattended", ["--unattended"] + missing, plain, True),
            ("service", missing, dict(plain, NOTIFY_SOCKET=os.path.join(folder, "no-manager")), True),
        ]
        for name, arguments, environment, on_screen in cases:
            result, picture = run(name, arguments, environment)
            lines = [line for line in result.stderr.splitlines() if line in SERIAL_MESSAGES]
            check(lines == SERIAL_MESSAGES, "%s: the serial messages on standard error (%s)" % (name, lines))
            differing = rows_differing(reference, picture, BELOW_STATUS_LINE_TOP)
            if on_screen:
                check(differing and all(row in NOTICE_BAND for row in differing),
                      "%s: the frame differs only in the three lines over the status line (rows %s..%s)"
                      % (name, differing[:1], differing[-1:]))
            else:
                check(not differing, "%s: the frame shows no message (rows differing: %s)" % (name, differing[:5]))


if __name__ == "__main__":
    main()
