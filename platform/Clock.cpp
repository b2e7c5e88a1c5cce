#include "platform/Clock.h"

#include <chrono>
#include <thread>

namespace velmora {

std::uint32_t SystemClock::TickCount() {
  const auto now = std::chrono::steady_clock::now().time_since_epoch();
  return static_cast<std::uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
}

void SystemClock::Sleep(std::uint32_t milliseconds) {
  std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

long double CurrentMinutes(Clock& clock) {
  return static_cast<long double>(clock.TickCount()) * 0.001L * (1.0L / 60.0L);
}

}  // namespace velmora
