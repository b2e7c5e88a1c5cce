// How late the system clock's sleep until a tick wakes: sleeps to a tick 1 to 20 ms
// ahead (as the frame wait does), each measured from the moment the tick turned to the
// target to the moment the sleep returned. Prints the mean, median, 99th percentile
// and largest lateness, and for comparison the same for a relative sleep of the
// milliseconds left, which wakes mid-millisecond and so counts from its own target.
//
//   velmora_sleep_lateness [SLEEPS]      (default 2000)

#include <time.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <numeric>
#include <thread>
#include <vector>

#include "platform/Clock.h"

namespace {

constexpr std::uint64_t kNanosecondsPerMs = 1'000'000;
constexpr std::uint32_t kLongestAheadMs = 20;  // one frame

std::uint64_t MonotonicNs() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<std::uint64_t>(now.tv_sec) * 1'000'000'000u + static_cast<std::uint64_t>(now.tv_nsec);
}

struct Figures {
  double meanUs;
  double medianUs;
  double p99Us;
  double maxUs;
  int early;  // returns before the target moment
};

Figures Summarise(std::vector<std::int64_t> latenessNs) {
  std::sort(latenessNs.begin(), latenessNs.end());
  const double sum = std::accumulate(latenessNs.begin(), latenessNs.end(), 0.0);
  const auto median = latenessNs[latenessNs.size() / 2];
  const auto p99 = latenessNs[latenessNs.size() * 99 / 100];
  const int early = static_cast<int>(std::count_if(latenessNs.begin(), latenessNs.end(), [](auto ns) { return ns < 0; }));
  return {sum / static_cast<double>(latenessNs.size()) / 1000.0, static_cast<double>(median) / 1000.0,
          static_cast<double>(p99) / 1000.0, static_cast<double>(latenessNs.back()) / 1000.0, early};
}

// Each sleep's lateness (ns) behind the start of the target tick.
std::vector<std::int64_t> SleepsUntilATick(int count) {
  velmora::SystemClock clock;
  std::vector<std::int64_t> lateness;
  for (int i = 0; i < count; ++i) {
    const std::uint64_t targetMs = MonotonicNs() / kNanosecondsPerMs + 1 + static_cast<std::uint32_t>(i) % kLongestAheadMs;
    clock.SleepUntil(static_cast<std::uint32_t>(targetMs));
    lateness.push_back(static_cast<std::int64_t>(MonotonicNs() - targetMs * kNanosecondsPerMs));
  }
  return lateness;
}

// Each relative sleep's lateness (ns) behind its own end (start plus the time asked).
std::vector<std::int64_t> RelativeSleeps(int count) {
  velmora::SystemClock clock;
  std::vector<std::int64_t> lateness;
  for (int i = 0; i < count; ++i) {
    const std::uint32_t aheadMs = 1 + static_cast<std::uint32_t>(i) % kLongestAheadMs;
    const std::uint64_t start = MonotonicNs();
    clock.Sleep(aheadMs);
    lateness.push_back(static_cast<std::int64_t>(MonotonicNs() - start - aheadMs * kNanosecondsPerMs));
  }
  return lateness;
}

void Print(const char* what, const Figures& f) {
  std::printf("%-42s mean %7.1f us  median %6.1f us  p99 %7.1f us  max %8.1f us  early %d\n", what, f.meanUs,
              f.medianUs, f.p99Us, f.maxUs, f.early);
}

}  // namespace

int main(int argc, char** argv) {
  const int count = argc > 1 ? std::max(100, std::atoi(argv[1])) : 2000;
  std::printf("%d sleeps of 1..%u ms each\n", count, kLongestAheadMs);
  // A thread of its own for the relative sleeps, so it keeps the default timer slack.
  std::vector<std::int64_t> relative;
  std::thread([&] { relative = RelativeSleeps(count); }).join();
  Print("relative sleep, default timer slack", Summarise(relative));
  Print("sleep until a tick (absolute, slack 1 ns)", Summarise(SleepsUntilATick(count)));
}
