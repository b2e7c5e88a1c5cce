// velmora-stats: the curator's report of the exhibit's usage statistics; see --help.

#include <CLI/CLI.hpp>

#include <algorithm>
#include <cstdio>
#include <iostream>
#include <optional>
#include <string>

#include "monitoring/LocalTime.h"
#include "monitoring/UsageDatabase.h"
#include "monitoring/UsageReport.h"
#include "monitoring/UsageStore.h"
#include "platform/ProgramVersion.h"

namespace {

using namespace velmora::monitoring;

constexpr int kExitCannotRead = 1;
constexpr int kExitBadArguments = 2;
constexpr int kDefaultDays = 7;

std::string HelpText(const std::string& defaultPath) {
  return R"(Usage: velmora-stats [options]

Prints the exhibit's usage statistics for a range of days (local time): interactions
per day and per hour, visits (interactions less than 60 s apart form one visit) and
their mean length, resets by cause, uptime and crashes (runs that ended without
shutting down).

Range (the last 7 days up to today unless given):
  --from YYYY-MM-DD      first day
  --to YYYY-MM-DD        last day, included (default: today, or 6 days after --from)
Input and output:
  --db FILE              the usage database (default )" +
         (defaultPath.empty() ? std::string("$XDG_STATE_HOME/velmora/usage.sqlite3") : defaultPath) + R"()
  --csv                  one line per day, comma-separated, for a spreadsheet
  --help                 this text
  --version              print the program's version and exit
)";
}

int BadArguments(std::string message) {
  // The message quotes what was typed: a control character in it would break the line.
  for (char& c : message) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '?';
  }
  std::fprintf(stderr, "velmora-stats: %s\nTry 'velmora-stats --help'.\n", message.c_str());
  return kExitBadArguments;
}

// Local midnight `days` days after (or before) `dayStart`.
std::int64_t DaysAfter(std::int64_t dayStart, int days) {
  for (; days > 0; --days) dayStart = NextLocalDayStart(dayStart);
  // Back: a moment of the day before, noon-safe, then its midnight.
  for (; days < 0; ++days) dayStart = LocalDayStart(dayStart - 12 * kMsPerHour);
  return dayStart;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string defaultPath = DefaultUsageDatabasePath();
  CLI::App app("velmora-stats", "velmora-stats");
  app.set_help_flag();
  bool help = false;
  bool version = false;
  bool csv = false;
  std::string path = defaultPath;
  std::optional<std::string> fromText;
  std::optional<std::string> toText;
  app.add_flag("--help", help);
  app.add_flag("--version", version);
  app.add_flag("--csv", csv);
  app.add_option("--db", path);
  app.add_option("--from", fromText);
  app.add_option("--to", toText);
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& error) {
    return BadArguments(error.what());
  }
  if (help) {
    std::cout << HelpText(defaultPath);
    return 0;
  }
  if (version) {
    std::cout << velmora::VersionLine("velmora-stats");
    return 0;
  }

  const std::int64_t now = UnixMsNow();
  std::optional<std::int64_t> from, to;
  if (fromText && !(from = ParseLocalDate(*fromText))) return BadArguments("--from needs a date YYYY-MM-DD, got '" + *fromText + "'");
  if (toText && !(to = ParseLocalDate(*toText))) return BadArguments("--to needs a date YYYY-MM-DD, got '" + *toText + "'");
  if (!to) to = from ? DaysAfter(*from, kDefaultDays - 1) : LocalDayStart(now);
  if (!from) from = DaysAfter(*to, -(kDefaultDays - 1));
  if (*from > *to) return BadArguments("--from must not come after --to");
  if (path.empty()) return BadArguments("no usage database: give --db FILE (HOME is not set)");

  UsageDatabase database;
  std::string error;
  if (database.OpenForReading(path, error) != UsageDatabase::Status::Ok) {
    std::fprintf(stderr, "velmora-stats: %s\n", error.c_str());
    return kExitCannotRead;
  }
  const std::int64_t end = NextLocalDayStart(*to);
  const UsageReport report = BuildUsageReport(*from, end, now, database.Interactions(*from, end),
                                              database.Resets(*from, end),
                                              // Later runs too: they tell a crashed run from a running one.
                                              database.Runs(*from, std::max(end, now + 1)));
  std::cout << (csv ? FormatUsageCsv(report) : FormatUsageTable(report));
  return 0;
}
