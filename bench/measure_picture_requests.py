#!/usr/bin/env python3
"""Measures what serving /frame.png costs the frame loop at the sharp picture's sizes:
runs the exhibit with --frame-log at each size (headless on a pretend screen, full
screen in an X server of that size on the software renderer the exhibit picks there,
and on OpenGL (Mesa's), whose screenshots compose the frame again in memory), asks its status server for the picture a number of
times once the sharp picture shows, and reports the frame periods (from one frame's end
to the next's) while a picture was being served against those of the rest of the run.
No frame period may exceed 25 ms because of a picture request. Talks to the loopback
interface only. Run it when `uptime` shows a low load: other programs' load lengthens
frames too (the periods outside the requests show how much).

Usage: bench/measure_picture_requests.py [path/to/velmora] [WxH ...]
       (1920x1080 and 3840x2160 unless given)"""

import os
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import threading
import time
import urllib.error
import urllib.request

REQUESTS = 12          # pictures asked for in each run
REQUEST_GAP_S = 0.5    # between the end of one answer and the next request
SETTLE_FRAMES = 100    # after the sharp picture first shows, before the first request
FRAMES = 100000        # the run's length: the script ends it when done
LATE_MS = 25.0
# A request's window: from when it is sent to its answer's end, plus this much after
# it for the frame that took the picture to end.
AFTER_MS = 60.0
SERVER_LINE = re.compile(r"status server on http://127\.0\.0\.1:(\d+)/")


def run(velmora, size, mode, folder):
    log = os.path.join(folder, "frames.log")
    command = [velmora, "--midi-out", "none", "--panel", "none", "--usage-db", "off", "--status-listen",
               "127.0.0.1:0", "--frames", str(FRAMES), "--frame-log", log]
    if mode != "headless":
        command = ["xvfb-run", "-a", "-s", f"-screen 0 {size}x24"] + command
        environment = {k: v for k, v in os.environ.items() if k not in ("SDL_VIDEODRIVER", "SDL_RENDER_DRIVER")}
        if mode == "opengl":
            environment["SDL_RENDER_DRIVER"] = "opengl"
    else:
        command += ["--headless", "--size", size]
        environment = dict(os.environ)
    # A session of its own, so that ending it ends xvfb-run's X server and the exhibit too.
    process = subprocess.Popen(command, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True,
                               env=environment, start_new_session=True)
    try:
        sharp_from, windows, refused = measure(process, log)
    finally:
        try:
            os.killpg(process.pid, signal.SIGTERM)
        except ProcessLookupError:
            pass
        process.wait(timeout=60)
    # Read once the exhibit has ended: the frame log is written in blocks.
    return periods(log, sharp_from), windows, refused


def measure(process, log):
    port = None
    for line in process.stderr:
        match = SERVER_LINE.search(line)
        if match:
            port = int(match.group(1))
            break
    threading.Thread(target=process.stderr.read, daemon=True).start()
    if port is None:
        sys.exit("the exhibit did not say where its status server listens")
    sharp_from = wait_for_sharp(log, process)
    while frames_logged(log) < sharp_from + SETTLE_FRAMES:
        time.sleep(0.05)
    start_ns = program_start_ns(log)
    windows = []
    refused = 0
    for _ in range(REQUESTS):
        sent_us = (time.time_ns() - start_ns) / 1000.0
        try:
            with urllib.request.urlopen(f"http://127.0.0.1:{port}/frame.png", timeout=30) as answer:
                answer.read()
        except (urllib.error.HTTPError, OSError):
            refused += 1  # no picture within the server's wait (or the client's): the machine is too busy
        windows.append((sent_us, (time.time_ns() - start_ns) / 1000.0 + AFTER_MS * 1000.0))
        time.sleep(REQUEST_GAP_S)
    return sharp_from, windows, refused


def wait_for_sharp(log, process):
    deadline = time.monotonic() + 120
    while time.monotonic() < deadline:
        if os.path.exists(log):
            with open(log) as f:
                for line in f:
                    if line.startswith("# sharp picture from frame"):
                        return int(line.split()[-1])
        if process.poll() is not None:
            sys.exit("the exhibit ended before the sharp picture showed")
        time.sleep(0.05)
    sys.exit("the sharp picture did not show within 2 minutes")


def frames_logged(log):
    with open(log) as f:
        return sum(1 for line in f if not line.startswith("#"))


def program_start_ns(log):
    with open(log) as f:
        return int(f.readline().split()[-1])


def periods(log, sharp_from):
    """(end of the frame in µs since the program's start, period in ms) for each frame
    after the sharp picture first showed."""
    ends = []
    with open(log) as f:
        for line in f:
            fields = line.split()
            if not line.startswith("#") and len(fields) == 6:  # the last line may be cut off
                ends.append((int(fields[0]), float(fields[5])))
    return [(end, (end - previous) / 1000.0) for (frame, end), (_, previous) in zip(ends[1:], ends)
            if frame > sharp_from + 1]


def report(name, frame_periods, windows, refused):
    inside = [p for end, p in frame_periods if any(a <= end <= b for a, b in windows)]
    outside = [p for end, p in frame_periods if not any(a <= end <= b for a, b in windows)]

    def figures(values):
        if not values:
            return "no frames"
        late = sum(1 for p in values if p > LATE_MS)
        return f"{len(values)} frames, longest {max(values):.1f} ms, {late} over {LATE_MS:.0f} ms"

    print(f"{name:36} while serving a picture: {figures(inside)}; otherwise: {figures(outside)}"
          + (f"; {refused} of {REQUESTS} requests got no picture" if refused else ""))


def main():
    velmora = sys.argv[1] if len(sys.argv) > 1 else "build/shell/velmora"
    sizes = sys.argv[2:] or ["1920x1080", "3840x2160"]
    print(f"load average: {' '.join(open('/proc/loadavg').read().split()[:3])}")
    names = {"headless": "headless --size", "software": "Xvfb full screen", "opengl": "Xvfb full screen, OpenGL"}
    for size in sizes:
        for mode, name in names.items():
            if mode != "headless" and shutil.which("xvfb-run") is None:
                continue
            with tempfile.TemporaryDirectory() as folder:
                report(f"{name} {size}", *run(velmora, size, mode, folder))


if __name__ == "__main__":
    main()
