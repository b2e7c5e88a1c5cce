"""Helpers of the end-to-end tests: running the exhibit with a bounded run time,
reading pictures through ImageMagick, the picture checks the tests share, and the
stand-ins for the panel on a pseudo-terminal."""

import os
import select
import shutil
import subprocess
import sys
import threading
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from patience import frames_logged, patient, wait_for_run  # noqa: E402,F401  (the tests import them from here)

SKIP = 77  # ctest's SKIP_RETURN_CODE for these tests

# For runs that check something else: no status server (which could find its port
# taken by a parallel run) and no usage statistics written into the home folder.
NO_MONITORING = ["--status-listen", "off", "--usage-db", "off"]

# Syn1's triangle lies around its anchors (248, 112) and (258, 110); Syn2's starts
# about 40 pixels lower, outside this box.
SYN1_BOX = (228, 90, 282, 134)  # left, top, right, bottom (exclusive), pixels


def require(*programs):
    missing = [p for p in programs if shutil.which(p) is None]
    if missing:
        print("skipped: missing " + ", ".join(missing))
        sys.exit(SKIP)


def read_picture(path):
    """(width, height, bytes of RGB triples, rows top to bottom)."""
    ppm = subprocess.run(["convert", path, "-depth", "8", "ppm:-"], check=True,
                         capture_output=True, timeout=patient(60)).stdout
    fields = []
    position = 0
    while len(fields) < 4:
        while ppm[position:position + 1].isspace():
            position += 1
        end = position
        while not ppm[end:end + 1].isspace():
            end += 1
        fields.append(ppm[position:end])
        position = end
    assert fields[0] == b"P6", "not a binary PPM"
    width, height = int(fields[1]), int(fields[2])
    pixels = ppm[position + 1:]
    assert len(pixels) == width * height * 3, "short picture"
    return width, height, pixels


def labelled_share(shot, plain, labelled, every=1):
    """Of the pixels where the plain and the labelled background differ clearly (each
    `every`th pixel looked at), the share that the screenshot shows closer to the
    labelled one."""
    _, _, s = shot
    _, _, p = plain
    _, _, l = labelled
    closer, considered = 0, 0
    for i in range(0, len(p), 3 * every):
        difference = abs(p[i] - l[i]) + abs(p[i + 1] - l[i + 1]) + abs(p[i + 2] - l[i + 2])
        if difference < 150:
            continue
        considered += 1
        to_plain = abs(s[i] - p[i]) + abs(s[i + 1] - p[i + 1]) + abs(s[i + 2] - p[i + 2])
        to_labelled = abs(s[i] - l[i]) + abs(s[i + 1] - l[i + 1]) + abs(s[i + 2] - l[i + 2])
        closer += 1 if to_labelled < to_plain else 0
    assert considered > 100, "the two backgrounds hardly differ"
    return closer / considered


def blue_pixels(picture, box):
    """Pixels of a synapse's blue brush inside the box."""
    width, _, pixels = picture
    left, top, right, bottom = box
    count = 0
    for y in range(top, bottom):
        for x in range(left, right):
            i = (y * width + x) * 3
            r, g, b = pixels[i], pixels[i + 1], pixels[i + 2]
            count += 1 if b > 150 and r < 80 and g < 80 else 0
    return count


def rows_differing(a, b, skip_bottom_rows):
    """Rows that differ between two pictures of the same size, leaving out the bottom."""
    width, height, pa = a
    _, _, pb = b
    row = width * 3
    return [y for y in range(height - skip_bottom_rows) if pa[y * row:(y + 1) * row] != pb[y * row:(y + 1) * row]]


class PanelTerminal:
    """A pseudo-terminal the exhibit can open as its panel port: no serial error boxes."""

    def __enter__(self):
        self.master, self.slave = os.openpty()
        self.path = os.ttyname(self.slave)
        return self

    def __exit__(self, *exc):
        os.close(self.slave)
        os.close(self.master)


class AnsweringPanel:
    """The far end of a pseudo-terminal, standing in for the panel: answers every poll
    "g" with `reply` (which the test may change at any time), counts the polls, and
    keeps every other byte that arrives."""

    def __init__(self, reply):
        self.master, self.slave = os.openpty()
        self.device = os.ttyname(self.slave)
        self.reply = reply
        self.polls = 0
        self.other_bytes = b""
        self.stop = False
        self.thread = threading.Thread(target=self.serve, daemon=True)
        self.thread.start()

    def serve(self):
        while not self.stop:
            ready, _, _ = select.select([self.master], [], [], 0.05)
            if not ready:
                continue
            try:
                data = os.read(self.master, 64)
            except OSError:
                return
            for byte in data:
                if byte == ord("g"):
                    self.polls += 1
                    os.write(self.master, self.reply)
                else:
                    self.other_bytes += bytes([byte])

    def close(self):
        self.stop = True
        self.thread.join(timeout=5)
        os.close(self.master)
        os.close(self.slave)


def check(condition, message):
    if not condition:
        print("FAILED: " + message)
        sys.exit(1)
    print("ok: " + message)


def wait_until(condition, what, timeout_s=20.0, interval_s=0.05):
    """Polls `condition` until it holds; fails the test naming `what` after `timeout_s`
    on a quiet machine (stretched by the load)."""
    limit_s = patient(timeout_s)
    deadline = time.monotonic() + limit_s
    while not condition():
        if time.monotonic() > deadline:
            check(False, "waited %.0f s for %s" % (limit_s, what))
            return
        time.sleep(interval_s)
