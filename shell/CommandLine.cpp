#include "shell/CommandLine.h"

#include <algorithm>
#include <charconv>
#include <fstream>
#include <optional>
#include <sstream>

#include "platform/Keys.h"

namespace velmora {
namespace {

bool ParseCount(std::string_view text, std::int64_t minimum, std::int64_t& value) {
  std::int64_t parsed = 0;
  const char* end = text.data() + text.size();
  const auto [rest, status] = std::from_chars(text.data(), end, parsed);
  if (status != std::errc() || rest != end || parsed < minimum) return false;
  value = parsed;
  return true;
}

bool ReadFile(const std::string& path, std::string& text) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::ostringstream content;
  content << in.rdbuf();
  text = content.str();
  return true;
}

bool EndsWith(std::string_view text, std::string_view suffix) {
  return text.size() >= suffix.size() && text.substr(text.size() - suffix.size()) == suffix;
}

class Parser {
public:
  explicit Parser(const std::vector<std::string>& args) : arguments(args) {}

  CommandLine Parse() {
    while (next < arguments.size() && result.action == CommandLineAction::Run) {
      ParseOne(arguments[next++]);
    }
    // The self-test takes every other option, so it is decided once all are read.
    if (result.action == CommandLineAction::Run && selfTest) {
      result.action = CommandLineAction::SelfTest;
    } else if (result.action == CommandLineAction::Run && result.options.testNote) {
      Fail("--test-note goes with --self-test only");
    }
    return result;
  }

private:
  void Fail(std::string message) {
    if (result.action == CommandLineAction::Error) return;
    result.action = CommandLineAction::Error;
    // The message quotes what was typed; a control character in it (a line break
    // pasted into an argument) would break the one-line message apart.
    for (char& c : message) {
      if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '?';
    }
    result.error = std::move(message);
  }

  // The option's value, from "--name=value" or the next argument.
  bool Value(const std::string& name, const std::optional<std::string>& inlineValue,
             std::string& value) {
    if (inlineValue) {
      value = *inlineValue;
      return true;
    }
    if (next >= arguments.size()) {
      Fail(name + " needs a value");
      return false;
    }
    value = arguments[next++];
    return true;
  }

  void ParseOne(const std::string& argument) {
    std::string name = argument;
    std::optional<std::string> inlineValue;
    if (const auto equals = argument.find('='); argument.rfind("--", 0) == 0 && equals != std::string::npos) {
      name = argument.substr(0, equals);
      inlineValue = argument.substr(equals + 1);
    }
    ExhibitOptions& options = result.options;
    std::string value;

    const auto flag = [&](bool& target) {
      if (inlineValue) return Fail(name + " takes no value");
      target = true;
    };

    if (name == "--help" || name == "-h") {
      if (inlineValue) return Fail(name + " takes no value");
      result.action = CommandLineAction::Help;
    } else if (name == "--windowed") {
      if (inlineValue) return Fail(name + " takes no value");
      options.screenMode = ScreenMode::Windowed;
    } else if (name == "--mode-switch") {
      if (inlineValue) return Fail(name + " takes no value");
      options.screenMode = ScreenMode::ModeSwitch;
    } else if (name == "--headless") {
      flag(options.headless);
    } else if (name == "--busy-wait") {
      flag(options.busyWait);
    } else if (name == "--panel-poll") {
      flag(options.panelPoll);
    } else if (name == "--self-test") {
      flag(selfTest);
    } else if (name == "--test-note") {
      flag(options.testNote);
    } else if (name == "--list-midi-ports") {
      if (inlineValue) return Fail(name + " takes no value");
      result.action = CommandLineAction::ListMidiPorts;
    } else if (name == "--frames") {
      if (!Value(name, inlineValue, value)) return;
      std::int64_t frames = 0;
      if (!ParseCount(value, 1, frames)) return Fail("--frames needs a whole number of at least 1, not '" + value + "'");
      options.frames = frames;
    } else if (name == "--keys") {
      if (!Value(name, inlineValue, value)) return;
      std::string script = value;
      if (!value.empty() && value[0] == '@' && !ReadFile(value.substr(1), script)) {
        return Fail("cannot read the key script " + value.substr(1));
      }
      std::string error;
      if (!ParseKeyScript(script, options.keys, error)) return Fail("--keys: " + error);
    } else if (name == "--screenshot") {
      if (!Value(name, inlineValue, value)) return;
      const auto colon = value.find(':');
      ScreenshotRequest request;
      if (colon == std::string::npos || !ParseCount(std::string_view(value).substr(0, colon), 1, request.frame) ||
          colon + 1 == value.size() || !EndsWith(value, ".png")) {
        return Fail("--screenshot needs FRAME:FILE.png with a frame of at least 1, not '" + value + "'");
      }
      request.path = value.substr(colon + 1);
      options.screenshots.push_back(request);
    } else if (name == "--record-keys") {
      if (!Value(name, inlineValue, value)) return;
      if (value.empty()) return Fail("--record-keys needs a file name");
      options.recordKeysPath = value;
    } else if (name == "--frame-log") {
      if (!Value(name, inlineValue, value)) return;
      if (value.empty()) return Fail("--frame-log needs a file name");
      options.frameLogPath = value;
    } else if (name == "--midi-out") {
      if (!Value(name, inlineValue, value)) return;
      if (value != "synth" && value != "none" && !(value.rfind("port:", 0) == 0 && value.size() > 5)) {
        return Fail("--midi-out needs synth, none or port:NAME, not '" + value + "'");
      }
      options.midiOut = value;
    } else if (name == "--soundfont") {
      if (!Value(name, inlineValue, value)) return;
      if (value.empty()) return Fail("--soundfont needs a file name");
      options.soundfont = value;
    } else if (name == "--record-midi") {
      if (!Value(name, inlineValue, value)) return;
      if (value.empty()) return Fail("--record-midi needs a file name");
      options.recordMidiPath = value;
    } else if (name == "--panel") {
      if (!Value(name, inlineValue, value)) return;
      if (value.empty()) return Fail("--panel needs a device");
      options.panelDevice = value;
    } else {
      Fail("unknown argument '" + argument + "'");
    }
  }

