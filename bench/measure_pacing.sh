#!/usr/bin/env bash
# Measures the exhibit's frame pacing on this machine: runs velmora headless for a
# number of frames (3000 unless given, so that the start weighs little in the
# processor time), once with the sleeping wait and once with
# --busy-wait, and reports the mean frame period (target 20.0 ms +- 0.1), the 99th
# percentile of a period's deviation from 20 ms (target under 1 ms), the time from
# launch to the first frame shown (target under 300 ms) and the processor time per
# second of running (target at most 0.05 s with the sleeping wait). The exhibit runs
# as in the museum, with its status server (on a free loopback port) and its usage
# statistics (in a temporary file); with --hostile, bench/hostile_status_client.py
# attacks the server for the whole run, on this machine: VELMORA_HOSTILE_NICE=19 runs
# it at the lowest priority, standing in for a client on another machine, whose own
# processor time would not be the exhibit's.
#
# Then the panel's polls, over 10 s with a panel on a pseudo-terminal: one that answers
# every poll (targets: mean interval 100 +- 2 ms, none over 130 ms), and one that never
# answers (each poll given up after the reply wait, so a poll every 500 ms).
#
# Run it on a quiet machine: `uptime` shows the load average it ran at.
#
# Usage: bench/measure_pacing.sh [--hostile] [path/to/velmora] [frames]
set -euo pipefail

hostile=false
if [[ ${1:-} == --hostile ]]; then
  hostile=true
  shift
fi
velmora=${1:-build/shell/velmora}
frames=${2:-3000}
client="$(dirname "$0")/hostile_status_client.py"
# Longest wait for the exhibit to say where its server listens, in tenths of a second.
port_wait_tenths=100
# The flip-time estimate starts at 5 ms and settles by 1 % a frame; periods after this
# many frames show the steady pacing.
settled_from=300

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

measure() {
  local name=$1
  shift
  local log="$work/$name.log" times="$work/$name.time"
  local launch_ns
  launch_ns=$(date +%s%N)
  /usr/bin/time -f "%U %S %e" -o "$times" \
    timeout -s KILL $((frames / 25 + 60)) \
    "$velmora" --headless --midi-out none --panel none --frames "$frames" --frame-log "$log" \
    --status-listen 127.0.0.1:0 --usage-db "$work/$name.sqlite3" "$@" \
    >/dev/null 2>"$work/$name.stderr" &
  local exhibit=$! attacker=
  if $hostile; then
    local port= tenths=0
    touch "$work/$name.stderr"
    while [[ -z $port && $tenths -lt $port_wait_tenths ]]; do
      port=$(sed -n 's|^velmora: status server on http://127\.0\.0\.1:\([0-9]*\)/$|\1|p' "$work/$name.stderr")
      [[ -n $port ]] || sleep 0.1
      tenths=$((tenths + 1))
    done
    [[ -n $port ]] || { echo "$name: the exhibit named no status server port" >&2; exit 1; }
    python3 "$client" "$port" $((frames / 50)) >"$work/$name.client" 2>&1 &
    attacker=$!
  fi
  wait "$exhibit"
  if [[ -n $attacker ]]; then
    wait "$attacker"
    printf '%-12s %s\n' "$name" "$(cat "$work/$name.client")"
  fi
  read -r user_s system_s elapsed_s <"$times"
  awk -v name="$name" -v launch_ns="$launch_ns" -v settled_from="$settled_from" \
      -v user_s="$user_s" -v system_s="$system_s" -v elapsed_s="$elapsed_s" '
    /^# program_start_realtime_ns/ { start_ns = $3; next }
    /^#/ { next }
    {
      # frame start_tick_ms flipped flip_ms start_us end_us
      if ($3 == 1) {
        if (first_shown_us == "") first_shown_us = $6
        if (previous_end_us != "") {
          period = ($6 - previous_end_us) / 1000.0
          periods[n++] = period
          sum += period
          if ($1 >= settled_from) { settled_sum += period; settled_n++ }
          deviation = period - 20.0; if (deviation < 0) deviation = -deviation
          deviations[m++] = deviation
          if ($1 >= settled_from) settled_deviations[k++] = deviation
        }
        previous_end_us = $6
      } else {
        dropped++
      }
    }
    # The 99th percentile of the first `count` values of `values`.
    function p99(values, count,    sorted, i, j, v) {
      for (i = 0; i < count; i++) sorted[i] = values[i]
      for (i = 1; i < count; i++) { v = sorted[i]; j = i - 1; while (j >= 0 && sorted[j] > v) { sorted[j + 1] = sorted[j]; j-- } sorted[j + 1] = v }
      return sorted[int(0.99 * (count - 1))]
    }
    END {
      first_ms = (start_ns - launch_ns) / 1e6 + first_shown_us / 1000.0
      printf "%-12s frames shown %d, dropped %d\n", name, n + 1, dropped + 0
      printf "%-12s mean frame period %.3f ms (from frame %d on: %.3f ms)\n", name, sum / n, settled_from, settled_sum / settled_n
      printf "%-12s 99th percentile of |period - 20 ms|: %.3f ms (from frame %d on: %.3f ms)\n", name, p99(deviations, m), settled_from, p99(settled_deviations, k)
      printf "%-12s launch to first frame shown: %.1f ms (from program entry: %.1f ms)\n", name, first_ms, first_shown_us / 1000.0
      printf "%-12s processor time per second of running: %.3f s (user %.2f s + system %.2f s over %.2f s)\n", name, (user_s + system_s) / elapsed_s, user_s, system_s, elapsed_s
    }' "$log"
}

# The intervals between the polls arriving at a stand-in panel on a pseudo-terminal,
# over `poll_window_s` from the first poll; with "answer" every poll gets a reply at once.
measure_polls() {
  local name=$1 answer=$2
  python3 - "$velmora" "$answer" "$name" <<'PY'
import os, select, subprocess, sys, time

velmora, answer, name = sys.argv[1], sys.argv[2] == "answer", sys.argv[3]
poll_window_s = 10.0
reply = bytes([0, 0, 15, 6, 6, 6, 7, 6, 6])
master, slave = os.openpty()
# 12 s of frames: the start-up, then the whole window.
exhibit = subprocess.Popen([velmora, "--headless", "--midi-out", "none", "--panel", os.ttyname(slave),
                            "--panel-poll", "--frames", "600", "--status-listen", "off", "--usage-db", "off"], stdout=subprocess.DEVNULL,
                           stderr=subprocess.DEVNULL)
arrivals = []
while exhibit.poll() is None:
    if not select.select([master], [], [], 0.1)[0]:
        continue
    data = os.read(master, 256)
    now = time.monotonic()
    for byte in data:
        if byte == ord("g"):
            arrivals.append(now)
            if answer:
                os.write(master, reply)
window = [t for t in arrivals if arrivals and t - arrivals[0] <= poll_window_s]
intervals = [(b - a) * 1000.0 for a, b in zip(window, window[1:])]
if not intervals:
    print("%-12s no polls arrived" % name)
    sys.exit(1)
print("%-12s %d polls in %.0f s: mean interval %.2f ms, shortest %.1f ms, longest %.1f ms"
      % (name, len(window), poll_window_s, sum(intervals) / len(intervals), min(intervals), max(intervals)))
PY
}

echo "load average before: $(cut -d' ' -f1-3 /proc/loadavg)"
measure sleeping
measure busy-wait --busy-wait
measure_polls answering answer
measure_polls silent silent
echo "load average after: $(cut -d' ' -f1-3 /proc/loadavg)"
