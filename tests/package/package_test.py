"""The Debian package that `build.sh package` made (a ctest fixture builds it once):
what it holds and declares, and its life on a machine in a throwaway root (an overlay
over / in a mount namespace of its own, so the build machine is not changed):
installed, self-tested, upgraded from a lower version, removed and purged, with a
user's settings and usage file kept throughout."""

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

SKIP = 77  # ctest's SKIP_RETURN_CODE
STEP_TIMEOUT_S = 300
OPTIONS = None
USER = "exhibit"
HOME = "/home/" + USER
SETTINGS = HOME + "/.config/velmora/velmora.conf"
USAGE_FILE = HOME + "/.local/state/velmora/usage.sqlite3"


def run(command, **kwargs):
    return subprocess.run(command, capture_output=True, text=True, timeout=STEP_TIMEOUT_S, **kwargs)


def package_file():
    found = glob.glob(os.path.join(OPTIONS.package_dir, "velmora_%s_*.deb" % OPTIONS.version))
    assert len(found) == 1, "expected one velmora_%s_ARCH.deb in %s, found %s" % (
        OPTIONS.version, OPTIONS.package_dir, found)
    return found[0]


def control_fields(deb):
    result = run(["dpkg-deb", "--field", deb])
    assert result.returncode == 0, result.stderr
    fields = {}
    for line in result.stdout.splitlines():
        if line and not line[0].isspace() and ":" in line:
            key, value = line.split(":", 1)
            fields[key] = value.strip()
    return fields


class PackageContentsTest(unittest.TestCase):
    def test_the_package_holds_every_file_an_installation_needs(self):
        listing = run(["dpkg-deb", "--contents", package_file()])
        self.assertEqual(listing.returncode, 0, listing.stderr)
        paths = {line.split()[-1].lstrip(".") for line in listing.stdout.splitlines()}
        programs = ["velmora", "velmora-sim", "velmora-panel", "velmora-stats"]
        expected = ["/usr/bin/" + p for p in programs]
        expected += ["/usr/share/man/man1/%s.1.gz" % p for p in programs]
        expected += ["/usr/share/icons/hicolor/%dx%d/apps/velmora.png" % (s, s) for s in (32, 48, 128, 256)]
        expected += ["/usr/share/applications/velmora.desktop", "/usr/lib/systemd/user/velmora.service"]
        # Files to import or copy as they are: never compressed.
        expected += ["/usr/share/doc/velmora/" + f for f in (
            "velmora.conf.example", "velmora-grafana-dashboard.json", "velmora-alerts.yml", "copyright",
            "README.Debian")]
        languages = [os.path.basename(po)[:-3] for po in glob.glob(os.path.join(OPTIONS.source_dir, "po", "*.po"))]
        self.assertTrue(languages)
        expected += ["/usr/share/locale/%s/LC_MESSAGES/velmora.mo" % language for language in languages]
        self.assertEqual(sorted(set(expected) - paths), [])
        # Nothing under /usr/local, /etc or a home folder: the package's files are its own.
        self.assertEqual([p for p in paths if re.match(r"/(etc|home|root|usr/local|var)/", p)], [])

    def test_the_copyright_file_is_machine_readable_and_names_the_fonts_licence(self):
        copyright_text = open(os.path.join(OPTIONS.source_dir, "debian", "copyright"), encoding="utf-8").read()
        self.assertTrue(copyright_text.startswith(
            "Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/\n"))
        licences = re.findall(r"^License: (\S+)$", copyright_text, re.MULTILINE)
        self.assertIn("Bitstream-Vera", licences)
        self.assertIn("DejaVu changes are in the public domain", copyright_text)

    def test_it_depends_on_the_run_time_libraries_and_a_soundfont_and_nothing_of_the_build(self):
        fields = control_fields(package_file())
        self.assertEqual(fields["Package"], "velmora")
        self.assertEqual(fields["Version"], OPTIONS.version)
        depends = [alternative.strip() for alternative in fields["Depends"].split(",")]
        names = {re.match(r"[a-z0-9.+-]+", part.strip()).group(0)
                 for alternative in depends for part in alternative.split("|")}
        # The libraries the programs link, found by dpkg-shlibdeps.
        for library in ("libsdl2-2.0-0", "libsdl2-ttf-2.0-0", "libfluidsynth3", "libsqlite3-0", "libc6"):
            self.assertIn(library, names)
        self.assertIn("timgm6mb-soundfont | sf2-soundfont-gm", depends)
        build_tools = {"cmake", "ninja-build", "g++", "gcc", "pkgconf", "pkg-config", "help2man", "gettext",
                       "debhelper", "fonts-dejavu-core", "build-essential"}
        self.assertEqual(sorted(n for n in names if n in build_tools or n.endswith("-dev")), [])

    def test_no_maintainer_script_starts_or_enables_anything(self):
        with tempfile.TemporaryDirectory() as folder:
            self.assertEqual(run(["dpkg-deb", "--control", package_file(), folder]).returncode, 0)
            scripts = {name: open(os.path.join(folder, name), encoding="utf-8").read()
                       for name in ("preinst", "postinst", "prerm", "postrm")
                       if os.path.exists(os.path.join(folder, name))}
        for name, text in scripts.items():
            for starter in ("systemctl", "deb-systemd-helper", "deb-systemd-invoke", "invoke-rc.d", "start-stop-daemon",
                            "/home"):
                self.assertNotIn(starter, text, name)
        self.assertIn("left in place", scripts.get("postrm", ""))


