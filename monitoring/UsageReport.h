#pragma once
// The curator's view of the usage statistics: per day and per hour, visits, resets,
// uptime and crashes over a range of local dates, as a table or as CSV.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "monitoring/UsageDatabase.h"
#include "monitoring/UsageSummary.h"

namespace velmora::monitoring {

// Interactions less than this far apart belong to one visit.
inline constexpr std::int64_t kVisitGapMs = 60'000;
// The newest run, without an end, seen this recently is still running rather than
// crashed: the store writes at least once a minute.
inline constexpr std::int64_t kLiveRunMs = 3 * 60'000;

struct DayUsage {
  std::string date;                                      // "YYYY-MM-DD", or "total"
  std::uint64_t interactions = 0;
  std::array<std::uint64_t, kInteractionSources> bySource{};
  std::array<std::uint64_t, kHoursPerDay> byHour{};      // local hours
  std::uint64_t visits = 0;                              // counted on the day they began
  std::int64_t visitMs = 0;                              // their lengths added up
  std::array<std::uint64_t, kResetCauses> resets{};
  std::int64_t uptimeMs = 0;
  std::uint64_t runs = 0;                                // started on the day
  std::uint64_t crashes = 0;                             // runs that ended on the day without an end row

  double MeanVisitSeconds() const { return visits > 0 ? static_cast<double>(visitMs) / 1000.0 / static_cast<double>(visits) : 0.0; }
};

struct UsageReport {
  std::string from;  // first date, "YYYY-MM-DD"
  std::string to;    // last date, included
  std::vector<DayUsage> days;
  DayUsage total;
};

// The report for the local days from `fromDayStartMs` up to, not including,
// `toDayStartMs`; `nowMs` tells running runs from crashed ones and ends uptime.
UsageReport BuildUsageReport(std::int64_t fromDayStartMs, std::int64_t toDayStartMs, std::int64_t nowMs,
                             const std::vector<InteractionRecord>& interactions,
                             const std::vector<ResetRecord>& resets, const std::vector<RunRecord>& runs);

std::string FormatUsageTable(const UsageReport& report);
// One row per day, every figure in a column of its own (hours as h00 .. h23).
std::string FormatUsageCsv(const UsageReport& report);

}  // namespace velmora::monitoring
