// velmora-stats: the curator's report of the exhibits' usage statistics; see --help.

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "monitoring/LocalTime.h"
#include "monitoring/UsageDatabase.h"
#include "monitoring/UsageReport.h"
#include "monitoring/UsageReportHtml.h"
#include "monitoring/UsageStore.h"
#include "platform/CommandLineSupport.h"
#include "platform/ProgramVersion.h"
#include "tools/stats/StatsOptions.h"

namespace {

using namespace velmora::monitoring;
using velmora::stats::StatsCommandLine;

constexpr int kExitCannotRead = 1;
// A range longer than this, days, is cut to the days recorded: 1970-01-01 to
// 9999-12-31 would otherwise be three million empty days.
constexpr int kLongestFullRangeDays = 3660;
// The most days one report holds: a century.
constexpr int kMostReportDays = 36'600;

struct Exhibit {
  std::string path;
  std::unique_ptr<UsageDatabase> database;
};

void Say(const std::string& text) { std::fprintf(stderr, "velmora-stats: %s\n", text.c_str()); }

// What a file the exhibit moved aside beside `given` is, for the curator.
std::string MovedAsideNote(const std::string& aside, const std::string& given) {
  const std::string name = std::filesystem::path(aside).filename().string();
  const std::string reason = name.substr(std::filesystem::path(given).filename().string().size() + 1);
  if (reason.starts_with("locked-")) {
    return aside + " was moved aside by an older version while another program held it; its statistics are whole: "
                   "add --db " + aside + " to include them";
  }
  return aside + " was moved aside by the exhibit as damaged; add --db " + aside + " to include what can still be read";
}

// The days from `from` up to `to`, counted up to `most` + 1.
int DaysBetween(std::int64_t from, std::int64_t to, int most) {
  int days = 0;
  for (std::int64_t day = from; day < to && days <= most; day = NextLocalDayStart(day)) ++days;
  return days;
}

// The days to report: those asked for, or, for a range longer than
// kLongestFullRangeDays, those from the first recorded day to the last (or today), at
// most kMostReportDays of them.
void CutToRecorded(std::vector<Exhibit>& exhibits, std::int64_t nowMs, std::int64_t& from, std::int64_t& to) {
  if (DaysBetween(from, to, kLongestFullRangeDays) <= kLongestFullRangeDays) return;
  std::int64_t first = nowMs, last = nowMs;
  for (Exhibit& exhibit : exhibits) {
    if (const auto span = exhibit.database->RecordedSpan()) {
      first = std::min(first, span->first);
      last = std::max(last, span->second);
    }
  }
  from = std::max(from, LocalDayStart(first));
  to = std::min(to, NextLocalDayStart(LocalDayStart(last)));
  if (from >= to) to = NextLocalDayStart(from);
  // A clock that was far off may have left a time decades away.
  if (DaysBetween(from, to, kMostReportDays) > kMostReportDays) {
    std::int64_t end = from;
    for (int day = 0; day < kMostReportDays; ++day) end = NextLocalDayStart(end);
    to = end;
  }
}

std::string LocalTimeText(std::int64_t ms) {
  const auto seconds = static_cast<std::time_t>(ms / kMsPerSecond);
  std::tm parts{};
  localtime_r(&seconds, &parts);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%d %H:%M", &parts);
  return text;
}

}  // namespace

int main(int argc, char** argv) {
  const std::int64_t now = UnixMsNow();
  const std::string defaultPath = DefaultUsageDatabasePath();
  const StatsCommandLine parsed = velmora::stats::ParseStatsArguments({argv + 1, argv + argc}, now);
  if (parsed.action == StatsCommandLine::Action::kHelp) {
    std::cout << velmora::stats::StatsHelpText(defaultPath);
    return 0;
  }
  if (parsed.action == StatsCommandLine::Action::kVersion) {
    std::cout << velmora::VersionLine("velmora-stats");
    return 0;
  }
  const auto badArguments = [](const std::string& error) {
    std::fprintf(stderr, "velmora-stats: %s\nTry 'velmora-stats --help'.\n", error.c_str());
    return velmora::kBadArgumentsExitCode;
  };
  if (parsed.action == StatsCommandLine::Action::kError) return badArguments(parsed.error);
  const velmora::stats::StatsOptions& options = parsed.options;
  std::vector<std::string> paths = options.databases;
  if (paths.empty()) {
    if (defaultPath.empty()) return badArguments("no usage database: give --db FILE (HOME is not set)");
    paths.push_back(defaultPath);
  }

  std::vector<std::string> notes;
  bool failed = false;
  std::vector<Exhibit> exhibits;
  for (const std::string& path : paths) {
    auto database = std::make_unique<UsageDatabase>();
    std::string error;
    if (database->OpenForReading(path, error) != UsageDatabase::Status::Ok) {
      notes.push_back(error);
      failed = true;
      continue;
    }
    exhibits.push_back({path, std::move(database)});
  }
  const std::set<std::string> given(paths.begin(), paths.end());
  std::set<std::string> named;
  for (const std::string& path : paths) {
    for (const std::string& aside : UsageDatabase::FilesMovedAside(path)) {
      if (!given.contains(aside) && named.insert(aside).second) notes.push_back(MovedAsideNote(aside, path));
    }
  }
  for (const std::string& note : notes) Say(note);
  if (exhibits.empty()) return kExitCannotRead;

  std::int64_t from = options.fromDayStartMs, to = options.toDayStartMs;
  CutToRecorded(exhibits, now, from, to);
  std::vector<UsageReport> reports;
  for (Exhibit& exhibit : exhibits) {
    UsageReport report = BuildUsageReport(from, to, now, exhibit.database->ReadRange(from, to, now));
    report.file = exhibit.path;
    report.name = exhibit.database->ExhibitName();
    if (report.name.empty()) report.name = std::filesystem::path(exhibit.path).filename().string();
    reports.push_back(std::move(report));
  }
  // Every exhibit's name heads its part and its CSV lines: two alike are told apart by
  // their files.
  for (UsageReport& report : reports) {
    const auto same = std::count_if(reports.begin(), reports.end(), [&](const UsageReport& other) {
      return other.name == report.name || other.name == report.name + " (" + other.file + ")";
    });
    if (same > 1 || report.name == kFleetName) report.name += " (" + report.file + ")";
  }
  const UsageReport fleet = SumUsageReports(reports);
  const UsageReport* fleetShown = reports.size() > 1 ? &fleet : nullptr;
  std::cout << (options.csv ? FormatUsageCsv(reports, fleetShown) : FormatUsageTable(reports, fleetShown));

  if (!options.htmlPath.empty()) {
    std::ofstream html(options.htmlPath, std::ios::binary | std::ios::trunc);
    html << FormatUsageHtml({reports, fleetShown, notes, LocalTimeText(now)});
    html.close();
    if (!html) {
      Say("cannot write " + options.htmlPath);
      failed = true;
    }
  }
  return failed ? kExitCannotRead : 0;
}
