#pragma once
// The command line of velmora-stats, the curator's report of the usage statistics.

#include <cstdint>
#include <string>
#include <vector>

namespace velmora::stats {

// Days reported when --from or --to is not given.
inline constexpr int kDefaultDays = 7;

struct StatsOptions {
  std::vector<std::string> databases;  // in command-line order; empty: the default file
  std::int64_t fromDayStartMs = 0;     // local midnight of the first day
  std::int64_t toDayStartMs = 0;       // local midnight after the last day
  bool csv = false;
  std::string htmlPath;                // empty: no HTML page
};

struct StatsCommandLine {
  enum class Action { kRun, kHelp, kVersion, kError } action = Action::kRun;
  StatsOptions options;
  std::string error;  // with kError: what is wrong, one line
};

// The arguments after the program name; `nowMs` (ms since 1970) decides which day is
// today.
StatsCommandLine ParseStatsArguments(const std::vector<std::string>& arguments, std::int64_t nowMs);

// The --help text, naming `defaultPath` as the file read without --db.
std::string StatsHelpText(const std::string& defaultPath);

}  // namespace velmora::stats
