#pragma once
// The curator's view of the usage statistics: per day and per hour, visits and their
// lengths, resets, uptime and crashes over a range of local dates, for one exhibit or
// summed over a fleet, as a table or as CSV (the charts are in UsageReportHtml).

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "monitoring/UsageDatabase.h"
#include "monitoring/UsageSummary.h"

namespace velmora::monitoring {

// The newest run, without an end, seen this recently is still running rather than
// crashed: the store writes at least once a minute.
inline constexpr std::int64_t kLiveRunMs = 3 * 60'000;
inline constexpr std::size_t kDaysPerWeek = 7;
// Visits are sorted by length into bins with these upper limits, seconds; the last
// bin takes the longer ones.
inline constexpr std::array<std::int64_t, 6> kVisitLengthLimitsSeconds = {10, 30, 60, 120, 300, 600};
inline constexpr std::size_t kVisitLengthBins = kVisitLengthLimitsSeconds.size() + 1;

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
  std::uint64_t AllResets() const;
};

struct UsageReport {
  std::string name;  // the exhibit's name; for a fleet, kFleetName
  std::string file;  // the file read; empty for a fleet
  std::string from;  // first date, "YYYY-MM-DD"
  std::string to;    // last date, included
  std::vector<DayUsage> days;
  DayUsage total;
  std::array<std::uint64_t, kVisitLengthBins> visitLengths{};                 // visits per length bin
  std::array<std::array<std::uint64_t, kHoursPerDay>, kDaysPerWeek> weekByHour{};  // interactions, Monday first
};

// What the fleet's report is called where the exhibits' names stand.
inline constexpr const char* kFleetName = "all exhibits";

// The report for the local days from `fromDayStartMs` up to, not including,
// `toDayStartMs`; `nowMs` tells running runs from crashed ones and ends uptime.
UsageReport BuildUsageReport(std::int64_t fromDayStartMs, std::int64_t toDayStartMs, std::int64_t nowMs,
                             const UsageRecords& records);
// The fleet: every figure summed over the exhibits' reports, which cover the same days.
UsageReport SumUsageReports(const std::vector<UsageReport>& exhibits);

// "1 d 02:03:04" or "02:03:04".
std::string FormatDuration(std::int64_t ms);
// The visit length bin's label, e.g. "10-30 s", "10 min+".
std::string VisitLengthLabel(std::size_t bin);

// One report per exhibit, then (with several) the fleet's.
std::string FormatUsageTable(const std::vector<UsageReport>& exhibits, const UsageReport* fleet = nullptr);
// One row per day, every figure in a column of its own (hours as h00 .. h23); with a
// fleet, a first column names the exhibit and the fleet's rows follow theirs.
std::string FormatUsageCsv(const std::vector<UsageReport>& exhibits, const UsageReport* fleet = nullptr);

}  // namespace velmora::monitoring
