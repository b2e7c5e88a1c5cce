#!/usr/bin/env bash
# Measures the exhibit's frame pacing on this machine: runs velmora headless for a
# number of frames (1000 unless given), once with the sleeping wait and once with
# --busy-wait, and reports the mean frame period (target 20.0 ms +- 0.1), the 99th
# percentile of a period's deviation from 20 ms (target under 1 ms), the time from
# launch to the first frame shown (target under 300 ms) and the processor time per
# second of running. The exhibit runs as in the museum, with its status server (on a
# free loopback port) and its usage statistics (in a temporary file); with --hostile,
# bench/hostile_status_client.py attacks the server for the whole run, on this machine:
# VELMORA_HOSTILE_NICE=19 runs it at the lowest priority, standing in for a client on
# another machine, whose own processor time would not be the exhibit's.
#
# Usage: bench/measure_pacing.sh [--hostile] [path/to/velmora] [frames]
set -euo pipefail

hostile=false
if [[ ${1:-} == --hostile ]]; then
  hostile=true
  shift
fi
velmora=${1:-build/shell/velmora}
frames=${2:-1000}
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
    "$velmora" --headless --midi-out none --panel /dev/ptmx --frames "$frames" --frame-log "$log" \
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

measure sleeping
measure busy-wait --busy-wait
