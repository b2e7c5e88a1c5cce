// The panel's poll timer keeps its period although its ticks are only noticed between
// frames.

#include "platform/PeriodicTimer.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

namespace velmora {
namespace {

constexpr std::uint32_t kIntervalMs = 100;
constexpr std::uint32_t kFrameMs = 20;

// The ticks' times when the timer is looked at once per frame, each frame boundary
// up to `jitterMs` late.
std::vector<std::uint32_t> TicksAtFrameBoundaries(std::uint32_t startMs, std::uint32_t jitterMs, int frames) {
  PeriodicTimer timer;
  timer.Start(kIntervalMs, startMs);
  std::mt19937 random(7);
  std::uniform_int_distribution<std::uint32_t> jitter(0, jitterMs);
  std::vector<std::uint32_t> ticks;
  for (int frame = 1; frame <= frames; ++frame) {
    const std::uint32_t now = startMs + static_cast<std::uint32_t>(frame) * kFrameMs + jitter(random);
    std::uint32_t waitMs = kIntervalMs;
    if (timer.Due(now, waitMs)) ticks.push_back(now);
  }
  return ticks;
}

TEST(PeriodicTimerTest, TicksNoticedBetweenFramesComeEvery100MsOnAverageAndNoneLaterThan130) {
  const struct {
    std::uint32_t startMs;
    std::uint32_t jitterMs;
  } cases[] = {{0, 0}, {0, 7}, {0xFFFF'0000u, 7}};  // the last across the tick's wrap
  constexpr int kFrames = 50'000;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.startMs);
    const std::vector<std::uint32_t> ticks = TicksAtFrameBoundaries(c.startMs, c.jitterMs, kFrames);
    ASSERT_GT(ticks.size(), 2u);
    std::uint32_t longestMs = 0;
    for (std::size_t i = 1; i < ticks.size(); ++i) longestMs = std::max(longestMs, ticks[i] - ticks[i - 1]);
    const double meanMs = static_cast<double>(ticks.back() - ticks.front()) / static_cast<double>(ticks.size() - 1);
    EXPECT_NEAR(meanMs, 100.0, 0.1);
    EXPECT_LE(longestMs, 130u);
  }
}

TEST(PeriodicTimerTest, AStallGivesOneTickThenThePeriodGoesOnAndTheWaitIsTheTimeLeft) {
  PeriodicTimer timer;
  timer.Start(kIntervalMs, 1000);
  std::uint32_t waitMs = 1000;
  EXPECT_FALSE(timer.Due(1030, waitMs));
  EXPECT_EQ(waitMs, 70u);
  EXPECT_TRUE(timer.Due(1950, waitMs));  // nine due times passed
  EXPECT_FALSE(timer.Due(1951, waitMs));
  EXPECT_EQ(waitMs, 49u);  // the next due time keeps the grid: 2000
  EXPECT_TRUE(timer.Due(2000, waitMs));
}

}  // namespace
}  // namespace velmora
