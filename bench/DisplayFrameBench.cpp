// Cost of composing one frame in the back buffer: the background copy, three keyed
// sprite copies, the status line and the drawing of a busy network, beside a plain
// copy of the 1.5 MB frame as the floor. Presenting is measured on its own, since
// its cost depends on the renderer and the screen, not on this code.
#include <benchmark/benchmark.h>

#include <SDL.h>

#include <cstdlib>
#include <cstring>
#include <vector>

#include "display/Display.h"
#include "display/FrameComposition.h"
#include "model/Model.h"
#include "model/SpeedRule.h"
#include "platform/MessageBoxes.h"

namespace velmora {
namespace {

constexpr float kStepMs = 1.0f;
constexpr int kBusyStimulusEverySteps = 3;   // both inputs stimulated every 3 simulated ms
constexpr int kWarmUpSteps = 5000;           // spikes fill the paths before measuring
constexpr float kDefaultSpeed = 15.0f;       // the status line of the default speed
constexpr float kSteadyFrameMs = 20.0f;      // at 50 frames per second

// A headless display with the built-in pictures, shared by the benchmarks.
struct Fixture {
  Fixture() {
    SelectHeadlessVideoDriver();
    if (SDL_Init(SDL_INIT_VIDEO) != 0) std::abort();
    window = SDL_CreateWindow("Velmora", 0, 0, 435, 300, 0);
    display.InitDisplay(window, ScreenMode::Windowed, true);
    if (!display.Ready()) std::abort();
    model.SetWeights({20, 20, 20, 20, 20, 20});
    for (int step = 0; step < kWarmUpSteps; ++step) {
      if (step % kBusyStimulusEverySteps == 0) model.Stimulate(true, true);
      model.Advance();
    }
  }
  StandardErrorMessageBoxes boxes;
  SDL_Window* window = nullptr;
  Display display{boxes};
  Model model{kStepMs};
};

Fixture& Shared() {
  static Fixture fixture;
  return fixture;
}

void BM_ComposeFrame(benchmark::State& state) {
  Fixture& f = Shared();
  const float relativeSpeed = RelativeSimSpeed(StepFactorForSpeed(kDefaultSpeed), kSteadyFrameMs);
  for (auto _ : state) {
    if (!ComposeFrame(f.display, f.model, relativeSpeed)) std::abort();
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_ComposeFrame)->Unit(benchmark::kMicrosecond);

void BM_ModelDrawOnly(benchmark::State& state) {
  Fixture& f = Shared();
  for (auto _ : state) {
    TextDeviceContext* dc = f.display.GetBackBufferDC();
    f.model.Draw(*dc, kExhibitDrawingStyle);
    f.display.ReleaseBackBufferDC(dc);
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_ModelDrawOnly)->Unit(benchmark::kMicrosecond);

void BM_FrameMemcpyFloor(benchmark::State& state) {
  const std::size_t frameBytes = std::size_t{1024} * 768 * 2;
  std::vector<std::uint8_t> from(frameBytes, 0x5A), to(frameBytes);
  for (auto _ : state) {
    std::memcpy(to.data(), from.data(), frameBytes);
    benchmark::DoNotOptimize(to.data());
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_FrameMemcpyFloor)->Unit(benchmark::kMicrosecond);

void BM_Present(benchmark::State& state) {
  Fixture& f = Shared();
  for (auto _ : state) f.display.FlipBuffers();
}
BENCHMARK(BM_Present)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace velmora

BENCHMARK_MAIN();
