#include "display/Display.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <strings.h>

#include "assets/BuiltInImages.h"
#include "display/DisplayConstants.h"
#include "tests/display/BitmapFiles.h"
#include "tests/support/RecordingMessageBoxes.h"

namespace velmora {
namespace {

using testing::MakeBmp24;
using testing::Rgb565;

constexpr ColorRef kPlainGround = Rgb(129, 80, 45);
constexpr ColorRef kLabelGround = Rgb(255, 255, 0);
constexpr ColorRef kSpriteBody = Rgb(40, 230, 60);
constexpr ColorRef kSpriteDarkBody = Rgb(8, 4, 8);  // darkest non-black that survives 5-6-5

std::uint16_t At(const SDL_Surface& surface, int x, int y) {
  return reinterpret_cast<const std::uint16_t*>(static_cast<const std::uint8_t*>(surface.pixels) +
                                                y * surface.pitch)[x];
}

// The three pictures, made once: plain ground, yellow ground, and a sprite sheet of
// black cells with a body in the middle and a body pixel in every cell's 80th
// column and row.
std::map<std::string, std::vector<std::uint8_t>>& Images() {
  static std::map<std::string, std::vector<std::uint8_t>> images = {
      {"BACKGROUND", MakeBmp24(1024, 768, [](int, int) { return kPlainGround; })},
      {"LABELEDBACK", MakeBmp24(1024, 768, [](int, int) { return kLabelGround; })},
      {"SOMAS", MakeBmp24(2560, 240,
                          [](int x, int y) {
                            const int cx = x % 80, cy = y % 80;
                            if (cx == 79 || cy == 79) return kSpriteBody;
                            if (cx >= 30 && cx < 50 && cy >= 30 && cy < 50) return cx == 30 ? kSpriteDarkBody : kSpriteBody;
                            return ColorRef{0};
                          })},
  };
  return images;
}
std::string missingImage;
const BuiltInImage* FindImage(std::string_view name) {
  static BuiltInImage found{};
  for (const auto& [key, bytes] : Images()) {
    if (key.size() == name.size() && strncasecmp(key.c_str(), name.data(), name.size()) == 0 &&
        key != missingImage) {
      found = BuiltInImage{key.c_str(), bytes.data(), bytes.size()};
      return &found;
    }
  }
  return nullptr;
}

class DisplayTest : public ::testing::Test {
protected:
  static void SetUpTestSuite() {
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    ASSERT_EQ(SDL_Init(SDL_INIT_VIDEO), 0) << SDL_GetError();
  }
  static void TearDownTestSuite() { SDL_Quit(); }
  void SetUp() override {
    missingImage.clear();
    window = SDL_CreateWindow("Velmora", 307, 184, 435, 300, 0);
    ASSERT_NE(window, nullptr);
  }
  void TearDown() override {
    display.reset();
    SDL_DestroyWindow(window);
    SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
  }
  void InitHeadless() {
    display->InitDisplay(window, ScreenMode::FullScreen, true);
    ASSERT_TRUE(display->Ready());
  }
  std::unique_ptr<Display> MakeDisplay() { return std::make_unique<Display>(recorder, &FindImage); }

