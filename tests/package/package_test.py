"""The Debian package that `build.sh package` made (a ctest fixture builds it once): what
it holds and declares, and its install, upgrade, removal and purge in a throwaway root
(an overlay over / in namespaces of its own; the build machine is not changed)."""

import argparse
import glob
import hashlib
import os
import re
import shutil
import subprocess
import sys
import tempfile
import unittest

OPTIONS = None
PROGRAMS = ("velmora", "velmora-sim", "velmora-panel", "velmora-stats")
HOME = "/home/exhibit"


def run(command):
    return subprocess.run(command, capture_output=True, text=True, timeout=300)


def package_file():
    found = glob.glob(os.path.join(OPTIONS.package_dir, "velmora_%s_*.deb" % OPTIONS.version))
    assert len(found) == 1, found
    return found[0]


class PackageContentsTest(unittest.TestCase):
    def test_the_package_holds_every_file_an_installation_needs(self):
        listing = run(["dpkg-deb", "--contents", package_file()]).stdout
        paths = {line.split()[-1].lstrip(".") for line in listing.splitlines()}
        expected = ["/usr/bin/" + p for p in PROGRAMS] + ["/usr/share/man/man1/%s.1.gz" % p for p in PROGRAMS]
        expected += ["/usr/share/icons/hicolor/%dx%d/apps/velmora.png" % (s, s) for s in (32, 48, 128, 256)]
        expected += ["/usr/share/applications/velmora.desktop", "/usr/lib/systemd/user/velmora.service"]
        # Files to import or copy as they are, never compressed.
        expected += ["/usr/share/doc/velmora/" + f for f in ("velmora.conf.example", "velmora-grafana-dashboard.json",
                                                             "velmora-alerts.yml", "copyright", "README.Debian")]
        expected += ["/usr/share/locale/%s/LC_MESSAGES/velmora.mo" % os.path.basename(po)[:-3]
                     for po in glob.glob(os.path.join(OPTIONS.source_dir, "po", "*.po"))]
        self.assertEqual(sorted(set(expected) - paths), [])
        self.assertEqual([p for p in paths if re.match(r"/(etc|home|root|usr/local|var)/", p)], [])

    def test_it_needs_the_libraries_and_a_soundfont_nothing_of_the_build_and_its_scripts_start_nothing(self):
        fields = run(["dpkg-deb", "--field", package_file(), "Version", "Depends"]).stdout
        self.assertIn("Version: %s\n" % OPTIONS.version, fields)
        depends = [d.strip() for d in fields.split("Depends:", 1)[1].split(",")]
        names = {re.match(r"\s*([a-z0-9.+-]+)", p).group(1) for d in depends for p in d.split("|")}
        self.assertTrue({"libsdl2-2.0-0", "libsdl2-ttf-2.0-0", "libfluidsynth3", "libsqlite3-0"} <= names, names)
        self.assertIn("timgm6mb-soundfont | sf2-soundfont-gm", depends)
        build = {"cmake", "ninja-build", "g++", "pkgconf", "help2man", "gettext", "debhelper", "fonts-dejavu-core"}
        self.assertEqual(sorted(n for n in names if n in build or n.endswith("-dev")), [])
        with tempfile.TemporaryDirectory() as folder:
            run(["dpkg-deb", "--control", package_file(), folder])
            for script in set(os.listdir(folder)) & {"preinst", "postinst", "prerm", "postrm"}:
                text = open(os.path.join(folder, script), encoding="utf-8").read()
                for word in ("systemctl", "deb-systemd", "invoke-rc.d", "start-stop-daemon", "/home"):
                    self.assertNotIn(word, text, script)


class ThrowawayRoot:
    """The machine's root under an overlay, entered anew by each step in mount, network
    and process namespaces of its own: what a step writes lands in `upper` and stays
    for the next, and what a step leaves running ends with it."""

    ENTER = ('set -e; mount -t overlay overlay -o lowerdir=/,upperdir="$1/upper",workdir="$1/work" "$0"\n'
             'mount -t proc proc "$0/proc"; mount --rbind /dev "$0/dev"; mount -t tmpfs tmpfs "$0/run"\n'
             'exec chroot "$0" env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin LC_ALL=C.UTF-8 /bin/sh -ec "$2"\n')

    def __init__(self, folder):
        self.folder = folder
        self.upper = os.path.join(folder, "upper")
        for name in ("upper", "work", "root"):
            os.mkdir(os.path.join(folder, name))

    def run(self, script):
        return run(["unshare", "--mount", "--net", "--pid", "--fork", "--propagation", "private", "/bin/sh", "-c",
                    self.ENTER, os.path.join(self.folder, "root"), self.folder, script])

    def must(self, script):
        result = self.run(script)
        assert result.returncode == 0, script + "\n" + result.stdout + result.stderr
        return result.stdout

    def files(self, folder):
        """Each file under `folder` with its contents' hash and its time."""
        base = os.path.join(self.upper, folder.lstrip("/"))
        return {os.path.relpath(os.path.join(parent, name), base): (
                    hashlib.sha256(open(os.path.join(parent, name), "rb").read()).hexdigest(),
                    os.stat(os.path.join(parent, name)).st_mtime_ns)
                for parent, _, names in os.walk(base) for name in names}

    def installed(self):
        return self.run("dpkg-query -W -f '${Status} ${Version}' velmora").stdout


