// Frames presented with a wait for the vertical blank: the pacing rule's smoothed flip
// time takes the wait in, so a 50 Hz screen shows every frame for one refresh and a
// 100 Hz one for two, while a 60 Hz screen shows frames for one refresh or two at a
// mean near 20 ms.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "shell/Exhibit.h"
#include "shell/FrameCycle.h"
#include "tests/support/FakeClock.h"
#include "tests/support/FakeFrameDisplay.h"
#include "tests/support/RecordingMessageBoxes.h"

namespace velmora {
namespace {

constexpr int kSettlingFrames = 1500;  // the flip-time estimate moves by 1 % a frame
constexpr int kMeasuredFrames = 1000;

// A display whose flip returns at the screen's next vertical blank.
class VsyncDisplay final : public FrameDisplay {
public:
  VsyncDisplay(testing::FakeClock& fakeClock, double refreshHz) : clock(fakeClock), periodUs(1e6 / refreshHz) {}
  DisplayResult BlitBackground() override { return DisplayResult::Ok; }
  DisplayResult BlitSomaCell(int, int, const SourceRect&) override { return DisplayResult::Ok; }
  TextDeviceContext* GetBackBufferDC() override { return &context; }
  void ReleaseBackBufferDC(TextDeviceContext*) override {}
  DisplayResult FlipBuffers() override {
    // The clock's tick is whole ms; the last blank keeps the time within it.
    const double nowUs = std::max(clock.nowMs * 1000.0, blanksUs.empty() ? 0.0 : blanksUs.back() + 1.0);
    blanksUs.push_back(std::ceil(nowUs / periodUs) * periodUs);
    clock.nowMs = static_cast<std::uint32_t>(blanksUs.back() / 1000.0);
    return DisplayResult::Ok;
  }
  DisplayResult RestoreSurfaces() override { return DisplayResult::Ok; }
  void SelectBackground(Background) override {}
  void Release() override {}

  testing::FakeClock& clock;
  const double periodUs;
  std::vector<double> blanksUs;  // when each frame came on the screen
  testing::FakeTextContext context;
};

TEST(VsyncPacing, TheSmoothedFlipTimeTakesInTheWaitForTheVerticalBlank) {
  const struct {
    double refreshHz;
    int fewestRefreshes, mostRefreshes;  // a frame shows for this many refreshes
    double meanLowMs, meanHighMs;
  } screens[] = {{50.0, 1, 1, 20.0, 20.0}, {100.0, 2, 2, 20.0, 20.0}, {60.0, 1, 2, 20.0, 20.7}};
  for (const auto& screen : screens) {
    SCOPED_TRACE(screen.refreshHz);
    testing::FakeClock clock(100000);
    testing::RecordingMessageBoxes boxes;
    VsyncDisplay display(clock, screen.refreshHz);
    Exhibit exhibit(ExhibitOptions{}, clock, boxes, display);
    exhibit.ResetToDefaults();
    for (int frame = 0; frame < kSettlingFrames + kMeasuredFrames; ++frame) RunFrame(exhibit, Pacing::Sleep);
    ASSERT_EQ(display.blanksUs.size(), static_cast<std::size_t>(kSettlingFrames + kMeasuredFrames));
    const std::vector<double> measured(display.blanksUs.end() - kMeasuredFrames, display.blanksUs.end());
    for (std::size_t i = 1; i < measured.size(); ++i) {
      const double refreshes = (measured[i] - measured[i - 1]) / display.periodUs;
      EXPECT_GE(refreshes, screen.fewestRefreshes - 0.01);
      EXPECT_LE(refreshes, screen.mostRefreshes + 0.01);
    }
    const double meanMs = (measured.back() - measured.front()) / (measured.size() - 1) / 1000.0;
    EXPECT_GE(meanMs, screen.meanLowMs - 0.01);
    EXPECT_LE(meanMs, screen.meanHighMs + 0.01);
  }
}

}  // namespace
}  // namespace velmora
