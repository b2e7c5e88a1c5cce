// Presenting a frame on SDL's software renderer: the screen shows each RGB565 pixel
// as SDL itself converts it, whichever way the presenter gets it there.

#include <gtest/gtest.h>

#include <cmath>
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

std::uint16_t& FramePixel(SDL_Surface& frame, int x, int y) {
  return reinterpret_cast<std::uint16_t*>(static_cast<std::uint8_t*>(frame.pixels) + y * frame.pitch)[x];
}

// An RGB565 frame whose neighbouring pixels differ in every channel; null on failure.
SDL_Surface* MixedFrame(int width, int height) {
  SDL_Surface* frame = SDL_CreateRGBSurfaceWithFormat(0, width, height, 16, SDL_PIXELFORMAT_RGB565);
  if (frame == nullptr) return nullptr;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) FramePixel(*frame, x, y) = static_cast<std::uint16_t>((y * width + x) * 40503u);
  }
  return frame;
}

// On a window presenting through its framebuffer: the frame scaled up between black
// bars, each window pixel the frame pixel it falls on, and of later frames only the
// parts that changed handed to the window.
TEST(Presenter, OnTheFramebufferScalesTheFrameAndHandsOnOnlyWhatChanged) {
  constexpr int kFrameWidth = 64, kFrameHeight = 48;    // pixels
  constexpr int kWindowWidth = 200, kWindowHeight = 90;  // pixels: 120 x 90 of picture between bars
  SelectHeadlessVideoDriver();
  ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_VIDEO), 0) << SDL_GetError();
  SDL_Window* window = SDL_CreateWindow("presenter", 0, 0, kWindowWidth, kWindowHeight, SDL_WINDOW_HIDDEN);
  ASSERT_NE(window, nullptr) << SDL_GetError();
  MarkFramebufferWindow(window);
  {
    std::unique_ptr<Presenter> presenter = Presenter::Create(window, nullptr);
    ASSERT_NE(presenter, nullptr);
    ASSERT_TRUE(presenter->OnFramebuffer());
    ASSERT_TRUE(presenter->CreateFrameTexture(kFrameWidth, kFrameHeight));
    SDL_Surface* frame = MixedFrame(kFrameWidth, kFrameHeight);
    ASSERT_NE(frame, nullptr);
    const auto pixel = [&](int x, int y) -> std::uint16_t& { return FramePixel(*frame, x, y); };
    // Every window pixel against the frame pixel it shows.
    const auto checkShown = [&] {
      SDL_Surface* surface = SDL_GetWindowSurface(window);
      ASSERT_NE(surface, nullptr);
      const Letterbox box = LetterboxOn(kFrameWidth, kFrameHeight, kWindowWidth, kWindowHeight);
      EXPECT_EQ(box.width, 120);
      EXPECT_EQ(box.left, 40);
      for (int y = 0; y < kWindowHeight; ++y) {
        for (int x = 0; x < kWindowWidth; ++x) {
          const bool inside = x >= box.left && x < box.left + box.width && y >= box.top && y < box.top + box.height;
          Uint32 wanted = 0;
          if (inside) {
            const std::uint16_t source = pixel(box.FrameColumn(x - box.left), box.FrameRow(y - box.top));
            ASSERT_EQ(SDL_ConvertPixels(1, 1, SDL_PIXELFORMAT_RGB565, &source, 2, surface->format->format, &wanted, 4), 0);
          }
          const Uint32 shown = reinterpret_cast<const Uint32*>(static_cast<const std::uint8_t*>(surface->pixels) + y * surface->pitch)[x];
          ASSERT_EQ(shown & 0x00FFFFFFu, wanted & 0x00FFFFFFu) << x << ", " << y;
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
    SDL_FreeSurface(frame);
  }
  SDL_DestroyWindow(window);
  SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

// A screen mounted turned, through the framebuffer: every window pixel shows the frame
// pixel that the presenter's placement (which turns touches back) says lies there, the
// bars are black, and a change hands on only its own turned part.
TEST(Presenter, OnATurnedScreenTheFramebufferShowsTheFrameWhereItsPlacementPutsIt) {
  constexpr int kFrameWidth = 64, kFrameHeight = 48;   // pixels
  constexpr int kLong = 256, kShort = 144;              // the window's sides: three window pixels a frame pixel
  SelectHeadlessVideoDriver();
  ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_VIDEO), 0) << SDL_GetError();
  for (const int rotation : {0, 90, 180, 270}) {
    SCOPED_TRACE(rotation);
    const int width = rotation % 180 == 0 ? kLong : kShort, height = rotation % 180 == 0 ? kShort : kLong;
    SDL_Window* window = SDL_CreateWindow("presenter", 0, 0, width, height, SDL_WINDOW_HIDDEN);
    ASSERT_NE(window, nullptr) << SDL_GetError();
    MarkFramebufferWindow(window);
    {
      std::unique_ptr<Presenter> presenter = Presenter::Create(window, nullptr);
      ASSERT_NE(presenter, nullptr);
      presenter->SetRotation(rotation);
      ASSERT_TRUE(presenter->CreateFrameTexture(kFrameWidth, kFrameHeight));
      SDL_Surface* frame = MixedFrame(kFrameWidth, kFrameHeight);
      ASSERT_NE(frame, nullptr);
      const auto pixel = [&](int x, int y) -> std::uint16_t& { return FramePixel(*frame, x, y); };
      const auto checkShown = [&] {
        const ScreenPlacement placement = presenter->Placement();
        ASSERT_EQ(placement.scale, 3.0);
        SDL_Surface* surface = SDL_GetWindowSurface(window);
        int inside = 0;
        for (int y = 0; y < height; ++y) {
          for (int x = 0; x < width; ++x) {
            const PlanePoint at = placement.ToPicture({x + 0.5, y + 0.5});
            const int fx = static_cast<int>(std::floor(at.x)), fy = static_cast<int>(std::floor(at.y));
            Uint32 wanted = 0;
            if (fx >= 0 && fy >= 0 && fx < kFrameWidth && fy < kFrameHeight) {
              ++inside;
              ASSERT_EQ(SDL_ConvertPixels(1, 1, SDL_PIXELFORMAT_RGB565, &pixel(fx, fy), 2, surface->format->format, &wanted, 4), 0);
            }
            const Uint32 shown = reinterpret_cast<const Uint32*>(static_cast<const std::uint8_t*>(surface->pixels) + y * surface->pitch)[x];
            ASSERT_EQ(shown & 0x00FFFFFFu, wanted & 0x00FFFFFFu) << x << ", " << y;
          }
        }
        EXPECT_EQ(inside, kFrameWidth * kFrameHeight * 9);
      };
      ASSERT_TRUE(presenter->Present(frame));
      checkShown();
      pixel(40, 30) = static_cast<std::uint16_t>(~pixel(40, 30));
      ASSERT_TRUE(presenter->Present(frame));
      EXPECT_EQ(presenter->ShownBytes(), 48u * 48u * 4u) << "one 16 x 16 tile, scaled";
      checkShown();
      SDL_FreeSurface(frame);
    }
    SDL_DestroyWindow(window);
  }
  SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

}  // namespace
}  // namespace velmora
