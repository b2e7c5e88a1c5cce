#pragma once
// velmora-panel's script: timed commands that press the buttons and turn the knobs,
// read and checked whole before the panel starts, so a mistake is told at once with
// its line instead of when its time comes.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace velmora::panel {

// Latest time of a command, ms from the start: a day, beyond any session at a panel.
inline constexpr std::int64_t kMaxScriptTimeMs = 86'400'000;
// Largest script file read, bytes: some 50,000 commands. A larger file is no script
// (a device such as /dev/zero never ends) and is refused instead of read until memory
// runs out.
inline constexpr std::size_t kMaxScriptBytes = 1024 * 1024;

struct ScriptCommand {
  enum class Kind { kPress, kSpeed, kParam, kDefaults, kWaitStatus, kQuit };
  std::int64_t atMs = 0;   // ms from the start, 0 to kMaxScriptTimeMs
  Kind kind = Kind::kQuit;
  int index = 0;           // kPress: button 1 or 2; kParam: parameter 1 to 6
  std::int32_t value = 0;  // kSpeed, kParam: the byte sent, -128 to 127
  std::string text;        // the command as written, for the panel's printout
};

// The commands of a script's text, in time order (commands of the same time in the
// order written). False with "line N: what is wrong" in `error` for anything else.
bool ParsePanelScript(std::string_view text, std::vector<ScriptCommand>& commands, std::string& error);

// Reads and parses a script file; false with the reason (file name and line) in `error`.
bool ReadPanelScript(const std::string& path, std::vector<ScriptCommand>& commands, std::string& error);

}  // namespace velmora::panel
