"""`velmora --self-test` as an operator runs it: headless, silent, with the panel on a
pseudo-terminal whose far end answers the poll like a panel (passes, exit 0), with no
panel (the panel check skipped, exit 0), and with a panel device that does not exist
(exit non-zero, a line naming the device and saying what to do). A stale lock file of
another user (root's, its process gone) is reported and passed, by the self-test and the
exhibit run as a second user."""

import argparse
import os
import shutil
import subprocess
import sys
import tempfile
import unittest

from e2e_support import NO_MONITORING, AnsweringPanel, patient, wait_for_run

RUN_TIMEOUT_S = 60
REPLY = bytes([0, 0, 15, 6, 6, 6, 7, 6, 6])
OPTIONS = None


def self_test(*arguments):
    return subprocess.run([OPTIONS.velmora, "--self-test", "--headless", "--midi-out", "none", *NO_MONITORING] + list(arguments),
                          capture_output=True, text=True, timeout=patient(RUN_TIMEOUT_S))


class SelfTestRunTest(unittest.TestCase):
    def test_every_check_passes_with_a_panel_that_answers(self):
        panel = AnsweringPanel(REPLY)
        try:
            result = self_test("--panel", panel.device, "--panel-poll")
        finally:
            panel.close()
        self.assertEqual(result.returncode, 0, result.stdout + result.stderr)
        lines = result.stdout.splitlines()
        self.assertEqual([line.split(":")[0] for line in lines[:3]],
                         ["PASS display", "PASS MIDI output", "PASS panel"], result.stdout)
        self.assertIn(panel.device, lines[2])
        self.assertIn("00 00 0f 06 06 06 07 06 06", lines[2])
        self.assertEqual(panel.polls, 1)
        self.assertIn("All 3 checks passed", lines[3])

    def test_no_panel_is_skipped_and_the_rest_passing_exits_zero(self):
        result = self_test("--panel", "none", "--panel-poll")
        self.assertEqual(result.returncode, 0, result.stdout + result.stderr)
        lines = result.stdout.splitlines()
        self.assertTrue(lines[2].startswith("SKIP panel: none chosen"), result.stdout)
        self.assertIn("All 2 checks passed, 1 skipped", lines[3])

    def test_a_missing_panel_device_fails_with_a_line_that_says_what_to_do(self):
        device = "/dev/velmora-panel-that-is-not-there"
        result = self_test("--panel", device)
        self.assertNotEqual(result.returncode, 0)
        failed = [line for line in result.stdout.splitlines() if line.startswith("FAIL ")]
        self.assertEqual(len(failed), 1, result.stdout)
        self.assertTrue(failed[0].startswith("FAIL panel: cannot open " + device), failed[0])
        self.assertIn("To fix:", failed[0])
        self.assertIn("--panel", failed[0].split("To fix:")[1])

    @unittest.skipUnless(os.geteuid() == 0 and shutil.which("setpriv"), "needs root and setpriv for a second user")
    def test_a_stale_lock_file_of_another_user_is_reported_and_the_panel_used_all_the_same(self):
        panel = AnsweringPanel(REPLY)
        ended = subprocess.Popen(["true"])
        ended.wait()
        lock_file = "/var/lock/LCK.." + panel.device[len("/dev/"):].replace("/", "_")
        nobody = ["setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"]
        try:
            # As a self-test run as root and ended by SIGTERM leaves it, in the sticky lock folder.
            with open(lock_file, "w") as made:
                made.write("%10d\n" % ended.pid)
            os.chown(panel.device, 65534, 65534)
            result = subprocess.run(nobody + [OPTIONS.velmora, "--self-test", "--headless", "--midi-out", "none",
                                              *NO_MONITORING, "--panel", panel.device, "--panel-poll"],
                                    capture_output=True, text=True, timeout=patient(RUN_TIMEOUT_S))
            self.assertEqual(result.returncode, 0, result.stdout + result.stderr)
            line = [line for line in result.stdout.splitlines() if line.startswith("PASS panel: ")]
            self.assertEqual(len(line), 1, result.stdout)
            self.assertIn("found a stale lock file " + lock_file + " (owned by root, of process %d" % ended.pid, line[0])
            self.assertIn("00 00 0f 06 06 06 07 06 06", line[0])

            with tempfile.TemporaryDirectory() as folder:
                os.chmod(folder, 0o777)
                frame_log = os.path.join(folder, "frames.log")
                with open(os.path.join(folder, "said"), "w+") as said:
                    exhibit = subprocess.Popen(nobody + [OPTIONS.velmora, "--headless", "--midi-out", "none",
                                                         *NO_MONITORING, "--panel", panel.device, "--panel-poll",
                                                         "--frames", "100", "--frame-log", frame_log],
                                               cwd=folder, stdout=subprocess.DEVNULL, stderr=said)
                    code = wait_for_run(exhibit, frame_log)
                    said.seek(0)
                    stale = [line for line in said.read().splitlines() if "stale lock file" in line]
            self.assertEqual(code, 0)
            self.assertGreater(panel.polls, 2, "the exhibit polls the panel past the stale lock file")
            self.assertEqual(len(stale), 1, stale)
            with open(lock_file) as left:
                self.assertEqual(left.read(), "%10d\n" % ended.pid, "the other user's file is left alone")
        finally:
            if os.path.exists(lock_file):
                os.remove(lock_file)
            panel.close()


def main():
    global OPTIONS
    parser = argparse.ArgumentParser()
    parser.add_argument("--velmora", required=True)
    OPTIONS, rest = parser.parse_known_args()
    unittest.main(argv=[sys.argv[0]] + rest, verbosity=2)


if __name__ == "__main__":
    main()
