#pragma once
// The exhibit's command line. Every option is for operators and tests; left out,
// none changes what the exhibit does.

#include <string>
#include <string_view>
#include <vector>

#include "shell/ExhibitOptions.h"

namespace velmora {

enum class CommandLineAction { Run, Help, ListMidiPorts, SelfTest, Error };

struct CommandLine {
  CommandLineAction action = CommandLineAction::Run;
  ExhibitOptions options;
  std::string error;  // Error: what was wrong, one line
};

// The arguments after the program name. A key script given as @FILE is read here.
CommandLine ParseCommandLine(const std::vector<std::string>& arguments);

// Key presses such as "10:1 12:F1 40:Esc" (frame:key, separated by blanks, tabs or
// line breaks; frames from 1). False with a message in `error` for anything else.
bool ParseKeyScript(std::string_view script, std::vector<KeyPress>& keys, std::string& error);

// The same format, as --record-keys writes it: one "frame:key" per line.
std::string FormatKeyScript(const std::vector<KeyPress>& keys);

// The --help text.
std::string UsageText();

// Exit code for arguments that cannot be used.
inline constexpr int kBadArgumentsExitCode = 2;

}  // namespace velmora
