// The curator's report: visits, local days and hours (summer time included), uptime,
// and which runs count as crashed. The tests run in TZ=Europe/Berlin.

#include <gtest/gtest.h>

#include "monitoring/LocalTime.h"
#include "monitoring/UsageReport.h"

namespace velmora::monitoring {
namespace {

constexpr std::int64_t kSecond = 1000;

std::int64_t Day(const char* date) { return ParseLocalDate(date).value(); }

TEST(LocalTime, DaysFollowTheLocalCalendarAcrossTheClockChange) {
  EXPECT_EQ(NextLocalDayStart(Day("2026-03-29")) - Day("2026-03-29"), 23 * kMsPerHour);
  EXPECT_EQ(NextLocalDayStart(Day("2026-10-25")) - Day("2026-10-25"), 25 * kMsPerHour);
  EXPECT_EQ(LocalDate(Day("2026-03-29") + 23 * kMsPerHour - 1), "2026-03-29");
  EXPECT_EQ(LocalHour(Day("2026-03-29") + 3 * kMsPerHour), 4);  // 02:00 does not exist that day
  for (const char* bad : {"2026-02-29", "2026-13-01", "2026-1-01", "26-01-01", "2026-01-01x", ""}) {
    EXPECT_FALSE(ParseLocalDate(bad).has_value()) << bad;
  }
}

TEST(UsageReport, InteractionsLessThanAMinuteApartFormOneVisitCountedOnItsFirstDay) {
  const std::int64_t evening = Day("2026-05-04") + 23 * kMsPerHour + 59 * kMsPerMinute;
  std::vector<InteractionRecord> interactions;
  for (const std::int64_t offset : {0, 30, 89, 150}) {
    interactions.push_back({evening + offset * kSecond, InteractionSource::Keyboard, "weight1+"});
  }
  interactions.push_back({evening + 160 * kSecond, InteractionSource::Panel, "speed"});
  const UsageReport report =
      BuildUsageReport(Day("2026-05-04"), Day("2026-05-06"), Day("2026-05-07"), interactions, {}, {});
  ASSERT_EQ(report.days.size(), 2u);
  EXPECT_EQ(report.days[0].interactions, 2u);  // before midnight
  EXPECT_EQ(report.days[1].interactions, 3u);
  EXPECT_EQ(report.days[0].visits, 1u);        // 0 .. 89 s, crossing midnight
  EXPECT_EQ(report.days[1].visits, 1u);        // 150 .. 160 s
  EXPECT_EQ(report.total.visitMs, 99 * kSecond);
  EXPECT_DOUBLE_EQ(report.total.MeanVisitSeconds(), 49.5);
  EXPECT_EQ(report.days[0].byHour[23], 2u);
  EXPECT_EQ(report.days[1].byHour[0], 3u);
  EXPECT_EQ(report.total.bySource[1], 1u);
}

TEST(UsageReport, RunsWithoutAnEndAreCrashesUnlessTheNewestIsStillSeen) {
  const std::int64_t day = Day("2026-03-29");  // 23 hours long
  const std::int64_t now = day + 20 * kMsPerHour;
  std::vector<RunRecord> runs = {
      {1, day - kMsPerHour, day + kMsPerHour, day + kMsPerHour, "v"},  // ended normally, began the day before
      {2, day + 2 * kMsPerHour, day + 3 * kMsPerHour, std::nullopt, "v"},  // a later run began: crashed
      {3, day + 4 * kMsPerHour, now - kMsPerMinute, std::nullopt, "v"},  // the newest, seen a minute ago
  };
  const std::vector<ResetRecord> resets = {{day + kMsPerHour, ResetCause::Idle}, {day + 2, ResetCause::Remote},
                                           {day - 1, ResetCause::Key}};
  UsageReport report = BuildUsageReport(day, NextLocalDayStart(day), now, {}, resets, runs);
  ASSERT_EQ(report.days.size(), 1u);
  EXPECT_EQ(report.total.runs, 2u);
  EXPECT_EQ(report.total.crashes, 1u);
  EXPECT_EQ(report.total.uptimeMs, (1 + 1 + 16) * kMsPerHour);  // run 3 up to now
  EXPECT_EQ(report.total.resets[IndexOf(ResetCause::Idle)], 1u);
  EXPECT_EQ(report.total.resets[IndexOf(ResetCause::Remote)], 1u);
  EXPECT_EQ(report.total.resets[IndexOf(ResetCause::Key)], 0u);  // the day before

  // Once the newest has not been seen for a while it crashed too, and its uptime ends
  // where it was last seen.
  report = BuildUsageReport(day, NextLocalDayStart(day), now + kLiveRunMs, {}, resets, runs);
  EXPECT_EQ(report.total.crashes, 2u);
  EXPECT_EQ(report.total.uptimeMs, (1 + 1 + 16) * kMsPerHour - kMsPerMinute);
}

TEST(UsageReport, CsvHasOneRowPerDayWithEveryFigureInItsOwnColumn) {
  const std::int64_t day = Day("2026-01-10");
  const UsageReport report = BuildUsageReport(day, Day("2026-01-13"), Day("2026-02-01"),
                                              {{day + 9 * kMsPerHour, InteractionSource::Panel, "a"}},
                                              {{day, ResetCause::Periodic}},
                                              {{1, day, day + kMsPerHour, day + kMsPerHour, "v"}});
  const std::string csv = FormatUsageCsv(report);
  std::vector<std::string> lines;
  for (std::size_t start = 0, end; (end = csv.find('\n', start)) != std::string::npos; start = end + 1) {
    lines.push_back(csv.substr(start, end - start));
  }
  ASSERT_EQ(lines.size(), 4u);
  const auto columns = [](const std::string& line) { return std::count(line.begin(), line.end(), ',') + 1; };
  EXPECT_EQ(columns(lines[0]), 7 + 6 + 3 + 24);
  for (const std::string& line : lines) EXPECT_EQ(columns(line), columns(lines[0])) << line;
  EXPECT_EQ(lines[1],
            "2026-01-10,1,0,1,0,1,0.0,0,1,0,0,0,0,3600,1,0,0,0,0,0,0,0,0,0,0,1,0,0,0,0,0,0,0,0,0,0,0,0,0,0");
  EXPECT_EQ(lines[3].substr(0, 13), "2026-01-12,0,");
}

}  // namespace
}  // namespace velmora::monitoring
