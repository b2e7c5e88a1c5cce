#include "shell/SelfTest.h"

#include <SDL.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <span>
#include <string_view>
#include <vector>

#include "display/DisplayConstants.h"
#include "model/Midi.h"
#include "model/Soma.h"
#include "platform/MidiSynth.h"
#include "platform/PanelProtocol.h"
#include "platform/Presenter.h"
#include "platform/SerialPort.h"
#include "shell/PanelLink.h"

namespace velmora {
namespace {

// The panel answers a poll within about 10 ms at 9600 baud; half a second is ample
// for a panel that is there at all. The line is looked at every few milliseconds.
constexpr std::uint32_t kReplyWaitMs = 500;
constexpr std::uint32_t kReplyCheckIntervalMs = 5;

constexpr std::string_view kDeviceRemedy =
    "connect the panel's cable and give its device with --panel (e.g. --panel /dev/ttyUSB0; "
    "stable names are under /dev/serial/by-id/)";

std::string Hex(const std::uint8_t* bytes, std::size_t count) {
  std::string text;
  char digits[4];
  for (std::size_t i = 0; i < count; ++i) {
    std::snprintf(digits, sizeof digits, "%02x", bytes[i]);
    if (i > 0) text += ' ';
    text += digits;
  }
  return text;
}

CheckResult Passed(std::string name, std::string detail) {
  return CheckResult{std::move(name), true, std::move(detail), {}};
}

CheckResult Failed(std::string name, std::string detail, std::string remedy) {
  return CheckResult{std::move(name), false, std::move(detail), std::move(remedy)};
}

std::string MidiRemedy(const ExhibitOptions& options) {
  if (options.midiOut.starts_with("port:")) {
    return "connect and switch on the MIDI device, then choose a port listed by "
           "'velmora --list-midi-ports' with --midi-out port:NAME";
  }
  return "install a General MIDI soundfont (apt-get install timgm6mb-soundfont) or give one with "
         "--soundfont FILE, and check that the sound card works (aplay -l) and no other program "
         "holds it; --midi-out none runs the exhibit silent";
}

}  // namespace

std::string FormatCheck(const CheckResult& result) {
  const char* verdict = result.skipped ? "SKIP " : result.passed ? "PASS " : "FAIL ";
  std::string line = verdict + result.name + ": " + result.detail;
  if (!result.passed && !result.remedy.empty()) line += ". To fix: " + result.remedy;
  return line;
}

int RunSelfTest(const ExhibitOptions& options, SelfTestProbes& probes, std::ostream& out) {
  const std::vector<CheckResult> results = {probes.CheckDisplay(options), probes.CheckMidiOutput(options),
                                            probes.CheckPanel(options)};
  int failures = 0;
  int skipped = 0;
  for (const CheckResult& result : results) {
    out << FormatCheck(result) << '\n';
    if (result.skipped) {
      ++skipped;
    } else if (!result.passed) {
      ++failures;
    }
  }
  const int checked = static_cast<int>(results.size()) - skipped;
  const std::string skippedText = skipped > 0 ? ", " + std::to_string(skipped) + " skipped" : "";
  if (failures == 0) {
    out << "All " << checked << " checks passed" << skippedText << ": the exhibit can start with these options.\n";
    return kSelfTestPassedExitCode;
  }
  out << failures << " of " << checked << " checks failed" << skippedText << ".\n";
  return kSelfTestFailedExitCode;
}

SystemProbes::SystemProbes(Clock& waitClock, MidiOutputOpener testOpener)
    : clock(waitClock), opener(std::move(testOpener)) {}

CheckResult SystemProbes::CheckDisplay(const ExhibitOptions& options) {
  const std::string name = "display";
  if (options.headless) SelectHeadlessVideoDriver();
  if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
    return Failed(name, std::string("no video driver could start (") + SDL_GetError() + ")",
                  "start the exhibit inside the graphical session (DISPLAY or WAYLAND_DISPLAY set, "
                  "e.g. by the systemd user service) and unset SDL_VIDEODRIVER");
  }
  const char* driverName = SDL_GetCurrentVideoDriver();
  const std::string driver = driverName == nullptr ? "none" : driverName;
  CheckResult result;
  if (options.headless) {
    result = Passed(name, "SDL video driver '" + driver + "' (headless run: nothing is shown)");
  } else if (VideoDriverShowsNothing()) {
    result = Failed(name, "only SDL's '" + driver + "' video driver, which shows nothing",
                    "start the exhibit inside the graphical session (DISPLAY or WAYLAND_DISPLAY "
                    "set, e.g. by the systemd user service), or give --headless for a run without "
                    "a screen");
  } else {
    SDL_DisplayMode desktop{};
    const bool haveDesktop = SDL_GetDesktopDisplayMode(0, &desktop) == 0;
    SDL_Window* window = SDL_CreateWindow("Velmora self-test", SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED,
                                          kScreenWidthPixels, kScreenHeightPixels, SDL_WINDOW_HIDDEN);
    const bool fullScreen =
        window != nullptr && SDL_SetWindowFullscreen(window, SDL_WINDOW_FULLSCREEN_DESKTOP) == 0;
    const std::string error = SDL_GetError();
    if (window != nullptr) SDL_DestroyWindow(window);
    SDL_DisplayMode wanted{};
    wanted.w = kScreenWidthPixels;
    wanted.h = kScreenHeightPixels;
    SDL_DisplayMode closest{};
    const bool modeAvailable = SDL_GetClosestDisplayMode(0, &wanted, &closest) != nullptr &&
                               closest.w == kScreenWidthPixels && closest.h == kScreenHeightPixels;
    const std::string size = haveDesktop ? std::to_string(desktop.w) + " x " + std::to_string(desktop.h)
                                         : std::string("unknown size");
    if (!haveDesktop || !fullScreen) {
      result = Failed(name, "SDL video driver '" + driver + "', but no full-screen window (" + error + ")",
                      "check that the graphical session is running on the exhibit's monitor, or try "
                      "--windowed");
    } else if (options.screenMode == ScreenMode::ModeSwitch && !modeAvailable) {
      result = Failed(name, "SDL video driver '" + driver + "', desktop " + size +
                                ", but the monitor offers no 1024 x 768 mode for --mode-switch",
                      "leave out --mode-switch: full screen scales the picture to the desktop");
    } else {
      result = Passed(name, "SDL video driver '" + driver + "', full screen on a " + size + " desktop");
    }
  }
  SDL_QuitSubSystem(SDL_INIT_VIDEO);
  return result;
}

