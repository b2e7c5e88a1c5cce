// Choosing the display mode of a refresh rate at the screen's size, and what is said
// when the screen has none.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/Presenter.h"

namespace velmora {
namespace {

SDL_DisplayMode Mode(int width, int height, int refreshHz) {
  return SDL_DisplayMode{SDL_PIXELFORMAT_RGB888, width, height, refreshHz, nullptr};
}

TEST(RefreshMode, TheModeOfTheRateAtTheSizeOrWhatTheScreenOffersThere) {
  const std::vector<SDL_DisplayMode> modes = {Mode(1920, 1080, 60), Mode(1920, 1080, 75), Mode(1280, 720, 100),
                                              Mode(1920, 1080, 50), Mode(3840, 2160, 30), Mode(1920, 1080, 60)};
  const struct {
    int width, height, refreshHz;
    bool found;
    const char* said;
  } cases[] = {
      {1920, 1080, 50, true, ""},
      {1920, 1080, 100, false, "no 100 Hz mode at 1920 x 1080 (only 50, 60 and 75 Hz)"},
      {3840, 2160, 60, false, "(only 30 Hz)"},
      {2560, 1440, 50, false, "(it names no refresh rate there)"},
  };
  for (const auto& c : cases) {
    const RefreshModeChoice choice = ChooseRefreshMode(modes, c.width, c.height, c.refreshHz);
    EXPECT_EQ(choice.found, c.found) << c.refreshHz;
    if (c.found) {
      EXPECT_EQ(choice.mode.w, c.width);
      EXPECT_EQ(choice.mode.h, c.height);
      EXPECT_EQ(choice.mode.refresh_rate, c.refreshHz);
    } else {
      EXPECT_NE(choice.message.find(c.said), std::string::npos) << choice.message;
    }
  }
}

}  // namespace
}  // namespace velmora