  SDL_Window* window = nullptr;
  testing::RecordingMessageBoxes recorder;
  std::vector<std::string>& boxes = recorder.shown;
  std::unique_ptr<Display> display = MakeDisplay();
};

TEST_F(DisplayTest, HeadlessSetUpLoadsTheThreeImagesWithBlackKeys) {
  InitHeadless();
  EXPECT_FALSE(display->InitFailed());
  EXPECT_TRUE(boxes.empty());
  const SDL_Surface* images[] = {display->BackgroundSurface(), display->LabeledBackgroundSurface(),
                                 display->SomaSurface()};
  const int expectedWidths[] = {1024, 1024, 2560}, expectedHeights[] = {768, 768, 240};
  for (int i = 0; i < 3; ++i) {
    ASSERT_NE(images[i], nullptr);
    EXPECT_EQ(images[i]->w, expectedWidths[i]);
    EXPECT_EQ(images[i]->h, expectedHeights[i]);
    EXPECT_EQ(images[i]->format->format, SDL_PIXELFORMAT_RGB565);
    EXPECT_EQ(SurfaceColorKey(images[i]), 0u);
  }
  EXPECT_EQ(display->BackBuffer()->w, 1024);
  EXPECT_EQ((*display->GetPalette())[255].red, 255);
  EXPECT_FALSE(display->LabeledBackgroundSelected());
}

TEST_F(DisplayTest, FrameIsComposedFromTheSelectedBackgroundAndFlipped) {
  InitHeadless();
  for (const bool labeled : {false, true, false}) {
    display->SelectBackground(labeled ? Background::Labeled : Background::Plain);
    ASSERT_EQ(display->BlitBackground(), DisplayResult::Ok);
    const std::uint16_t expected = Rgb565(labeled ? kLabelGround : kPlainGround);
    EXPECT_EQ(At(*display->BackBuffer(), 0, 0), expected);
    EXPECT_EQ(At(*display->BackBuffer(), 1023, 767), expected);
    EXPECT_EQ(display->FlipBuffers(), DisplayResult::Ok);
  }
}

TEST_F(DisplayTest, SpriteCopyMoves79By79PixelsAndNeverCopiesBlack) {
  InitHeadless();
  ASSERT_EQ(display->BlitBackground(), DisplayResult::Ok);
  // Cell column 3 of row 1 to the place of Soma2.
  ASSERT_EQ(display->BlitSomaCell(411, 446, SourceRect{240, 80, 319, 159}), DisplayResult::Ok);
  const SDL_Surface& frame = *display->BackBuffer();
  EXPECT_EQ(At(frame, 411 + 40, 446 + 40), Rgb565(kSpriteBody));
  EXPECT_EQ(At(frame, 411 + 30, 446 + 40), Rgb565(kSpriteDarkBody));
  EXPECT_EQ(At(frame, 411 + 10, 446 + 10), Rgb565(kPlainGround));
  EXPECT_EQ(At(frame, 411 + 79, 446 + 20), Rgb565(kPlainGround));
  EXPECT_EQ(At(frame, 411 + 20, 446 + 79), Rgb565(kPlainGround));
}

TEST_F(DisplayTest, CopiesOutsideTheSurfacesAreRefusedNotPerformed) {
  InitHeadless();
  const struct {
    int x, y;
    SourceRect rect;
  } cases[] = {{1000, 0, {0, 0, 79, 79}}, {0, -1, {0, 0, 79, 79}}, {0, 0, {2500, 0, 2579, 79}},
               {0, 0, {-1, 0, 78, 79}}, {0, 0, {10, 10, 10, 20}}};
  for (const auto& c : cases) EXPECT_EQ(display->BlitSomaCell(c.x, c.y, c.rect), DisplayResult::InvalidRect);
}

TEST_F(DisplayTest, LostSurfacesAreReportedRestoredAndReloadedKeepingTheBackground) {
  InitHeadless();
  display->SelectBackground(Background::Labeled);
  display->InjectSurfaceLoss();
  EXPECT_EQ(display->BlitBackground(), DisplayResult::SurfaceLost);
  EXPECT_EQ(display->BlitSomaCell(0, 0, SourceRect{0, 0, 79, 79}), DisplayResult::SurfaceLost);
  EXPECT_EQ(display->FlipBuffers(), DisplayResult::SurfaceLost);
  // Spoil the image surfaces, as a real loss would; the restore must reload them.
  for (const SDL_Surface* image : {display->BackgroundSurface(), display->SomaSurface()})
    SDL_FillRect(const_cast<SDL_Surface*>(image), nullptr, 0x1234);
  EXPECT_EQ(display->RestoreSurfaces(), DisplayResult::Ok);
  EXPECT_EQ(At(*display->BackgroundSurface(), 5, 5), Rgb565(kPlainGround));
  EXPECT_EQ(At(*display->SomaSurface(), 0, 0), 0);
  EXPECT_TRUE(display->LabeledBackgroundSelected());
  ASSERT_EQ(display->BlitBackground(), DisplayResult::Ok);
  EXPECT_EQ(At(*display->BackBuffer(), 5, 5), Rgb565(kLabelGround));
  EXPECT_EQ(display->FlipBuffers(), DisplayResult::Ok);
}

TEST_F(DisplayTest, WhileTheDisplayStaysUnavailableEveryRestoreFailsAndFramesStayLost) {
  InitHeadless();
  display->InjectSurfaceLoss(2);
  for (int frame = 0; frame < 2; ++frame) {
    EXPECT_EQ(display->BlitBackground(), DisplayResult::SurfaceLost);
    EXPECT_EQ(display->RestoreSurfaces(), DisplayResult::SurfaceLost);
  }
  EXPECT_EQ(display->BlitBackground(), DisplayResult::SurfaceLost);
  EXPECT_EQ(display->RestoreSurfaces(), DisplayResult::Ok);
  EXPECT_EQ(display->BlitBackground(), DisplayResult::Ok);
}

// An SDL tick later than any before the call: window events stamped with it come
// after the display's set-up.
Uint32 TickAfterNow() {
  const Uint32 now = SDL_GetTicks();
  while (SDL_GetTicks() == now) SDL_Delay(1);
  return SDL_GetTicks();
}

TEST_F(DisplayTest, TheWindowResizeOfItsOwnSetUpIsNoLossAndTheFirstFrameIsDrawn) {
  InitHeadless();
  int sizeChanges = 0;
  SDL_Event event;
  while (SDL_PollEvent(&event) != 0) {
    if (event.type == SDL_WINDOWEVENT && event.window.event == SDL_WINDOWEVENT_SIZE_CHANGED) ++sizeChanges;
    display->HandleEvent(event);
  }
  EXPECT_GE(sizeChanges, 1);  // the set-up did resize the window
  EXPECT_EQ(display->BlitBackground(), DisplayResult::Ok);
  EXPECT_EQ(display->FlipBuffers(), DisplayResult::Ok);
}

TEST_F(DisplayTest, RenderResetsAndWindowSizeOrDisplayChangesAfterTheSetUpCountAsLosses) {
  InitHeadless();
  SDL_Event events[4] = {};
  events[0].type = SDL_RENDER_TARGETS_RESET;
  events[1].type = SDL_RENDER_DEVICE_RESET;
  events[2].type = SDL_WINDOWEVENT;
  events[2].window.event = SDL_WINDOWEVENT_SIZE_CHANGED;
  events[3].type = SDL_WINDOWEVENT;
  events[3].window.event = SDL_WINDOWEVENT_DISPLAY_CHANGED;
  const Uint32 later = TickAfterNow();
  for (SDL_Event& event : events) event.common.timestamp = later;
  for (const SDL_Event& event : events) {
    display->HandleEvent(event);
    EXPECT_EQ(display->FlipBuffers(), DisplayResult::SurfaceLost);
    EXPECT_EQ(display->RestoreSurfaces(), DisplayResult::Ok);
    EXPECT_EQ(display->FlipBuffers(), DisplayResult::Ok);
  }
}

TEST_F(DisplayTest, DrawingContextIsLentOnceAndDrawsIntoTheBackBuffer) {
  InitHeadless();
  ASSERT_EQ(display->BlitBackground(), DisplayResult::Ok);
  TextDeviceContext* dc = display->GetBackBufferDC();
  ASSERT_NE(dc, nullptr);
  EXPECT_EQ(display->GetBackBufferDC(), nullptr);
  const Pen pen{PenStyle::Solid, 2, Rgb(0, 200, 0)};
  dc->SelectPen(&pen);
  dc->MoveTo(100, 100);
  dc->LineTo(110, 100);
  display->ReleaseBackBufferDC(dc);
  EXPECT_EQ(At(*display->BackBuffer(), 105, 101), Rgb565(Rgb(0, 200, 0)));
  EXPECT_NE(display->GetBackBufferDC(), nullptr);
}

TEST_F(DisplayTest, BackBufferIsSavedAsPng) {
  InitHeadless();
  ASSERT_EQ(display->BlitBackground(), DisplayResult::Ok);
  const std::string path = (std::filesystem::temp_directory_path() / "velmora-display-test.png").string();
  ASSERT_TRUE(display->SaveBackBufferPng(path));
  std::ifstream file(path, std::ios::binary);
  char signature[8] = {};
  file.read(signature, 8);
  EXPECT_EQ(std::string(signature + 1, 3), "PNG");
  std::filesystem::remove(path);
}

TEST_F(DisplayTest, AMissingImageFailsTheSetUpWithTheMessageAndACloseRequest) {
  for (const char* missing : {"BACKGROUND", "LABELEDBACK", "SOMAS"}) {
    boxes.clear();
    SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
    missingImage = missing;
    display = MakeDisplay();
    display->InitDisplay(window, ScreenMode::FullScreen, true);
    EXPECT_TRUE(display->InitFailed()) << missing;
    EXPECT_FALSE(display->Ready());
    EXPECT_EQ(boxes, std::vector<std::string>{"Velmora: DirectDraw Init FAILED"});
    SDL_Event event{};
    bool closeRequested = false;
    while (SDL_PollEvent(&event)) {
      closeRequested |= event.type == SDL_WINDOWEVENT && event.window.event == SDL_WINDOWEVENT_CLOSE &&
                        event.window.windowID == SDL_GetWindowID(window);
    }
    EXPECT_TRUE(closeRequested) << missing;
  }
}

TEST_F(DisplayTest, ADriverThatShowsNothingIsRefusedUnlessHeadless) {
  display->InitDisplay(window, ScreenMode::FullScreen, false);
  EXPECT_TRUE(display->InitFailed());
  EXPECT_EQ(boxes, std::vector<std::string>{"Velmora: DirectDraw Init FAILED"});
  std::vector<std::string> released;
  display->RecordReleases(&released);
  display->Release();
  EXPECT_TRUE(released.empty());
}

TEST_F(DisplayTest, ReleaseGoesInItsFixedOrderAndOnlyOverWhatExists) {
  struct Case {
    const char* missing;
    std::vector<std::string> expected;
  };
  const Case cases[] = {
      {"", {"frameTexture", "backgroundSurface", "labeledBackgroundSurface", "somaSurface", "palette", "presenter"}},
      {"SOMAS", {"frameTexture", "backgroundSurface", "labeledBackgroundSurface", "palette", "presenter"}},
      {"BACKGROUND", {"frameTexture", "palette", "presenter"}},
  };
  for (const Case& c : cases) {
    missingImage = c.missing;
    display = MakeDisplay();
    std::vector<std::string> released;
    display->RecordReleases(&released);
    display->InitDisplay(window, ScreenMode::Windowed, true);
    display->Release();
    EXPECT_EQ(released, c.expected) << c.missing;
    EXPECT_EQ(display->BackBuffer(), nullptr);
    EXPECT_EQ(display->GetPresenter(), nullptr);
    display->Release();
    EXPECT_EQ(released.size(), c.expected.size());
  }
  Display neverSetUp(recorder, &FindImage);
  std::vector<std::string> released;
  neverSetUp.RecordReleases(&released);
  neverSetUp.Release();
  EXPECT_TRUE(released.empty());
}

}  // namespace
}  // namespace velmora
