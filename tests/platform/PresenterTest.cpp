// Presenting a frame on SDL's software renderer: the screen shows each RGB565 pixel
// as SDL itself converts it, whichever way the presenter gets it there.

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/Presenter.h"

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

}  // namespace
}  // namespace velmora
