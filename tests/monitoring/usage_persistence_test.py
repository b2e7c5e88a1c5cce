"""The usage statistics survive the exhibit being killed: interactions written before
a SIGKILL are in the database when it starts again, the killed run counts as a crash
in velmora-stats, and velmora-stats refuses bad arguments with exit code 2."""

import csv
import io
import os
import sqlite3
import subprocess
import tempfile

from feeder_support import Feeder, arguments, check, patient, wait_until


def rows(path, sql):
    with sqlite3.connect(f"file:{path}?mode=ro", uri=True) as db:
        return db.execute(sql).fetchall()


def interactions_written(path):
    """How many interactions the file holds; 0 while it is still being laid out."""
    try:
        return rows(path, "SELECT count(*) FROM interactions")[0][0]
    except sqlite3.OperationalError:
        return 0


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

        report = subprocess.run([args.stats, "--db", path, "--csv"], capture_output=True, text=True, timeout=patient(60))
        check(report.returncode == 0, "velmora-stats reads the file")
        days = list(csv.DictReader(io.StringIO(report.stdout)))
        total = lambda column: sum(int(day[column]) for day in days)  # noqa: E731
        check(len(days) == 7, "the default range is the last seven days")
        check(total("crashes") == 1 and total("runs") == 2, "velmora-stats counts the killed run as a crash")
        check(total("interactions") == kept + 1, "velmora-stats counts every interaction written")
        check(total("resets_idle") == 1 and total("resets_key") == 1, "velmora-stats counts resets by cause")
        table = subprocess.run([args.stats, "--db", path], capture_output=True, text=True, timeout=patient(60)).stdout
        check("Resets by cause" in table and "1 crashed" in table, "the table shows resets and crashes")

        for bad in (["--from", "2026-02-30"], ["--from", "2026-03-02", "--to", "2026-03-01"], ["--frm", "x"],
                    ["stray-argument"]):
            result = subprocess.run([args.stats, "--db", path, *bad], capture_output=True, text=True, timeout=patient(60))
            check(result.returncode == 2 and "velmora-stats --help" in result.stderr,
                  f"velmora-stats {' '.join(bad)} exits with 2")
        result = subprocess.run([args.stats, "--db", os.path.join(folder, "none")], capture_output=True, timeout=patient(60))
        check(result.returncode == 1, "a missing database is an error of its own")


if __name__ == "__main__":
    main()
