// The curator's report: visits, local days and hours (summer time included), uptime,
// which runs count as crashed, and a fleet's sums. The tests run in TZ=Europe/Berlin.

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

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

// The counts and visits the exhibit writes beside each batch, those an older file is
// given when brought forward, and those velmora-stats works out from an older file
// read as it is, make the same report.
TEST(UsageReport, VisitsAndHoursAreTheSameWrittenLiveBroughtForwardOrReadFromAnOlderFile) {
  const std::int64_t evening = Day("2026-05-04") + 23 * kMsPerHour + 59 * kMsPerMinute;  // a Monday
  std::vector<InteractionRecord> interactions;
  for (const std::int64_t offset : {0, 30, 89, 150}) {
    interactions.push_back({evening + offset * kSecond, InteractionSource::Keyboard, "weight1+"});
  }
  interactions.push_back({evening + 160 * kSecond, InteractionSource::Panel, "speed"});
  // 03:30 on the day the clock skips 02:00.
  const std::int64_t shortDay = Day("2026-03-29");
  interactions.insert(interactions.begin(), {shortDay + 150 * kMsPerMinute, InteractionSource::Keyboard, "faster"});

  const std::string folder = ::testing::TempDir();
  for (const std::string how : {"live", "brought forward", "read as layout 2"}) {
    SCOPED_TRACE(how);
    const std::string path = folder + "velmora-report-" + std::to_string(::getpid()) + ".sqlite3";
    std::filesystem::remove(path);
    {
      UsageDatabase writer;
      std::string error;
      ASSERT_EQ(writer.Open(path, error, how == "live" ? kUsageSchemaVersion : 2), UsageDatabase::Status::Ok) << error;
      // The second visit's first interaction in one batch, the rest in the next.
      UsageBatch first, second;
      first.interactions.assign(interactions.begin(), interactions.begin() + 4);
      second.interactions.assign(interactions.begin() + 4, interactions.end());
      ASSERT_EQ(writer.Write(1, first, evening, error), UsageDatabase::Status::Ok) << error;
      ASSERT_EQ(writer.Write(1, second, evening, error), UsageDatabase::Status::Ok) << error;
      if (how == "brought forward") {
        ASSERT_EQ(writer.Open(path, error), UsageDatabase::Status::Ok) << error;
      }
    }
    UsageDatabase reader;
    std::string error;
    ASSERT_EQ(reader.OpenForReading(path, error), UsageDatabase::Status::Ok) << error;
    const auto report = [&](const char* from, const char* to) {
      return BuildUsageReport(Day(from), Day(to), Day("2026-06-01"), reader.ReadRange(Day(from), Day(to), 0));
    };
    UsageReport may = report("2026-05-04", "2026-05-06");
    ASSERT_EQ(may.days.size(), 2u);
    EXPECT_EQ(may.days[0].interactions, 2u);  // before midnight
    EXPECT_EQ(may.days[1].interactions, 3u);
    EXPECT_EQ(may.days[0].visits, 1u);        // 0 .. 89 s, crossing midnight
    EXPECT_EQ(may.days[1].visits, 1u);        // 150 .. 160 s
    EXPECT_EQ(may.total.visitMs, 99 * kSecond);
    EXPECT_EQ(may.visitLengths[1], 1u);       // 10-30 s
    EXPECT_EQ(may.visitLengths[3], 1u);       // 1-2 min
    EXPECT_EQ(may.days[0].byHour[23], 2u);
    EXPECT_EQ(may.days[1].byHour[0], 3u);
    EXPECT_EQ(may.weekByHour[0][23], 2u);     // Monday
    EXPECT_EQ(may.weekByHour[1][0], 3u);      // Tuesday
    EXPECT_EQ(may.total.bySource[IndexOf(InteractionSource::Panel)], 1u);
    EXPECT_EQ(report("2026-03-29", "2026-03-30").days[0].byHour[3], 1u);
    reader.Close();
    std::filesystem::remove(path);
  }
}

