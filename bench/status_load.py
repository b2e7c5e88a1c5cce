#!/usr/bin/env python3
"""Other clients holding the exhibit's status server busy, and how long monitoring
(/metrics and /status, as Prometheus and a dashboard ask for them) takes meanwhile. The
others come from loopback addresses of their own (127.0.x.y, each a client of its own),
monitoring from 127.0.0.1:

- 200 slow connections, from 25 addresses, each sending half a request and no more;
- 16 picture pollers, each asking for /frame.png again as soon as it has the last one;
- 8 browsers with two kept-alive connections each, idle after loading the page.

Run as a program it starts the exhibit (headless, its server on a free loopback port)
and prints, for each, the longest and the median time /metrics and /status took and
any answer other than 200. The status server's tests use the same loads.

Usage: bench/status_load.py [path/to/velmora] [PROBES]   (20 probes a load unless given)"""

import http.client
import os
import re
import socket
import statistics
import subprocess
import sys
import threading
import time

MONITORING_ADDRESS = "127.0.0.1"


def connect(port, source, timeout=10):
    return socket.create_connection(("127.0.0.1", port), timeout=timeout, source_address=(source, 0))


def timed_get(port, path, source=MONITORING_ADDRESS, timeout=10):
    """(status, seconds) of one GET on a new connection; status 0 when it failed."""
    started = time.monotonic()
    connection = http.client.HTTPConnection("127.0.0.1", port, timeout=timeout, source_address=(source, 0))
    try:
        connection.request("GET", path)
        response = connection.getresponse()
        response.read()
        return response.status, time.monotonic() - started
    except OSError:
        return 0, time.monotonic() - started
    finally:
        connection.close()


class Load:
    """Started with `with`; runs until the block ends."""

    def __enter__(self):
        self.stop = threading.Event()
        self.threads = []
        self.sockets = []
        self.start()
        return self

    def __exit__(self, *exception):
        self.stop.set()
        for thread in self.threads:
            thread.join()
        for s in self.sockets:
            s.close()

    def run(self, target, *arguments):
        thread = threading.Thread(target=target, args=arguments, daemon=True)
        thread.start()
        self.threads.append(thread)


class SlowConnections(Load):
    def __init__(self, port, count=200, addresses=25):
        self.port, self.count, self.addresses = port, count, addresses

    def start(self):
        for i in range(self.count):
            try:
                s = connect(self.port, f"127.0.1.{1 + i % self.addresses}")
                s.sendall(b"GET /metrics HTTP/1.1\r\nHost: 127.0.0.1\r\n")
                self.sockets.append(s)
            except OSError:
                pass  # turned away: the server makes room as it must


class PicturePollers(Load):
    def __init__(self, port, count=16):
        self.port, self.count = port, count
        self.pictures = 0

    def start(self):
        for i in range(self.count):
            self.run(self.poll, f"127.0.2.{1 + i}")

    def poll(self, source):
        while not self.stop.is_set():
            status, _ = timed_get(self.port, "/frame.png", source)
            self.pictures += status == 200


class KeptAliveBrowsers(Load):
    def __init__(self, port, browsers=8, connections=2):
        self.port, self.browsers, self.connections = port, browsers, connections

    def start(self):
        for browser in range(self.browsers):
            for _ in range(self.connections):
                connection = http.client.HTTPConnection("127.0.0.1", self.port, timeout=10,
                                                        source_address=(f"127.0.3.{1 + browser}", 0))
                try:
                    connection.request("GET", "/")
                    connection.getresponse().read()
                    self.sockets.append(connection)
                except OSError:
                    pass


LOADS = (("200 slow connections", SlowConnections), ("16 picture pollers", PicturePollers),
         ("8 browsers, 2 kept-alive connections each", KeptAliveBrowsers))


def probe(port, probes, gap_s=0.1):
    """[(path, status, seconds)] of monitoring's requests while a load runs."""
    answers = []
    for i in range(probes):
        path = "/metrics" if i % 2 == 0 else "/status"
        answers.append((path, *timed_get(port, path)))
        time.sleep(gap_s)
    return answers


def main():
    velmora = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else "build/shell/velmora")
    probes = int(sys.argv[2]) if len(sys.argv) > 2 else 20
    exhibit = subprocess.Popen([velmora, "--headless", "--midi-out", "none", "--panel", "none", "--usage-db", "off",
                                "--status-listen", "127.0.0.1:0", "--frames", "1000000"],
                               stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
    try:
        port = None
        for line in exhibit.stderr:
            match = re.search(r"status server on http://127\.0\.0\.1:(\d+)/", line)
            if match:
                port = int(match.group(1))
                break
        threading.Thread(target=exhibit.stderr.read, daemon=True).start()
        print(f"load average: {' '.join(open('/proc/loadavg').read().split()[:3])}")
        for name, load in LOADS:
            with load(port):
                answers = probe(port, probes)
            for path in ("/metrics", "/status"):
                times = [seconds * 1000 for p, status, seconds in answers if p == path]
                other = [status for p, status, _ in answers if p == path and status != 200]
                print(f"{name:44} {path:9} longest {max(times):6.1f} ms, median {statistics.median(times):5.1f} ms"
                      + (f", answers other than 200: {other}" if other else ""))
    finally:
        exhibit.terminate()
        exhibit.wait(timeout=30)


if __name__ == "__main__":
    main()
