"""The real exhibit, headless, on pretend screens of 1920 x 1080, 3840 x 2160 and
1080 x 1920 turned by --rotate 90, with touches put into SDL's queue as a touch
screen's finger events (--touches): a touch between two synapses goes to the nearer
one, a tap on each stimulus input fires it, ten fingers at once each act on their own
target (an eleventh does nothing), and a drag on each of the six synapses grows its
triangle in the frame of the move. What the touches did is read from the usage file
(every interaction with its control) and from screenshots."""

import argparse
import os
import sqlite3
import subprocess
import tempfile

from e2e_support import blue_pixels, check, patient, read_picture, require

RUN_TIMEOUT_S = 120
DESIGN_PIXEL_MM = 0.25   # --screen-width-mm is chosen so that a design pixel covers this on every screen
DRAG_STEP_MM = 6.0       # a drag moves a weight one step per this distance
# The middles of Syn1 .. Syn6's triangles at their default weights, and the buttons,
# design pixels.
SYNAPSES = [(255.4, 111.3), (264.3, 154.1), (352.0, 395.0), (258.1, 467.9), (338.8, 560.5), (570.8, 308.2)]
STIMULUS_BUTTONS = [(16, 209), (16, 611)]
SLOWER, FASTER = (470, 740), (520, 740)
DRAG_STEPS = 4


def synapse_centre(k):
    return SYNAPSES[k]


class Screen:
    """A screen as it is driven (width x height) and turned; the design placed on its
    upright frame as the exhibit places it."""

    def __init__(self, width, height, rotation):
        self.width, self.height, self.rotation = width, height, rotation
        self.upright = (height, width) if rotation in (90, 270) else (width, height)
        self.scale = min(self.upright[0] / 1024, self.upright[1] / 768)
        self.offset = ((self.upright[0] - 1024 * self.scale) / 2, (self.upright[1] - 768 * self.scale) / 2)

    def on_picture(self, point):
        """Design pixels to the upright picture's (as screenshots show it)."""
        return point[0] * self.scale + self.offset[0], point[1] * self.scale + self.offset[1]

    def on_screen(self, point):
        """Design pixels to the screen's as it is driven (as a touch reports them)."""
        x, y = self.on_picture(point)
        if self.rotation == 90:
            return self.width - y, x
        return x, y

    def width_mm(self):
        return self.width * DESIGN_PIXEL_MM / self.scale  # for --screen-width-mm


def touches(screen):
    steps = []

    def finger(frame, number, phase, point):
        x, y = screen.on_screen(point)
        steps.append("%d:%d:%s:%.1f:%.1f" % (frame, number, phase, x, y))

    syn1, syn2 = synapse_centre(0), synapse_centre(1)
    between = lambda share: (syn1[0] + (syn2[0] - syn1[0]) * share, syn1[1] + (syn2[1] - syn1[1]) * share)
    # Between Syn1 and Syn2, a little nearer the one, then the other: both within reach.
    for frame, share in ((3, 0.45), (4, 0.55)):
        finger(frame, 40, "down", between(share))
        finger(frame, 40, "up", between(share))
    # Ten fingers at once: six on the synapses, four on buttons; an eleventh on a button.
    # The buttons are tapped (held, they would repeat as a key does).
    targets = [synapse_centre(k) for k in range(6)] + STIMULUS_BUTTONS + [FASTER, SLOWER, FASTER]
    for number, point in enumerate(targets):
        finger(10, number, "down", point)
    for number in range(6, len(targets)):
        finger(10, number, "up", targets[number])
    # The six drag upwards by four and a half steps in frame 12, then lift.
    rise = (DRAG_STEPS + 0.5) * DRAG_STEP_MM / DESIGN_PIXEL_MM
    for k in range(6):
        x, y = synapse_centre(k)
        finger(12, k, "move", (x, y - rise))
        finger(14, k, "up", (x, y - rise))
    return " ".join(steps)


def box_near(screen, point):
    """The screenshot's pixels within 30 design pixels of a point."""
    cx, cy = screen.on_picture(point)
    reach = int(30 * screen.scale)
    return int(cx) - reach, int(cy) - reach, int(cx) + reach, int(cy) + reach


def run(velmora, folder, screen):
    name = "%dx%d-%d" % (screen.width, screen.height, screen.rotation)
    database = os.path.join(folder, name + ".sqlite3")
    before, after = os.path.join(folder, name + "-11.png"), os.path.join(folder, name + "-12.png")
    result = subprocess.run([velmora, "--headless", "--size", "%dx%d" % (screen.width, screen.height),
                             "--rotate", str(screen.rotation), "--screen-width-mm", "%.3f" % screen.width_mm(),
                             "--midi-out", "none", "--panel", "none", "--status-listen", "off",
                             "--usage-db", database, "--touches", touches(screen), "--frames", "16",
                             "--screenshot", "11:" + before, "--screenshot", "12:" + after],
                            cwd=folder, capture_output=True, text=True, timeout=patient(RUN_TIMEOUT_S))
    check(result.returncode == 0, "%s: the run ends with 0 (%s)" % (name, result.stderr.strip()[-300:]))
    with sqlite3.connect("file:%s?mode=ro" % database, uri=True) as db:
        controls = [c for (c,) in db.execute("SELECT control FROM interactions WHERE source = 'touch' "
                                             "ORDER BY time_ms, rowid")]
    check(controls[:2] == ["weight1", "weight2"], "%s: between Syn1 and Syn2 the nearer wins (%s)" % (name, controls))
    at_once = controls[2:12]
    expected = ["weight%d" % k for k in range(1, 7)] + ["stimulus1", "stimulus2", "faster", "slower"]
    check(sorted(at_once) == sorted(expected), "%s: ten fingers act at once, an eleventh not (%s)" % (name, at_once))
    drags = controls[12:]
    check(sorted(drags) == sorted(["weight%d+" % k for k in range(1, 7)] * DRAG_STEPS),
          "%s: each synapse's drag raises its weight %d steps (%s)" % (name, DRAG_STEPS, drags))
    shot_before, shot_after = read_picture(before), read_picture(after)
    check(shot_before[:2] == screen.upright, "%s: the picture is upright, %dx%d" % (name, *screen.upright))
    for k in range(6):
        grown = blue_pixels(shot_after, box_near(screen, synapse_centre(k)))
        was = blue_pixels(shot_before, box_near(screen, synapse_centre(k)))
        check(grown > was * 1.3, "%s: Syn%d's triangle is larger in the frame of the drag (%d > %d blue pixels)"
              % (name, k + 1, grown, was))


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--velmora", required=True)
    options = parser.parse_args()
    require("convert")
    with tempfile.TemporaryDirectory() as folder:
        for screen in (Screen(1920, 1080, 0), Screen(3840, 2160, 0), Screen(1080, 1920, 90)):
            run(options.velmora, folder, screen)


if __name__ == "__main__":
    main()
