#include "monitoring/UsageReport.h"

#include <algorithm>
#include <cstdio>
#include <limits>

#include "monitoring/LocalTime.h"

namespace velmora::monitoring {
namespace {

// "1 d 02:03:04" or "02:03:04".
std::string Duration(std::int64_t ms) {
  const std::int64_t seconds = ms / 1000;
  char text[48];
  if (seconds >= 86400) {
    std::snprintf(text, sizeof text, "%lld d %02lld:%02lld:%02lld", static_cast<long long>(seconds / 86400),
                  static_cast<long long>(seconds % 86400 / 3600), static_cast<long long>(seconds % 3600 / 60),
                  static_cast<long long>(seconds % 60));
  } else {
    std::snprintf(text, sizeof text, "%02lld:%02lld:%02lld", static_cast<long long>(seconds / 3600),
                  static_cast<long long>(seconds % 3600 / 60), static_cast<long long>(seconds % 60));
  }
  return text;
}

void Add(DayUsage& into, const DayUsage& day) {
  into.interactions += day.interactions;
  for (std::size_t i = 0; i < into.bySource.size(); ++i) into.bySource[i] += day.bySource[i];
  for (std::size_t i = 0; i < into.byHour.size(); ++i) into.byHour[i] += day.byHour[i];
  into.visits += day.visits;
  into.visitMs += day.visitMs;
  for (std::size_t i = 0; i < into.resets.size(); ++i) into.resets[i] += day.resets[i];
  into.uptimeMs += day.uptimeMs;
  into.runs += day.runs;
  into.crashes += day.crashes;
}

std::uint64_t Sum(const std::array<std::uint64_t, kResetCauses>& values) {
  std::uint64_t sum = 0;
  for (const std::uint64_t value : values) sum += value;
  return sum;
}

}  // namespace

std::uint64_t DayUsage::AllResets() const { return Sum(resets); }

std::string FormatDuration(std::int64_t ms) { return Duration(ms); }

std::string VisitLengthLabel(std::size_t bin) {
  // "90 s", "2 min"; a range names its unit once when both ends share it.
  const auto text = [](std::int64_t seconds) {
    return seconds >= 60 && seconds % 60 == 0 ? std::to_string(seconds / 60) + " min" : std::to_string(seconds) + " s";
  };
  if (bin == 0) return "under " + text(kVisitLengthLimitsSeconds[0]);
  if (bin >= kVisitLengthLimitsSeconds.size()) return text(kVisitLengthLimitsSeconds.back()) + " and more";
  const std::string low = text(kVisitLengthLimitsSeconds[bin - 1]), high = text(kVisitLengthLimitsSeconds[bin]);
  const std::size_t blank = low.find(' ');
  return (low.substr(blank) == high.substr(high.find(' ')) ? low.substr(0, blank) : low) + "-" + high;
}

UsageReport BuildUsageReport(std::int64_t fromDayStartMs, std::int64_t toDayStartMs, std::int64_t nowMs,
                             const UsageRecords& records) {
  UsageReport report;
  std::vector<std::int64_t> starts;
  for (std::int64_t day = fromDayStartMs; day < toDayStartMs; day = NextLocalDayStart(day)) {
    starts.push_back(day);
    report.days.push_back(DayUsage{LocalDate(day)});
  }
  starts.push_back(toDayStartMs);
  report.total.date = "total";
  if (report.days.empty()) return report;
  report.from = report.days.front().date;
  report.to = report.days.back().date;
  const int firstWeekday = LocalWeekday(fromDayStartMs);
  // The index of the day holding `timeMs`, or -1 outside the range.
  const auto dayIndex = [&](std::int64_t timeMs) -> std::ptrdiff_t {
    if (timeMs < fromDayStartMs || timeMs >= toDayStartMs) return -1;
    return std::upper_bound(starts.begin(), starts.end(), timeMs) - starts.begin() - 1;
  };
  const auto dayOf = [&](std::int64_t timeMs) -> DayUsage* {
    const std::ptrdiff_t i = dayIndex(timeMs);
    return i < 0 ? nullptr : &report.days[static_cast<std::size_t>(i)];
  };

  for (const InteractionCount& count : records.counts) {
    const std::ptrdiff_t i = dayIndex(count.quarterStartMs);
    if (i < 0 || count.source >= kInteractionSources) continue;
    const auto index = static_cast<std::size_t>(i);
    // A day of 24 hours has its hours at whole hours from midnight; the days the
    // clock changes ask the calendar.
    const std::int64_t sinceMidnight = count.quarterStartMs - starts[index];
    const auto hour = static_cast<std::size_t>(starts[index + 1] - starts[index] == 24 * kMsPerHour
                                                   ? sinceMidnight / kMsPerHour
                                                   : LocalHour(count.quarterStartMs));
    DayUsage& day = report.days[index];
    day.interactions += count.count;
    day.bySource[count.source] += count.count;
    day.byHour[hour] += count.count;
    report.weekByHour[static_cast<std::size_t>((firstWeekday + i) % static_cast<std::ptrdiff_t>(kDaysPerWeek))][hour] +=
        count.count;
  }

  for (const VisitRecord& visit : records.visits) {
    DayUsage* day = dayOf(visit.startMs);
    if (day == nullptr) continue;
    const std::int64_t lengthMs = visit.endMs - visit.startMs;
    ++day->visits;
    day->visitMs += lengthMs;
    const auto bin = std::upper_bound(kVisitLengthLimitsSeconds.begin(), kVisitLengthLimitsSeconds.end(),
                                      lengthMs / kMsPerSecond);
    ++report.visitLengths[static_cast<std::size_t>(bin - kVisitLengthLimitsSeconds.begin())];
  }

  for (const ResetRecord& record : records.resets) {
    if (DayUsage* day = dayOf(record.timeMs)) ++day->resets[IndexOf(record.cause)];
  }

  // Only one exhibit runs at a time: a run without an end is still running only when
  // no later run started and it was seen lately; otherwise it crashed.
  std::int64_t latestStart = std::numeric_limits<std::int64_t>::min();
  for (const RunRecord& run : records.runs) latestStart = std::max(latestStart, run.startedMs);
  for (const RunRecord& run : records.runs) {
    const bool running = !run.endedMs && run.startedMs == latestStart && nowMs - run.lastSeenMs < kLiveRunMs;
    const std::int64_t end = run.endedMs ? *run.endedMs : running ? nowMs : run.lastSeenMs;
    if (DayUsage* day = dayOf(run.startedMs)) ++day->runs;
    if (!run.endedMs && !running) {
      if (DayUsage* day = dayOf(run.lastSeenMs)) ++day->crashes;
    }
    // The days the run overlaps, from the one it started on (or the first).
    auto first = std::upper_bound(starts.begin(), starts.end(), run.startedMs);
    std::size_t i = first == starts.begin() ? 0 : static_cast<std::size_t>(first - starts.begin() - 1);
    for (; i < report.days.size() && starts[i] < end; ++i) {
      const std::int64_t overlap = std::min(end, starts[i + 1]) - std::max(run.startedMs, starts[i]);
      if (overlap > 0) report.days[i].uptimeMs += overlap;
    }
  }

  for (const DayUsage& day : report.days) Add(report.total, day);
  return report;
}

UsageReport SumUsageReports(const std::vector<UsageReport>& exhibits) {
  UsageReport fleet;
  fleet.name = kFleetName;
  fleet.total.date = "total";
  if (exhibits.empty()) return fleet;
  fleet.from = exhibits.front().from;
  fleet.to = exhibits.front().to;
  fleet.days = exhibits.front().days;
  for (DayUsage& day : fleet.days) day = DayUsage{day.date};
  for (const UsageReport& exhibit : exhibits) {
    for (std::size_t i = 0; i < fleet.days.size() && i < exhibit.days.size(); ++i) Add(fleet.days[i], exhibit.days[i]);
    Add(fleet.total, exhibit.total);
    for (std::size_t bin = 0; bin < kVisitLengthBins; ++bin) fleet.visitLengths[bin] += exhibit.visitLengths[bin];
    for (std::size_t weekday = 0; weekday < kDaysPerWeek; ++weekday) {
      for (std::size_t hour = 0; hour < kHoursPerDay; ++hour) {
        fleet.weekByHour[weekday][hour] += exhibit.weekByHour[weekday][hour];
      }
    }
  }
  return fleet;
}

namespace {

std::string Unsigned(std::uint64_t value) { return std::to_string(value); }

// One exhibit's (or the fleet's) table, by-hour bars and totals.
std::string ReportTable(const UsageReport& report) {
  std::string out;
  char line[256];
  std::snprintf(line, sizeof line, "%-10s %12s", "date", "interactions");
  out += line;
  for (const std::string_view source : kInteractionSourceNames) {
    std::snprintf(line, sizeof line, " %8s", std::string(source).c_str());
    out += line;
  }
  std::snprintf(line, sizeof line, " %6s %11s %6s %15s %4s %7s\n", "visits", "mean visit", "resets", "uptime", "runs",
                "crashes");
  out += line;
  std::vector<const DayUsage*> rows;
  for (const DayUsage& day : report.days) rows.push_back(&day);
  rows.push_back(&report.total);
  for (const DayUsage* day : rows) {
    std::snprintf(line, sizeof line, "%-10s %12llu", day->date.c_str(), static_cast<unsigned long long>(day->interactions));
    out += line;
    for (const std::uint64_t count : day->bySource) {
      std::snprintf(line, sizeof line, " %8llu", static_cast<unsigned long long>(count));
      out += line;
    }
    char meanVisit[32];
    std::snprintf(meanVisit, sizeof meanVisit, "%.0f s", day->MeanVisitSeconds());
    std::snprintf(line, sizeof line, " %6llu %11s %6llu %15s %4llu %7llu\n", static_cast<unsigned long long>(day->visits),
                  meanVisit, static_cast<unsigned long long>(day->AllResets()), Duration(day->uptimeMs).c_str(),
                  static_cast<unsigned long long>(day->runs), static_cast<unsigned long long>(day->crashes));
    out += line;
  }

  out += "\nInteractions by hour (all days)\n";
  const std::uint64_t most = std::max<std::uint64_t>(1, *std::max_element(report.total.byHour.begin(),
                                                                        report.total.byHour.end()));
  constexpr int kBarWidth = 40;
  for (std::size_t hour = 0; hour < kHoursPerDay; ++hour) {
    const std::uint64_t count = report.total.byHour[hour];
    std::snprintf(line, sizeof line, "%02zu:00 %8llu ", hour, static_cast<unsigned long long>(count));
    out += line;
    out.append(static_cast<std::size_t>(count * kBarWidth / most), '#');
    out += '\n';
  }

  out += "\nVisits by length\n";
  for (std::size_t bin = 0; bin < kVisitLengthBins; ++bin) {
    std::snprintf(line, sizeof line, "%-16s %8llu\n", VisitLengthLabel(bin).c_str(),
                  static_cast<unsigned long long>(report.visitLengths[bin]));
    out += line;
  }

  out += "\nResets by cause\n";
  for (std::size_t i = 0; i < kResetCauses; ++i) {
    std::snprintf(line, sizeof line, "%-9s %8llu\n", std::string(kResetCauseNames[i]).c_str(),
                  static_cast<unsigned long long>(report.total.resets[i]));
    out += line;
  }
  std::snprintf(line, sizeof line, "\nUptime %s in %llu runs, %llu crashed; mean visit %.0f s over %llu visits\n",
                Duration(report.total.uptimeMs).c_str(), static_cast<unsigned long long>(report.total.runs),
                static_cast<unsigned long long>(report.total.crashes), report.total.MeanVisitSeconds(),
                static_cast<unsigned long long>(report.total.visits));
  out += line;
  return out;
}

// The CSV's rows of one report, each after `prefix` (the exhibit's column, or nothing).
void CsvRows(const UsageReport& report, const std::string& prefix, std::string& out) {
  char field[32];
  for (const DayUsage& day : report.days) {
    out += prefix + day.date + ',' + Unsigned(day.interactions);
    for (const std::uint64_t value : day.bySource) out += ',' + Unsigned(value);
    out += ',' + Unsigned(day.visits);
    std::snprintf(field, sizeof field, ",%.1f", day.MeanVisitSeconds());
    out += field;
    for (const std::uint64_t value : day.resets) out += ',' + Unsigned(value);
    out += ',' + std::to_string(day.uptimeMs / 1000) + ',' + Unsigned(day.runs) + ',' + Unsigned(day.crashes);
    for (const std::uint64_t value : day.byHour) out += ',' + Unsigned(value);
    out += '\n';
  }
}

// A CSV field: quoted when it holds a comma, a quote or a line break.
std::string CsvField(const std::string& text) {
  if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
  std::string quoted = "\"";
  for (const char c : text) quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
  return quoted + '"';
}

}  // namespace

std::string FormatUsageTable(const std::vector<UsageReport>& exhibits, const UsageReport* fleet) {
  if (exhibits.empty()) return {};
  std::string out = "Velmora usage from " + exhibits.front().from + " to " + exhibits.front().to + " (local time)\n";
  const bool several = fleet != nullptr;
  for (const UsageReport& exhibit : exhibits) {
    out += several ? "\n== " + exhibit.name + " (" + exhibit.file + ") ==\n\n" : "\n";
    out += ReportTable(exhibit);
  }
  if (several) {
    out += "\n== " + std::string(kFleetName) + " (" + std::to_string(exhibits.size()) + ") ==\n\n";
    out += ReportTable(*fleet);
  }
  return out;
}

std::string FormatUsageCsv(const std::vector<UsageReport>& exhibits, const UsageReport* fleet) {
  std::string out = fleet != nullptr ? "exhibit,date,interactions" : "date,interactions";
  for (const std::string_view source : kInteractionSourceNames) out += "," + std::string(source);
  out += ",visits,mean_visit_seconds";
  for (const std::string_view cause : kResetCauseNames) out += ",resets_" + std::string(cause);
  out += ",uptime_seconds,runs,crashes";
  char field[32];
  for (std::size_t hour = 0; hour < kHoursPerDay; ++hour) {
    std::snprintf(field, sizeof field, ",h%02zu", hour);
    out += field;
  }
  out += '\n';
  for (const UsageReport& exhibit : exhibits) CsvRows(exhibit, fleet != nullptr ? CsvField(exhibit.name) + "," : "", out);
  if (fleet != nullptr) CsvRows(*fleet, CsvField(fleet->name) + ",", out);
  return out;
}

}  // namespace velmora::monitoring
