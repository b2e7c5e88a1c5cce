// Cost of one model step, Model::Advance, on a quiet and on a busy network. The
// exhibit runs 1,000 steps per second of wall time (20 per 20 ms frame).
#include <benchmark/benchmark.h>

#include "model/Model.h"

namespace velmora {
namespace {

constexpr float kStepMs = 1.0f;              // simulated ms per step, the model's start step
constexpr int kBusyStimulusEverySteps = 3;   // a stimulus on both inputs every 3 simulated ms
constexpr int kWarmUpSteps = 5000;           // let spikes fill the paths before measuring

void Report(benchmark::State& state, int steps) {
  state.counters["ns_per_step"] = benchmark::Counter(static_cast<double>(steps), benchmark::Counter::kIsRate |
                                                                                   benchmark::Counter::kInvert);
  state.counters["sim_ms_per_cpu_s"] =
      benchmark::Counter(static_cast<double>(steps) * kStepMs, benchmark::Counter::kIsRate);
}

void BM_AdvanceQuiet(benchmark::State& state) {
  Model model(kStepMs);
  for (int k = 0; k < kWarmUpSteps; ++k) model.Advance();
  int steps = 0;
  for (auto _ : state) {
    model.Advance();
    ++steps;
  }
  Report(state, steps);
}
BENCHMARK(BM_AdvanceQuiet);

void BM_AdvanceBusy(benchmark::State& state) {
  Model model(kStepMs);
  model.SetWeights({20, 20, 20, 20, 20, 20});
  int steps = 0;
  const auto step = [&] {
    if (steps % kBusyStimulusEverySteps == 0) model.Stimulate(true, true);
    model.Advance();
    ++steps;
  };
  for (int k = 0; k < kWarmUpSteps; ++k) step();
  steps = 0;
  for (auto _ : state) step();
  Report(state, steps);
}
BENCHMARK(BM_AdvanceBusy);

}  // namespace
}  // namespace velmora

BENCHMARK_MAIN();
