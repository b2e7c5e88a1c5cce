#include "tools/panel/PanelScript.h"

#include <algorithm>
#include <charconv>
#include <fstream>

#include "platform/PanelProtocol.h"

namespace velmora::panel {
namespace {

// The blank-separated words of a line.
std::vector<std::string_view> Words(std::string_view line) {
  std::vector<std::string_view> words;
  std::size_t position = 0;
  while ((position = line.find_first_not_of(" \t\r", position)) != std::string_view::npos) {
    const std::size_t end = std::min(line.find_first_of(" \t\r", position), line.size());
    words.push_back(line.substr(position, end - position));
    position = end;
  }
  return words;
}

bool ParseWhole(std::string_view word, std::int64_t minimum, std::int64_t maximum, std::int64_t& value) {
  const char* end = word.data() + word.size();
  const auto [stop, status] = std::from_chars(word.data(), end, value);
  return status == std::errc() && stop == end && value >= minimum && value <= maximum;
}

const std::string kByteRange = std::to_string(kPanelValueMin) + " to " + std::to_string(kPanelValueMax);

// One command after its time; empty when it is sound, else what is wrong.
std::string ParseCommand(const std::vector<std::string_view>& words, ScriptCommand& command) {
  using Kind = ScriptCommand::Kind;
  const std::size_t arguments = words.size() - 2;
  const std::string_view verb = words[1];
  std::int64_t number = 0;
  std::int64_t value = 0;
  if (verb == "press") {
    if (arguments != 1 || !ParseWhole(words[2], 1, 2, number)) return "press needs button 1 or 2";
    command.kind = Kind::kPress;
  } else if (verb == "speed") {
    if (arguments != 1 || !ParseWhole(words[2], kPanelValueMin, kPanelValueMax, value)) {
      return "speed needs a value from " + kByteRange;
    }
    command.kind = Kind::kSpeed;
  } else if (verb == "param") {
    if (arguments != 2 || !ParseWhole(words[2], 1, 6, number) ||
        !ParseWhole(words[3], kPanelValueMin, kPanelValueMax, value)) {
      return "param needs a parameter from 1 to 6 and a value from " + kByteRange;
    }
    command.kind = Kind::kParam;
  } else if (verb == "defaults" && arguments == 0) {
    command.kind = Kind::kDefaults;
  } else if (verb == "wait" && arguments == 1 && words[2] == "status") {
    command.kind = Kind::kWaitStatus;
  } else if (verb == "quit" && arguments == 0) {
    command.kind = Kind::kQuit;
  } else {
    return "unknown command '" + std::string(verb) + "' (press, speed, param, defaults, wait status, quit)";
  }
  command.index = static_cast<int>(number);
  command.value = static_cast<std::int32_t>(value);
  return {};
}

}  // namespace

bool ParsePanelScript(std::string_view text, std::vector<ScriptCommand>& commands, std::string& error) {
  std::vector<ScriptCommand> parsed;
  int number = 0;
  for (std::size_t start = 0; start < text.size();) {
    const std::size_t end = std::min(text.find('\n', start), text.size());
    std::string_view line = text.substr(start, end - start);
    line = line.substr(0, line.find('#'));
    start = end + 1;
    ++number;
    const std::vector<std::string_view> words = Words(line);
    if (words.empty()) continue;
    ScriptCommand command;
    std::string problem;
    if (!ParseWhole(words[0], 0, kMaxScriptTimeMs, command.atMs)) {
      problem = "expected a time from 0 to " + std::to_string(kMaxScriptTimeMs) + " ms, got '" +
                std::string(words[0]) + "'";
    } else if (words.size() < 2) {
      problem = "a command follows the time";
    } else {
      problem = ParseCommand(words, command);
    }
    if (!problem.empty()) {
      error = "line " + std::to_string(number) + ": " + problem;
      return false;
    }
    const std::string_view first = words[1];
    command.text = std::string(line.substr(static_cast<std::size_t>(first.data() - line.data())));
    command.text.erase(command.text.find_last_not_of(" \t\r") + 1);
    parsed.push_back(std::move(command));
  }
  std::stable_sort(parsed.begin(), parsed.end(),
                   [](const ScriptCommand& a, const ScriptCommand& b) { return a.atMs < b.atMs; });
  commands = std::move(parsed);
  return true;
}

bool ReadPanelScript(const std::string& path, std::vector<ScriptCommand>& commands, std::string& error) {
  std::ifstream in(path, std::ios::binary);
  std::string text;
  char chunk[4096];
  while (in && (in.read(chunk, sizeof chunk) || in.gcount() > 0)) {
    text.append(chunk, static_cast<std::size_t>(in.gcount()));
    if (text.size() > kMaxScriptBytes) {
      error = path + " is larger than " + std::to_string(kMaxScriptBytes) + " bytes: no script";
      return false;
    }
  }
  if (!in.eof()) {
    error = "cannot read " + path;
    return false;
  }
  if (!ParsePanelScript(text, commands, error)) {
    error = path + ": " + error;
    return false;
  }
  return true;
}

}  // namespace velmora::panel
