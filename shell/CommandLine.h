#pragma once
// The exhibit's command line. Every option is for operators and tests; left out,
// none changes what the exhibit does.

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/CommandLineSupport.h"
#include "shell/ExhibitOptions.h"

namespace velmora {

enum class CommandLineAction { Run, Help, Version, ListMidiPorts, SelfTest, Error };

struct CommandLine {
  CommandLineAction action = CommandLineAction::Run;
  ExhibitOptions options;
  std::string error;  // Error: what was wrong, one line
  // Run: the options given, as --help names them, with their values as typed.
  std::vector<std::pair<std::string, std::string>> givenOptions;
};

// Largest key script file read, in bytes: about 100,000 presses of ten bytes each, far
// more than a scripted run needs. A larger file is no key script (a device such as
// /dev/zero never ends), and is refused instead of read until memory runs out.
inline constexpr std::size_t kMaxKeyScriptBytes = 1024 * 1024;

// The arguments after the program name. A key script given as @FILE is read here.
CommandLine ParseCommandLine(const std::vector<std::string>& arguments);

// Key presses such as "10:1 12:F1 40:Esc" (frame:key, separated by blanks, tabs or
// line breaks; frames from 1). False with a message in `error` for anything else.
bool ParseKeyScript(std::string_view script, std::vector<KeyPress>& keys, std::string& error);

// The same format, as --record-keys writes it: one "frame:key" per line.
std::string FormatKeyScript(const std::vector<KeyPress>& keys);

// The --help text.
std::string UsageText();

}  // namespace velmora
