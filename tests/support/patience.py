"""How long the tests that run the real programs wait. Each limit is what a quiet
machine needs, stretched by how busy the machine is at the moment the wait starts:
on two cores at a load of 9, a run gets a quarter of a core and takes four times as
long. A program that hangs still fails, only later. Runs of frames are waited for as
long as they make progress."""

import os
import subprocess
import time

# The most a limit is stretched: beyond it the machine is too busy for any test.
MOST_STRETCH = 8.0
# Longest a run of frames may go without a new frame in its log, on a quiet machine (s).
QUIET_STALL_S = 30.0


def stretch():
    """Processes waiting to run per core over the last minute, from 1 to MOST_STRETCH."""
    try:
        load = os.getloadavg()[0]
    except OSError:
        return 1.0
    return min(MOST_STRETCH, max(1.0, load / (os.cpu_count() or 1)))


def patient(seconds):
    """A limit of `seconds` on a quiet machine, on this one as busy as it is now."""
    return seconds * stretch()


def frames_logged(path):
    """Frames a --frame-log file has recorded so far (it is written in blocks)."""
    try:
        with open(path) as log:
            return sum(1 for line in log if line[:1].isdigit())
    except FileNotFoundError:
        return 0


def wait_for_run(process, frame_log, stall_s=QUIET_STALL_S):
    """Waits for a run of the exhibit with --frame-log `frame_log` to end, for as long
    as new frames reach its log; its exit code, or None (and the run killed) once it
    has made no progress for `stall_s` on a quiet machine (stretched as it goes)."""
    frames, last_progress = -1, time.monotonic()
    while True:
        try:
            return process.wait(timeout=0.2)
        except subprocess.TimeoutExpired:
            pass
        now_frames = frames_logged(frame_log)
        if now_frames != frames:
            frames, last_progress = now_frames, time.monotonic()
        elif time.monotonic() - last_progress > patient(stall_s):
            process.kill()
            process.wait()
            return None
