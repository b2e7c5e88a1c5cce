// Presenting a frame on SDL's software renderer: the screen shows each RGB565 pixel
// as SDL itself converts it, whichever way the presenter gets it there.

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/Presenter.h"
#include "platform/WindowFramebuffer.h"

namespace velmora {
namespace {

TEST(Presenter, ShowsEveryRgb565ValueAsSdlConvertsIt) {
  constexpr int kWidth = 256;   // pixels
  constexpr int kHeight = 256;  // pixels: 65,536, one for each RGB565 value
  SelectHeadlessVideoDriver();
  ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_VIDEO), 0) << SDL_GetError();
  SDL_Window* window = SDL_CreateWindow("presenter", 0, 0, kWidth, kHeight, SDL_WINDOW_HIDDEN);
  ASSERT_NE(window, nullptr) << SDL_GetError();
  {
    std::string error;
    std::unique_ptr<Presenter> presenter = Presenter::Create(window, &error);
    ASSERT_NE(presenter, nullptr) << error;
    ASSERT_TRUE(presenter->CreateFrameTexture(kWidth, kHeight));
    EXPECT_TRUE(presenter->ConvertsFrames());

    SDL_Surface* frame = SDL_CreateRGBSurfaceWithFormat(0, kWidth, kHeight, 16, SDL_PIXELFORMAT_RGB565);
    ASSERT_NE(frame, nullptr);
    for (int y = 0; y < kHeight; ++y) {
      auto* row = reinterpret_cast<std::uint16_t*>(static_cast<std::uint8_t*>(frame->pixels) + y * frame->pitch);
      // Mixed so that neighbouring pixels differ in every channel.
      for (int x = 0; x < kWidth; ++x) row[x] = static_cast<std::uint16_t>((y * kWidth + x) * 40503u);
    }
    ASSERT_TRUE(presenter->Present(frame));

    std::vector<std::uint32_t> expected(kWidth * kHeight), shown(kWidth * kHeight);
    ASSERT_EQ(SDL_ConvertPixels(kWidth, kHeight, SDL_PIXELFORMAT_RGB565, frame->pixels, frame->pitch,
                                SDL_PIXELFORMAT_RGB888, expected.data(), kWidth * 4), 0);
    ASSERT_EQ(SDL_RenderReadPixels(SDL_GetRenderer(window), nullptr, SDL_PIXELFORMAT_RGB888, shown.data(), kWidth * 4),
              0)
        << SDL_GetError();
    EXPECT_EQ(shown, expected);
    SDL_FreeSurface(frame);
  }
  SDL_DestroyWindow(window);
  SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

// On a window presenting through its framebuffer, upright or turned: the frame scaled
// up between black bars, each window pixel the frame pixel it falls on, of later
// frames only the parts that changed handed to the window, and the placement that
// turns touches back finding a frame pixel where it shows.
TEST(Presenter, OnTheFramebufferScalesTheFrameAndHandsOnOnlyWhatChanged) {
  constexpr int kFrameWidth = 64, kFrameHeight = 48;    // pixels
  constexpr int kWindowWidth = 200, kWindowHeight = 90;  // pixels, upright: 120 x 90 of picture between bars
  SelectHeadlessVideoDriver();
  ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_VIDEO), 0) << SDL_GetError();
  for (const int rotation : {0, 90, 180, 270}) {
    SCOPED_TRACE(rotation);
    const bool quarter = rotation % 180 != 0;
    const int width = quarter ? kWindowHeight : kWindowWidth, height = quarter ? kWindowWidth : kWindowHeight;
    SDL_Window* window = SDL_CreateWindow("presenter", 0, 0, width, height, SDL_WINDOW_HIDDEN);
    ASSERT_NE(window, nullptr) << SDL_GetError();
    MarkFramebufferWindow(window);
    std::unique_ptr<Presenter> presenter = Presenter::Create(window, nullptr);
    ASSERT_NE(presenter, nullptr);
    ASSERT_TRUE(presenter->OnFramebuffer());
    presenter->SetRotation(rotation);
    ASSERT_TRUE(presenter->CreateFrameTexture(kFrameWidth, kFrameHeight));
    SDL_Surface* frame = SDL_CreateRGBSurfaceWithFormat(0, kFrameWidth, kFrameHeight, 16, SDL_PIXELFORMAT_RGB565);
    ASSERT_NE(frame, nullptr);
    const auto pixel = [&](int x, int y) -> std::uint16_t& {
      return reinterpret_cast<std::uint16_t*>(static_cast<std::uint8_t*>(frame->pixels) + y * frame->pitch)[x];
    };
    for (int y = 0; y < kFrameHeight; ++y) {
      for (int x = 0; x < kFrameWidth; ++x) pixel(x, y) = static_cast<std::uint16_t>((y * kFrameWidth + x) * 40503u);
    }
    // The window's pixel at a point of the upright window.
    const ScreenPlacement turn = FitPicture(width, height, rotation, kWindowWidth, kWindowHeight);
    const auto onWindow = [&](PlanePoint output) {
      const SDL_Surface* surface = SDL_GetWindowSurface(window);
      return reinterpret_cast<const Uint32*>(static_cast<const std::uint8_t*>(surface->pixels) +
                                             static_cast<int>(output.y) * surface->pitch)[static_cast<int>(output.x)] & 0x00FFFFFFu;
    };
    const auto asShown = [&](std::uint16_t source) {
      Uint32 wanted = 0;
      SDL_ConvertPixels(1, 1, SDL_PIXELFORMAT_RGB565, &source, 2, SDL_GetWindowSurface(window)->format->format, &wanted, 4);
      return wanted & 0x00FFFFFFu;
    };
    // Every window pixel against the frame pixel it shows.
    const auto checkShown = [&] {
      const Letterbox box = LetterboxOn(kFrameWidth, kFrameHeight, kWindowWidth, kWindowHeight);
      EXPECT_EQ(box.width, 120);
      EXPECT_EQ(box.left, 40);
      for (int y = 0; y < kWindowHeight; ++y) {
        for (int x = 0; x < kWindowWidth; ++x) {
          const bool inside = x >= box.left && x < box.left + box.width && y >= box.top && y < box.top + box.height;
          const Uint32 wanted = inside ? asShown(pixel(box.FrameColumn(x - box.left), box.FrameRow(y - box.top))) : 0;
          ASSERT_EQ(onWindow(turn.ToOutput({x + 0.5, y + 0.5})), wanted) << x << ", " << y;
        }
      }
    };
    ASSERT_TRUE(presenter->Present(frame));
    EXPECT_EQ(presenter->ShownBytes(), static_cast<std::size_t>(kWindowWidth) * kWindowHeight * 4) << "the first is whole";
    checkShown();
    ASSERT_TRUE(presenter->Present(frame));
    EXPECT_EQ(presenter->ShownBytes(), 0u) << "nothing changed";
    pixel(40, 30) = static_cast<std::uint16_t>(~pixel(40, 30));
    ASSERT_TRUE(presenter->Present(frame));
    EXPECT_GT(presenter->ShownBytes(), 0u);
    EXPECT_LE(presenter->ShownBytes(), 30u * 30u * 4u) << "one changed part, scaled";
    checkShown();
    EXPECT_EQ(onWindow(presenter->Placement().ToOutput({40.5, 30.5})), asShown(pixel(40, 30)));
    SDL_FreeSurface(frame);
    presenter.reset();
    SDL_DestroyWindow(window);
  }
  SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

}  // namespace
}  // namespace velmora