TEST(UsageReport, RunsWithoutAnEndAreCrashesUnlessTheNewestIsStillSeen) {
  const std::int64_t day = Day("2026-03-29");  // 23 hours long
  const std::int64_t now = day + 20 * kMsPerHour;
  std::vector<RunRecord> runs = {
      {1, day - kMsPerHour, day + kMsPerHour, day + kMsPerHour, "v", ""},  // ended normally, began the day before
      {2, day + 2 * kMsPerHour, day + 3 * kMsPerHour, std::nullopt, "v", ""},  // a later run began: crashed
      {3, day + 4 * kMsPerHour, now - kMsPerMinute, std::nullopt, "v", ""},  // the newest, seen a minute ago
  };
  const std::vector<ResetRecord> resets = {{day + kMsPerHour, ResetCause::Idle}, {day + 2, ResetCause::Remote},
                                           {day - 1, ResetCause::Key}};
  UsageReport report = BuildUsageReport(day, NextLocalDayStart(day), now, {{}, {}, resets, runs});
  ASSERT_EQ(report.days.size(), 1u);
  EXPECT_EQ(report.total.runs, 2u);
  EXPECT_EQ(report.total.crashes, 1u);
  EXPECT_EQ(report.total.uptimeMs, (1 + 1 + 16) * kMsPerHour);  // run 3 up to now
  EXPECT_EQ(report.total.resets[IndexOf(ResetCause::Idle)], 1u);
  EXPECT_EQ(report.total.resets[IndexOf(ResetCause::Remote)], 1u);
  EXPECT_EQ(report.total.resets[IndexOf(ResetCause::Key)], 0u);  // the day before

  // Once the newest has not been seen for a while it crashed too, and its uptime ends
  // where it was last seen.
  report = BuildUsageReport(day, NextLocalDayStart(day), now + kLiveRunMs, {{}, {}, resets, runs});
  EXPECT_EQ(report.total.crashes, 2u);
  EXPECT_EQ(report.total.uptimeMs, (1 + 1 + 16) * kMsPerHour - kMsPerMinute);
}

TEST(UsageReport, CsvHasOneRowPerDayAndAFleetsRowsSumItsExhibits) {
  const std::int64_t day = Day("2026-01-10");
  UsageReport report = BuildUsageReport(day, Day("2026-01-13"), Day("2026-02-01"),
                                        {{{day + 9 * kMsPerHour, IndexOf(InteractionSource::Panel), 1}},
                                         {{day + 9 * kMsPerHour, day + 9 * kMsPerHour, 1}},
                                         {{day, ResetCause::Periodic}},
                                         {{1, day, day + kMsPerHour, day + kMsPerHour, "v", ""}}});
  report.name = "Foyer, left";
  const std::vector<UsageReport> exhibits = {report, report};
  const UsageReport fleet = SumUsageReports(exhibits);
  const auto lines = [](const std::string& csv) {
    std::vector<std::string> split;
    for (std::size_t start = 0, end; (end = csv.find('\n', start)) != std::string::npos; start = end + 1) {
      split.push_back(csv.substr(start, end - start));
    }
    return split;
  };
  const auto columns = [](const std::string& line) { return std::count(line.begin(), line.end(), ',') + 1; };

  const std::vector<std::string> one = lines(FormatUsageCsv({report}));
  ASSERT_EQ(one.size(), 4u);
  EXPECT_EQ(columns(one[0]), static_cast<long>(4 + kInteractionSources + kResetCauses + 3 + kHoursPerDay));
  for (const std::string& line : one) EXPECT_EQ(columns(line), columns(one[0])) << line;
  EXPECT_EQ(one[1], "2026-01-10,1,0,1,1,0.0,0,1,0,0,0,3600,1,0,0,0,0,0,0,0,0,0,0,1,0,0,0,0,0,0,0,0,0,0,0,0,0,0");
  EXPECT_EQ(one[3].substr(0, 13), "2026-01-12,0,");

  const std::vector<std::string> all = lines(FormatUsageCsv(exhibits, &fleet));
  ASSERT_EQ(all.size(), 1u + 3 * 3);
  EXPECT_EQ(all[0].rfind("exhibit,date,", 0), 0u);
  EXPECT_EQ(all[1], "\"Foyer, left\"," + one[1]);
  EXPECT_EQ(all[7], "all exhibits,2026-01-10,2,0,2,2,0.0,0,2,0,0,0,7200,2,0,0,0,0,0,0,0,0,0,0,2,0,0,0,0,0,0,0,0,0,0,0,0,0,0");
}

}  // namespace
}  // namespace velmora::monitoring
