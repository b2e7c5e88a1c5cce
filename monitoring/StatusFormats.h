#pragma once
// The status server's answers as text: the Prometheus exposition of /metrics and the
// JSON of /status, from one snapshot and the run's fixed facts.

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "monitoring/ExhibitSnapshot.h"
#include "monitoring/UsageSummary.h"

namespace velmora::monitoring {

// An option the exhibit runs with.
struct OptionInEffect {
  std::string name;   // as --help names it
  std::string value;  // empty for a flag that is on
  bool given = false; // on the command line, rather than a default or implied
};

// Which of the exhibit's parts this installation has at all: one that is not fitted
// is no fault.
struct FittedParts {
  bool panel = true;         // a panel's serial device is configured (not --panel none)
  bool midiOutput = true;    // a MIDI output is configured (not --midi-out none)
  bool usageFile = true;     // usage statistics are to be recorded in a file (not --usage-db off)
};

// Facts that stay the same for the whole run.
struct RunInfo {
  std::string version;                                           // the program's version
  std::chrono::system_clock::time_point started;                 // wall-clock start
  std::chrono::steady_clock::time_point startedSteady;           // the same moment, for the uptime
  std::vector<OptionInEffect> options;                           // every option, with its value in effect
  FittedParts fitted;
};

// A moment of the running exhibit as the server sees it.
struct StatusView {
  const RunInfo& run;
  const ExhibitSnapshot* snapshot;              // null before the first frame
  double uptimeSeconds = 0.0;
  double lastFrameAgeSeconds = -1.0;            // < 0: no frame yet
  const std::vector<std::string>& startupMessages;
  const std::optional<UsageSummary>& usage;     // empty without a usage store
  bool actionsEnabled = false;
  std::uint64_t authFailures = 0;               // action requests with a wrong or missing token
};

std::string MetricsText(const StatusView& view);
std::string StatusJson(const StatusView& view);

// `text` as a JSON string literal, quotes included; bytes that are not UTF-8 become U+FFFD.
std::string JsonString(std::string_view text);

}  // namespace velmora::monitoring
