"""The real exhibit under a stand-in service manager: a datagram socket in a temporary
folder named by NOTIFY_SOCKET, a watchdog time in WATCHDOG_USEC. A headless run must
say READY=1 once, keep-alives (WATCHDOG=1) while frames run, and STOPPING=1 last, also
with --unattended given both by the unit and in the settings; a wrong option ends it
with exit status 2, which the unit does not restart, and says so in the journal."""

import argparse
import os
import socket
import subprocess
import sys
import tempfile
import threading
import unittest

from e2e_support import NO_MONITORING, patient

RUN_TIMEOUT_S = 120
FRAMES = 150            # 3 s of 20 ms frames
WATCHDOG_USEC = 400000  # keep-alives every 200 ms, so about 15 in the run
OPTIONS = None


class ServiceNotifyRunTest(unittest.TestCase):
    def test_ready_then_keep_alives_then_stopping(self):
        with tempfile.TemporaryDirectory(prefix="velmora_notify_") as folder:
            path = os.path.join(folder, "notify")
            manager = socket.socket(socket.AF_UNIX, socket.SOCK_DGRAM)
            manager.bind(path)
            manager.settimeout(0.1)
            messages = []
            done = threading.Event()

            def listen():
                # As a service manager does: read each datagram as it comes.
                while not done.is_set():
                    try:
                        messages.append(manager.recv(256).decode())
                    except socket.timeout:
                        pass

            listener = threading.Thread(target=listen, daemon=True)
            listener.start()
            environment = dict(os.environ, NOTIFY_SOCKET=path, WATCHDOG_USEC=str(WATCHDOG_USEC))
            environment.pop("WATCHDOG_PID", None)
            # The unit gives --unattended, and the settings may give it again.
            result = subprocess.run([OPTIONS.velmora, "--unattended", "--headless", "--unattended",
                                     "--midi-out", "none",
                                     "--panel", os.path.join(folder, "no-panel"),
                                     *NO_MONITORING,
                                     "--frames", str(FRAMES)],
                                    cwd=folder, env=environment, capture_output=True, text=True,
                                    timeout=patient(RUN_TIMEOUT_S))
            done.set()
            listener.join(timeout=5)
            # Datagrams sent after the listener's last read are still queued: drain
            # them, so the last message checked is the last one sent.
            manager.setblocking(False)
            while True:
                try:
                    messages.append(manager.recv(256).decode())
                except BlockingIOError:
                    break
            manager.close()
            self.assertEqual(result.returncode, 0, result.stderr)
        self.assertEqual(messages[0], "READY=1", messages)
        self.assertEqual(messages[-1], "STOPPING=1", messages)
        keep_alives = messages[1:-1]
        self.assertEqual(set(keep_alives), {"WATCHDOG=1"}, messages)
        # One per half watchdog time while 3 s or more of frames run.
        self.assertGreaterEqual(len(keep_alives), 10, messages)

    def test_a_wrong_option_exits_with_the_status_the_unit_does_not_restart_and_says_why(self):
        with tempfile.TemporaryDirectory(prefix="velmora_notify_") as folder:
            environment = dict(os.environ, NOTIFY_SOCKET=os.path.join(folder, "notify"))
            result = subprocess.run([OPTIONS.velmora, "--unattended", "--panel-pol"], env=environment,
                                    capture_output=True, text=True, timeout=patient(RUN_TIMEOUT_S))
        self.assertEqual(result.returncode, 2, result.stderr)
        lines = result.stderr.splitlines()
        self.assertIn("velmora: unknown argument '--panel-pol'", lines)
        self.assertTrue(any("not restarted" in line and "VELMORA_OPTIONS" in line for line in lines), lines)


def main():
    global OPTIONS
    parser = argparse.ArgumentParser()
    parser.add_argument("--velmora", required=True)
    OPTIONS, rest = parser.parse_known_args()
    unittest.main(argv=[sys.argv[0]] + rest, verbosity=2)


if __name__ == "__main__":
    main()
