"""The real exhibit meeting missing pieces at start-up: a missing soundfont, a missing
serial device and no display each give their message, on standard error since no box
can be shown or must block here, and never a crash. With sound or panel missing the
exhibit runs on; without a display it ends with exit code 1."""

import argparse
import os
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from patience import patient  # noqa: E402

RUN_TIMEOUT_S = 30  # a run that blocks (say on a message box) is killed and fails

SERIAL_MESSAGES = ["Error: Can not open serial port!", "Error: Can not retrieve serial state!",
                   "Error: Can not set serial state!"]


def check(condition, message):
    if not condition:
        print("FAILED: " + message)
        sys.exit(1)
    print("ok: " + message)


def run(velmora, arguments, environment, folder):
    try:
        # No status server on the shared port and no usage statistics in the home folder.
        quiet = ["--status-listen", "off", "--usage-db", "off"]
        return subprocess.run([velmora] + quiet + arguments, cwd=folder, env=environment, capture_output=True,
                              text=True, timeout=patient(RUN_TIMEOUT_S))
    except subprocess.TimeoutExpired:
        check(False, "velmora %s ended in time" % " ".join(arguments))
        raise


def without_display():
    """The environment with no way to a display and no driver chosen."""
    environment = dict(os.environ)
    for name in ("DISPLAY", "WAYLAND_DISPLAY", "SDL_VIDEODRIVER"):
        environment.pop(name, None)
    return environment


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--velmora", required=True, type=os.path.abspath)
    options = parser.parse_args()

    with tempfile.TemporaryDirectory() as folder:
        master, slave = os.openpty()
        panel = os.ttyname(slave)
        quiet = without_display()
        quiet["SDL_AUDIODRIVER"] = "dummy"  # only the soundfont can be missing

        cases = [
            ("a missing soundfont",
             ["--headless", "--frames", "20", "--panel", panel, "--soundfont", os.path.join(folder, "none.sf2")],
             quiet, 0, ["Velmora: Midi-Out Init FAILED"]),
            ("a missing serial device",
             ["--headless", "--frames", "20", "--midi-out", "none", "--panel", os.path.join(folder, "ttyS9")],
             quiet, 0, SERIAL_MESSAGES),
            # 8 s of frames: both are looked for again about twice, without a word.
            ("an external MIDI port and a serial device missing",
             ["--headless", "--frames", "400", "--midi-out", "port:Nowhere", "--panel", os.path.join(folder, "ttyS9")],
             quiet, 0, ["Velmora: Midi-Out Init FAILED"] + SERIAL_MESSAGES),
            ("no display and no --headless",
             ["--frames", "20", "--midi-out", "none", "--panel", panel],
             quiet, 1, ["Velmora: DirectDraw Init FAILED"]),
        ]
        for name, arguments, environment, exit_code, messages in cases:
            result = run(options.velmora, arguments, environment, folder)
            check(result.returncode == exit_code,
                  "%s: exit code %d (got %d, %s)" % (name, exit_code, result.returncode, result.stderr.strip()))
            lines = [line for line in result.stderr.splitlines() if line in messages]
            check(lines == messages, "%s: the messages %s in order (got %s)" % (name, messages, lines))
            said = result.stderr.splitlines()
            check(len(set(said)) == len(said), "%s: nothing said twice (%s)" % (name, said))
            for other in (SERIAL_MESSAGES + ["Velmora: Midi-Out Init FAILED", "Velmora: DirectDraw Init FAILED"]):
                if other not in messages:
                    check(other not in result.stderr, "%s: no message '%s'" % (name, other))
        os.close(slave)
        os.close(master)


if __name__ == "__main__":
    main()
