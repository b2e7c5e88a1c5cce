// The exhibit's screen: the sharp picture on a headless run's pretend screen from the
// first frame, through a loss; and on a real screen (a second run under an X server,
// see CMakeLists.txt) the classic picture first, the sharp one once painted, and the
// classic one again until pictures for a new window size are painted.

#include "display/ExhibitDisplay.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <utility>

#include "display/FrameComposition.h"
#include "model/Model.h"
#include "platform/BuildId.h"
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

// A start finds the pictures its last start kept, so it paints nothing; what it
// cannot use (a damaged file, one of another build) is painted again and replaced;
// a folder it cannot write in costs only the cache.
TEST(ExhibitDisplayCache, ASecondStartReadsThePicturesAndWhatItCannotUseIsReplaced) {
  Screen screen(true);
  ASSERT_TRUE(screen.started) << SDL_GetError();
  const std::filesystem::path folder = std::filesystem::path(::testing::TempDir()) / "velmora_picture_cache";
  std::filesystem::remove_all(folder);
  PictureChoice choice = Sharp(640, 360);
  choice.cacheFolder = folder.string();
  const SharpPictureCache cache(choice.cacheFolder, ProgramBuildId());
  const std::filesystem::path file = cache.PathFor(640, 360, SharpFit::kFill);
  // A start's first frame; whether its pictures came from the cache.
  const auto start = [&](const PictureChoice& c, PackedImage& shot) {
    ScreenRun run(screen, c);
    run.display.InitDisplay(screen.window, ScreenMode::FullScreen, true);
    EXPECT_TRUE(run.display.SharpShown());
    EXPECT_TRUE(run.Frame());
    EXPECT_TRUE(run.display.Sharp()->Screenshot(shot));
    return run.display.PicturesFromCache();
  };
  PackedImage painted, shot;
  ASSERT_FALSE(start(choice, painted));
  ASSERT_TRUE(std::filesystem::exists(file));
  EXPECT_TRUE(start(choice, shot));
  EXPECT_EQ(shot.pixels, painted.pixels) << "the kept pictures are the painted ones";

  const auto flipByte = [&] {
    std::fstream bytes(file, std::ios::in | std::ios::out | std::ios::binary);
    bytes.seekg(static_cast<std::streamoff>(std::filesystem::file_size(file) / 2));
    const char was = static_cast<char>(bytes.get());
    bytes.seekp(static_cast<std::streamoff>(std::filesystem::file_size(file) / 2));
    bytes.put(static_cast<char>(~was));
  };
  const auto truncate = [&] { std::filesystem::resize_file(file, std::filesystem::file_size(file) - 9); };
  const auto otherBuild = [&] {
    std::unique_ptr<SharpPictures> kept = cache.Load(640, 360, SharpFit::kFill);
    ASSERT_NE(kept, nullptr);
    ASSERT_TRUE(SharpPictureCache(choice.cacheFolder, "another build").Store(*kept, SharpFit::kFill, nullptr));
  };
  for (const auto& spoil : {std::function<void()>(flipByte), std::function<void()>(truncate), std::function<void()>(otherBuild)}) {
    spoil();
    EXPECT_FALSE(start(choice, shot)) << "a file it cannot use is not read";
    EXPECT_EQ(shot.pixels, painted.pixels);
    EXPECT_TRUE(start(choice, shot)) << "and is replaced";
  }

  // A folder under a plain file cannot be made.
  PictureChoice unwritable = choice;
  unwritable.cacheFolder = (file.string() + "/pictures");
  EXPECT_FALSE(start(unwritable, shot));
  EXPECT_EQ(shot.pixels, painted.pixels);
  std::filesystem::remove_all(folder);
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
