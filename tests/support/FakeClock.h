#pragma once
// A clock for tests: time moves when the test moves it, when the code under test
// sleeps (to the target, for a sleep until a tick), and by 1 ms once the same tick has
// been read `readsPerMs` times in a row, as a loop polling a real millisecond tick
// sees it (so such a loop always ends).

#include <cstdint>

#include "platform/Clock.h"

namespace velmora::testing {

class FakeClock final : public Clock {
public:
  explicit FakeClock(std::uint32_t startMs = 0, int readingsPerMs = 50)
      : nowMs(startMs), readsPerMs(readingsPerMs) {}

  std::uint32_t TickCount() override {
    if (nowMs != lastReadMs) {
      lastReadMs = nowMs;
      readsAtThisMs = 0;
    }
    if (++readsAtThisMs > readsPerMs) {
      ++nowMs;  // wraps like the real tick
      lastReadMs = nowMs;
      readsAtThisMs = 1;
    }
    return nowMs;
  }
  void Sleep(std::uint32_t milliseconds) override {
    nowMs += milliseconds;
    sleptMs += milliseconds;
    ++sleeps;
  }
  void SleepUntil(std::uint32_t targetTick) override {
    const auto leftMs = static_cast<std::int32_t>(targetTick - nowMs);
    if (leftMs > 0) Sleep(static_cast<std::uint32_t>(leftMs));
  }

  std::uint32_t nowMs;
  int readsPerMs;
  std::uint64_t sleptMs = 0;
  int sleeps = 0;

private:
  std::uint32_t lastReadMs = 0;
  int readsAtThisMs = 0;
};

}  // namespace velmora::testing
