"""The curator's report of a made-up month of two exhibits with known counts: the CSV
holds those counts, the HTML page shows the same figures as the table, draws its
charts itself and asks for nothing from elsewhere, and opens in headless Chromium
without a console error. Runs in TZ=Europe/Berlin (29 March has 23 hours)."""

import argparse
import csv
import io
import os
import random
import re
import sqlite3
import subprocess
import sys
import tempfile
import time
from datetime import date, datetime, timedelta
from zoneinfo import ZoneInfo

from feeder_support import SKIP, Feeder, check, require_modules

require_modules("selenium")
from status_page_browser_test import CHROMIUM, DRIVER, browser  # noqa: E402

ZONE = ZoneInfo("Europe/Berlin")
DAYS = [date(2026, 3, 1) + timedelta(days=i) for i in range(31)]
SOURCES = ("keyboard", "panel")
CAUSES = ("idle", "periodic", "key", "panel", "remote")
# The layout the exhibit wrote before this version; the feeder brings it forward.
LAYOUT_2 = """
CREATE TABLE runs (id INTEGER PRIMARY KEY, started_ms INTEGER NOT NULL, last_seen_ms INTEGER NOT NULL,
                   ended_ms INTEGER, version TEXT NOT NULL);
CREATE TABLE interactions (time_ms INTEGER NOT NULL, run_id INTEGER NOT NULL, source TEXT NOT NULL,
                           control TEXT NOT NULL);
CREATE TABLE resets (time_ms INTEGER NOT NULL, run_id INTEGER NOT NULL, cause TEXT NOT NULL);
CREATE TABLE firings (minute INTEGER NOT NULL, soma INTEGER NOT NULL, count INTEGER NOT NULL,
                      PRIMARY KEY (minute, soma)) WITHOUT ROWID;
CREATE INDEX interactions_by_time ON interactions (time_ms);
CREATE INDEX resets_by_time ON resets (time_ms);
PRAGMA user_version=2;
"""


def ms(day, hour, minute=0, second=0):
    return int(datetime(day.year, day.month, day.day, hour, minute, second, tzinfo=ZONE).timestamp() * 1000)