CheckResult SystemProbes::CheckMidiOutput(const ExhibitOptions& options) {
  const std::string name = "MIDI output";
  bool chosenNone = false;
  std::string error;
  std::unique_ptr<MidiOutput> output = OpenChosenMidiOutput(options, opener, chosenNone, error);
  if (chosenNone) return Passed(name, "none chosen (--midi-out none): the exhibit runs silent");
  const std::string choice =
      options.midiOut == "synth"
          ? "built-in synthesiser with " + (options.soundfont.empty() ? FindDefaultSoundfont() : options.soundfont)
          : options.midiOut;
  if (!output || !output->Working()) {
    return Failed(name, options.midiOut + " does not open (" + error + ")", MidiRemedy(options));
  }
  if (!options.testNote) return Passed(name, choice + " opens");
  SendMidiShort(output.get(), kProgramChange, kTestChannel, kMarimbaProgram, 0);
  SendMidiShort(output.get(), kMidiNoteOn, kTestChannel, kTestKey, kTestVelocity);
  clock.Sleep(kTestNoteMs);
  SendMidiShort(output.get(), kNoteOff, kTestChannel, kTestKey, 0);
  return Passed(name, choice + " opens; a test note was played (middle C, " + std::to_string(kTestNoteMs) + " ms)");
}

