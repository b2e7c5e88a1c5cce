"""What operators see of the real exhibit, headless: its metrics (read by Prometheus'
own parser) follow scripted keys and the replies of velmora-panel on a pseudo-terminal,
/status lists the start-up messages shown and the health, /frame.png is the picture
--screenshot saves, and the usage statistics survive a SIGKILL (the killed run counts as
a crash in velmora-stats) and a corrupt file (moved aside, a fresh one started)."""

import argparse
import glob
import json
import os
import sqlite3
import subprocess
import tempfile

from e2e_support import patient, read_picture, require
from exhibit_support import Exhibit
from feeder_support import check, require_modules, wait_until

require_modules("prometheus_client")
from prometheus_client.parser import text_string_to_metric_families  # noqa: E402

# The knob turns after the exhibit's second status packet (key 0's reset), when the
# panel's replies since the port opened have been taken in.
# The knob turns after the last of five status packets: the port's opening, one after
# each of the three keys that change a value, and key 0's reset.
PANEL_SCRIPT = "0 wait status\n" * 5 + "0 param 1 20\n"
COMMIT_MS = 300  # the usage store's commit interval in these runs
LONG_RUN = ["--frames", "50000"]  # ended by the test, never by the count


def metrics(exhibit):
    status, _, body, _ = exhibit.get("/metrics")
    assert status == 200, status
    return {s.name + str(sorted(s.labels.items())): s.value
            for family in text_string_to_metric_families(body.decode()) for s in family.samples}


def value(samples, name, **labels):
    return samples.get(name + str(sorted(labels.items())))


def database_rows(path, sql):
    with sqlite3.connect(f"file:{path}?mode=ro", uri=True) as db:
        return db.execute(sql).fetchall()


def interactions_in(path):
    try:
        return database_rows(path, "SELECT source, control FROM interactions ORDER BY time_ms")
    except sqlite3.Error:
        return []


def counters_follow_keys_and_panel(options, folder):
    script = os.path.join(folder, "knobs.txt")
    with open(script, "w") as out:
        out.write(PANEL_SCRIPT)
    panel = subprocess.Popen([options.panel, "--script", script, "--quiet-polls"], stdin=subprocess.DEVNULL,
                             stdout=subprocess.PIPE, text=True)
    database = os.path.join(folder, "counters.sqlite3")
    try:
        line = panel.stdout.readline()
        check(line.startswith("Panel line: "), "velmora-panel prints its pseudo-terminal")
        # A soundfont that is not there: the start-up message the status page must list.
        exhibit = Exhibit(options.velmora, folder, "--panel", line.split(": ", 1)[1].strip(), "--panel-poll",
                          "--midi-out", "synth", "--soundfont", os.path.join(folder, "none.sf2"),
                          "--usage-db", database, "--usage-commit-interval", str(COMMIT_MS),
                          "--keys", "20:2 25:2 30:F 100:0", *LONG_RUN,
                          environment=dict(os.environ, SDL_AUDIODRIVER="dummy"))
        samples = wait_until(lambda: (lambda m: m if value(m, "velmora_weight", synapse="1") == 20
                                      and value(m, "velmora_interactions_total", source="keyboard") == 4
                                      else None)(metrics(exhibit)), "the panel's knob (whose replies overrule the keys' values) and four keys show", 20)
        check(value(samples, "velmora_interactions_total", source="panel") >= 1, "the panel's reply is counted")
        check(value(samples, "velmora_panel_connected") == 1, "the polled panel that answers is connected")
        check(value(samples, "velmora_midi_output_ok") == 0, "the synthesiser without a soundfont is no working output")
        check(value(samples, "velmora_frames_total") >= 30 and value(samples, "velmora_display_ok") == 1,
              "frames are counted and reach the (dummy) screen")
        wait_until(lambda: sum(value(metrics(exhibit), "velmora_firings_total", soma=s) for s in "123") > 0,
                   "the somas' firings are counted", 20)

        state = json.loads(exhibit.get("/status")[2])
        check(state["startup_messages"] == ["Midi-Out Init FAILED"], "/status lists the start-up message shown")
        check({"name": "--panel-poll", "value": "", "given": True} in state["options"], "/status lists the options given")
        check({"name": "--language", "value": "de", "given": False} in state["options"],
              "/status lists the options in effect that were not given")
        check(state["health"]["midi_output"] is False and state["health"]["panel"] is True,
              "/status shows the health")

        panel.kill()
        wait_until(lambda: value(metrics(exhibit), "velmora_panel_connected") == 0,
                   "a panel that stops answering shows as not connected")
        wait_until(lambda: ("keyboard", "faster") in interactions_in(database), "the keys reach the usage file")
        exhibit.stop()
        recorded = interactions_in(database)
        check([control for source, control in recorded if source == "keyboard"] ==
              ["weight2+", "weight2+", "faster", "reset"],
              f"the file names each key's control ({recorded})")
        check(recorded[-1] == ("panel", "weight1"), "the panel's knob is recorded as weight1")
        check(database_rows(database, "SELECT ended_ms IS NOT NULL FROM runs") == [(1,)],
              "SIGTERM ends the run in the file")
    finally:
        if panel.poll() is None:
            panel.kill()
        panel.wait()


