// The sharp display beside the classic one: composing and presenting one frame of a
// busy network (background, three bodies, status line, the model's drawing, flip; the
// classic picture scaled up to the same screen sizes),
// painting the pictures for a screen size at start-up, and the time to a first frame.
// Processor time is the whole process's: a GPU driver's own threads count too.
//
// By default on SDL's dummy video driver, through its software renderer and through
// the window's framebuffer (what the exhibit uses where no GPU draws). Under an X
// server, VELMORA_BENCH_VIDEO=x11 uses the real driver and SDL_RENDER_DRIVER picks
// the renderer (e.g. opengl), so the GPU path can be measured too (the X server's
// own share of a frame shows only in bench/measure_xvfb_frames.py):
//   xvfb-run -s "-screen 0 3840x2160x24" env VELMORA_BENCH_VIDEO=x11
//     SDL_RENDER_DRIVER=opengl build/bench/velmora_sharp_bench   (one line)
#include <benchmark/benchmark.h>

#include <SDL.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <tuple>
#include <utility>

#include "display/Display.h"
#include "display/GlyphCache.h"
#include "display/SharpDisplay.h"
#include "display/SharpPictureCache.h"
#include "display/FrameComposition.h"
#include "platform/MessageBoxes.h"
#include "platform/WindowFramebuffer.h"
#include "model/Model.h"

namespace velmora {
namespace {

constexpr float kStepMs = 1.0f;
constexpr int kBusyStimulusEverySteps = 3;   // both inputs stimulated every 3 simulated ms
constexpr int kWarmUpSteps = 5000;           // spikes fill the paths before measuring
constexpr double kBytesPerMegabyte = 1024.0 * 1024.0;
constexpr float kRelativeSpeed = 0.0385f;    // the status line "... 26 mal so langsam ..."

// The network, busy, shared by every benchmark.
struct Network {
  Network() {
    model.SetWeights({20, 20, 20, 20, 20, 20});
    for (int step = 0; step < kWarmUpSteps; ++step) Advance();
  }
  void Advance() {
    if (stepCount++ % kBusyStimulusEverySteps == 0) model.Stimulate(true, true);
    model.Advance();
  }
  Model model{kStepMs};
  long stepCount = 0;
};

bool OnRealDriver() {
  const char* video = std::getenv("VELMORA_BENCH_VIDEO");
  return video != nullptr && std::strcmp(video, "x11") == 0;
}

Network& SharedNetwork() {
  static Network network;
  return network;
}

void StartVideo() {
  static const bool started = [] {
    if (!OnRealDriver()) SelectHeadlessVideoDriver();
    return SDL_Init(SDL_INIT_VIDEO) == 0;
  }();
  if (!started) std::abort();
}

SDL_Window* MakeWindow(int width, int height) {
  StartVideo();
  SDL_Window* window = SDL_CreateWindow("Velmora", 0, 0, width, height, SDL_WINDOW_BORDERLESS);
  if (window == nullptr) std::abort();
  return window;
}

// One frame as the frame cycle makes it, on either display.
template <typename AnyDisplay>
void RunFrame(AnyDisplay& display, Network& network) {
  for (int step = 0; step < kStepsPerFrame; ++step) network.Advance();
  ComposeFrame(display, network.model, kRelativeSpeed);
  FlipFrame(display);
}

// The classic display on a window of the size: its 1024 x 768 picture scaled up to it
// when presented, through a renderer or the window's framebuffer. Kept per size.
Display& ClassicOfSize(int width, int height, bool framebuffer) {
  static StandardErrorMessageBoxes boxes;
  static std::map<std::tuple<int, int, bool>, std::unique_ptr<Display>> displays;
  std::unique_ptr<Display>& display = displays[{width, height, framebuffer}];
  if (display) return *display;
  SDL_Window* window = MakeWindow(1024, 768);
  if (framebuffer) MarkFramebufferWindow(window);
  display = std::make_unique<Display>(boxes);
  display->InitDisplay(window, ScreenMode::Windowed, !OnRealDriver());
  if (!display->Ready()) std::abort();
  SDL_SetWindowSize(window, width, height);
  return *display;
}

void BM_ClassicFrame(benchmark::State& state) {
  Display& display = ClassicOfSize(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)), state.range(2) != 0);
  Network& network = SharedNetwork();
  std::size_t shown = 0;
  for (auto _ : state) {
    RunFrame(display, network);
    shown += display.GetPresenter()->ShownBytes();
  }
  state.counters["shown_KB"] = static_cast<double>(shown) / static_cast<double>(state.iterations()) / 1024.0;
  state.SetLabel(std::string(display.GetPresenter()->RendererName()) + ", scaled up");
}
// 1920 x 1080 and 3840 x 2160, through a renderer (0) and the framebuffer (1).
void OnBothPaths(benchmark::internal::Benchmark* runs) {
  for (const int framebuffer : {0, 1}) {
    for (const auto& [width, height] : {std::pair{1920, 1080}, std::pair{3840, 2160}}) runs->Args({width, height, framebuffer});
  }
  runs->MeasureProcessCPUTime()->Unit(benchmark::kMillisecond);
}
BENCHMARK(BM_ClassicFrame)->Args({1024, 768, 0})->Apply(OnBothPaths);

