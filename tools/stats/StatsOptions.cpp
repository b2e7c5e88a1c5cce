#include "tools/stats/StatsOptions.h"

#include <algorithm>
#include <optional>

#include "monitoring/LocalTime.h"
#include "monitoring/UsageEvents.h"
#include "platform/CommandLineApp.h"

namespace velmora::stats {
namespace {

using monitoring::LocalDayStart;
using monitoring::NextLocalDayStart;

struct Given {
  std::vector<std::string> databases;
  std::optional<std::string> from, to, html;
  bool csv = false;
};

// Local midnight `days` days after (or before) `dayStart`.
std::int64_t DaysAfter(std::int64_t dayStart, int days) {
  for (; days > 0; --days) dayStart = NextLocalDayStart(dayStart);
  // Back: a moment of the day before, then its midnight.
  for (; days < 0; ++days) dayStart = LocalDayStart(dayStart - 12 * monitoring::kMsPerHour);
  return dayStart;
}

// The help's width, characters.
constexpr std::size_t kHelpWidth = 80;

// "a, b and c".
template <typename Names>
std::string Listed(const Names& names) {
  std::string text;
  for (std::size_t i = 0; i < names.size(); ++i) {
    text += (i == 0 ? "" : i + 1 == names.size() ? " and " : ", ") + std::string(names[i]);
  }
  return text;
}

// The text broken at blanks into lines of at most `width` characters.
std::string Wrapped(const std::string& text, std::size_t width) {
  std::string out, line;
  for (std::size_t start = 0; start < text.size();) {
    const std::size_t end = std::min(text.find(' ', start), text.size());
    const std::string word = text.substr(start, end - start);
    if (!line.empty() && line.size() + 1 + word.size() > width) {
      out += line + '\n';
      line.clear();
    }
    line += (line.empty() ? "" : " ") + word;
    start = end + 1;
  }
  return out + line;
}

std::string Footer() {
  return "Examples:\n"
         "  velmora-stats                        the last 7 days, as a table\n"
         "  velmora-stats --from 2026-12-01 --to 2026-12-31 --csv > december.csv\n"
         "  velmora-stats --db foyer.sqlite3 --db hall.sqlite3 --html fleet.html\n"
         "\n" +
         Wrapped("The CSV's columns: date, interactions, one column per source (" +
                     Listed(monitoring::kInteractionSourceNames) + "), visits, mean_visit_seconds, resets_CAUSE per cause (" +
                     Listed(monitoring::kResetCauseNames) +
                     "), uptime_seconds, runs, crashes, h00 .. h23 (interactions per local hour).",
                 kHelpWidth) +
         "\n"
         "\n"
         "The exhibit keeps each interaction for --usage-keep-days (two years unless set);\n"
         "the counts per quarter hour, visits, resets and runs the report reads stay, so\n"
         "older days are reported too. A file is read while its exhibit runs.\n"
         "\n"
         "Exit status: 0 when every file was read, 1 when one could not be read or the\n"
         "HTML page not written (the others are still reported).";
}

struct StatsArguments {
  explicit StatsArguments(const std::string& defaultPath)
      : app("velmora-stats",
            "Prints the exhibit's usage statistics for a range of days (local time):\n"
            "interactions per day and per hour, visits (interactions less than 60 s apart\n"
            "form one visit) and their lengths, resets by cause, uptime and crashes (runs\n"
            "that ended without shutting down). Given several files, one per exhibit, it\n"
            "reports each exhibit (by the name given with the exhibit's --exhibit-name, else\n"
            "by its file) and the fleet in total. A file the exhibit moved aside beside one\n"
            "given (FILE.corrupt-DATE) is named, never silently left out.",
            Footer()) {
    const std::string range = "Range (the last 7 days up to today unless given)";
    app.Value(range, "--from", "YYYY-MM-DD", "first day, from 1970-01-01 to 9999-12-31", given.from);
    app.Value(range, "--to", "YYYY-MM-DD",
              "last day, included, from 1970-01-01 to 9999-12-31 (default: today, or 6 days after --from); a range "
              "of more than ten years (--from 1970-01-01 --to 9999-12-31 asks for everything) is cut to the days "
              "recorded",
              given.to);
    const std::string files = "Input and output";
    app.Repeatable(files, "--db", "FILE",
                   "a usage file, one per exhibit (default " +
                       (defaultPath.empty() ? std::string("$XDG_STATE_HOME/velmora/usage.sqlite3") : defaultPath) + ")",
                   given.databases);
    app.Flag(files, "--csv",
             "one line per day, comma-separated, for a spreadsheet; with several files a first column names the "
             "exhibit and the fleet's lines (\"all exhibits\") follow",
             given.csv);
    app.Value(files, "--html", "FILE",
              "also write the report as one self-contained HTML page with charts (per day, weekday by hour, visits, "
              "resets, uptime), which opens offline in any browser",
              given.html);
    app.Help(files);
  }

  Given given;
  CommandLineApp app;
};

}  // namespace

StatsCommandLine ParseStatsArguments(const std::vector<std::string>& arguments, std::int64_t nowMs) {
  StatsCommandLine result;
  StatsArguments line{std::string()};
  switch (line.app.Parse(arguments, result.error)) {
    case CommandLineApp::Outcome::kHelp:
      result.action = StatsCommandLine::Action::kHelp;
      return result;
    case CommandLineApp::Outcome::kVersion:
      result.action = StatsCommandLine::Action::kVersion;
      return result;
    case CommandLineApp::Outcome::kError:
      result.action = StatsCommandLine::Action::kError;
      return result;
    case CommandLineApp::Outcome::kRun:
      break;
  }
  const Given& given = line.given;
  const auto fail = [&result](std::string error) {
    result.action = StatsCommandLine::Action::kError;
    result.error = OneLine(std::move(error));
    return result;
  };
  std::optional<std::int64_t> from, to;
  if (given.from && !(from = monitoring::ParseLocalDate(*given.from))) {
    return fail("--from needs a date YYYY-MM-DD from 1970-01-01 to 9999-12-31, not '" + *given.from + "'");
  }
  if (given.to && !(to = monitoring::ParseLocalDate(*given.to))) {
    return fail("--to needs a date YYYY-MM-DD from 1970-01-01 to 9999-12-31, not '" + *given.to + "'");
  }
  if (!to) to = from ? DaysAfter(*from, kDefaultDays - 1) : LocalDayStart(nowMs);
  if (!from) from = DaysAfter(*to, -(kDefaultDays - 1));
  if (*from > *to) return fail("--from must not come after --to");
  for (const std::string& database : given.databases) {
    if (database.empty()) return fail("--db needs a file name");
  }
  if (given.html && given.html->empty()) return fail("--html needs a file name");
  result.options.databases = given.databases;
  result.options.fromDayStartMs = *from;
  result.options.toDayStartMs = NextLocalDayStart(*to);
  result.options.csv = given.csv;
  result.options.htmlPath = given.html.value_or("");
  return result;
}

std::string StatsHelpText(const std::string& defaultPath) { return StatsArguments(defaultPath).app.HelpText(); }

}  // namespace velmora::stats