def made_up_exhibit(path, seed, closed_weekday, crash_every):
    """Writes a month into a layout-2 file; returns the expected figures per date."""
    rng = random.Random(seed)
    expected = {}
    with sqlite3.connect(path) as db:
        db.executescript(LAYOUT_2)
        for day in DAYS:
            figures = dict.fromkeys(("runs", "crashes", "uptime_seconds", "visits", "visit_ms", "interactions",
                                     *SOURCES, *("resets_" + c for c in CAUSES)), 0)
            expected[day.isoformat()] = figures
            if day.weekday() == closed_weekday:
                continue
            crashed = day.day % crash_every == 0
            start, end = ms(day, 8, 30), ms(day, 14 if crashed else 18, 30)
            run = db.execute("INSERT INTO runs (started_ms, last_seen_ms, ended_ms, version) VALUES (?, ?, ?, 'v')",
                             (start, end, None if crashed else end)).lastrowid
            figures.update(runs=1, crashes=int(crashed), uptime_seconds=(end - start) // 1000)
            busy = 2 if day.weekday() >= 5 else 1
            # Visits begin at distinct ten-minute marks, so they never run into each other.
            for mark in sorted(rng.sample(range(9 * 6, (14 if crashed else 18) * 6), rng.randint(3, 8) * busy)):
                first = last = ms(day, mark // 6, mark % 6 * 10)
                for _ in range(rng.randint(1, 12)):
                    source = rng.choice(SOURCES)
                    db.execute("INSERT INTO interactions VALUES (?, ?, ?, 'weight1')", (last, run, source))
                    figures[source] += 1
                    figures["interactions"] += 1
                    last += rng.randint(2, 40) * 1000
                last -= 1000  # never 60 s or more after the one before
                figures["visits"] += 1
                figures["visit_ms"] += db.execute("SELECT max(time_ms) FROM interactions").fetchone()[0] - first
                cause = rng.choice(("idle", "idle", "key", "panel"))
                db.execute("INSERT INTO resets VALUES (?, ?, ?)", (last + 60_000, run, cause))
                figures["resets_" + cause] += 1
            db.execute("INSERT INTO resets VALUES (?, ?, 'periodic')", (ms(day, 12), run))
            figures["resets_periodic"] += 1
    return expected


# What the browser shows of each section: the day table, the key figures, the heat map.
SECTIONS = """return [...document.querySelectorAll('section.report')].map(s => ({
  name: s.dataset.name,
  rows: [...s.querySelectorAll('table.days tbody tr')].map(r => [...r.cells].map(c => c.textContent)),
  cards: Object.fromEntries([...s.querySelectorAll('[data-field]')].map(c => [c.dataset.field, c.textContent])),
  heat: [...s.querySelectorAll('rect.heat')].map(r => [+r.dataset.weekday, +r.dataset.hour, +r.dataset.count])}))"""


def table_rows(text):
    """The text table's day rows per exhibit, split into fields as the HTML has them."""
    blocks, rows = [], None
    for line in text.splitlines():
        if line.startswith("date "):
            rows = []
            blocks.append(rows)
        elif rows is not None and re.match(r"^(\d{4}-\d\d-\d\d|total) ", line):
            # "33 s" and "1 d 02:00:00" are one field each.
            rows.append(re.findall(r"\d+ d \d\d:\d\d:\d\d|\d+ s|\S+", line))
        elif not line.strip():
            rows = None
    return blocks


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--feeder", required=True)
    parser.add_argument("--stats", required=True)
    parser.add_argument("--screenshot", help="where to keep the browser's picture of the page")
    args = parser.parse_args()
    if not (os.path.exists(CHROMIUM) and os.path.exists(DRIVER)):
        print("skipped: chromium or chromium-driver is missing")
        sys.exit(SKIP)
    os.environ["TZ"] = "Europe/Berlin"
    time.tzset()
    with tempfile.TemporaryDirectory() as folder:
        files, expected = [], {}
        for name, seed, closed, crash_every in (("Foyer", 1, 0, 9), ("Hall of Neurons", 2, 6, 13)):
            path = os.path.join(folder, name.split()[0].lower() + ".sqlite3")
            expected[name] = made_up_exhibit(path, seed, closed, crash_every)
            Feeder(args.feeder, "--usage-db", path, "--exhibit-name", name).quit()  # brought forward and named
            files += ["--db", path]
        stats = [args.stats, *files, "--from", DAYS[0].isoformat(), "--to", DAYS[-1].isoformat()]
        report = subprocess.run([*stats, "--csv"], capture_output=True, text=True, timeout=60)
        check(report.returncode == 0, "velmora-stats reads both files")
        rows = list(csv.DictReader(io.StringIO(report.stdout)))
        wrong = []
        for name, days in expected.items():
            for day, figures in days.items():
                row = next(r for r in rows if r["exhibit"] == name and r["date"] == day)
                visit_ms = figures.pop("visit_ms")
                mean = visit_ms / 1000 / figures["visits"] if figures["visits"] else 0
                wrong += [(name, day, column, row[column], value) for column, value in figures.items()
                          if int(row[column]) != value]
                if abs(float(row["mean_visit_seconds"]) - mean) > 0.051:
                    wrong.append((name, day, "mean visit", row["mean_visit_seconds"], mean))
        check(not wrong, f"the CSV holds every made-up count of both exhibits, day by day {wrong[:3]}")
        fleet = [r for r in rows if r["exhibit"] == "all exhibits"]
        check(len(fleet) == 31 and all(int(f["interactions"]) == sum(expected[n][f["date"]]["interactions"]
                                                                    for n in expected) for f in fleet),
              "the fleet's rows sum the exhibits'")

        html_path = os.path.join(folder, "report.html")
        table = subprocess.run([*stats, "--html", html_path], capture_output=True, text=True, timeout=60)
        check(table.returncode == 0, "velmora-stats writes the HTML page")
        with open(html_path, encoding="utf-8") as f:
            outside = re.findall(r"https?:|//[\w.]|<script|@import|url\(|(?:src|href)=\"(?!data:|#)", f.read())
        check(not outside, f"the page asks for nothing from elsewhere ({outside})")
        with tempfile.TemporaryDirectory() as profile:
            driver = browser(profile)
            try:
                driver.set_window_size(1040, 1500)
                driver.get("file://" + html_path)
                check(driver.title.startswith("Velmora usage"), "the page opens offline in Chromium")
                charts = driver.execute_script("return document.querySelectorAll('svg').length")
                check(charts == 3 * 6 + 1, f"every chart is drawn ({charts} SVG)")
                errors = [e for e in driver.get_log("browser") if e["level"] in ("SEVERE", "WARNING")]
                check(not errors, f"no console error or warning ({errors})")
                driver.save_screenshot(args.screenshot or os.path.join(folder, "report.png"))
                sections = {s["name"]: s for s in driver.execute_script(SECTIONS)}
            finally:
                driver.quit()
        check([sections[n]["rows"] for n in ("Foyer", "Hall of Neurons", "all exhibits")] == table_rows(table.stdout),
              "the page's day tables equal the text table's, exhibit by exhibit and for the fleet")
        for name, section in sections.items():
            total = section["rows"][-1]
            check(section["cards"]["interactions"] == total[1] and section["cards"]["crashes"] == total[-1],
                  f"{name}: the key figures are the totals")
        heat = sections["all exhibits"]["heat"]
        check([sum(c for _, hour, c in heat if hour == h) for h in range(24)] ==
              [sum(int(r[f"h{h:02d}"]) for r in fleet) for h in range(24)],
              "the fleet's heat map holds the CSV's interactions per hour")
        check([sum(c for weekday, _, c in heat if weekday == w) for w in range(7)] ==
              [sum(int(r["interactions"]) for r in fleet if date.fromisoformat(r["date"]).weekday() == w)
               for w in range(7)], "the heat map's rows are the weekdays, Monday first")


if __name__ == "__main__":
    main()
