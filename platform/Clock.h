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
  // Waits until the tick reaches `targetTick`, and no longer than it must: the tick
  // reads at least `targetTick` on return. Compared across the wrap: a target up to
  // 2^31 ms behind the tick counts as reached. Unless a clock knows better, it sleeps
  // what is left in whole milliseconds until the tick reads the target.
  virtual void SleepUntil(std::uint32_t targetTick);
};

// The monotonic system clock.
class SystemClock final : public Clock {
public:
  std::uint32_t TickCount() override;
  void Sleep(std::uint32_t milliseconds) override;
  // One sleep to the very moment the tick turns to the target: an absolute deadline
  // on the tick's own clock cannot overshoot by the time spent before the call, nor
  // return early because a relative wait started in the middle of a millisecond.
  void SleepUntil(std::uint32_t targetTick) override;
};

// The tick counted on past its wrap: milliseconds in 64 bits, starting at the first
// reading's tick, so that moments kept for longer than 49.7 days still compare right.
// It must be read at least once in every 2^32 ms (the frame loop reads it every frame),
// or a whole wrap would pass unseen.
class UnwrappedClock {
public:
  explicit UnwrappedClock(Clock& clock) : clock_(clock), lastMs_(clock.TickCount()) {}
  std::uint64_t NowMs() {
    // The unsigned difference is the time since the last reading, across a wrap too.
    lastMs_ += static_cast<std::uint32_t>(clock_.TickCount() - static_cast<std::uint32_t>(lastMs_));
    return lastMs_;
  }

private:
  Clock& clock_;
  std::uint64_t lastMs_;  // ms: the last reading, unwrapped
};

// The clock's tick in minutes, computed in extended precision; callers store it as float.
long double CurrentMinutes(Clock& clock);

}  // namespace velmora