// A window of the size with the sharp display on its renderer, kept per size.
struct SharpScreen {
  SDL_Window* window = nullptr;
  SDL_Renderer* renderer = nullptr;
  std::unique_ptr<SharpDisplay> display;
};

SharpScreen& ScreenOfSize(int width, int height, bool framebuffer) {
  static std::map<std::tuple<int, int, bool>, SharpScreen> screens;
  SharpScreen& screen = screens[{width, height, framebuffer}];
  if (screen.display) return screen;
  screen.window = MakeWindow(width, height);
  if (!framebuffer) screen.renderer = SDL_CreateRenderer(screen.window, -1, 0);
  if (!framebuffer && screen.renderer == nullptr) std::abort();
  std::shared_ptr<SharpPictures> pictures = PaintSharpPictures(width, height, SharpFit::kFill, kSharpPaintThreads);
  if (!AddSharpLabels(*pictures, nullptr)) std::abort();
  screen.display = framebuffer ? SharpDisplay::CreateForFramebuffer(screen.window, pictures)
                               : SharpDisplay::CreateForRenderer(screen.renderer, pictures, nullptr);
  if (!screen.display) std::abort();
  return screen;
}

void BM_SharpFrame(benchmark::State& state) {
  SharpScreen& screen = ScreenOfSize(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)), state.range(2) != 0);
  Network& network = SharedNetwork();
  RunFrame(*screen.display, network);  // the first frame lays the whole picture
  std::size_t uploaded = 0, triangles = 0;
  for (auto _ : state) {
    RunFrame(*screen.display, network);
    uploaded += screen.display->Figures().uploadedBytes;
    triangles += screen.display->Figures().triangles;
  }
  const SharpFigures figures = screen.display->Figures();
  const auto frames = static_cast<double>(state.iterations());
  state.counters["upload_KB"] = static_cast<double>(uploaded) / frames / 1024.0;
  state.counters["triangles"] = static_cast<double>(triangles) / frames;
  state.counters["memory_MB"] = static_cast<double>(figures.memoryBytes) / kBytesPerMegabyte;
  state.counters["textures_MB"] = static_cast<double>(figures.textureBytes) / kBytesPerMegabyte;
  SDL_RendererInfo info{};
  if (screen.renderer != nullptr) SDL_GetRendererInfo(screen.renderer, &info);
  state.SetLabel(screen.renderer == nullptr ? "framebuffer, composed in memory"
                                            : std::string(info.name) + (screen.display->OnGpu() ? ", textures on the renderer"
                                                                                               : ", composed in memory"));
}
BENCHMARK(BM_SharpFrame)->Apply(OnBothPaths);

