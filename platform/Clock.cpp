#include "platform/Clock.h"

#include <sys/prctl.h>
#include <time.h>

#include <cerrno>
#include <chrono>
#include <thread>

namespace velmora {
namespace {

constexpr std::uint64_t kNanosecondsPerMs = 1'000'000;
constexpr std::uint64_t kNanosecondsPerSecond = 1'000'000'000;
// How late the kernel may end a sleep of this thread to merge wake-ups (ns): the
// least there is, since 0 restores the default of 50 us.
constexpr unsigned long kTimerSlackNs = 1;

// Nanoseconds on CLOCK_MONOTONIC, the clock the tick counts and sleeps end on.
std::uint64_t MonotonicNanoseconds() {
  timespec now{};
  ::clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<std::uint64_t>(now.tv_sec) * kNanosecondsPerSecond + static_cast<std::uint64_t>(now.tv_nsec);
}

}  // namespace

void Clock::SleepUntil(std::uint32_t targetTick) {
  for (;;) {
    const auto leftMs = static_cast<std::int32_t>(targetTick - TickCount());
    if (leftMs <= 0) return;
    Sleep(static_cast<std::uint32_t>(leftMs));
  }
}

std::uint32_t SystemClock::TickCount() {
  return static_cast<std::uint32_t>(MonotonicNanoseconds() / kNanosecondsPerMs);
}

void SystemClock::Sleep(std::uint32_t milliseconds) {
  std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

void SystemClock::SleepUntil(std::uint32_t targetTick) {
  // The slack belongs to the calling thread, so each thread lowers its own, once.
  [[maybe_unused]] thread_local const bool slackLowered = ::prctl(PR_SET_TIMERSLACK, kTimerSlackNs) == 0;
  const std::uint64_t nowMs = MonotonicNanoseconds() / kNanosecondsPerMs;
  const auto leftMs = static_cast<std::int32_t>(targetTick - static_cast<std::uint32_t>(nowMs));
  if (leftMs <= 0) return;
  const std::uint64_t deadlineNs = (nowMs + static_cast<std::uint64_t>(leftMs)) * kNanosecondsPerMs;
  timespec deadline{};
  deadline.tv_sec = static_cast<time_t>(deadlineNs / kNanosecondsPerSecond);
  deadline.tv_nsec = static_cast<long>(deadlineNs % kNanosecondsPerSecond);
  while (::clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &deadline, nullptr) == EINTR) {
  }
}

long double CurrentMinutes(Clock& clock) {
  return static_cast<long double>(clock.TickCount()) * 0.001L * (1.0L / 60.0L);
}

}  // namespace velmora
