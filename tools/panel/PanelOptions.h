#pragma once
// The command line of velmora-panel, the control panel simulator.

#include <string>
#include <vector>

#include "platform/CommandLineSupport.h"

namespace velmora::panel {

struct PanelOptions {
  std::string devicePath;  // empty: make a pseudo-terminal
  std::string scriptPath;  // empty: no script
  bool quietPolls = false; // print polls only when a button is pressed
};

struct PanelCommandLine {
  enum class Action { kRun, kHelp, kVersion, kError } action = Action::kRun;
  PanelOptions options;
  std::string error;  // with kError: what is wrong, one line
};

// The arguments after the program name.
PanelCommandLine ParsePanelArguments(const std::vector<std::string>& arguments);

// The --help text.
std::string PanelHelpText();

}  // namespace velmora::panel
