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
#include "model/DrawingObjects.h"
#include "model/Model.h"

namespace velmora {
namespace {

constexpr float kStepMs = 1.0f;
constexpr int kBusyStimulusEverySteps = 3;   // both inputs stimulated every 3 simulated ms
constexpr int kWarmUpSteps = 5000;           // spikes fill the paths before measuring
constexpr int kSomaX[3] = {202, 411, 635};   // sprite destinations, pixels
constexpr int kSomaY[3] = {185, 446, 273};
constexpr int kSpriteCellPixels = 80;
constexpr int kSpriteCopyPixels = 79;
constexpr const char* kStatusText = "Geschwindigkeit:  26 mal so langsam wie in Wirklichkeit";

const Pen kAxonPen{PenStyle::Solid, 2, Rgb(200, 200, 200)};
const Pen kDendritePen{PenStyle::Solid, 2, Rgb(0, 200, 0)};
const Brush kPositiveBrush{Rgb(0, 0, 200)};
const Brush kNegativeBrush{Rgb(200, 0, 0)};

// A headless display with the built-in pictures, shared by the benchmarks.
struct Fixture {
  Fixture() {
    SelectHeadlessVideoDriver();
    if (SDL_Init(SDL_INIT_VIDEO) != 0) std::abort();
    window = SDL_CreateWindow("Velmora", 0, 0, 435, 300, 0);
    display.InitDisplay(window, ScreenMode::Windowed, true);
    if (!display.Ready()) std::abort();
    axonPen = &kAxonPen;
    dendritePen = &kDendritePen;
    positiveSynapseBrush = &kPositiveBrush;
    negativeSynapseBrush = &kNegativeBrush;
    model.SetWeights({20, 20, 20, 20, 20, 20});
    for (int step = 0; step < kWarmUpSteps; ++step) {
      if (step % kBusyStimulusEverySteps == 0) model.Stimulate(true, true);
      model.Advance();
    }
  }
  SDL_Window* window = nullptr;
  Display display;
  Model model{kStepMs};
};

Fixture& Shared() {
  static Fixture fixture;
  return fixture;
}

void BM_ComposeFrame(benchmark::State& state) {
  Fixture& f = Shared();
  for (auto _ : state) {
    f.display.BlitBackground();
    float activity[3] = {};
    f.model.GetActivity(activity);
    for (int soma = 0; soma < 3; ++soma) {
      const int left = static_cast<int>(activity[soma] * 31.0f) * kSpriteCellPixels;
      const int top = soma * kSpriteCellPixels;
      f.display.BlitSomaCell(kSomaX[soma], kSomaY[soma],
                             SourceRect{left, top, left + kSpriteCopyPixels, top + kSpriteCopyPixels});
    }
    TextDeviceContext* dc = f.display.GetBackBufferDC();
    dc->SetTextColor(Rgb(255, 255, 255));
    dc->SetTransparentBackground();
    dc->TextOut(0, 748, kStatusText);
    f.model.Draw(*dc);
    f.display.ReleaseBackBufferDC(dc);
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_ComposeFrame)->Unit(benchmark::kMicrosecond);

void BM_ModelDrawOnly(benchmark::State& state) {
  Fixture& f = Shared();
  for (auto _ : state) {
    TextDeviceContext* dc = f.display.GetBackBufferDC();
    f.model.Draw(*dc);
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
