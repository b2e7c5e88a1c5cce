#pragma once
// The status server's answers as text: the Prometheus exposition of /metrics and the
// JSON of /status, from one snapshot and the run's fixed facts.

#include <chrono>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "monitoring/ExhibitSnapshot.h"
#include "monitoring/UsageSummary.h"

namespace velmora::monitoring {

// Facts that stay the same for the whole run.
struct RunInfo {
  std::string version;                                           // the program's version
  std::chrono::system_clock::time_point started;                 // wall-clock start
  std::chrono::steady_clock::time_point startedSteady;           // the same moment, for the uptime
  std::vector<std::pair<std::string, std::string>> options;      // option name, value as given
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
};

std::string MetricsText(const StatusView& view);
std::string StatusJson(const StatusView& view);

// `text` as a JSON string literal, quotes included; bytes that are not UTF-8 become U+FFFD.
std::string JsonString(std::string_view text);

}  // namespace velmora::monitoring
