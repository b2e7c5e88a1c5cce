#!/usr/bin/env python3
"""The exhibit's processor load where there is no GPU driver: full screen in an X server
without one (Xvfb, the same as a PC or virtual machine on Mesa's software OpenGL).

For each run it starts its own Xvfb of the screen's size on a free display, runs the
exhibit full screen there for FRAMES frames and reports, over the 1,000 frames from
frame 300 on (the start and the painting are over by then):
  - the exhibit's processor time and the X server's, each as a share of one core,
    and their sum (the X server's share is the copying of what the exhibit hands it);
  - the frame rate, the mean frame period and the longest one (targets: 50 frames a
    second, no period over 25 ms);
  - the load average before and after, since other work on the machine disturbs the
    periods.
Targets at 50 frames a second: the sharp picture at most 12 % of a core at
1920 x 1080 and 35 % at 3840 x 2160, the classic one (--classic) 10 % at 1920 x 1080.

It is a measurement to run by hand, best on a quiet machine, not a test.

Usage: bench/measure_xvfb_frames.py [--velmora build/shell/velmora] [RUN ...]
  RUN is sharp:WxH or classic:WxH (default: sharp and classic at 1920x1080 and 3840x2160),
  optionally with extra exhibit options after a comma: sharp:1920x1080,--letterbox
"""

import argparse
import os
import shutil
import subprocess
import sys
import tempfile
import time

SETTLED_FROM = 300      # frames: the start, the painting and the pacing's estimate are over
MEASURED_FRAMES = 1000  # frames measured from SETTLED_FROM on
LONGEST_PERIOD_MS = 25.0
SAMPLE_INTERVAL_S = 0.01
CLOCK_TICKS = os.sysconf("SC_CLK_TCK")


def processor_ticks(pid):
    """User and system time of a process so far, in clock ticks; None once it is gone."""
    try:
        with open("/proc/%d/stat" % pid) as stat:
            fields = stat.read().rsplit(")", 1)[1].split()
        return int(fields[11]) + int(fields[12])  # utime, stime
    except (OSError, IndexError, ValueError):
        return None


def load_average():
    with open("/proc/loadavg") as f:
        return " ".join(f.read().split()[:3])


def start_xvfb(width, height):
    """An X server of the screen's size on a free display: (process, display name)."""
    read_end, write_end = os.pipe()
    server = subprocess.Popen(["Xvfb", "-displayfd", str(write_end), "-screen", "0", "%dx%dx24" % (width, height),
                               "-nolisten", "tcp"], pass_fds=(write_end,), stdout=subprocess.DEVNULL,
                              stderr=subprocess.DEVNULL)
    os.close(write_end)
    number = b""
    while not number.endswith(b"\n"):
        chunk = os.read(read_end, 16)
        if not chunk:
            server.kill()
            sys.exit("Xvfb did not start")
        number += chunk
    os.close(read_end)
    return server, ":" + number.decode().strip()


def interpolate(samples, at_ns, column):
    """The sampled processor ticks of one process at a moment, between two samples."""
    for before, after in zip(samples, samples[1:]):
        if before[0] <= at_ns <= after[0]:
            share = (at_ns - before[0]) / max(1, after[0] - before[0])
            return before[column] + share * (after[column] - before[column])
    raise ValueError("the moment lies outside the samples")


def read_frame_log(path):
    start_ns, frames, sharp_from = None, {}, None
    with open(path) as log:
        for line in log:
            if line.startswith("# program_start_realtime_ns"):
                start_ns = int(line.split()[2])
            elif line.startswith("# sharp picture from frame"):
                sharp_from = int(line.split()[5])
            elif not line.startswith("#"):
                number, _tick, flipped, _flip, start_us, end_us = line.split()
                frames[int(number)] = (int(flipped), int(start_us), int(end_us))
    return start_ns, frames, sharp_from


