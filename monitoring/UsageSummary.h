#pragma once
// What the usage store tells the status server: today's interactions by hour and
// how long the exhibit has gone without a visitor, including what is not yet written.

#include <array>
#include <cstdint>
#include <string>

namespace velmora::monitoring {

inline constexpr std::size_t kHoursPerDay = 24;

struct UsageSummary {
  bool recording = false;                                // events go to a database file (perhaps waiting for it)
  std::string databasePath;                              // empty when not recording
  std::string problem;                                   // the last trouble with the database, if any
  std::array<std::uint32_t, kHoursPerDay> todayByHour{}; // interactions by local hour of today
  std::int64_t lastInteractionUnixMs = 0;                // 0: none known, ms since 1970 (UTC)
  // Days (local dates) since the last interaction, before today, on which the
  // exhibit ran for at least an hour: the days the museum was open but nobody played.
  std::int32_t idleOpeningDays = 0;
  std::uint64_t eventsDropped = 0;                       // interactions and resets lost: the intake was full,
                                                         // or they waited for the file too long
  std::uint64_t eventsWaiting = 0;                       // interactions and resets not yet in the file
  std::int64_t lastWriteUnixMs = 0;                      // the last batch the file took; 0: none in this run
};

class UsageSummarySource {
public:
  virtual ~UsageSummarySource() = default;
  virtual UsageSummary Summary() const = 0;
};

}  // namespace velmora::monitoring