CheckResult SystemProbes::CheckPanel(const ExhibitOptions& options) {
  const std::string name = "panel";
  if (!PanelChosen(options)) {
    CheckResult skipped{name, false, "none chosen (--panel none): the exhibit runs without a panel, keyboard only", {}};
    skipped.skipped = true;
    return skipped;
  }
  const std::string& device = options.panelDevice;
  SerialPort port;
  if (!port.Open(device)) {
    const int cause = errno;
    // Refused before anything was read or written: the holder's replies stay its own.
    if (port.OpenFailure() == SerialOpenFailure::Busy) {
      const std::string holder = port.BusyNote().empty() ? "" : ": " + port.BusyNote();
      return Failed(name, device + " is in use by another program (a running exhibit or a terminal program)" + holder,
                    "end the other program, or check while the exhibit is stopped (systemctl --user stop velmora)");
    }
    std::string remedy(kDeviceRemedy);
    if (cause == EACCES || cause == EPERM) {
      remedy = "add the exhibit's user to the dialout group (sudo usermod -aG dialout USER) and log in again";
    }
    return Failed(name, "cannot open " + device + " (" + std::strerror(cause) + ")", remedy);
  }
  if (!port.RetrieveState()) {
    return Failed(name, device + " is not a serial line (its settings cannot be read)", std::string(kDeviceRemedy));
  }
  if (!port.ApplyExhibitSettings() || !port.HasExhibitSettings()) {
    return Failed(name, device + " does not take 9600 baud 8N1",
                  "give the panel's serial device with --panel; a USB adapter needs its driver");
  }
  // A stale lock file does not stop the exhibit, but an operator wants to know of it.
  const std::string stale = port.StaleLockFileNote().empty() ? "" : "; found " + port.StaleLockFileNote();
  const std::string opened = device + " opens, 9600 baud 8N1 set and read back";
  if (!options.panelPoll) return Passed(name, opened + " (not polled: give --panel-poll to ask the panel)" + stale);

  port.DiscardInput();
  const std::uint8_t poll[] = {kPollLetter};
  std::size_t written = 0;
  if (port.WriteSome(poll, written) == LineStatus::HungUp || written != 1) {
    return Failed(name, opened + ", but the poll \"g\" could not be sent" + stale, "check the cable and the panel's power");
  }
  PanelReply reply{};
  std::size_t received = 0;
  const std::uint32_t start = clock.TickCount();
  for (;;) {
    std::size_t count = 0;
    if (port.ReadSome(std::span<std::uint8_t>(reply).subspan(received), count) == LineStatus::HungUp) break;
    received += count;
    if (received == kReplyBytes || clock.TickCount() - start >= kReplyWaitMs) break;
    clock.Sleep(kReplyCheckIntervalMs);
  }
  const std::string waited = std::to_string(kReplyWaitMs) + " ms";
  if (received == 0) {
    return Failed(name, opened + ", but no reply to the poll \"g\" within " + waited + stale,
                  "switch the panel on and check its cable (a null-modem cable for a PC port); "
                  "without a panel leave out --panel-poll");
  }
  if (received < kReplyBytes) {
    return Failed(name, opened + ", but only " + std::to_string(received) + " of " + std::to_string(kReplyBytes) +
                            " reply bytes within " + waited + ": " + Hex(reply.data(), received) + stale,
                  "check that the panel runs at 9600 baud 8N1 and the cable is sound");
  }
  const PanelReplyValues values = DecodeReply(reply);
  std::string decoded = "buttons " + std::to_string(values.button1 ? 1 : 0) + " " +
                        std::to_string(values.button2 ? 1 : 0) + ", speed " + std::to_string(values.settings.speed) +
                        ", parameters";
  for (const std::int32_t parameter : values.settings.params) decoded += " " + std::to_string(parameter);
  return Passed(name,
                opened + "; the poll \"g\" got the reply " + Hex(reply.data(), received) + " (" + decoded + ")" + stale);
}

}  // namespace velmora