def measure(velmora, picture, width, height, extra, work):
    server, display = start_xvfb(width, height)
    log = os.path.join(work, "frames.log")
    environment = dict(os.environ, DISPLAY=display, XDG_CACHE_HOME=os.path.join(work, "cache"))
    environment.pop("SDL_VIDEODRIVER", None)
    arguments = [velmora, "--midi-out", "none", "--panel", "none", "--status-listen", "off", "--usage-db", "off",
                 "--frames", str(SETTLED_FROM + MEASURED_FRAMES), "--frame-log", log] + extra
    if picture == "classic":
        arguments.append("--classic")
    load_before = load_average()
    try:
        exhibit = subprocess.Popen(arguments, env=environment, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
        samples = []
        while exhibit.poll() is None:
            ticks = processor_ticks(exhibit.pid), processor_ticks(server.pid)
            if None not in ticks:
                samples.append((time.time_ns(),) + ticks)
            time.sleep(SAMPLE_INTERVAL_S)
        stderr = exhibit.stderr.read().decode(errors="replace")
    finally:
        server.terminate()
        server.wait()
    if exhibit.returncode != 0:
        sys.exit("%s %dx%d: the exhibit ended with %d:\n%s" % (picture, width, height, exhibit.returncode, stderr))
    start_ns, frames, sharp_from = read_frame_log(log)
    first, last = SETTLED_FROM, SETTLED_FROM + MEASURED_FRAMES
    if last not in frames:
        sys.exit("%s %dx%d: the frame log ends at frame %d" % (picture, width, height, max(frames)))
    begin_ns = start_ns + frames[first][2] * 1000
    end_ns = start_ns + frames[last][2] * 1000
    seconds = (end_ns - begin_ns) / 1e9
    exhibit_share = (interpolate(samples, end_ns, 1) - interpolate(samples, begin_ns, 1)) / CLOCK_TICKS / seconds
    server_share = (interpolate(samples, end_ns, 2) - interpolate(samples, begin_ns, 2)) / CLOCK_TICKS / seconds
    periods = [(frames[n][2] - frames[n - 1][2]) / 1000.0 for n in range(first + 1, last + 1)]
    dropped = sum(1 for n in range(first + 1, last + 1) if frames[n][0] == 0)
    name = "%s %dx%d%s" % (picture, width, height, (" " + " ".join(extra)) if extra else "")
    # Processor time per frame, and what it comes to at a full 50 frames a second: on a
    # loaded machine fewer frames a second make the share smaller, the time per frame not.
    exhibit_ms = exhibit_share * seconds * 1000.0 / MEASURED_FRAMES
    server_ms = server_share * seconds * 1000.0 / MEASURED_FRAMES
    print("%-22s exhibit %5.1f %% + X server %5.1f %% = %5.1f %% of a core at %.1f frames/s "
          "(per frame %.2f + %.2f ms: %.1f %% at 50 frames/s); mean period %.2f ms, longest %.1f ms, "
          "%d over %.0f ms, %d not shown; sharp from frame %s; load %s -> %s"
          % (name, 100 * exhibit_share, 100 * server_share, 100 * (exhibit_share + server_share),
             MEASURED_FRAMES / seconds, exhibit_ms, server_ms, (exhibit_ms + server_ms) * 50 / 10.0,
             sum(periods) / len(periods), max(periods),
             sum(1 for p in periods if p > LONGEST_PERIOD_MS), LONGEST_PERIOD_MS, dropped,
             sharp_from if sharp_from is not None else "-", load_before, load_average()), flush=True)
    for line in stderr.splitlines():
        if "sharp picture at" in line or "framebuffer" in line:
            print("%-22s   %s" % ("", line.strip()))


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--velmora", default="build/shell/velmora")
    parser.add_argument("runs", nargs="*",
                        default=["sharp:1920x1080", "classic:1920x1080", "sharp:3840x2160", "classic:3840x2160"])
    options = parser.parse_args()
    if shutil.which("Xvfb") is None:
        sys.exit("Xvfb is missing (Debian package xvfb)")
    for run in options.runs:
        head, *extra = run.split(",")
        picture, size = head.split(":")
        width, height = (int(v) for v in size.split("x"))
        with tempfile.TemporaryDirectory() as work:
            measure(os.path.abspath(options.velmora), picture, width, height, extra, work)


if __name__ == "__main__":
    main()