// Painting the pictures for a screen at start-up, on the exhibit machine's two
// threads: wall time, and the processor time of both.
void BM_PaintSharpPictures(benchmark::State& state) {
  std::size_t bytes = 0;
  for (auto _ : state) {
    std::unique_ptr<SharpPictures> pictures = PaintSharpPictures(static_cast<int>(state.range(0)),
                                                                 static_cast<int>(state.range(1)), SharpFit::kFill,
                                                                 kSharpPaintThreads);
    AddSharpLabels(*pictures, nullptr);
    bytes = pictures->HeldBytes();
  }
  state.counters["pictures_MB"] = static_cast<double>(bytes) / kBytesPerMegabyte;
}
BENCHMARK(BM_PaintSharpPictures)
    ->Args({1024, 768})
    ->Args({1920, 1080})
    ->Args({2560, 1600})
    ->Args({3840, 2160})
    ->Iterations(3)
    ->MeasureProcessCPUTime()
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

// Reading the pictures kept for a screen size, as a start on a screen shown before
// does instead of painting them (the file from the page cache), labels set.
void BM_ReadKeptPictures(benchmark::State& state) {
  const int width = static_cast<int>(state.range(0)), height = static_cast<int>(state.range(1));
  const std::string folder = (std::filesystem::temp_directory_path() / "velmora_bench_pictures").string();
  const SharpPictureCache cache(folder, "bench");
  std::unique_ptr<SharpPictures> painted = PaintSharpPictures(width, height, SharpFit::kFill, kSharpPaintThreads);
  if (!cache.Store(*painted, SharpFit::kFill, nullptr)) std::abort();
  for (auto _ : state) {
    std::unique_ptr<SharpPictures> kept = cache.Load(width, height, SharpFit::kFill);
    if (!kept || !AddSharpLabels(*kept, nullptr)) std::abort();
  }
  state.counters["file_MB"] =
      static_cast<double>(std::filesystem::file_size(cache.PathFor(width, height, SharpFit::kFill))) / kBytesPerMegabyte;
  std::filesystem::remove_all(folder);
}
BENCHMARK(BM_ReadKeptPictures)
    ->Args({1920, 1080})
    ->Args({3840, 2160})
    ->Iterations(5)
    ->MeasureProcessCPUTime()
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

// From nothing to the first sharp frame shown, painting at once: a window of the
// size, its renderer, the pictures, their textures, one frame. What a start that
// waits for the sharp picture costs; the classic picture's first frame is what a
// start that shows it meanwhile costs.
void BM_SharpFirstFrame(benchmark::State& state) {
  const int width = static_cast<int>(state.range(0)), height = static_cast<int>(state.range(1));
  Network& network = SharedNetwork();
  for (auto _ : state) {
    SDL_Window* window = MakeWindow(width, height);
    SDL_Renderer* renderer = SDL_CreateRenderer(window, -1, 0);
    std::shared_ptr<SharpPictures> pictures = PaintSharpPictures(width, height, SharpFit::kFill, kSharpPaintThreads);
    AddSharpLabels(*pictures, nullptr);
    std::unique_ptr<SharpDisplay> display = SharpDisplay::CreateForRenderer(renderer, pictures, nullptr);
    if (!display) std::abort();
    RunFrame(*display, network);
    state.PauseTiming();
    display.reset();
    SDL_DestroyRenderer(renderer);
    SDL_DestroyWindow(window);
    state.ResumeTiming();
  }
}
BENCHMARK(BM_SharpFirstFrame)
    ->Args({1920, 1080})
    ->Args({3840, 2160})
    ->Iterations(3)
    ->MeasureProcessCPUTime()
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

void BM_ClassicFirstFrame(benchmark::State& state) {
  Network& network = SharedNetwork();
  for (auto _ : state) {
    SDL_Window* window = MakeWindow(1024, 768);
    StandardErrorMessageBoxes boxes;
    auto display = std::make_unique<Display>(boxes);
    display->InitDisplay(window, ScreenMode::Windowed, !OnRealDriver());
    if (!display->Ready()) std::abort();
    RunFrame(*display, network);
    state.PauseTiming();
    display.reset();
    SDL_DestroyWindow(window);
    state.ResumeTiming();
  }
}
BENCHMARK(BM_ClassicFirstFrame)->Iterations(3)->MeasureProcessCPUTime()->UseRealTime()->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace velmora

BENCHMARK_MAIN();
