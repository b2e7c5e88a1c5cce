"""The real exhibit's sharp picture against the simulator's, and the status line's
languages: `velmora --headless --size WxH` shows, in its second frame after the
start-up reset, exactly the picture `velmora-sim --at 0:reset --steps 40 --picture
--size WxH` draws (the status line included: until the first second's frame count
closes, the exhibit's speed is worked out at 50 frames a second, as the simulator's
is); the same in English and with black bars. German is the default and stays byte for
byte; English changes only the status line; a language without a catalogue is
refused; the installed programs find their catalogues."""

import argparse
import os
import subprocess
import tempfile

from e2e_support import NO_MONITORING, check, patient, read_picture, require

RUN_TIMEOUT_S = 60
SIZE = (1920, 1080)
# The design scaled to the height of 1080 rows: the status line's band starts at
# design row 740 (the status line's text is 16 rows high at row 748).
STATUS_BAND_FIRST_ROW = 740 * SIZE[1] // 768
FRAME = 2  # the frame the exhibit shows after the reset and 40 model steps


def run(command, folder):
    return subprocess.run(command, cwd=folder, capture_output=True, text=True, timeout=patient(RUN_TIMEOUT_S))


def exhibit_shot(velmora, folder, name, extra):
    result = run([velmora, "--headless", "--midi-out", "none", "--panel", "/nonexistent", *NO_MONITORING, "--frames", str(FRAME),
                  "--size", "%dx%d" % SIZE, "--screenshot", "%d:%s" % (FRAME, name)] + extra, folder)
    check(result.returncode == 0, "velmora %s ran (%s)" % (" ".join(extra), result.stderr.strip()[-200:]))
    return read_picture(os.path.join(folder, name))


def sim_picture(sim, folder, name, extra):
    result = run([sim, "--at", "0:reset", "--steps", str(20 * FRAME), "--picture", name] + extra, folder)
    check(result.returncode == 0, "velmora-sim %s ran (%s)" % (" ".join(extra), result.stderr.strip()))
    return read_picture(os.path.join(folder, name))


def differing_rows(a, b):
    width, height, pa = a
    row = width * 3
    return [y for y in range(height) if pa[y * row:(y + 1) * row] != b[2][y * row:(y + 1) * row]]


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--velmora", required=True)
    parser.add_argument("--sim", required=True)
    parser.add_argument("--cmake", required=True)
    parser.add_argument("--build-dir", required=True)
    options = parser.parse_args()
    require("convert")

    with tempfile.TemporaryDirectory() as folder:
        size = ["--size", "%dx%d" % SIZE]
        pictures = {}
        for name, extra in (("german", []), ("english", ["--language", "en"]), ("letterbox", ["--letterbox"])):
            shot = exhibit_shot(options.velmora, folder, name + "-exhibit.png", extra)
            drawn = sim_picture(options.sim, folder, name + "-sim.png", size + extra)
            check(shot[:2] == SIZE, "the %s screenshot is taken at the pretend screen's size" % name)
            check(shot == drawn, "the exhibit's %s frame is the simulator's picture, pixel for pixel" % name)
            pictures[name] = shot

        rows = differing_rows(pictures["german"], pictures["english"])
        check(rows and min(rows) >= STATUS_BAND_FIRST_ROW,
              "English changes the status line and nothing else (rows %s..%s)" % (rows[:1], rows[-1:]))
        width, height, pixels = pictures["letterbox"]
        bar = (SIZE[0] - SIZE[1] * 1024 // 768) // 2
        black = all(pixels[(y * width + x) * 3:(y * width + x) * 3 + 3] == b"\0\0\0"
                    for y in range(0, height, 7) for x in range(0, bar - 1, 5))
        check(black, "--letterbox leaves black bars beside the design")

        for program, extra in ((options.sim, ["--picture", "p.png"]),
                               (options.velmora, ["--headless", "--frames", "2", "--midi-out", "none", *NO_MONITORING,
                                                  "--panel", "/nonexistent", "--screenshot", "2:p.png"])):
            name = os.path.basename(program)
            default = run([program] + extra, folder)
            with open(os.path.join(folder, "p.png"), "rb") as f:
                default_bytes = f.read()
            german = run([program, "--language", "de"] + extra, folder)
            with open(os.path.join(folder, "p.png"), "rb") as f:
                german_bytes = f.read()
            check(default.returncode == 0 and german.returncode == 0 and default_bytes == german_bytes,
                  "%s: the classic picture is the same by default and with --language de" % name)
            refused = run([program, "--language", "fr"] + extra, folder)
            check(refused.returncode == 2 and "'fr'" in refused.stderr,
                  "%s refuses a language without a catalogue (%s)" % (name, refused.stderr.strip()))

        prefix = os.path.join(folder, "prefix")
        installed = run([options.cmake, "--install", options.build_dir, "--prefix", prefix], folder)
        check(installed.returncode == 0, "the build installs")
        check(os.path.exists(os.path.join(prefix, "share", "locale", "en", "LC_MESSAGES", "velmora.mo")),
              "the English catalogue is installed under share/locale")
        english = sim_picture(os.path.join(prefix, "bin", "velmora-sim"), folder, "installed.png",
                              size + ["--language", "en"])
        check(english == pictures["english"], "the installed velmora-sim finds its English catalogue")
        shot = exhibit_shot(os.path.join(prefix, "bin", "velmora"), folder, "installed-exhibit.png",
                            ["--language", "en"])
        check(shot == pictures["english"], "the installed velmora finds its English catalogue")


if __name__ == "__main__":
    main()
