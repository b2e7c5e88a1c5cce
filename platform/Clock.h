#pragma once
// The one time base of the shell: a millisecond tick, monotonic, unsigned 32-bit so
// that it wraps like the system tick count it stands for (about every 49.7 days).
// Whoever needs the time is handed a Clock; tests hand in fakes.

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
class SystemClock final : public Clock {
public:
  std::uint32_t TickCount() override;
  void Sleep(std::uint32_t milliseconds) override;
};

// The clock's tick in minutes, computed in extended precision; callers store it as float.
long double CurrentMinutes(Clock& clock);

}  // namespace velmora