def frame_png_is_the_screenshot(options, folder):
    # At speed 0 the network hardly moves, so the frames after the labels are gone
    # differ from the one saved only where a spike has crept on. The classic picture,
    # and the sharp one on a pretend screen of its own size. The first run has no panel
    # at all, the second a panel device that is missing: not fitted is no fault, missing is.
    # The sharp picture is larger than one frame copies for the server, so it comes in bands.
    standstill = " ".join(["1:S"] * 15)
    for size, extra, panel_fitted in (((1024, 768), ["--panel", "none"], 0), ((1920, 1200), ["--size", "1920x1200"], 1)):
        shot = os.path.join(folder, "shot.png")
        exhibit = Exhibit(options.velmora, folder, "--usage-db", "off", "--keys", standstill,
                          "--screenshot", "400:" + shot, *extra, *LONG_RUN)
        # The screenshot is written before the next frame starts.
        samples = wait_until(lambda: (lambda m: m if value(m, "velmora_frames_total") > 401 else None)(metrics(exhibit)),
                             "the screenshot's frame is past", 30)
        status, content_type, body, _ = exhibit.get("/frame.png")
        check(status == 200 and content_type == "image/png", "/frame.png answers with a PNG")
        check(value(samples, "velmora_panel_fitted") == panel_fitted and value(samples, "velmora_panel_connected") == 0
              and value(samples, "velmora_midi_output_fitted") == 0 and value(samples, "velmora_usage_enabled") == 0,
              f"the metrics tell a panel {'missing' if panel_fitted else 'not fitted'}, and no MIDI output or usage file")
        health = json.loads(exhibit.get("/status")[2])["health"]
        check(health["panel"] is (False if panel_fitted else None) and health["midi_output"] is None,
              f"/status tells the panel {'lost' if panel_fitted else 'not fitted'} ({health})")
        served = os.path.join(folder, "served.png")
        with open(served, "wb") as out:
            out.write(body)
        exhibit.stop()
        width, height, served_pixels = read_picture(served)
        shot_width, shot_height, shot_pixels = read_picture(shot)
        check((width, height) == (shot_width, shot_height) == size, f"/frame.png has the screenshot's size {size}")
        same = sum(served_pixels[i:i + 3] == shot_pixels[i:i + 3] for i in range(0, len(shot_pixels), 3))
        check(same >= 0.99 * width * height,
              f"/frame.png shows the screenshot's picture, pixel for pixel but a spike's way ({same} the same)")


def usage_survives_a_kill(options, folder):
    database = os.path.join(folder, "state", "velmora", "usage.sqlite3")
    store = ["--usage-db", database, "--usage-commit-interval", str(COMMIT_MS)]
    exhibit = Exhibit(options.velmora, folder, *store, "--keys", "10:1 20:2 30:3 40:4 50:0", *LONG_RUN)
    wait_until(lambda: len(interactions_in(database)) == 5, "the interactions reach the file without a shutdown")
    exhibit.kill()
    check(len(interactions_in(database)) == 5, "after SIGKILL the file holds every interaction written")

    exhibit = Exhibit(options.velmora, folder, *store, "--keys", "10:F1", *LONG_RUN)
    wait_until(lambda: len(interactions_in(database)) == 6, "the next run records into the same file")
    exhibit.stop()
    report = subprocess.run([options.stats, "--db", database, "--csv"], capture_output=True, text=True, timeout=patient(60))
    check(report.returncode == 0, "velmora-stats reads the file")
    today = report.stdout.strip().splitlines()[-1].split(",")
    columns = dict(zip(report.stdout.splitlines()[0].split(","), today))
    check(columns["runs"] == "2" and columns["crashes"] == "1", f"the killed run counts as a crash ({columns})")
    check(columns["interactions"] == "6" and columns["resets_key"] == "1", "velmora-stats counts keys and resets")

    with open(database, "wb") as out:
        out.write(b"this is no database" * 4096)
    for stale in glob.glob(database + "-*"):
        os.remove(stale)
    exhibit = Exhibit(options.velmora, folder, *store, "--keys", "10:2", *LONG_RUN)
    wait_until(lambda: interactions_in(database) == [("keyboard", "weight2+")], "a fresh file takes the new run")
    aside = glob.glob(database + ".corrupt-*")
    check(len(aside) == 1, f"the corrupt file is moved aside ({aside})")
    check(any(line.startswith("velmora: usage statistics: ") and aside[0] in line for line in exhibit.said),
          "the exhibit says so once, naming where the file went")
    exhibit.stop()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--velmora", required=True, type=os.path.abspath)
    parser.add_argument("--panel", required=True)
    parser.add_argument("--stats", required=True)
    options = parser.parse_args()
    require("convert")
    with tempfile.TemporaryDirectory() as folder:
        counters_follow_keys_and_panel(options, folder)
        frame_png_is_the_screenshot(options, folder)
        usage_survives_a_kill(options, folder)


if __name__ == "__main__":
    main()
