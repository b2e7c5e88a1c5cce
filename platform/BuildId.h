#pragma once
// The running program's build, as the linker stamped it: anything kept on disk for
// one build (the painted pictures) is told apart from what another build wrote.

#include <string>

namespace velmora {

// The program's ELF build ID in hexadecimal digits; empty if it carries none.
std::string ProgramBuildId();

}  // namespace velmora
