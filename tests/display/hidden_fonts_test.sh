#!/bin/sh
# The status line's font is built into the program: velmora-sim's picture of a frame,
# made with the system's font folder hidden (an empty tmpfs mounted over it in a
# private mount namespace, for that one command), equals the picture made normally.
# Skipped (exit 77) unless it may mount: as root, with unshare.
set -eu
sim=$1
fonts=/usr/share/fonts
if [ "$(id -u)" -ne 0 ] || ! command -v unshare >/dev/null; then
  echo "skipped: needs root and unshare"
  exit 77
fi
if ! unshare -m sh -c "mount -t tmpfs none $fonts" 2>/dev/null; then
  echo "skipped: cannot mount in a private mount namespace here"
  exit 77
fi
folder=$(mktemp -d)
trap 'rm -rf "$folder"' EXIT
frame="--speed 15 --until 700 --at 500:stim1"
# shellcheck disable=SC2086 # the frame's arguments are split on purpose
"$sim" $frame --picture "$folder/normal.png" >/dev/null
# shellcheck disable=SC2086
unshare -m sh -c 'mount -t tmpfs none "$0" && [ -z "$(ls -A "$0")" ] && exec "$@"' "$fonts" \
  "$sim" $frame --picture "$folder/hidden.png" >/dev/null
if ! cmp -s "$folder/normal.png" "$folder/hidden.png"; then
  echo "FAIL: with $fonts hidden the picture differs (the status line needs a font file)"
  exit 1
fi
echo "PASS: the picture with $fonts hidden equals the normal one"
