"""The real exhibit full screen in a real X server (Xvfb, 1280 x 720, so the picture
has room beside it), the sharp picture and the classic one, played with real X mouse
input from xdotool: a click on Syn1 opens its handles, a drag upwards from Syn3 raises
that one twice. What the mouse did is read from the usage file after Esc ended the
run. Skipped when Xvfb or xdotool are missing."""

import argparse
import os
import sqlite3
import subprocess
import sys
import tempfile

from e2e_support import check, frames_logged, require, wait_until
from touch_run_test import DESIGN_PIXEL_MM, DRAG_STEP_MM, Screen, synapse_centre

INNER = "VELMORA_E2E_INSIDE_XVFB"
SCREEN = (1280, 720)
STEP_TIMEOUT_S = 60


def xdotool(*arguments):
    subprocess.run(["xdotool", *[str(a) for a in arguments]], check=True, timeout=STEP_TIMEOUT_S)


def play(velmora, folder, picture):
    screen = Screen(*SCREEN, 0)
    database = os.path.join(folder, picture + ".sqlite3")
    log = os.path.join(folder, picture + ".log")
    exhibit = subprocess.Popen([velmora, "--midi-out", "none", "--panel", "none", "--status-listen", "off",
                                "--usage-db", database, "--screen-width-mm", "%.3f" % screen.width_mm(),
                                "--frames", "6000", "--frame-log", log] + (["--classic"] if picture == "classic" else []),
                               cwd=folder, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
    try:
        subprocess.run(["xdotool", "search", "--sync", "--name", "^Velmora$"], capture_output=True,
                       timeout=STEP_TIMEOUT_S, check=True)
        wait_until(lambda: frames_logged(log) >= 5, "the first frames", timeout_s=STEP_TIMEOUT_S)
        if picture == "sharp":
            wait_until(lambda: "sharp picture from frame" in open(log).read(), "the sharp picture",
                       timeout_s=STEP_TIMEOUT_S)

        def at(point):
            x, y = screen.on_screen(point)
            return int(round(x)), int(round(y))

        xdotool("mousemove", *at(synapse_centre(0)), "click", "1")
        start = synapse_centre(2)
        rise = 2.5 * DRAG_STEP_MM / DESIGN_PIXEL_MM
        xdotool("mousemove", *at(start), "mousedown", "1")
        xdotool("mousemove", *at((start[0], start[1] - rise / 2)))
        xdotool("mousemove", *at((start[0], start[1] - rise)), "mouseup", "1")
        wait_until(lambda: frames_logged(log) >= 40, "frames after the mouse", timeout_s=STEP_TIMEOUT_S)
        xdotool("key", "Escape")
        code = exhibit.wait(timeout=STEP_TIMEOUT_S)
    finally:
        if exhibit.poll() is None:
            exhibit.kill()
            exhibit.wait()
    check(code == 0, "%s: Esc ends the run with 0 (%s)" % (picture, exhibit.stderr.read().strip()[-300:]))
    with sqlite3.connect("file:%s?mode=ro" % database, uri=True) as db:
        controls = [c for (c,) in db.execute("SELECT control FROM interactions WHERE source = 'touch' "
                                             "ORDER BY time_ms, rowid")]
    check(controls == ["weight1", "weight3", "weight3+", "weight3+"],
          "%s: a click opens Syn1's handles, a drag raises Syn3 twice (%s)" % (picture, controls))


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--velmora", required=True)
    options = parser.parse_args()
    if os.environ.get(INNER) == "1":
        with tempfile.TemporaryDirectory() as folder:
            for picture in ("sharp", "classic"):
                play(options.velmora, folder, picture)
        return
    require("xvfb-run", "xdotool")
    environment = dict(os.environ, **{INNER: "1"})
    environment.pop("SDL_VIDEODRIVER", None)
    # The whole run is killed should anything in it hang.
    result = subprocess.run(["timeout", "-s", "KILL", "240", "xvfb-run", "-a", "-s",
                             "-screen 0 %dx%dx24" % SCREEN, sys.executable] + sys.argv, env=environment)
    sys.exit(result.returncode)


if __name__ == "__main__":
    main()
