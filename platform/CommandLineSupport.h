#pragma once
// What the command lines of all Velmora programs share and their callers need, without
// the parser library itself.

#include <string>

namespace velmora {

// Exit status of every program for arguments that cannot be used.
inline constexpr int kBadArgumentsExitCode = 2;

// The text with every control character replaced by '?': a message quoting what was
// typed (a line break pasted into an argument) stays on one line.
inline std::string OneLine(std::string text) {
  for (char& c : text) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '?';
  }
  return text;
}

}  // namespace velmora
