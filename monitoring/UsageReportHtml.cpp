#include "monitoring/UsageReportHtml.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "platform/XmlText.h"

namespace velmora::monitoring {
namespace {

// The charts' size in SVG units (pixels at 100 %): a wide chart fills the page's
// column, a narrow one half of it.
constexpr double kWideWidth = 920;
constexpr double kNarrowWidth = 450;
constexpr double kChartHeight = 230;
constexpr double kLeftMargin = 58;   // room for the value axis' labels
constexpr double kRightMargin = 14;
constexpr double kTopMargin = 14;
constexpr double kBottomMargin = 30; // room for the date labels
// At most this many columns in a chart over time: longer ranges sum several days
// into one column, so a column stays at least two pixels wide.
constexpr std::size_t kMostColumns = 400;
// Date labels under a chart over time, at most.
constexpr std::size_t kMostDateLabels = 8;
constexpr double kHeatCellHeight = 26;
constexpr double kHeatLabelWidth = 44;
constexpr double kBarRowHeight = 26;
constexpr double kBarLabelWidth = 130;
constexpr double kMsPerHourAsDouble = 3'600'000.0;

// One colour per interaction source, in kInteractionSourceNames' order, then spares.
constexpr const char* kSourceColours[] = {"#3b6ea8", "#e08a2e", "#4f9a4a", "#8b5fa8"};
constexpr const char* kVisitColour = "#5b8f86";
constexpr const char* kResetColour = "#8a6d3b";
constexpr const char* kUptimeColour = "#6f8fb8";
constexpr const char* kCrashColour = "#c0392b";
constexpr const char* kWeekdayNames[kDaysPerWeek] = {"Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Sun"};

std::string Number(double value, int decimals = 1) {
  char text[48];
  std::snprintf(text, sizeof text, "%.*f", decimals, value);
  return text;
}

std::string Count(std::uint64_t value) { return std::to_string(value); }

// The smallest of 1, 2, 5 times a power of ten at or above `value` (at least 1).
double NiceCeiling(double value) {
  if (value <= 1) return 1;
  const double power = std::pow(10.0, std::floor(std::log10(value)));
  for (const double step : {1.0, 2.0, 5.0, 10.0}) {
    if (value <= step * power) return step * power;
  }
  return 10 * power;
}

// A tick's label: whole numbers plain, others with one decimal.
std::string TickLabel(double value) { return value == std::floor(value) ? Number(value, 0) : Number(value, 1); }

struct Series {
  std::string name;
  std::string colour;
};

// One column of a chart over time: a day, or several summed.
struct Column {
  std::string from, to;        // dates, the same for a single day
  std::vector<double> values;  // one per series, stacked
  std::uint64_t marks = 0;     // crashes, drawn above the column
};

class Svg {
public:
  Svg(double width, double height, const std::string& label) {
    text_ = "<svg viewBox=\"0 0 " + Number(width, 0) + " " + Number(height, 0) + "\" width=\"" + Number(width, 0) +
            "\" role=\"img\" aria-label=\"" + EscapeXml(label) + "\">";
  }
  void Rect(double x, double y, double w, double h, const std::string& fill, const std::string& title,
            const std::string& attributes = {}) {
    text_ += "<rect x=\"" + Number(x) + "\" y=\"" + Number(y) + "\" width=\"" + Number(std::max(w, 0.0)) +
             "\" height=\"" + Number(std::max(h, 0.0)) + "\" fill=\"" + fill + "\"" + attributes + ">";
    if (!title.empty()) text_ += "<title>" + EscapeXml(title) + "</title>";
    text_ += "</rect>";
  }
  void Line(double x1, double y1, double x2, double y2, const std::string& cssClass) {
    text_ += "<line x1=\"" + Number(x1) + "\" y1=\"" + Number(y1) + "\" x2=\"" + Number(x2) + "\" y2=\"" + Number(y2) +
             "\" class=\"" + cssClass + "\"/>";
  }
  void Text(double x, double y, const std::string& text, const std::string& anchor = "start",
            const std::string& cssClass = "axis") {
    text_ += "<text x=\"" + Number(x) + "\" y=\"" + Number(y) + "\" text-anchor=\"" + anchor + "\" class=\"" + cssClass +
             "\">" + EscapeXml(text) + "</text>";
  }
  void Marker(double x, double y, const std::string& title) {
    text_ += "<circle cx=\"" + Number(x) + "\" cy=\"" + Number(y) + "\" r=\"4\" fill=\"" + kCrashColour + "\"><title>" +
             EscapeXml(title) + "</title></circle>";
  }
  std::string Take() { return text_ + "</svg>"; }

private:
  std::string text_;
};

// The days in columns of `daysPerColumn`, each with the values `of` gives for a day.
template <typename Of>
std::vector<Column> Columns(const UsageReport& report, std::size_t daysPerColumn, Of of) {
  std::vector<Column> columns;
  for (std::size_t i = 0; i < report.days.size(); i += daysPerColumn) {
    Column column;
    column.from = report.days[i].date;
    for (std::size_t j = i; j < std::min(i + daysPerColumn, report.days.size()); ++j) {
      const DayUsage& day = report.days[j];
      column.to = day.date;
      const std::vector<double> values = of(day);
      column.values.resize(values.size());
      for (std::size_t k = 0; k < values.size(); ++k) column.values[k] += values[k];
      column.marks += day.crashes;
    }
    columns.push_back(std::move(column));
  }
  return columns;
}

std::size_t DaysPerColumn(const UsageReport& report) {
  return std::max<std::size_t>(1, (report.days.size() + kMostColumns - 1) / kMostColumns);
}

// Stacked columns over time with a value axis; `fixedTop` sets the axis' top (else
// the largest column, rounded up).
std::string TimeChart(const std::vector<Column>& columns, const std::vector<Series>& series, const std::string& unit,
                      const std::string& label, double fixedTop = 0, bool marks = false) {
  Svg svg(kWideWidth, kChartHeight, label);
  const double plotWidth = kWideWidth - kLeftMargin - kRightMargin;
  const double plotHeight = kChartHeight - kTopMargin - kBottomMargin;
  double largest = 0;
  for (const Column& column : columns) {
    double sum = 0;
    for (const double value : column.values) sum += value;
    largest = std::max(largest, sum);
  }
  // Four ticks of a round step.
  const double top = fixedTop > 0 ? fixedTop : 4 * NiceCeiling(largest / 4);
  const double bottom = kTopMargin + plotHeight;
  for (int tick = 0; tick <= 4; ++tick) {
    const double y = bottom - plotHeight * tick / 4;
    svg.Line(kLeftMargin, y, kLeftMargin + plotWidth, y, tick == 0 ? "base" : "grid");
    svg.Text(kLeftMargin - 6, y + 4, TickLabel(top * tick / 4), "end");
  }
  const double step = columns.empty() ? plotWidth : plotWidth / static_cast<double>(columns.size());
  const double gap = step >= 6 ? step * 0.18 : 0;
  for (std::size_t i = 0; i < columns.size(); ++i) {
    const Column& column = columns[i];
    const double x = kLeftMargin + step * static_cast<double>(i) + gap / 2;
    std::string title = column.from == column.to ? column.from : column.from + " to " + column.to;
    title += ":";
    for (std::size_t k = 0; k < series.size() && k < column.values.size(); ++k) {
      title += (k == 0 ? " " : ", ") + series[k].name + " " + TickLabel(std::round(column.values[k] * 10) / 10);
    }
    if (!unit.empty()) title += " " + unit;
    if (marks && column.marks > 0) title += ", " + Count(column.marks) + " crashed";
    double y = bottom;
    for (std::size_t k = 0; k < series.size() && k < column.values.size(); ++k) {
      const double height = plotHeight * std::min(column.values[k], top) / top;
      y -= height;
      if (height > 0) svg.Rect(x, y, step - gap, height, series[k].colour, title);
    }
    if (marks && column.marks > 0) svg.Marker(x + (step - gap) / 2, kTopMargin + 4, title);
  }
  const std::size_t every = std::max<std::size_t>(1, (columns.size() + kMostDateLabels - 1) / kMostDateLabels);
  for (std::size_t i = 0; i < columns.size(); i += every) {
    const double x = kLeftMargin + step * (static_cast<double>(i) + 0.5);
    svg.Line(x, bottom, x, bottom + 4, "base");
    svg.Text(x, bottom + 18, columns[i].from, "middle");
  }
  return svg.Take();
}

// Labelled horizontal bars, one per row, the count at each bar's end.
std::string BarRows(const std::vector<std::pair<std::string, std::uint64_t>>& rows, const std::string& colour,
                    const std::string& label, double width = kNarrowWidth) {
  const double height = kBarRowHeight * static_cast<double>(rows.size()) + 8;
  Svg svg(width, height, label);
  std::uint64_t largest = 1;
  for (const auto& row : rows) largest = std::max(largest, row.second);
  const double barSpace = width - kBarLabelWidth - 70;
  for (std::size_t i = 0; i < rows.size(); ++i) {
    const double y = 4 + kBarRowHeight * static_cast<double>(i);
    const double barWidth = barSpace * static_cast<double>(rows[i].second) / static_cast<double>(largest);
    svg.Text(kBarLabelWidth - 8, y + 17, rows[i].first, "end", "label");
    svg.Rect(kBarLabelWidth, y + 4, barWidth, kBarRowHeight - 8, colour, rows[i].first + ": " + Count(rows[i].second),
             " data-count=\"" + Count(rows[i].second) + "\"");
    svg.Text(kBarLabelWidth + barWidth + 6, y + 17, Count(rows[i].second), "start", "label");
  }
  return svg.Take();
}

// Colour of a heat map cell: from a pale blue (none) to a deep blue (the most).
std::string HeatColour(std::uint64_t count, std::uint64_t most) {
  if (count == 0) return "#f3f5f8";
  // The square root lets a quiet hour show beside the busiest ones.
  const double t = std::sqrt(static_cast<double>(count) / static_cast<double>(std::max<std::uint64_t>(most, 1)));
  const auto mix = [t](int from, int to) { return static_cast<int>(std::lround(from + (to - from) * t)); };
  char colour[8];
  std::snprintf(colour, sizeof colour, "#%02x%02x%02x", mix(0xd6, 0x0b), mix(0xe6, 0x2f), mix(0xf4, 0x6b));
  return colour;
}

std::string HeatMap(const UsageReport& report) {
  const double cellWidth = (kWideWidth - kHeatLabelWidth - kRightMargin) / static_cast<double>(kHoursPerDay);
  const double height = kHeatCellHeight * kDaysPerWeek + 24;
  Svg svg(kWideWidth, height, "interactions by weekday and hour");
  std::uint64_t most = 0;
  for (const auto& weekday : report.weekByHour) most = std::max(most, *std::max_element(weekday.begin(), weekday.end()));
  for (std::size_t weekday = 0; weekday < kDaysPerWeek; ++weekday) {
    const double y = kHeatCellHeight * static_cast<double>(weekday);
    svg.Text(kHeatLabelWidth - 8, y + 17, kWeekdayNames[weekday], "end", "label");
    for (std::size_t hour = 0; hour < kHoursPerDay; ++hour) {
      const std::uint64_t count = report.weekByHour[weekday][hour];
      char title[64];
      std::snprintf(title, sizeof title, "%s %02zu:00-%02zu:00: ", kWeekdayNames[weekday], hour, hour + 1);
      svg.Rect(kHeatLabelWidth + cellWidth * static_cast<double>(hour) + 1, y + 1, cellWidth - 2, kHeatCellHeight - 2,
               HeatColour(count, most), title + Count(count) + " interactions",
               " class=\"heat\" data-weekday=\"" + std::to_string(weekday) + "\" data-hour=\"" + std::to_string(hour) +
                   "\" data-count=\"" + Count(count) + "\"");
    }
  }
  for (std::size_t hour = 0; hour < kHoursPerDay; hour += 2) {
    svg.Text(kHeatLabelWidth + cellWidth * (static_cast<double>(hour) + 0.5), height - 6, Count(hour), "middle");
  }
  return svg.Take();
}

std::string Card(const std::string& value, const std::string& what, const std::string& field) {
  return "<div class=\"card\"><div class=\"value\" data-field=\"" + field + "\">" + EscapeXml(value) +
         "</div><div class=\"what\">" + EscapeXml(what) + "</div></div>";
}

// The day-by-day table, with the text table's columns and figures.
std::string DayTable(const UsageReport& report) {
  std::string out = "<table class=\"days\"><thead><tr><th>date</th><th>interactions</th>";
  for (const std::string_view source : kInteractionSourceNames) out += "<th>" + std::string(source) + "</th>";
  out += "<th>visits</th><th>mean visit</th><th>resets</th><th>uptime</th><th>runs</th><th>crashes</th></tr></thead><tbody>";
  std::vector<const DayUsage*> rows;
  for (const DayUsage& day : report.days) rows.push_back(&day);
  rows.push_back(&report.total);
  for (const DayUsage* day : rows) {
    out += day == &report.total ? "<tr class=\"total\">" : "<tr>";
    out += "<td>" + day->date + "</td><td>" + Count(day->interactions) + "</td>";
    for (const std::uint64_t count : day->bySource) out += "<td>" + Count(count) + "</td>";
    out += "<td>" + Count(day->visits) + "</td><td>" + Number(day->MeanVisitSeconds(), 0) + " s</td><td>" +
           Count(day->AllResets()) + "</td><td>" + FormatDuration(day->uptimeMs) + "</td><td>" + Count(day->runs) +
           "</td><td>" + Count(day->crashes) + "</td></tr>";
  }
  return out + "</tbody></table>";
}

std::string ReportSection(const UsageReport& report, const std::string& id, const std::vector<UsageReport>* members) {
  const DayUsage& total = report.total;
  std::string out = "<section class=\"report\" id=\"" + id + "\" data-name=\"" + EscapeXml(report.name) + "\">\n<h2>" +
                    EscapeXml(report.name == kFleetName ? "All exhibits" : report.name) + "</h2>\n";
  out += "<p class=\"file\">" +
         (members != nullptr ? Count(members->size()) + " exhibits, every figure summed" : EscapeXml(report.file)) + "</p>\n";
  out += "<div class=\"cards\">" + Card(Count(total.interactions), "interactions", "interactions") +
         Card(Count(total.visits), "visits", "visits") +
         Card(Number(total.MeanVisitSeconds(), 0) + " s", "mean visit", "mean_visit") +
         Card(Count(total.AllResets()), "resets", "resets") + Card(FormatDuration(total.uptimeMs), "uptime", "uptime") +
         Card(Count(total.runs), "runs", "runs") + Card(Count(total.crashes), "crashes", "crashes") + "</div>\n";

  if (members != nullptr) {
    std::vector<std::pair<std::string, std::uint64_t>> rows;
    for (const UsageReport& member : *members) rows.emplace_back(member.name, member.total.interactions);
    out += "<h3>Interactions by exhibit</h3>\n" +
           BarRows(rows, kSourceColours[0], "interactions by exhibit", kWideWidth) + "\n";
  }

  const std::size_t perColumn = DaysPerColumn(report);
  const std::string per = perColumn == 1 ? "per day" : "per " + Count(perColumn) + " days";
  std::vector<Series> sources;
  for (std::size_t i = 0; i < kInteractionSources; ++i) {
    sources.push_back({std::string(kInteractionSourceNames[i]), kSourceColours[i % std::size(kSourceColours)]});
  }
  out += "<h3>Interactions " + per + "</h3>\n<p class=\"legend\">";
  for (const Series& source : sources) {
    out += "<span><i style=\"background:" + source.colour + "\"></i>" + EscapeXml(source.name) + "</span>";
  }
  out += "</p>\n" +
         TimeChart(Columns(report, perColumn,
                           [](const DayUsage& day) {
                             return std::vector<double>(day.bySource.begin(), day.bySource.end());
                           }),
                   sources, "", "interactions " + per) +
         "\n";

  out += "<h3>When visitors come: interactions by weekday and hour</h3>\n" + HeatMap(report) + "\n";

  out += "<h3>Visits " + per + "</h3>\n" +
         TimeChart(Columns(report, perColumn,
                           [](const DayUsage& day) { return std::vector<double>{static_cast<double>(day.visits)}; }),
                   {{"visits", kVisitColour}}, "", "visits " + per) +
         "\n";
  std::vector<std::pair<std::string, std::uint64_t>> lengths;
  for (std::size_t bin = 0; bin < kVisitLengthBins; ++bin) lengths.emplace_back(VisitLengthLabel(bin), report.visitLengths[bin]);
  std::vector<std::pair<std::string, std::uint64_t>> causes;
  for (std::size_t i = 0; i < kResetCauses; ++i) causes.emplace_back(std::string(kResetCauseNames[i]), total.resets[i]);
  out += "<div class=\"pair\"><div><h3>Visits by length (mean " + Number(total.MeanVisitSeconds(), 0) + " s)</h3>\n" +
         BarRows(lengths, kVisitColour, "visits by length") + "</div><div><h3>Resets by cause</h3>\n" +
         BarRows(causes, kResetColour, "resets by cause") + "</div></div>\n";
  out += "<h3>Hours up " + per + "</h3>\n<p>Up " + FormatDuration(total.uptimeMs) + " in " + Count(total.runs) +
         " runs; " + Count(total.crashes) + " ended without shutting down (a crash, a kill or a power cut)" +
         (total.crashes > 0 ? ", marked red" : "") + ".</p>\n" +
         TimeChart(Columns(report, perColumn,
                           [](const DayUsage& day) {
                             return std::vector<double>{static_cast<double>(day.uptimeMs) / kMsPerHourAsDouble};
                           }),
                   {{"up", kUptimeColour}}, "h", "hours up " + per, 24.0 * static_cast<double>(perColumn), true) +
         "\n";
  out += "<details><summary>Day by day</summary>\n" + DayTable(report) + "\n</details>\n</section>\n";
  return out;
}

constexpr const char* kStyle = R"(
  body { font-family: system-ui, "DejaVu Sans", sans-serif; margin: 0; background: #fafafa; color: #222; }
  header { padding: 1em 1.5em 0.5em; }
  h1 { font-size: 1.5em; margin: 0 0 0.2em; }
  h2 { font-size: 1.25em; margin: 0 0 0.1em; }
  h3 { font-size: 0.95em; margin: 1.4em 0 0.4em; color: #444; }
  main { padding: 0 1.5em 2em; max-width: 980px; }
  nav a { margin-right: 1em; }
  .muted, .file { color: #777; margin: 0 0 0.8em; }
  .notes { background: #fff4d6; border-left: 4px solid #e0a800; padding: 0.5em 1em; }
  section.report { background: #fff; border: 1px solid #e2e2e2; border-radius: 6px; padding: 1em 1.2em; margin: 1em 0; }
  .cards { display: flex; flex-wrap: wrap; gap: 0.6em; }
  .card { background: #f1f4f8; border-radius: 5px; padding: 0.35em 0.7em; min-width: 4.5em; }
  .card .value { font-size: 1.3em; font-weight: 600; font-variant-numeric: tabular-nums; }
  .card .what { color: #666; font-size: 0.85em; }
  .pair { display: flex; flex-wrap: wrap; gap: 0 20px; }
  .pair > div { flex: 1 1 440px; }
  svg { max-width: 100%; height: auto; display: block; }
  svg .axis { font-size: 11px; fill: #666; }
  svg .label { font-size: 12px; fill: #333; }
  svg .grid { stroke: #e6e6e6; } svg .base { stroke: #999; }
  .legend span { margin-right: 1.2em; font-size: 0.85em; }
  .legend i { display: inline-block; width: 0.8em; height: 0.8em; margin-right: 0.3em; vertical-align: -0.05em; }
  table.days { border-collapse: collapse; font-size: 0.85em; font-variant-numeric: tabular-nums; }
  table.days th, table.days td { padding: 0.15em 0.6em; text-align: right; border-bottom: 1px solid #eee; }
  table.days tr.total td { font-weight: 600; border-top: 1px solid #999; }
  summary { cursor: pointer; margin-top: 1em; color: #444; }
  @media print { body { background: #fff; } section.report { break-inside: avoid-page; border: none; } }
)";

}  // namespace

std::string FormatUsageHtml(const UsageHtmlPage& page) {
  const std::string from = page.exhibits.empty() ? std::string() : page.exhibits.front().from;
  const std::string to = page.exhibits.empty() ? std::string() : page.exhibits.front().to;
  std::string out =
      "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
      "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
      // No icon to fetch: the page asks for nothing beyond itself.
      "<link rel=\"icon\" href=\"data:,\">\n<title>Velmora usage " +
      from + " to " + to + "</title>\n<style>" + kStyle + "</style>\n</head>\n<body>\n<header>\n<h1>Velmora usage from " +
      from + " to " + to + "</h1>\n<p class=\"muted\">Local time; made " + EscapeXml(page.madeAt) +
      ". Interactions less than a minute apart form one visit, counted on the day it began.</p>\n";
  if (page.fleet != nullptr) {
    out += "<nav><a href=\"#fleet\">All exhibits</a>";
    for (std::size_t i = 0; i < page.exhibits.size(); ++i) {
      out += "<a href=\"#exhibit-" + Count(i + 1) + "\">" + EscapeXml(page.exhibits[i].name) + "</a>";
    }
    out += "</nav>\n";
  }
  if (!page.notes.empty()) {
    out += "<div class=\"notes\"><p>Not in this report:</p><ul>";
    for (const std::string& note : page.notes) out += "<li>" + EscapeXml(note) + "</li>";
    out += "</ul></div>\n";
  }
  out += "</header>\n<main>\n";
  if (page.fleet != nullptr) out += ReportSection(*page.fleet, "fleet", &page.exhibits);
  for (std::size_t i = 0; i < page.exhibits.size(); ++i) {
    out += ReportSection(page.exhibits[i], "exhibit-" + Count(i + 1), nullptr);
  }
  return out + "</main>\n</body>\n</html>\n";
}

}  // namespace velmora::monitoring
