"""The real exhibit full screen in a real X server (Xvfb), driven like a visitor with
xdotool: the window carries its icon, a key press shows the labelled picture, Esc ends
it with exit code 0, and so does SIGTERM. Skipped when Xvfb, xdotool, xprop or
ImageMagick are missing."""

import argparse
import os
import re
import signal
import subprocess
import sys
import tempfile
import time

from e2e_support import PanelTerminal, check, labelled_share, read_picture, require

INNER = "VELMORA_E2E_INSIDE_XVFB"
STEP_TIMEOUT_S = 20


def start(velmora, panel, folder, record):
    # --frames bounds the run (about a minute) should every key get lost.
    return subprocess.Popen([velmora, "--midi-out", "none", "--panel", panel, "--frames", "3000",
                             "--status-listen", "off", "--usage-db", "off", "--record-keys", record], cwd=folder,
                            stdout=subprocess.PIPE, stderr=subprocess.PIPE)


def find_window():
    found = subprocess.run(["xdotool", "search", "--sync", "--name", "^Velmora$"], capture_output=True,
                           text=True, timeout=STEP_TIMEOUT_S)
    return found.stdout.split()[0]


def screenshot(path):
    subprocess.run(["import", "-window", "root", path], check=True, timeout=STEP_TIMEOUT_S)


def wait(process):
    try:
        return process.wait(timeout=STEP_TIMEOUT_S)
    except subprocess.TimeoutExpired:
        process.kill()
        return None


def inside(options):
    plain = read_picture(os.path.join(options.images, "BACKGROUND.bmp"))
    labelled = read_picture(os.path.join(options.images, "LABELEDBACK.bmp"))
    with tempfile.TemporaryDirectory() as folder, PanelTerminal() as panel:
        exhibit = start(options.velmora, panel.path, folder, "keys.txt")
        window = find_window()
        icon = subprocess.run(["xprop", "-id", window, "-notype", "-f", "_NET_WM_ICON", "32c", "_NET_WM_ICON"],
                              capture_output=True, text=True, timeout=STEP_TIMEOUT_S).stdout
        check(re.match(r"_NET_WM_ICON = (\d+), \1, ", icon) is not None,
              "the window has a square icon (%s)" % icon[:40].strip())
        time.sleep(1.0)
        screenshot(os.path.join(folder, "before.png"))
        subprocess.run(["xdotool", "key", "--window", window, "1"], check=True, timeout=STEP_TIMEOUT_S)
        time.sleep(0.5)
        screenshot(os.path.join(folder, "after.png"))
        subprocess.run(["xdotool", "key", "--window", window, "Escape"], check=True, timeout=STEP_TIMEOUT_S)
        code = wait(exhibit)
        check(code == 0, "Esc ends the exhibit with 0 (%s)" % code)
        before = read_picture(os.path.join(folder, "before.png"))
        after = read_picture(os.path.join(folder, "after.png"))
        check(before[0] == 1024 and before[1] == 768, "the exhibit fills the 1024 x 768 screen")
        check(labelled_share(before, plain, labelled) < 0.2, "before the key the plain picture is on the screen")
        check(labelled_share(after, plain, labelled) > 0.8, "key 1 puts the labelled picture on the screen")
        with open(os.path.join(folder, "keys.txt")) as recorded:
            keys = recorded.read().split()
        check(len(keys) == 2 and keys[0].endswith(":1") and keys[1].endswith(":Esc"),
              "the X keys arrived as 1 and Esc (%s)" % keys)

        exhibit = start(options.velmora, panel.path, folder, "term.txt")
        find_window()
        time.sleep(1.0)
        exhibit.send_signal(signal.SIGTERM)
        code = wait(exhibit)
        check(code == 0, "SIGTERM ends the exhibit with 0 (%s)" % code)
        check(os.path.exists(os.path.join(folder, "term.txt")), "after SIGTERM the orderly shutdown still ran")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--velmora", required=True)
    parser.add_argument("--images", required=True)
    options = parser.parse_args()
    if os.environ.get(INNER) == "1":
        inside(options)
        return
    require("xvfb-run", "xdotool", "xprop", "import", "convert")
    environment = dict(os.environ, **{INNER: "1"})
    environment.pop("SDL_VIDEODRIVER", None)
    # The whole run is killed should anything in it hang (a message box would).
    result = subprocess.run(["timeout", "-s", "KILL", "120", "xvfb-run", "-a", "-s", "-screen 0 1024x768x24",
                             sys.executable] + sys.argv, env=environment)
    sys.exit(result.returncode)


if __name__ == "__main__":
    main()
