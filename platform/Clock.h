#pragma once
// The one time base of the shell: a millisecond tick, monotonic, unsigned 32-bit so
// that it wraps like the system tick count it stands for (about every 49.7 days).

#include <cstdint>

namespace velmora {

class Clock {
public:
  virtual ~Clock() = default;
  virtual std::uint32_t TickCount() = 0;      // ms
  // Waits about `milliseconds`; used only by the frame pacing's coarse part.
  virtual void Sleep(std::uint32_t milliseconds) = 0;
};

// The monotonic system clock.
Clock& SystemClock();

// The clock the shell reads; the system clock unless a test installs a fake.
Clock& ActiveClock();
void SetActiveClock(Clock* clock);  // null restores the system clock

// The tick in minutes, computed in extended precision; callers store it as float.
long double CurrentMinutes();

}  // namespace velmora
