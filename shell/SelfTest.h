#pragma once
// `velmora --self-test`: checks, without starting the exhibit, what the exhibit will
// find with the same options (display, MIDI output, control panel) and prints one line
// per check, with what to do when it fails. Never shows a message box.

#include <cstdint>
#include <ostream>
#include <string>

#include "platform/Clock.h"
#include "shell/ExhibitOptions.h"
#include "shell/MidiDevice.h"

namespace velmora {

// The test note (the self-test's, and the status server's action): middle C on channel
// 0, loud enough to hear across a room, held long enough to be recognised as a note and
// short enough not to hold up the check.
inline constexpr std::int32_t kNoteOff = 0x80;
inline constexpr std::int32_t kTestChannel = 0;
inline constexpr std::int32_t kTestKey = 60;
inline constexpr std::int32_t kTestVelocity = 100;
inline constexpr std::uint32_t kTestNoteMs = 300;

struct CheckResult {
  std::string name;    // "display", "MIDI output", "panel"
  bool passed = false;
  std::string detail;  // what was found
  std::string remedy;  // what to do about a failure; empty when passed
  bool skipped = false;  // nothing to check: the options leave this part out (neither passed nor failed)
};

// The checks, each on its own; tests stand fakes in for them.
class SelfTestProbes {
public:
  virtual ~SelfTestProbes() = default;
  virtual CheckResult CheckDisplay(const ExhibitOptions& options) = 0;
  virtual CheckResult CheckMidiOutput(const ExhibitOptions& options) = 0;
  virtual CheckResult CheckPanel(const ExhibitOptions& options) = 0;
};

// The real checks: SDL video, the MIDI output opened as the exhibit opens it (with
// `options.testNote` a short note played), the panel's serial device. Waits count
// on `clock`; `opener`, when set, stands in for the MIDI output the options choose.
class SystemProbes final : public SelfTestProbes {
public:
  explicit SystemProbes(Clock& clock, MidiOutputOpener opener = {});
  CheckResult CheckDisplay(const ExhibitOptions& options) override;
  CheckResult CheckMidiOutput(const ExhibitOptions& options) override;
  CheckResult CheckPanel(const ExhibitOptions& options) override;

private:
  Clock& clock;
  MidiOutputOpener opener;
};

inline constexpr int kSelfTestPassedExitCode = 0;
inline constexpr int kSelfTestFailedExitCode = 1;

// One line: "PASS name: detail", "FAIL name: detail. To fix: remedy" or
// "SKIP name: detail".
std::string FormatCheck(const CheckResult& result);

// Runs every check in turn (display, MIDI output, panel), prints a line for each and a
// summary, and gives the exit code: kSelfTestPassedExitCode only when every check that
// was not skipped passed.
int RunSelfTest(const ExhibitOptions& options, SelfTestProbes& probes, std::ostream& out);

}  // namespace velmora
