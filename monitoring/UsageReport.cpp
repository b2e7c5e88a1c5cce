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

UsageReport BuildUsageReport(std::int64_t fromDayStartMs, std::int64_t toDayStartMs, std::int64_t nowMs,
                             const std::vector<InteractionRecord>& interactions,
                             const std::vector<ResetRecord>& resets, const std::vector<RunRecord>& runs) {
  UsageReport report;
  std::vector<std::int64_t> starts;
  for (std::int64_t day = fromDayStartMs; day < toDayStartMs; day = NextLocalDayStart(day)) {
    starts.push_back(day);
    report.days.push_back(DayUsage{LocalDate(day)});
  }
  starts.push_back(toDayStartMs);
  if (report.days.empty()) return report;
  report.from = report.days.front().date;
  report.to = report.days.back().date;
  // The day holding `timeMs`, or null outside the range.
  const auto dayOf = [&](std::int64_t timeMs) -> DayUsage* {
    if (timeMs < fromDayStartMs || timeMs >= toDayStartMs) return nullptr;
    const auto next = std::upper_bound(starts.begin(), starts.end(), timeMs);
    return &report.days[static_cast<std::size_t>(next - starts.begin() - 1)];
  };

  std::vector<InteractionRecord> sorted = interactions;
  std::sort(sorted.begin(), sorted.end(), [](const auto& a, const auto& b) { return a.timeMs < b.timeMs; });
  DayUsage* visitDay = nullptr;
  std::int64_t visitStart = 0, visitEnd = 0;
  const auto endVisit = [&] {
    if (visitDay != nullptr) {
      ++visitDay->visits;
      visitDay->visitMs += visitEnd - visitStart;
    }
  };
  for (const InteractionRecord& record : sorted) {
    DayUsage* day = dayOf(record.timeMs);
    if (day == nullptr) continue;
    ++day->interactions;
    ++day->bySource[IndexOf(record.source)];
    ++day->byHour[static_cast<std::size_t>(LocalHour(record.timeMs))];
    if (visitDay != nullptr && record.timeMs - visitEnd < kVisitGapMs) {
      visitEnd = record.timeMs;
      continue;
    }
    endVisit();
    visitDay = day;
    visitStart = visitEnd = record.timeMs;
  }
  endVisit();

  for (const ResetRecord& record : resets) {
    if (DayUsage* day = dayOf(record.timeMs)) ++day->resets[IndexOf(record.cause)];
  }

  // Only one exhibit runs at a time: a run without an end is still running only when
  // no later run started and it was seen lately; otherwise it crashed.
  std::int64_t latestStart = std::numeric_limits<std::int64_t>::min();
  for (const RunRecord& run : runs) latestStart = std::max(latestStart, run.startedMs);
  for (const RunRecord& run : runs) {
    const bool running = !run.endedMs && run.startedMs == latestStart && nowMs - run.lastSeenMs < kLiveRunMs;
    const std::int64_t end = run.endedMs ? *run.endedMs : running ? nowMs : run.lastSeenMs;
    if (DayUsage* day = dayOf(run.startedMs)) ++day->runs;
    if (!run.endedMs && !running) {
      if (DayUsage* day = dayOf(run.lastSeenMs)) ++day->crashes;
    }
    for (std::size_t i = 0; i < report.days.size(); ++i) {
      const std::int64_t overlap = std::min(end, starts[i + 1]) - std::max(run.startedMs, starts[i]);
      if (overlap > 0) report.days[i].uptimeMs += overlap;
    }
  }

  report.total.date = "total";
  for (const DayUsage& day : report.days) Add(report.total, day);
  return report;
}

std::string FormatUsageTable(const UsageReport& report) {
  std::string out = "Velmora usage from " + report.from + " to " + report.to + " (local time)\n\n";
  char line[256];
  std::snprintf(line, sizeof line, "%-10s %12s %8s %6s %6s %6s %11s %6s %15s %4s %7s\n", "date", "interactions",
                "keyboard", "panel", "touch", "visits", "mean visit", "resets", "uptime", "runs", "crashes");
  out += line;
  std::vector<const DayUsage*> rows;
  for (const DayUsage& day : report.days) rows.push_back(&day);
  rows.push_back(&report.total);
  for (const DayUsage* day : rows) {
    char meanVisit[16];
    std::snprintf(meanVisit, sizeof meanVisit, "%.0f s", day->MeanVisitSeconds());
    std::snprintf(line, sizeof line, "%-10s %12llu %8llu %6llu %6llu %6llu %11s %6llu %15s %4llu %7llu\n",
                  day->date.c_str(), static_cast<unsigned long long>(day->interactions),
                  static_cast<unsigned long long>(day->bySource[0]), static_cast<unsigned long long>(day->bySource[1]),
                  static_cast<unsigned long long>(day->bySource[2]),
                  static_cast<unsigned long long>(day->visits), meanVisit,
                  static_cast<unsigned long long>(Sum(day->resets)), Duration(day->uptimeMs).c_str(),
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

std::string FormatUsageCsv(const UsageReport& report) {
  std::string out = "date,interactions,keyboard,panel,touch,visits,mean_visit_seconds";
  for (const std::string_view cause : kResetCauseNames) out += ",resets_" + std::string(cause);
  out += ",uptime_seconds,runs,crashes";
  char field[32];
  for (std::size_t hour = 0; hour < kHoursPerDay; ++hour) {
    std::snprintf(field, sizeof field, ",h%02zu", hour);
    out += field;
  }
  out += '\n';
  for (const DayUsage& day : report.days) {
    out += day.date;
    for (const std::uint64_t value : {day.interactions, day.bySource[0], day.bySource[1], day.bySource[2], day.visits}) {
      out += ',' + std::to_string(value);
    }
    std::snprintf(field, sizeof field, ",%.1f", day.MeanVisitSeconds());
    out += field;
    for (const std::uint64_t value : day.resets) out += ',' + std::to_string(value);
    out += ',' + std::to_string(day.uptimeMs / 1000) + ',' + std::to_string(day.runs) + ',' + std::to_string(day.crashes);
    for (const std::uint64_t value : day.byHour) out += ',' + std::to_string(value);
    out += '\n';
  }
  return out;
}

}  // namespace velmora::monitoring
