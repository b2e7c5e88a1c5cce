"""Installs the build into a temporary prefix and checks what an operator relies on:
the four programs, the manual page (naming every option of --help), the desktop
entry and its icon in the icon theme, the built-in font's licence, the systemd user unit (naming the installed program, unattended, restarting it, with a
watchdog), the example settings file (with a panel and without, options the program knows), and the Grafana
dashboard and the alert rules (every metric they use is one the installed exhibit serves). The unit is
also checked by systemd-analyze when that program is present."""

import argparse
import json
import os
import re
import shutil
import struct
import subprocess
import sys
import tempfile
import time
import unittest
import urllib.request

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from patience import patient  # noqa: E402

OPTIONS = None


def run(command, **kwargs):
    return subprocess.run(command, capture_output=True, text=True, timeout=patient(60), **kwargs)


def read(path):
    with open(path, encoding="utf-8") as f:
        return f.read()


def entries(text):
    """key=value lines of a desktop entry, unit or environment file (last one wins)."""
    found = {}
    for line in text.splitlines():
        line = line.strip()
        if not line or line.startswith(("#", ";", "[")) or "=" not in line:
            continue
        key, value = line.split("=", 1)
        found.setdefault(key.strip(), []).append(value.strip())
    return found


class InstalledFilesTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.folder = tempfile.TemporaryDirectory(prefix="velmora_install_")
        cls.prefix = os.path.join(cls.folder.name, "prefix")
        result = run([OPTIONS.cmake, "--install", OPTIONS.build_dir, "--prefix", cls.prefix])
        assert result.returncode == 0, result.stdout + result.stderr
        cls.bindir = os.path.join(cls.prefix, "bin")
        cls.unit_path = os.path.join(cls.prefix, "lib", "systemd", "user", "velmora.service")

    @classmethod
    def tearDownClass(cls):
        cls.folder.cleanup()

    def help_text(self):
        result = run([os.path.join(self.bindir, "velmora"), "--help"])
        self.assertEqual(result.returncode, 0, result.stderr)
        return result.stdout

    def test_the_four_programs_are_installed_and_run(self):
        for program in ("velmora", "velmora-sim", "velmora-panel", "velmora-stats"):
            path = os.path.join(self.bindir, program)
            self.assertTrue(os.access(path, os.X_OK), path)
            self.assertEqual(run([path, "--help"]).returncode, 0, program)

    def test_the_manual_page_names_every_option_of_the_help_text(self):
        page = read(os.path.join(self.prefix, "share", "man", "man1", "velmora.1"))
        self.assertTrue(page.startswith(".TH VELMORA 1"))
        # roff writes a hyphen in an option as "\-".
        plain = page.replace("\\-", "-")
        options = set(re.findall(r"--[a-z][a-z-]*", self.help_text()))
        self.assertGreaterEqual(len(options), 15)
        for option in sorted(options):
            self.assertIn(option, plain, "the manual page lacks " + option)
        for message in ("DirectDraw Init FAILED", "Midi-Out Init FAILED", "Can not open serial port!",
                        "Can not retrieve serial state!", "Can not set serial state!",
                        "Can not create event!"):
            self.assertIn(message, plain)

    def test_the_desktop_entry_starts_velmora_under_education_and_science(self):
        keys = entries(read(os.path.join(self.prefix, "share", "applications", "velmora.desktop")))
        self.assertEqual(keys["Type"], ["Application"])
        self.assertEqual(keys["Exec"], ["velmora"])
        self.assertEqual(keys["Name"], ["Velmora"])
        self.assertEqual(keys["Icon"], ["velmora"])
        categories = keys["Categories"][0].rstrip(";").split(";")
        self.assertIn("Education", categories)
        self.assertIn("Science", categories)

    def test_the_icon_is_in_the_icon_theme_at_each_size_as_an_rgba_png(self):
        theme = os.path.join(self.prefix, "share", "icons", "hicolor")
        found = {}
        for folder in os.listdir(theme):
            path = os.path.join(theme, folder, "apps", "velmora.png")
            if os.path.exists(path):
                found[folder] = path
        self.assertTrue({"48x48", "128x128", "256x256"} <= set(found), sorted(found))
        for folder, path in found.items():
            with open(path, "rb") as f:
                head = f.read(26)
            # The signature, then the header chunk: width, height, bit depth, colour type.
            self.assertEqual(head[:8], b"\x89PNG\r\n\x1a\n", path)
            width, height, depth, colour = struct.unpack(">IIBB", head[16:26])
            self.assertEqual("%dx%d" % (width, height), folder, path)
            self.assertEqual((depth, colour), (8, 6), path + " is not 8-bit RGBA")

    def test_the_licence_of_the_built_in_font_comes_with_the_docs(self):
        licence = read(os.path.join(self.prefix, "share", "doc", "velmora", "DejaVuFonts-LICENSE.txt"))
        self.assertIn("Bitstream Vera", licence)
        self.assertIn("DejaVu changes are in public domain", licence)

    def test_the_user_unit_runs_the_installed_program_and_restarts_it(self):
        keys = entries(read(self.unit_path))
        self.assertEqual(keys["ExecStart"], [os.path.join(self.bindir, "velmora") + " --unattended $VELMORA_OPTIONS"])
        expected = {
            "Type": "notify", "Restart": "always", "RestartSec": "2", "RestartPreventExitStatus": "2", "WatchdogSec": "10",
            "EnvironmentFile": "-%h/.config/velmora/velmora.conf",
            "After": "graphical-session.target", "PartOf": "graphical-session.target",
        }
        for key, value in expected.items():
            self.assertEqual(keys.get(key), [value], key)
        self.assertIn("WantedBy", keys)
        self.assertNotIn("@", read(self.unit_path).replace("%h", ""), "a placeholder was left")

    def test_the_dashboard_and_the_alert_rules_use_only_metrics_the_exhibit_serves(self):
        docs = os.path.join(self.prefix, "share", "doc", "velmora")
        dashboard = read(os.path.join(docs, "velmora-grafana-dashboard.json"))
        panels = json.loads(dashboard)["panels"]
        used = dashboard + read(os.path.join(docs, "velmora-alerts.yml"))
        charted = {re.sub(r"_(bucket|sum|count)$", "", name) for name in re.findall(r"velmora_[a-z_]+", used)}
        self.assertGreaterEqual(len(panels), 10)
        # A usage file written often: some metrics come only once it has taken a batch.
        exhibit = subprocess.Popen([os.path.join(self.bindir, "velmora"), "--headless", "--midi-out", "none",
                                    "--panel", os.path.join(self.folder.name, "no-panel"),
                                    "--usage-db", os.path.join(self.folder.name, "usage.sqlite3"),
                                    "--usage-commit-interval", "100", "--status-listen", "127.0.0.1:0",
                                    "--frames", "30000"],
                                   stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
        try:
            found = None
            for line in exhibit.stderr:
                found = re.match(r"velmora: status server on (http://127\.0\.0\.1:\d+/)$", line.strip())
                if found:
                    break
            self.assertIsNotNone(found, "the exhibit names where its status server listens")
            deadline = time.monotonic() + patient(30)
            while True:
                with urllib.request.urlopen(found.group(1) + "metrics", timeout=patient(10)) as answer:
                    served = set(re.findall(r"^# TYPE (velmora_[a-z_]+) ", answer.read().decode(), re.MULTILINE))
                if charted <= served or time.monotonic() > deadline:
                    break
                time.sleep(0.1)
        finally:
            exhibit.kill()
            exhibit.wait()
        self.assertEqual(sorted(charted - served), [])

    def test_systemd_accepts_the_user_unit(self):
        analyze = shutil.which("systemd-analyze")
        if analyze is None:
            self.skipTest("systemd-analyze is not installed")
        runtime = tempfile.mkdtemp(dir=self.folder.name)
        os.chmod(runtime, 0o700)
        unit = self.unit_path
        environment = dict(os.environ, XDG_RUNTIME_DIR=runtime)
        result = run([analyze, "verify", "--user", "--man=no", unit], env=environment)
        # It exits 0 for settings it ignores; anything it says about the unit is a fault.
        said = [line for line in (result.stdout + result.stderr).splitlines()
                if "velmora" in line or "service" in line]
        self.assertEqual(result.returncode, 0, result.stdout + result.stderr)
        self.assertEqual(said, [])

    def test_the_example_settings_show_a_set_up_with_and_one_without_a_panel_in_options_velmora_knows(self):
        path = os.path.join(self.prefix, "share", "doc", "velmora", "velmora.conf.example")
        text = read(path)
        keys = entries(text)
        self.assertEqual(len(keys["VELMORA_OPTIONS"]), 1)
        # The other set-up is the commented-out setting, ready to take the first one's place.
        alternatives = re.findall(r"^#VELMORA_OPTIONS=(.*)$", text, re.MULTILINE)
        self.assertEqual(len(alternatives), 1)
        set_ups = [keys["VELMORA_OPTIONS"][0].split(), alternatives[0].split()]
        panels = [words[words.index("--panel") + 1] for words in set_ups]
        self.assertEqual(panels[1], "none")
        self.assertNotEqual(panels[0], "none")
        known = set(re.findall(r"--[a-z][a-z-]*", self.help_text()))
        for words in set_ups:
            self.assertIn("--midi-out", words)
            for word in words:
                if word.startswith("--"):
                    self.assertIn(word, known)
        # The example is a command line the program takes as it stands.
        result = run([os.path.join(self.bindir, "velmora"), "--self-test", "--headless"] + words)
        self.assertIn(result.returncode, (0, 1), result.stderr)
        self.assertIn("panel: ", result.stdout)


def main():
    global OPTIONS
    parser = argparse.ArgumentParser()
    parser.add_argument("--cmake", required=True)
    parser.add_argument("--build-dir", required=True)
    OPTIONS, rest = parser.parse_known_args()
    unittest.main(argv=[sys.argv[0]] + rest, verbosity=2)


if __name__ == "__main__":
    main()
