#!/usr/bin/env bash
# Builds the libFuzzer harnesses with clang and runs each for a bounded time.
#   fuzz/run.sh [SECONDS_EACH] [HARNESS...]
# Each harness starts from its committed seeds in fuzz/corpus/<harness>/ and keeps
# what it finds in the build folder, so the committed seeds never change by a run.
# Prints, per harness, the executions done and whether it ended clean; exits non-zero
# if any harness found a fault (the input is left in build-fuzz/artifacts/).
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-25}
shift || true
all_harnesses=(panel_reply bitmap_file command_line)
harnesses=("$@")
((${#harnesses[@]} > 0)) || harnesses=("${all_harnesses[@]}")

build_dir=${VELMORA_FUZZ_BUILD_DIR:-build-fuzz}
cmake -S . -B "$build_dir" -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DVELMORA_FUZZ=ON -DVELMORA_BUILD_TESTS=OFF -DVELMORA_BUILD_BENCHMARKS=OFF >/dev/null
targets=()
for harness in "${harnesses[@]}"; do targets+=("velmora_fuzz_$harness"); done
cmake --build "$build_dir" --target "${targets[@]}"

export ASAN_OPTIONS=detect_leaks=1:halt_on_error=1:abort_on_error=1:print_stacktrace=1
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
export LSAN_OPTIONS=print_suppressions=0

mkdir -p "$build_dir/artifacts"
summary=()
failed=0
for harness in "${harnesses[@]}"; do
  seeds=fuzz/corpus/$harness
  work=$build_dir/corpus/$harness
  log=$build_dir/fuzz-$harness.log
  mkdir -p "$work"
  echo "Fuzzing $harness for ${seconds}s (log: $log)"
  status=clean
  # -timeout: one input running this long is a hang; -rss_limit_mb: memory is bounded.
  if ! "$build_dir/fuzz/velmora_fuzz_$harness" "$work" "$seeds" \
      -max_total_time="$seconds" -rss_limit_mb=2048 -timeout=10 -print_final_stats=1 \
      -artifact_prefix="$build_dir/artifacts/$harness-" >"$log" 2>&1; then
    status=FAILED
    failed=1
    tail -n 60 "$log"
  fi
  executions=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
  summary+=("$(printf '%-14s %10s executions in %ss: %s' "$harness" "${executions:-?}" "$seconds" "$status")")
done

echo "Fuzzing summary:"
printf '  %s\n' "${summary[@]}"
clean_count=0
for line in "${summary[@]}"; do
  [[ $line == *": clean" ]] && clean_count=$((clean_count + 1))
done
echo "fuzz: $clean_count passed, $((${#summary[@]} - clean_count)) failed"
exit "$failed"