  const std::vector<std::string>& arguments;
  std::size_t next = 0;
  bool selfTest = false;
  CommandLine result;
};

}  // namespace

CommandLine ParseCommandLine(const std::vector<std::string>& arguments) {
  return Parser(arguments).Parse();
}

bool ParseKeyScript(std::string_view script, std::vector<KeyPress>& keys, std::string& error) {
  std::vector<KeyPress> parsed;
  std::size_t position = 0;
  while (position < script.size()) {
    const std::size_t start = script.find_first_not_of(" \t\r\n", position);
    if (start == std::string_view::npos) break;
    const std::size_t end = std::min(script.find_first_of(" \t\r\n", start), script.size());
    const std::string_view entry = script.substr(start, end - start);
    position = end;
    const std::size_t colon = entry.find(':');
    KeyPress press;
    if (colon == std::string_view::npos || !ParseCount(entry.substr(0, colon), 1, press.frame)) {
      error = "'" + std::string(entry) + "' is not FRAME:KEY with a frame of at least 1";
      return false;
    }
    const auto key = VirtualKeyFromName(entry.substr(colon + 1));
    if (!key) {
      error = "unknown key in '" + std::string(entry) + "'";
      return false;
    }
    press.key = *key;
    parsed.push_back(press);
  }
  keys.insert(keys.end(), parsed.begin(), parsed.end());
  return true;
}

std::string FormatKeyScript(const std::vector<KeyPress>& keys) {
  std::string text;
  for (const KeyPress& press : keys) {
    text += std::to_string(press.frame) + ":" + VirtualKeyName(press.key) + "\n";
  }
  return text;
}

std::string UsageText() {
  return R"(Usage: velmora [options]

Runs the exhibit full screen until Esc or F12. Without options it behaves as it
does in the museum.

Display:
  --windowed             a 1024 x 768 window instead of full screen
  --mode-switch          full screen by switching the monitor to 1024 x 768
  --headless             no display (SDL's dummy driver); messages go to standard error
Runs for tests and demonstrations:
  --frames N             end as if Esc were pressed after N frames
  --keys SCRIPT          key presses before given frames, e.g. "10:1 12:F1 40:Esc",
                         or @FILE to read them from a file
  --screenshot F:FILE.png  save the composed picture after frame F (repeatable)
  --record-keys FILE     write this run's key presses in the --keys format
  --frame-log FILE       write each frame's start tick and flip time
  --busy-wait            pace frames by polling the clock only (uses a whole core)
Sound:
  --midi-out synth|none|port:NAME   built-in synthesiser (default), silence, or a port
  --soundfont FILE       the synthesiser's soundfont
  --record-midi FILE.mid write every MIDI message sent as a Standard MIDI File
  --list-midi-ports      list the MIDI ports and exit
Control panel:
  --panel DEVICE         the panel's serial device (default /dev/ttyS0)
  --panel-poll           poll the panel every 100 ms
Checks:
  --self-test            check the display, the MIDI output and the panel with the
                         other options given, print one line per check, and exit
                         (0 when all pass); the exhibit does not start
  --test-note            with --self-test: play a short note on the MIDI output
  --help                 this text
)";
}

}  // namespace velmora
