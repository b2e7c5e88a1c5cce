// The exhibit's screen: the sharp picture on a headless run's pretend screen from the
// first frame, through a loss; and on a real screen (a second run under an X server,
// see CMakeLists.txt) the classic picture first, the sharp one once painted, and the
// classic one again until pictures for a new window size are painted.

#include "display/ExhibitDisplay.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <utility>

#include "display/FrameComposition.h"
#include "model/Model.h"
#include "platform/Presenter.h"

namespace velmora {
namespace {

constexpr float kRelativeSpeed = 0.04f;
constexpr auto kPaintingDeadline = std::chrono::seconds(30);  // the painting on a loaded 2-core machine

struct Screen {
  explicit Screen(bool headless) {
    if (headless) SelectHeadlessVideoDriver();
    started = SDL_InitSubSystem(SDL_INIT_VIDEO) == 0 && headless == VideoDriverShowsNothing();
    if (started) window = SDL_CreateWindow("Velmora", 0, 0, 1024, 768, headless ? SDL_WINDOW_HIDDEN : 0);
  }
  ~Screen() {
    if (window != nullptr) SDL_DestroyWindow(window);
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
  }
  bool started = false;
  SDL_Window* window = nullptr;
};

struct ScreenRun {
  ScreenRun(Screen& screen, const PictureChoice& choice) : display(boxes, choice), window(screen.window) {}
  ~ScreenRun() { display.Release(); }
  // One frame as the frame cycle makes it, after the window's events.
  bool Frame() {
    SDL_Event event;
    while (SDL_PollEvent(&event) != 0) display.HandleEvent(event);
    return ComposeFrame(display, model, kRelativeSpeed) && FlipFrame(display);
  }
  // Frames until the sharp picture shows or not, as asked; false at the deadline.
  bool FramesUntilSharp(bool shown) {
    const auto deadline = std::chrono::steady_clock::now() + kPaintingDeadline;
    while (display.SharpShown() != shown) {
      if (std::chrono::steady_clock::now() > deadline) return false;
      Frame();
      SDL_Delay(5);
    }
    return true;
  }
  StandardErrorMessageBoxes boxes;
  ExhibitDisplay display;
  SDL_Window* window;
  Model model{1.0f};
};

PictureChoice Sharp(int width = 0, int height = 0) {
  PictureChoice choice;
  choice.sharp = true;
  choice.pretendWidthPixels = width;
  choice.pretendHeightPixels = height;
  return choice;
}

TEST(ExhibitDisplayHeadless, APretendScreenIsSharpFromTheFirstFrameAndThroughALossWithoutItClassic) {
  Screen screen(true);
  ASSERT_TRUE(screen.started) << SDL_GetError();
  {
    ScreenRun run(screen, Sharp(1280, 720));
    run.display.InitDisplay(screen.window, ScreenMode::FullScreen, true);
    ASSERT_TRUE(run.display.Ready());
    ASSERT_TRUE(run.display.SharpShown());
    EXPECT_FALSE(run.display.Painting());
    run.display.SelectBackground(Background::Labeled);
    EXPECT_TRUE(run.Frame());
    PackedImage shot;
    ASSERT_TRUE(run.display.Sharp()->Screenshot(shot));
    EXPECT_EQ(shot.width, 1280);
    EXPECT_EQ(shot.height, 720);
    EXPECT_TRUE(run.display.Sharp()->LabeledBackgroundSelected());

    SDL_Event reset{};
    reset.type = SDL_RENDER_TARGETS_RESET;
    run.display.HandleEvent(reset);
    EXPECT_FALSE(run.Frame()) << "the frame that finds the loss is given up";
    EXPECT_TRUE(run.Frame());
    EXPECT_TRUE(run.display.SharpShown());
    const std::string path = ::testing::TempDir() + "velmora_exhibit_display.png";
    EXPECT_TRUE(run.display.SaveScreenshotPng(path));
  }
  ScreenRun classic(screen, PictureChoice{});
  classic.display.InitDisplay(screen.window, ScreenMode::FullScreen, true);
  EXPECT_TRUE(classic.Frame());
  EXPECT_FALSE(classic.display.SharpShown());
  EXPECT_FALSE(classic.display.Painting());
}

// Under an X server; skipped elsewhere.
TEST(ExhibitDisplayOnScreen, ClassicUntilPaintedThenSharpAtTheScreensSizeAndClassicAgainUntilANewSizeIsPainted) {
  Screen screen(false);
  if (!screen.started) GTEST_SKIP() << "no display";
  SDL_DisplayMode desktop{};
  ASSERT_EQ(SDL_GetDesktopDisplayMode(0, &desktop), 0);
  ScreenRun run(screen, Sharp());
  run.display.InitDisplay(screen.window, ScreenMode::FullScreen, false);
  ASSERT_TRUE(run.display.Ready());
  SDL_Renderer* renderer = SDL_GetRenderer(screen.window);
  EXPECT_TRUE(run.Frame());
  EXPECT_FALSE(run.display.SharpShown()) << "the first frame comes before the painting is done";
  ASSERT_TRUE(run.FramesUntilSharp(true));
  EXPECT_EQ(run.display.Sharp()->Width(), desktop.w);
  EXPECT_EQ(run.display.Sharp()->Height(), desktop.h);
  EXPECT_TRUE(run.Frame());

  // A smaller window: its own classic picture, scaled to it, until the new pictures come.
  SDL_SetWindowFullscreen(screen.window, 0);
  SDL_SetWindowSize(screen.window, desktop.w / 2, desktop.h / 2);
  ASSERT_TRUE(run.FramesUntilSharp(false));
  // Scaled to the whole output again: nothing of the sharp picture's viewport is left.
  int outputWidth = 0, outputHeight = 0;
  SDL_GetRendererOutputSize(renderer, &outputWidth, &outputHeight);
  SDL_Rect viewport{};
  SDL_RenderGetViewport(renderer, &viewport);
  EXPECT_EQ(std::pair(viewport.w, viewport.h), std::pair(outputWidth, outputHeight));
  EXPECT_DOUBLE_EQ(run.display.Placement().scale, std::min(outputWidth / 1024.0, outputHeight / 768.0));
  ASSERT_TRUE(run.FramesUntilSharp(true));
  EXPECT_EQ(run.display.Sharp()->Width(), desktop.w / 2);
  EXPECT_EQ(run.display.Sharp()->Height(), desktop.h / 2);
  EXPECT_TRUE(run.Frame());
}

}  // namespace
}  // namespace velmora
