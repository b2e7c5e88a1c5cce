"""The real exhibit, headless: a scripted key press shows the labelled picture and a
larger Syn1 triangle, the run's keys are recorded and replay exactly, Esc and SIGTERM
end it with exit code 0, bad arguments with 2."""

import argparse
import os
import signal
import subprocess
import tempfile

from e2e_support import (NO_MONITORING, patient, PanelTerminal, SYN1_BOX, blue_pixels, check, frames_logged, labelled_share, read_picture,
                         require, rows_differing, wait_until)

RUN_TIMEOUT_S = 60  # no run may take longer: the test must never hang
STATUS_LINE_ROWS = 24  # the status line's figure depends on the measured frame rate


def run(velmora, arguments, panel, folder):
    return subprocess.run([velmora, "--headless", "--midi-out", "none", "--panel", panel] + NO_MONITORING + arguments,
                          cwd=folder, capture_output=True, text=True, timeout=patient(RUN_TIMEOUT_S))


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--velmora", required=True)
    parser.add_argument("--images", required=True, help="folder of BACKGROUND.bmp and LABELEDBACK.bmp")
    options = parser.parse_args()
    require("convert")
    plain = read_picture(os.path.join(options.images, "BACKGROUND.bmp"))
    labelled = read_picture(os.path.join(options.images, "LABELEDBACK.bmp"))

    with tempfile.TemporaryDirectory() as folder, PanelTerminal() as panel:
        first = run(options.velmora, ["--frames", "200", "--keys", "10:1 40:Esc", "--screenshot", "9:before.png",
                                      "--screenshot", "12:after.png", "--screenshot", "30:first30.png",
                                      "--record-keys", "keys.txt"], panel.path, folder)
        check(first.returncode == 0, "a run ended by a scripted Esc exits with 0 (%d, %s)"
              % (first.returncode, first.stderr.strip()))
        before = read_picture(os.path.join(folder, "before.png"))
        after = read_picture(os.path.join(folder, "after.png"))
        check(labelled_share(before, plain, labelled) < 0.2, "frame 9 shows the plain picture")
        check(labelled_share(after, plain, labelled) > 0.8, "frame 12, after key 1, shows the labelled picture")
        check(blue_pixels(after, SYN1_BOX) > blue_pixels(before, SYN1_BOX),
              "Syn1's triangle is larger after key 1 (%d > %d blue pixels)"
              % (blue_pixels(after, SYN1_BOX), blue_pixels(before, SYN1_BOX)))
        with open(os.path.join(folder, "keys.txt")) as recorded:
            keys = recorded.read()
        check(keys == "10:1\n40:Esc\n", "the run's key presses are recorded with their frames (%r)" % keys)

        replay = run(options.velmora, ["--frames", "200", "--keys", "@keys.txt", "--screenshot", "30:replay30.png"],
                     panel.path, folder)
        check(replay.returncode == 0, "the replay exits with 0")
        differing = rows_differing(read_picture(os.path.join(folder, "first30.png")),
                                   read_picture(os.path.join(folder, "replay30.png")), STATUS_LINE_ROWS)
        check(not differing, "the replay's frame 30 equals the recorded run's (rows differing: %s)" % differing[:5])

        limited = run(options.velmora, ["--frames", "5"], panel.path, folder)
        check(limited.returncode == 0, "--frames ends the run with 0")

        exhibit = subprocess.Popen([options.velmora, "--headless", "--midi-out", "none", "--panel", panel.path,
                                    *NO_MONITORING, "--frames", "3000", "--record-keys", "term.txt", "--keys", "2:F1",
                                    "--frame-log", "term.log"],
                                   cwd=folder, stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        wait_until(lambda: frames_logged(os.path.join(folder, "term.log")) >= 10, "ten frames before SIGTERM")
        exhibit.send_signal(signal.SIGTERM)
        try:
            code = exhibit.wait(timeout=patient(10))
        except subprocess.TimeoutExpired:
            exhibit.kill()
            code = None
        check(code == 0, "SIGTERM ends the exhibit with 0 (%s)" % code)
        check(os.path.exists(os.path.join(folder, "term.txt")), "after SIGTERM the orderly shutdown still ran")

        for arguments, expected in ((["--frames", "zero"], 2), (["--bogus"], 2), (["--help"], 0)):
            result = subprocess.run([options.velmora] + arguments, capture_output=True, text=True,
                                    timeout=patient(RUN_TIMEOUT_S))
            check(result.returncode == expected, "%s exits with %d" % (" ".join(arguments), expected))
            if expected == 2:
                check("velmora:" in result.stderr, "%s explains what is wrong" % " ".join(arguments))


if __name__ == "__main__":
    main()
