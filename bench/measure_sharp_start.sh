#!/usr/bin/env bash
# Measures the exhibit's start with the sharp picture at a screen size (1920x1080 and
# 3840x2160 unless given): full screen in an X server (Xvfb) of that size, once with
# no kept pictures (the first run on a screen: the classic picture shows first and
# the sharp one fades in once painted, and the pictures are kept) and once more with
# them (a later run: sharp from the first frame); and headless on a pretend screen of
# that size, where the first frame waits for the painting. For each, from the
# program's entry: the end of the first frame, the end of the first sharp frame, and
# the largest resident memory of the process. The kept pictures go to a temporary
# folder, never the home folder. Run it when `uptime` shows a low load.
#
# Usage: bench/measure_sharp_start.sh [path/to/velmora] [WxH ...]
set -euo pipefail

velmora=${1:-build/shell/velmora}
shift || true
sizes=("$@")
((${#sizes[@]} > 0)) || sizes=(1920x1080 3840x2160)
frames=150

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# From the program's entry to the end of the first frame, and of the first sharp one, in ms.
report() {
  local name=$1 log=$2 rss_kb=$3
  awk -v name="$name" -v rss_kb="$rss_kb" '
    /^# sharp picture from frame/ { sharp_frame = $6; next }
    /^#/ { next }
    $3 == 1 && first == "" { first = $6 / 1000.0 }
    { end_ms[$1] = $6 / 1000.0 }
    END {
      printf "%-34s first frame %6.0f ms, first sharp frame %6.0f ms (frame %s), max RSS %.0f MB\n", name,
             first, end_ms[sharp_frame], sharp_frame, rss_kb / 1024.0
    }' "$log"
}

# run NAME [WRAPPER...] -- ARGUMENTS: velmora under the wrapper with the arguments.
run() {
  local name=$1
  shift
  local wrapper=()
  while [[ $1 != -- ]]; do wrapper+=("$1"); shift; done
  shift
  local log="$work/$name.log"
  "${wrapper[@]}" /usr/bin/time -f "%M" -o "$work/rss" "$velmora" "$@" --midi-out none --panel none \
    --status-listen off --usage-db off --frames "$frames" --frame-log "$log" >/dev/null 2>"$work/stderr" || { cat "$work/stderr"; exit 1; }
  report "$name" "$log" "$(tail -n 1 "$work/rss")"
}

echo "load average: $(cut -d' ' -f1-3 /proc/loadavg)"
for size in "${sizes[@]}"; do
  run "headless --size $size" env -- --headless --size "$size"
  rm -rf "$work/cache"
  for start in "first run" "later run"; do
    run "Xvfb $size, $start" xvfb-run -a -s "-screen 0 ${size}x24" env -u SDL_VIDEODRIVER XDG_CACHE_HOME="$work/cache" --
  done
done
echo "load average: $(cut -d' ' -f1-3 /proc/loadavg)"
