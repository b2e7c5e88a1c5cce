"""The real exhibit full screen in a real X server (Xvfb), driven like a visitor with
xdotool: the window carries its icon, a key press shows the labelled picture, Esc ends
it with exit code 0, and so does SIGTERM; the mouse plays the sharp and the classic
picture (a click on Syn1 opens its handles, a drag upwards from Syn3 raises it twice);
a start-up message box belongs to the exhibit's window, and an unattended start shows
none. Skipped when Xvfb, xdotool,
xprop, xwininfo or ImageMagick are missing."""

import argparse
import os
import re
import signal
import subprocess
import sys
import tempfile
import time

import sqlite3

from e2e_support import (NO_MONITORING, PanelTerminal, check, frames_logged, labelled_share, patient, read_picture,
                         require, wait_for_run, wait_until)
from touch_run_test import DRAG_STEP_MM, synapse_centre

INNER = "VELMORA_E2E_INSIDE_XVFB"
STEP_TIMEOUT_S = 20  # longest one step may take on a quiet machine (stretched by the load)
WHOLE_RUN_S = 300    # the whole run's bound on a quiet machine, should anything in it hang
LABEL_SHOWN_S = 5.0  # a little less than the exhibit shows the labelled picture after a key


def start(velmora, panel, folder, record):
    # --frames bounds the run (about a minute) should every key get lost.
    return subprocess.Popen([velmora, "--midi-out", "none", "--panel", panel, "--frames", "3000",
                             *NO_MONITORING, "--record-keys", record,
                             "--frame-log", record + ".log"], cwd=folder,
                            stdout=subprocess.PIPE, stderr=subprocess.PIPE)