class ThrowawayRoot:
    """The machine's own root with an overlay on top, in a mount, network and process
    namespace of its own: what a step writes lands in `upper` and nowhere else, and
    stays there for the next step. Its network has no interface up, and every process
    a step leaves behind ends with it."""

    def __init__(self, folder):
        self.folder = folder
        for name in ("upper", "work", "root"):
            os.mkdir(os.path.join(folder, name))
        self.upper = os.path.join(folder, "upper")

    def run(self, script):
        root = os.path.join(self.folder, "root")
        enter = (
            'set -e\n'
            'mount -t overlay overlay -o lowerdir=/,upperdir="$1/upper",workdir="$1/work" "$1/root"\n'
            'mount -t proc proc "$1/root/proc"\n'
            'mount --rbind /dev "$1/root/dev"\n'
            'mount -t tmpfs tmpfs "$1/root/run"\n'
            'shift\n'
            'exec chroot "$0" env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin LC_ALL=C.UTF-8 /bin/sh -ec "$@"\n')
        return run(["unshare", "--mount", "--net", "--pid", "--fork", "--propagation", "private",
                    "/bin/sh", "-c", enter, root, self.folder, script])

    def must(self, script):
        result = self.run(script)
        assert result.returncode == 0, "%s\n--- stdout\n%s\n--- stderr\n%s" % (script, result.stdout, result.stderr)
        return result.stdout

    def snapshot(self, folder):
        """Every file under `folder` of the root with its contents' hash, size and time."""
        files = {}
        base = os.path.join(self.upper, folder.lstrip("/"))
        for parent, _, names in os.walk(base):
            for name in names:
                path = os.path.join(parent, name)
                with open(path, "rb") as f:
                    digest = hashlib.sha256(f.read()).hexdigest()
                stat = os.stat(path)
                files[os.path.relpath(path, base)] = (digest, stat.st_size, stat.st_mtime_ns)
        return files


def as_user(command):
    return "runuser -u %s -- env HOME=%s %s" % (USER, HOME, command)


def older_package(deb, folder):
    """The same package with a lower version: the one an upgrade starts from."""
    tree = os.path.join(folder, "older")
    assert run(["dpkg-deb", "--raw-extract", deb, tree]).returncode == 0
    control = os.path.join(tree, "DEBIAN", "control")
    with open(control, encoding="utf-8") as f:
        text = f.read()
    older_version = OPTIONS.version + "~older"
    text = re.sub(r"^Version: .*$", "Version: " + older_version, text, flags=re.MULTILINE)
    with open(control, "w", encoding="utf-8") as f:
        f.write(text)
    older = os.path.join(folder, "velmora_older.deb")
    result = run(["dpkg-deb", "-Zgzip", "-z1", "--build", tree, older])
    assert result.returncode == 0, result.stderr
    shutil.rmtree(tree)
    return older, older_version


class PackageLifecycleTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        if os.geteuid() != 0 or shutil.which("unshare") is None:
            raise unittest.SkipTest("needs root and unshare for the throwaway root")
        if shutil.which("xvfb-run") is None:
            raise unittest.SkipTest("needs xvfb-run for the self-test's display")
        # Beside the package, not in /tmp: the overlay's upper folder must not be on a
        # tmpfs that the root's own /tmp might be.
        cls.folder = tempfile.TemporaryDirectory(prefix="throwaway-root-", dir=OPTIONS.package_dir)
        cls.root = ThrowawayRoot(cls.folder.name)
        try:
            probe = cls.root.run("true")
        except (OSError, subprocess.SubprocessError) as error:
            probe = subprocess.CompletedProcess([], 1, "", str(error))
        if probe.returncode != 0:
            cls.folder.cleanup()
            raise unittest.SkipTest("this machine cannot make an overlay root: " + probe.stderr)

    @classmethod
    def tearDownClass(cls):
        cls.folder.cleanup()

    def installed_version(self):
        return self.root.run("dpkg-query -W -f '${Status} ${Version}' velmora").stdout

    def test_install_upgrade_remove_and_purge_leave_a_users_settings_and_usage_file_alone(self):
        root = self.root
        new = package_file()
        older, older_version = older_package(new, self.folder.name)
        root.must("useradd --create-home %s\n%s" % (USER, as_user(
            "sh -c 'mkdir -p %s && printf \"VELMORA_OPTIONS=--panel none --midi-out none\\n\" > %s'" % (
                os.path.dirname(SETTINGS), SETTINGS))))
        before_install = root.snapshot(HOME)

        # Installing starts nothing (the namespace's processes after dpkg are the shell
        # and ps), enables nothing and touches no user's file.
        processes = root.must("dpkg --install %s >&2\nps -e -o comm=" % older).split()
        self.assertEqual(sorted(processes), ["ps", "sh"])
        self.assertEqual(root.snapshot(HOME), before_install)
        # Outside its own files, dpkg's records and the user's home, nothing names it
        # (no link that enables the service, no autostart entry).
        named = [os.path.relpath(os.path.join(parent, name), root.upper)
                 for parent, _, names in os.walk(root.upper) for name in names if "velmora" in name]
        self.assertEqual([p for p in named if not p.startswith(("usr/", "var/lib/dpkg/", "home/"))], [])
        self.assertEqual(self.installed_version(), "install ok installed " + older_version)

        # The user's exhibit runs once and leaves its usage file.
        root.must(as_user("velmora --headless --frames 50 --midi-out none --panel none --status-listen off"))
        users_data = root.snapshot(HOME)
        self.assertIn(os.path.relpath(USAGE_FILE, HOME), users_data)

        # The upgrade, while an exhibit runs: that exhibit goes on with the program it
        # started with, the next start runs the new one.
        upgrade = root.must(
            as_user("velmora --headless --frames 1000000 --midi-out none --panel none --status-listen off "
                    "--usage-db off >/dev/null 2>&1 &") + "\n"
            "until pgrep -x velmora >/dev/null; do sleep 0.1; done\n"
            "dpkg --install %s >&2\n"
            "running=$(pgrep -x velmora)\n"
            "readlink /proc/$running/exe\n"
            "velmora --version\n" % new)
        self.assertEqual(upgrade.splitlines(), ["/usr/bin/velmora (deleted)", "velmora " + OPTIONS.version])
        self.assertEqual(self.installed_version(), "install ok installed " + OPTIONS.version)
        self.assertEqual(root.snapshot(HOME), users_data)
        report = root.run(as_user("velmora-stats --db " + USAGE_FILE))
        self.assertEqual(report.returncode, 0, report.stderr)
        users_data = root.snapshot(HOME)  # reading it may leave SQLite's side files

        # Every program prints the package's version; the exhibit's self-test passes.
        versions = root.must("for p in velmora velmora-sim velmora-panel velmora-stats; do $p --version; done")
        self.assertEqual(versions.splitlines(), ["%s %s" % (p, OPTIONS.version) for p in (
            "velmora", "velmora-sim", "velmora-panel", "velmora-stats")])
        self_test = root.run("xvfb-run -a velmora --self-test --panel none --midi-out none")
        self.assertEqual(self_test.returncode, 0, self_test.stdout + self_test.stderr)
        self.assertIn("PASS display", self_test.stdout)

        # Removal and purge leave the user's files, and say so.
        for action, status in (("--remove", "deinstall ok config-files"), ("--purge", "")):
            result = root.run("dpkg %s velmora" % action)
            self.assertEqual(result.returncode, 0, result.stderr)
            self.assertIn("left in place", result.stdout, action)
            self.assertEqual(root.snapshot(HOME), users_data, action)
            self.assertTrue(self.installed_version().startswith(status), action)
        self.assertFalse(root.run("test -e /usr/bin/velmora").returncode == 0)


def main():
    global OPTIONS
    parser = argparse.ArgumentParser()
    parser.add_argument("--package-dir", required=True)
    parser.add_argument("--source-dir", required=True)
    parser.add_argument("--version", required=True)
    OPTIONS, rest = parser.parse_known_args()
    program = unittest.main(argv=[sys.argv[0]] + rest, verbosity=2, exit=False)
    result = program.result
    if not result.wasSuccessful():
        sys.exit(1)
    sys.exit(SKIP if result.skipped and result.testsRun == len(result.skipped) else 0)


if __name__ == "__main__":
    main()
