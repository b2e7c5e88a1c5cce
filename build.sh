#!/usr/bin/env bash
# One command from a fresh Debian 12 machine: installs what is missing, builds, and
# then runs the exhibit (`./build.sh run`, the default) or every test (`./build.sh test`).
set -euo pipefail
cd "$(dirname "$0")"

action=${1:-run}
shift || true

packages=(
  cmake ninja-build g++ pkg-config
  libgtest-dev libgmock-dev libbenchmark-dev
  libsdl2-dev libsdl2-ttf-dev fonts-dejavu-core
  libfluidsynth-dev timgm6mb-soundfont librtmidi-dev libasound2-dev
)
if [[ $action == test ]]; then
  packages+=(python3 xvfb xauth xdotool x11-utils imagemagick)
fi

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'ok installed'; then
    missing+=("$package")
  fi
done
if ((${#missing[@]} > 0)); then
  echo "Installing: ${missing[*]}"
  sudo=()
  [[ $(id -u) -ne 0 ]] && sudo=(sudo)
  "${sudo[@]}" apt-get update
  "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "${missing[@]}"
fi

build_dir=${VELMORA_BUILD_DIR:-build}
cmake -S . -B "$build_dir" -G Ninja -DVELMORA_WERROR=ON
cmake --build "$build_dir"

case $action in
  run)
    # The exhibit, full screen; extra arguments (see --help) go to it.
    exec "$build_dir/shell/velmora" "$@"
    ;;
  test)
    ctest --test-dir "$build_dir" --output-on-failure -j2 "$@"
    ;;
  *)
    echo "usage: ./build.sh [run|test] [arguments]" >&2
    exit 2
    ;;
esac
