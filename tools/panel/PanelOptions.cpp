#include "tools/panel/PanelOptions.h"

#include <optional>

#include "platform/CommandLineApp.h"

namespace velmora::panel {
namespace {

struct Given {
  std::optional<std::string> device, script;
  bool quietPolls = false;
};

// The panel simulator's options and where their texts go.
struct PanelArguments {
  PanelArguments() {
    app.Value("Line", "--device", "PATH", "use this serial line instead of a new pseudo-terminal", given.device);
    const std::string running = "Running";
    app.Value(running, "--script", "FILE", "run the timed commands of FILE (see below)", given.script);
    app.Flag(running, "--quiet-polls", "do not print each poll, only status packets and changes",
             given.quietPolls);
    app.Help(running);
  }

  Given given;
  CommandLineApp app{
      "velmora-panel",
      "A control panel simulator for the Velmora exhibit. Without --device a\n"
      "pseudo-terminal is made and its path printed; start the exhibit with\n"
      "--panel PATH (and --panel-poll to have it poll). With --device PATH the panel\n"
      "talks on that serial line (9600 baud, 8N1, raw), e.g. one end of a null-modem\n"
      "cable.\n"
      "\n"
      "It prints every status packet and poll it receives and answers each poll \"g\"\n"
      "with the 9-byte reply: button 1, button 2, speed, parameters 1 to 6 (signed\n"
      "bytes). A status packet \"s\" sets the panel's knobs to the values it carries.",
      "Keys (standard input, when it is a terminal):\n"
      "  a b           press stimulus button 1 / 2 (held for the next reply only)\n"
      "  1 .. 6        raise parameter 1 .. 6 (up to 20)\n"
      "  q w e r t z   lower parameter 1 .. 6 (down to 0; y works as z)\n"
      "  + -           raise / lower the speed (0 .. 30)\n"
      "  0             knobs back to the exhibit's defaults\n"
      "  p             print the panel's state\n"
      "  h ?           this text\n"
      "  x Esc Ctrl-C   quit\n"
      "\n"
      "Script: one command per line, \"TIME_MS COMMAND\", times counted from the start in\n"
      "ms, lines in time order, \"#\" starts a comment:\n"
      "  500 press 1          press button 1 (or 2)\n"
      "  800 speed 25         set the speed byte (-128 .. 127, not limited as by keys)\n"
      "  900 param 3 -3       set parameter 3 (-128 .. 127)\n"
      "  1000 defaults        knobs back to the defaults\n"
      "  1200 wait status     hold the later commands until the exhibit's next status\n"
      "                       packet has arrived; those due by then run at once\n"
      "  5000 quit            end the simulator\n"
      "\n"
      "Exit status: 0 when ended by a key or the script, 1 when the line cannot be\n"
      "opened."};
};

}  // namespace

PanelCommandLine ParsePanelArguments(const std::vector<std::string>& arguments) {
  PanelCommandLine result;
  PanelArguments line;
  switch (line.app.Parse(arguments, result.error)) {
    case CommandLineApp::Outcome::kHelp:
      result.action = PanelCommandLine::Action::kHelp;
      return result;
    case CommandLineApp::Outcome::kVersion:
      result.action = PanelCommandLine::Action::kVersion;
      return result;
    case CommandLineApp::Outcome::kError:
      result.action = PanelCommandLine::Action::kError;
      return result;
    case CommandLineApp::Outcome::kRun:
      break;
  }
  const Given& given = line.given;
  if (given.device && given.device->empty()) {
    result.action = PanelCommandLine::Action::kError;
    result.error = "--device needs a path";
  } else if (given.script && given.script->empty()) {
    result.action = PanelCommandLine::Action::kError;
    result.error = "--script needs a file name";
  }
  result.options.devicePath = given.device.value_or("");
  result.options.scriptPath = given.script.value_or("");
  result.options.quietPolls = given.quietPolls;
  return result;
}

std::string PanelHelpText() { return PanelArguments().app.HelpText(); }

}  // namespace velmora::panel
