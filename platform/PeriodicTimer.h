#pragma once
// A timer that keeps its period: each tick falls due one interval after the last was
// due, not after the moment it was noticed, so ticks that are only looked for between
// frames still come at the interval on average. After a stall of more than an
// interval it fires once and goes on with the next due time, rather than firing every
// missed tick in a burst.

#include <algorithm>
#include <cstdint>

namespace velmora {

class PeriodicTimer {
public:
  // The first tick falls due one interval after `nowMs`; an interval of 0 stops it.
  void Start(std::uint32_t intervalMs, std::uint32_t nowMs) {
    intervalMs_ = intervalMs;
    dueMs_ = nowMs + intervalMs;
  }

  // True when a tick is due at `nowMs`; otherwise lowers `waitMs` to the time left
  // until the next one. Ticks wrap with the 32-bit millisecond tick.
  bool Due(std::uint32_t nowMs, std::uint32_t& waitMs) {
    if (intervalMs_ == 0) return false;
    const auto lateMs = static_cast<std::int32_t>(nowMs - dueMs_);
    if (lateMs < 0) {
      waitMs = std::min(waitMs, static_cast<std::uint32_t>(-static_cast<std::int64_t>(lateMs)));
      return false;
    }
    const std::uint32_t missed = static_cast<std::uint32_t>(lateMs) / intervalMs_;
    dueMs_ += (missed + 1) * intervalMs_;
    return true;
  }

private:
  std::uint32_t intervalMs_ = 0;  // 0: stopped
  std::uint32_t dueMs_ = 0;       // tick (ms) the next tick falls due at
};

}  // namespace velmora