def resembles(shot, picture):
    """Most pixels of the screenshot within a small distance of the picture's."""
    _, _, s = shot
    _, _, p = picture
    if len(s) != len(p):
        return False
    close = sum(1 for i in range(0, len(p), 3 * 97)
                if abs(s[i] - p[i]) + abs(s[i + 1] - p[i + 1]) + abs(s[i + 2] - p[i + 2]) < 60)
    return close > 0.8 * (len(p) // (3 * 97))


def find_window():
    found = subprocess.run(["xdotool", "search", "--sync", "--name", "^Velmora$"], capture_output=True,
                           text=True, timeout=patient(STEP_TIMEOUT_S))
    return found.stdout.split()[0]


def boxes(caption):
    """The shown top-level windows with this title. SDL names its message boxes in a
    way xdotool's name search does not read, so the window tree is asked."""
    tree = subprocess.run(["xwininfo", "-root", "-children"], capture_output=True, text=True,
                          timeout=patient(STEP_TIMEOUT_S)).stdout
    found = re.findall(r"^\s*(0x[0-9a-f]+) \"%s\":" % re.escape(caption), tree, re.MULTILINE)
    shown = []
    for box in found:
        state = subprocess.run(["xwininfo", "-id", box], capture_output=True, text=True, timeout=patient(STEP_TIMEOUT_S))
        if "IsViewable" in state.stdout:
            shown.append(str(int(box, 16)))
    return shown


def screenshot(path):
    subprocess.run(["import", "-window", "root", path], check=True, timeout=patient(STEP_TIMEOUT_S))


def wait(process):
    try:
        return process.wait(timeout=patient(STEP_TIMEOUT_S))
    except subprocess.TimeoutExpired:
        process.kill()
        return None


def mouse_plays(velmora, folder, picture):
    """On the full 1024 x 768 screen the design's pixels are the screen's; 0.25 mm each."""
    database, log = os.path.join(folder, picture + ".sqlite3"), os.path.join(folder, picture + ".log")
    exhibit = subprocess.Popen([velmora, "--midi-out", "none", "--panel", "none", "--status-listen", "off",
                                "--usage-db", database, "--screen-width-mm", "256", "--frames", "3000",
                                "--frame-log", log] + (["--classic"] if picture == "classic" else []), cwd=folder,
                               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    find_window()
    wait_until(lambda: frames_logged(log) >= 5 and (picture == "classic" or "sharp picture from" in open(log).read()),
               "the %s picture shown" % picture)
    (x1, y1), (x3, y3) = [(int(x), int(y)) for x, y in (synapse_centre(0), synapse_centre(2))]
    rise = int(2.5 * DRAG_STEP_MM / 0.25)
    for arguments in (["mousemove", x1, y1, "click", "1"], ["mousemove", x3, y3, "mousedown", "1"],
                      ["mousemove", x3, y3 - rise // 2], ["mousemove", x3, y3 - rise, "mouseup", "1"],
                      ["key", "Escape"]):
        subprocess.run(["xdotool", *[str(a) for a in arguments]], check=True, timeout=patient(STEP_TIMEOUT_S))
    code = wait(exhibit)
    with sqlite3.connect("file:%s?mode=ro" % database, uri=True) as db:
        controls = [c for (c,) in db.execute("SELECT control FROM interactions ORDER BY time_ms, rowid")]
    check(code == 0 and controls == ["weight1", "weight3", "weight3+", "weight3+"],
          "%s: the mouse opens Syn1's handles and raises Syn3 twice by a drag (%s, %s)" % (picture, code, controls))


def inside(options):
    plain = read_picture(os.path.join(options.images, "BACKGROUND.bmp"))
    labelled = read_picture(os.path.join(options.images, "LABELEDBACK.bmp"))
    with tempfile.TemporaryDirectory() as folder, PanelTerminal() as panel:
        exhibit = start(options.velmora, panel.path, folder, "keys.txt")
        window = find_window()
        icon = subprocess.run(["xprop", "-id", window, "-notype", "-f", "_NET_WM_ICON", "32c", "_NET_WM_ICON"],
                              capture_output=True, text=True, timeout=patient(STEP_TIMEOUT_S)).stdout
        check(re.match(r"_NET_WM_ICON = (\d+), \1, ", icon) is not None,
              "the window has a square icon (%s)" % icon[:40].strip())
        wait_until(lambda: frames_logged(os.path.join(folder, "keys.txt.log")) >= 5, "the first frames shown")
        before_path = os.path.join(folder, "before.png")

        def picture_on_screen():
            screenshot(before_path)
            return resembles(read_picture(before_path), plain)

        wait_until(picture_on_screen, "the exhibit's picture on the screen", interval_s=0.2)
        after_path = os.path.join(folder, "after.png")

        def labelled_after_key():
            # The labelled picture stands LABEL_SHOWN_S after a key; on a busy machine that
            # may pass before a screenshot is taken and read, so the key comes again then.
            subprocess.run(["xdotool", "key", "--window", window, "1"], check=True, timeout=patient(STEP_TIMEOUT_S))
            pressed = time.monotonic()
            while time.monotonic() - pressed < LABEL_SHOWN_S:
                screenshot(after_path)
                if labelled_share(read_picture(after_path), plain, labelled, every=7) > 0.8:
                    return True
            return False

        wait_until(labelled_after_key, "the labelled picture after key 1", interval_s=0)
        subprocess.run(["xdotool", "key", "--window", window, "Escape"], check=True, timeout=patient(STEP_TIMEOUT_S))
        code = wait(exhibit)
        check(code == 0, "Esc ends the exhibit with 0 (%s)" % code)
        before = read_picture(os.path.join(folder, "before.png"))
        after = read_picture(os.path.join(folder, "after.png"))
        check(before[0] == 1024 and before[1] == 768, "the exhibit fills the 1024 x 768 screen")
        check(labelled_share(before, plain, labelled) < 0.2, "before the key the plain picture is on the screen")
        check(labelled_share(after, plain, labelled) > 0.8, "key 1 puts the labelled picture on the screen")
        with open(os.path.join(folder, "keys.txt")) as recorded:
            keys = recorded.read().split()
        check(len(keys) >= 2 and all(key.endswith(":1") for key in keys[:-1]) and keys[-1].endswith(":Esc"),
              "the X keys arrived as 1 and Esc (%s)" % keys)

        exhibit = start(options.velmora, panel.path, folder, "term.txt")
        find_window()
        wait_until(lambda: frames_logged(os.path.join(folder, "term.txt.log")) >= 5, "the first frames shown")
        exhibit.send_signal(signal.SIGTERM)
        code = wait(exhibit)
        check(code == 0, "SIGTERM ends the exhibit with 0 (%s)" % code)
        check(os.path.exists(os.path.join(folder, "term.txt")), "after SIGTERM the orderly shutdown still ran")

        for picture in ("sharp", "classic"):
            mouse_plays(options.velmora, folder, picture)

        missing_panel = ["--midi-out", "none", *NO_MONITORING, "--panel", os.path.join(folder, "ttyS9"), "--frames", "50"]
        boxed_log = os.path.join(folder, "boxed.log")
        exhibit = subprocess.Popen([options.velmora, "--frame-log", boxed_log] + missing_panel, cwd=folder,
                                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        window = find_window()
        # Each Return answers the box in front; the next one may come with the same window id.
        owners = set()
        deadline = time.monotonic() + patient(STEP_TIMEOUT_S)
        while exhibit.poll() is None and time.monotonic() < deadline:
            shown = boxes("Error")
            if not shown:
                time.sleep(0.05)
                continue
            owner = subprocess.run(["xprop", "-id", shown[0], "WM_TRANSIENT_FOR"], capture_output=True, text=True,
                                   timeout=patient(STEP_TIMEOUT_S)).stdout
            found = re.search(r"window id # (0x[0-9a-f]+)", owner)
            owners.add(int(found.group(1), 16) if found else None)
            subprocess.run(["xdotool", "windowfocus", shown[0], "key", "Return"], timeout=patient(STEP_TIMEOUT_S))
            time.sleep(0.2)
        check(owners == {int(window)}, "the serial port's message boxes belong to the exhibit's window (%s, %s)"
              % (owners, window))
        code = wait_for_run(exhibit, boxed_log)
        check(code == 0, "once the boxes are answered the exhibit runs its frames and ends with 0 (%s)" % code)

        # Unattended, the same start waits for nobody: no box, the frames run, the messages go to stderr.
        unattended_log = os.path.join(folder, "unattended.log")
        with open(os.path.join(folder, "unattended.err"), "w+") as said:
            unattended = subprocess.Popen([options.velmora, "--unattended", "--frame-log", unattended_log] +
                                          missing_panel, cwd=folder, stdout=subprocess.DEVNULL, stderr=said, text=True)
            code = wait_for_run(unattended, unattended_log)
            said.seek(0)
            stderr = said.read()
        check(code == 0 and "Error: Can not open serial port!" in stderr.splitlines(),
              "--unattended shows no box, runs its frames and writes the message to standard error (%s, %r)"
              % (code, stderr))


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--velmora", required=True)
    parser.add_argument("--images", required=True)
    options = parser.parse_args()
    if os.environ.get(INNER) == "1":
        inside(options)
        return
    require("xvfb-run", "xdotool", "xprop", "xwininfo", "import", "convert")
    environment = dict(os.environ, **{INNER: "1"})
    environment.pop("SDL_VIDEODRIVER", None)
    # The whole run is killed should anything in it hang (a message box would).
    result = subprocess.run(["timeout", "-s", "KILL", str(int(patient(WHOLE_RUN_S))), "xvfb-run", "-a",
                             "-s", "-screen 0 1024x768x24",
                             sys.executable] + sys.argv, env=environment)
    sys.exit(result.returncode)


if __name__ == "__main__":
    main()
