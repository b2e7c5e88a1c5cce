// The system clock's sleep until a tick: it ends once the tick has reached the target,
// and a target behind the tick, also across the wrap, is reached already.

#include "platform/Clock.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace velmora {
namespace {

TEST(ClockTest, SleepUntilATickEndsWithTheTickAtOrPastItAndATargetBehindIsReached) {
  SystemClock systemClock;
  Clock& clock = systemClock;
  for (const std::uint32_t aheadMs : {1u, 2u, 7u, 20u}) {
    const std::uint32_t target = clock.TickCount() + aheadMs;
    clock.SleepUntil(target);
    EXPECT_GE(static_cast<std::int32_t>(clock.TickCount() - target), 0) << aheadMs;
  }
  const std::uint32_t start = clock.TickCount();
  for (const std::uint32_t behindMs : {0u, 1u, 1000u, 0x7FFF'FFFFu}) {
    clock.SleepUntil(start - behindMs);
    EXPECT_LT(clock.TickCount() - start, 1000u) << behindMs << " ms behind was waited for";
  }
}

}  // namespace
}  // namespace velmora
