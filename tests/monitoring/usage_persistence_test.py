"""The usage statistics survive the exhibit being killed: interactions written before
a SIGKILL are in the database when it starts again, the killed run counts as a crash
in velmora-stats. Another program holding the file's lock for 5 s loses nothing and
moves nothing aside; another program's database is never written into. velmora-stats
reports a fleet, names a file moved aside, and refuses bad arguments with exit code 2."""

import csv
import io
import os
import re
import sqlite3
import subprocess
import tempfile
import time

from feeder_support import Feeder, arguments, check, wait_until


def rows(path, sql):
    with sqlite3.connect(f"file:{path}?mode=ro", uri=True) as db:
        return db.execute(sql).fetchall()


def interactions_written(path):
    """How many interactions the file holds; 0 while it is still being laid out."""
    try:
        return rows(path, "SELECT count(*) FROM interactions")[0][0]
    except sqlite3.OperationalError:
        return 0


def metric(feeder, name):
    found = re.search(rf"^{name} (\S+)$", feeder.get("/metrics")[2].decode(), re.M)
    return float(found.group(1)) if found else None


def a_lock_held_for_five_seconds_loses_nothing(args, path, store):
    before = interactions_written(path)
    holder = sqlite3.connect(path, isolation_level=None)
    holder.execute("BEGIN IMMEDIATE")  # as a curator's query or a backup would
    feeder = Feeder(args.feeder, *store)
    feeder.send("key weight1+", "key weight2+")
    wait_until(lambda: metric(feeder, "velmora_usage_events_waiting") == 2, "the events wait in memory")
    time.sleep(5)
    check(metric(feeder, "velmora_usage_recording") == 1 and metric(feeder, "velmora_usage_events_waiting") == 2,
          "after 5 s of the lock the events still wait and the statistics count as recording")
    holder.execute("ROLLBACK")
    holder.close()
    wait_until(lambda: interactions_written(path) == before + 2, "once the lock is gone the events are written")
    check(metric(feeder, "velmora_usage_events_dropped_total") == 0, "nothing was dropped")
    feeder.quit()
    check(not [f for f in os.listdir(os.path.dirname(path)) if ".locked-" in f or ".corrupt-" in f],
          "the busy file was not moved aside: its history stays")


def main():
    args = arguments()
    with tempfile.TemporaryDirectory() as folder:
        path = os.path.join(folder, "state", "velmora", "usage.sqlite3")
        store = ["--usage-db", path, "--commit-interval-ms", "300"]

        feeder = Feeder(args.feeder, *store)
        feeder.send(*[f"key weight{i}+" for i in range(1, 6)], "reset idle")
        wait_until(lambda: os.path.exists(path) and interactions_written(path) == 5,
                   "the batch reaches the file without a flush")
        feeder.send("panel speed", "panel speed")
        feeder.kill()
        kept = rows(path, "SELECT count(*) FROM interactions")[0][0]
        check(kept >= 5, f"after SIGKILL the file holds what was written ({kept} of 7 interactions)")

        feeder = Feeder(args.feeder, *store)
        feeder.send("key stimulus1", "reset key")
        feeder.quit()
        runs = rows(path, "SELECT ended_ms IS NULL FROM runs ORDER BY id")
        check(runs == [(1,), (0,)], "the killed run has no end, the next one has")
        check(rows(path, "PRAGMA journal_mode")[0][0] == "wal", "the file is in WAL mode")

        report = subprocess.run([args.stats, "--db", path, "--csv"], capture_output=True, text=True, timeout=60)
        check(report.returncode == 0, "velmora-stats reads the file")
        days = list(csv.DictReader(io.StringIO(report.stdout)))
        total = lambda column: sum(int(day[column]) for day in days)  # noqa: E731
        check(len(days) == 7, "the default range is the last seven days")
        check(total("crashes") == 1 and total("runs") == 2, "velmora-stats counts the killed run as a crash")
        check(total("interactions") == kept + 1, "velmora-stats counts every interaction written")
        check(total("resets_idle") == 1 and total("resets_key") == 1, "velmora-stats counts resets by cause")
        table = subprocess.run([args.stats, "--db", path], capture_output=True, text=True, timeout=60).stdout
        check("Resets by cause" in table and "1 crashed" in table, "the table shows resets and crashes")

        a_lock_held_for_five_seconds_loses_nothing(args, path, store)

        foreign = os.path.join(folder, "notes.sqlite3")
        with sqlite3.connect(foreign) as db:
            db.execute("CREATE TABLE notes (text)")
        with open(foreign, "rb") as f:
            before = f.read()
        Feeder(args.feeder, "--usage-db", foreign).quit()
        with open(foreign, "rb") as f:
            check(f.read() == before, "another program's database is left as it was")
        result = subprocess.run([args.stats, "--db", foreign], capture_output=True, text=True, timeout=60)
        check(result.returncode == 1 and "another program's database" in result.stderr,
              "velmora-stats refuses another program's database")

        hall = os.path.join(folder, "hall.sqlite3")
        feeder = Feeder(args.feeder, "--usage-db", hall, "--exhibit-name", "Hall")
        feeder.send("key faster", "key slower")
        feeder.quit()
        aside = path + ".corrupt-20260101T000000"
        open(aside, "wb").close()
        result = subprocess.run([args.stats, "--db", path, "--db", hall, "--csv"], capture_output=True, text=True,
                                timeout=60)
        check(result.returncode == 0 and aside in result.stderr, "velmora-stats names the file moved aside")
        totals = {}
        for row in csv.DictReader(io.StringIO(result.stdout)):
            totals[row["exhibit"]] = totals.get(row["exhibit"], 0) + int(row["interactions"])
        check(totals == {"usage.sqlite3": kept + 3, "Hall": 2, "all exhibits": kept + 5},
              f"velmora-stats reports each exhibit by its name and the fleet ({totals})")

        help_text = subprocess.run([args.stats, "-h"], capture_output=True, text=True, timeout=60)
        check(help_text.returncode == 0 and help_text.stdout.startswith("Usage: velmora-stats"), "-h shows the help")
        for bad in (["--from", "2026-02-30"], ["--from", "2026-03-02", "--to", "2026-03-01"], ["--frm", "x"],
                    ["stray-argument"], ["--csv", "--csv"], ["--from", "1969-12-31"]):
            result = subprocess.run([args.stats, "--db", path, *bad], capture_output=True, text=True, timeout=60)
            check(result.returncode == 2 and "velmora-stats --help" in result.stderr,
                  f"velmora-stats {' '.join(bad)} exits with 2")
        result = subprocess.run([args.stats, "--db", os.path.join(folder, "none")], capture_output=True, timeout=60)
        check(result.returncode == 1, "a missing database is an error of its own")


if __name__ == "__main__":
    main()