def as_user(command):
    return "runuser -u exhibit -- env HOME=%s %s" % (HOME, command)


class PackageLifecycleTest(unittest.TestCase):
    def setUp(self):
        if os.geteuid() != 0 or not shutil.which("unshare") or not shutil.which("xvfb-run"):
            self.skipTest("needs root, unshare and xvfb-run")
        folder = tempfile.TemporaryDirectory(prefix="throwaway-root-", dir=OPTIONS.package_dir)
        self.addCleanup(folder.cleanup)
        self.root = ThrowawayRoot(folder.name)
        # The same package with a lower version, for the upgrade.
        tree = os.path.join(folder.name, "older")
        run(["dpkg-deb", "--raw-extract", package_file(), tree])
        control = os.path.join(tree, "DEBIAN", "control")
        self.older_version = OPTIONS.version + "~older"
        text = re.sub(r"^Version: .*$", "Version: " + self.older_version, open(control).read(), flags=re.M)
        open(control, "w").write(text)
        self.older = tree + ".deb"
        self.assertEqual(run(["dpkg-deb", "-Zgzip", "-z1", "--build", tree, self.older]).returncode, 0)

    def test_install_upgrade_remove_and_purge_start_nothing_and_keep_a_users_settings_and_usage_file(self):
        root = self.root
        # No manual page index rebuilt after each dpkg step: it takes long and checks nothing here.
        root.must("rm -f /var/lib/man-db/auto-update\nuseradd --create-home exhibit\n" + as_user(
            "sh -c 'mkdir -p ~/.config/velmora && echo VELMORA_OPTIONS=--panel none > ~/.config/velmora/velmora.conf'"))
        before = root.files(HOME)
        # After dpkg the namespace holds only the shell and ps: nothing was started.
        self.assertEqual(sorted(root.must("dpkg --install %s >&2\nps -e -o comm=" % self.older).split()), ["ps", "sh"])
        self.assertEqual(root.installed(), "install ok installed " + self.older_version)
        self.assertEqual(root.files(HOME), before)
        # Beyond its files, dpkg's records and the home, nothing names it (no link that enables the service).
        named = [os.path.relpath(os.path.join(p, n), root.upper) for p, _, ns in os.walk(root.upper) for n in ns]
        self.assertEqual([p for p in named if "velmora" in p and not p.startswith(("usr/", "var/lib/dpkg/", "home/"))], [])

        root.must(as_user("velmora --headless --frames 50 --midi-out none --panel none --status-listen off"))
        users_data = root.files(HOME)
        self.assertIn(".local/state/velmora/usage.sqlite3", users_data)
        # The upgrade while an exhibit runs: it goes on with its program; the next start runs the new one.
        upgrade = root.must(as_user("velmora --headless --frames 1000000 --midi-out none --panel none "
                                    "--status-listen off --usage-db off >/dev/null 2>&1 &") +
                            "\nuntil pgrep -x velmora >/dev/null; do sleep 0.1; done\n"
                            "dpkg --install %s >&2\nreadlink /proc/$(pgrep -x velmora)/exe\nvelmora --version" %
                            package_file())
        self.assertEqual(upgrade.splitlines(), ["/usr/bin/velmora (deleted)", "velmora " + OPTIONS.version])
        self.assertEqual(root.installed(), "install ok installed " + OPTIONS.version)
        self.assertEqual(root.files(HOME), users_data)
        root.must(as_user("velmora-stats --db %s/.local/state/velmora/usage.sqlite3 >/dev/null" % HOME))
        users_data = root.files(HOME)  # reading it may leave SQLite's side files

        versions = root.must("for p in %s; do $p --version; done" % " ".join(PROGRAMS)).splitlines()
        self.assertEqual(versions, ["%s %s" % (p, OPTIONS.version) for p in PROGRAMS])
        self_test = root.run("xvfb-run -a velmora --self-test --panel none --midi-out none")
        self.assertEqual(self_test.returncode, 0, self_test.stdout + self_test.stderr)
        self.assertIn("PASS display", self_test.stdout)

        for action, status in (("--remove", "deinstall ok config-files"), ("--purge", "")):
            self.assertIn("left in place", root.must("dpkg %s velmora" % action), action)
            self.assertEqual(root.files(HOME), users_data, action)
            self.assertTrue(root.installed().startswith(status), action)
        self.assertNotEqual(root.run("test -e /usr/bin/velmora").returncode, 0)


def main():
    global OPTIONS
    parser = argparse.ArgumentParser()
    for option in ("--package-dir", "--source-dir", "--version"):
        parser.add_argument(option, required=True)
    OPTIONS, rest = parser.parse_known_args()
    result = unittest.main(argv=[sys.argv[0]] + rest, verbosity=2, exit=False).result
    sys.exit(0 if result.wasSuccessful() and len(result.skipped) < result.testsRun else
             77 if result.wasSuccessful() else 1)


if __name__ == "__main__":
    main()
