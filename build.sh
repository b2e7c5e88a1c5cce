#!/usr/bin/env bash
# One command from a fresh Debian 12 machine: installs what is missing, builds, and
# then runs the exhibit (`./build.sh run`, the default), installs it (`./build.sh install
# [PREFIX]`, /usr/local by default), makes the Debian package (`./build.sh package`, into
# build-package/) or runs every test (`./build.sh test`):
# the test suite, the same suite built with AddressSanitizer and UndefinedBehaviorSanitizer
# (alone: `./build.sh sanitize`), and each fuzzing harness for a bounded time (alone:
# `./build.sh fuzz [SECONDS_EACH]`).
set -euo pipefail
cd "$(dirname "$0")"

action=${1:-run}
shift || true
case $action in
  run | install | package | test | sanitize | fuzz) ;;
  *)
    echo "usage: ./build.sh [run|test|install|package|sanitize|fuzz] [arguments]" >&2
    exit 2
    ;;
esac

# What the exhibit needs to be built and to run: the compiler and build tools, the
# libraries, the font the pictures are made with, the synthesiser's soundfont, and the
# tools that make the texts' catalogues and the tools' manual pages. (debian/control's
# Build-Depends lists the same; the package's build refuses to start when one is missing.)
packages=(
  cmake ninja-build g++ pkg-config
  libsdl2-dev libsdl2-ttf-dev fonts-dejavu-core libspng-dev libcli11-dev
  libfluidsynth-dev timgm6mb-soundfont librtmidi-dev libasound2-dev
  libcpp-httplib-dev libsqlite3-dev
  gettext help2man
)
# What makes and checks the Debian package (the tests build it too).
if [[ $action == package || $action == test ]]; then
  packages+=(build-essential dpkg-dev debhelper lintian git)
fi
# What the tests and benchmarks add: their frameworks, and the tools the end-to-end
# runs drive the programs with (an X server, key presses, pictures, a browser).
if [[ $action == test || $action == sanitize ]]; then
  packages+=(libgtest-dev libgmock-dev libbenchmark-dev)
  packages+=(python3 xvfb xauth xdotool x11-utils imagemagick)
  # The X server's core fonts: without them SDL cannot show a message box under Xvfb,
  # and the test of the boxes' owner window has nothing to look at.
  packages+=(xfonts-base)
  packages+=(python3-prometheus-client chromium chromium-driver python3-selenium)
fi
if [[ $action == test || $action == fuzz ]]; then
  packages+=(clang libclang-rt-14-dev)
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

# The whole test suite once more, built with AddressSanitizer, UndefinedBehaviorSanitizer
# and LeakSanitizer in a folder of its own; any finding fails the run.
sanitized_tests() {
  local dir=${VELMORA_SANITIZE_BUILD_DIR:-build-asan}
  cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELMORA_WERROR=ON \
    -DVELMORA_SANITIZE=ON -DVELMORA_BUILD_BENCHMARKS=OFF
  cmake --build "$dir"
  local asan=halt_on_error=1:abort_on_error=1:detect_stack_use_after_return=1
  export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
  export LSAN_OPTIONS="suppressions=$PWD/tests/lsan-suppressions.txt:print_suppressions=0"
  # The runs that open a real video driver (the X server run, the start without a
  # display, where SDL tries every driver, and the sharp display's OpenGL run) load
  # Mesa's GL driver, which leaks and is unloaded again before the leak check, so its
  # leaks come without a library name no suppression could match: these runs alone
  # check memory errors without leaks.
  local video_driver_runs='^(velmora_e2e_xvfb_run|velmora_startup_faults|velmora_sharp_display_gpu|velmora_exhibit_display_screen)$'
  ASAN_OPTIONS=detect_leaks=1:$asan ctest --test-dir "$dir" --output-on-failure -j2 -E "$video_driver_runs" "$@"
  ASAN_OPTIONS=detect_leaks=0:$asan ctest --test-dir "$dir" --output-on-failure -R "$video_driver_runs" "$@"
}

# The Debian package, built the Debian way (dpkg-buildpackage with debian/) from a clean
# copy of the clone's tracked files, so nothing of an earlier build gets in. It and the
# debug symbols, .buildinfo and .changes land in build-package/ (or VELMORA_PACKAGE_DIR);
# lintian then checks them, and any error or warning it has not been told about in
# debian/velmora.lintian-overrides fails the build.
debian_package() {
  local out=${VELMORA_PACKAGE_DIR:-build-package}
  mkdir -p "$out"
  out=$(cd "$out" && pwd)
  local tree=$out/velmora
  rm -rf "$tree" "$out"/velmora_* "$out"/velmora-dbgsym_*
  mkdir "$tree"
  if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
    # The tracked files as they are in the work tree: `git stash create` makes a commit
    # of them (with changes not yet committed) and touches nothing else; without
    # changes it prints nothing and HEAD is that tree.
    local snapshot
    snapshot=$(git stash create)
    git archive "${snapshot:-HEAD}" | tar -xf - -C "$tree"
  else
    tar --exclude='./build*' --exclude='./obj-*' -cf - . | tar -xf - -C "$tree"
  fi
  (cd "$tree" && DEB_BUILD_OPTIONS="parallel=$(nproc) ${DEB_BUILD_OPTIONS:-}" dpkg-buildpackage -b --no-sign)
  rm -rf "$tree"
  local changes
  changes=$(ls "$out"/velmora_*.changes)
  lintian --fail-on error,warning "$changes"
  ls "$out"/velmora_*.deb
}

case $action in
  package)
    debian_package
    exit
    ;;
  sanitize)
    sanitized_tests "$@"
    exit
    ;;
  fuzz)
    exec fuzz/run.sh "$@"
    ;;
esac

build_dir=${VELMORA_BUILD_DIR:-build}
# Running or installing the exhibit builds the programs alone; the tests and
# benchmarks are built only for `test`.
with_tests=OFF
[[ $action == test ]] && with_tests=ON
cmake -S . -B "$build_dir" -G Ninja -DVELMORA_WERROR=ON \
  -DVELMORA_BUILD_TESTS=$with_tests -DVELMORA_BUILD_BENCHMARKS=$with_tests
cmake --build "$build_dir"

case $action in
  run)
    # The exhibit, full screen; extra arguments (see --help) go to it.
    exec "$build_dir/shell/velmora" "$@"
    ;;
  install)
    # The programs, manual pages, desktop entry and user service under PREFIX.
    prefix=${1:-/usr/local}
    sudo=()
    [[ $(id -u) -ne 0 && ! -w $prefix ]] && sudo=(sudo)
    "${sudo[@]}" cmake --install "$build_dir" --prefix "$prefix"
    ;;
  test)
    ctest --test-dir "$build_dir" --output-on-failure -j2 "$@"
    sanitized_tests "$@"
    fuzz/run.sh "${VELMORA_FUZZ_SECONDS:-25}"
    ;;
esac
