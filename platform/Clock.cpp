#include "platform/Clock.h"

#include <chrono>
#include <thread>

namespace velmora {
namespace {

class MonotonicClock final : public Clock {
public:
  std::uint32_t TickCount() override {
    const auto now = std::chrono::steady_clock::now().time_since_epoch();
    return static_cast<std::uint32_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
  }
  void Sleep(std::uint32_t milliseconds) override {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
  }
};

Clock* activeClock = nullptr;

}  // namespace

Clock& SystemClock() {
  static MonotonicClock clock;
  return clock;
}

Clock& ActiveClock() { return activeClock != nullptr ? *activeClock : SystemClock(); }

void SetActiveClock(Clock* clock) { activeClock = clock; }

long double CurrentMinutes() {
  return static_cast<long double>(ActiveClock().TickCount()) * 0.001L * (1.0L / 60.0L);
}

}  // namespace velmora
