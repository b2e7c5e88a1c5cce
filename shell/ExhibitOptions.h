#pragma once
// The exhibit's command-line options, for operators and tests. Left out, none of them
// changes what the exhibit does.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "monitoring/AccessControl.h"
#include "monitoring/UsageSettings.h"
#include "platform/MessageCatalogue.h"
#include "platform/ScreenMode.h"

namespace velmora {

struct ScreenshotRequest {
  std::int64_t frame = 0;  // after this frame (1 = the first)
  std::string path;        // PNG file
};

struct KeyPress {
  std::int64_t frame = 0;   // pressed before this frame runs
  std::uint16_t key = 0;    // virtual-key code
};


// The panel device that chooses no panel at all: no serial line, keyboard only.
inline constexpr std::string_view kNoPanel = "none";

struct ExhibitOptions {
  // Display
  ScreenMode screenMode = ScreenMode::FullScreen;
  bool headless = false;            // dummy video driver, message boxes to standard error
  // No message box waits for an answer: messages go to standard error and, for a
  // while, onto the exhibit's screen. Also set when a service manager started it.
  bool unattended = false;
  bool classicPicture = false;      // the 1024 x 768 RGB565 picture scaled up, even full screen
  bool letterbox = false;           // the sharp picture with black bars instead of painted ground beside it
  int pretendWidthPixels = 0;       // headless: the screen a sharp picture is drawn for; 0: none (classic)
  int pretendHeightPixels = 0;
  bool vsync = true;                // present waits for the vertical blank where the renderer can
  int refreshHz = 0;                // full screen in a display mode of this refresh rate; 0: the screen's own
  std::string language = kOwnLanguage;  // the status line's language: its own or one with a catalogue
  // Runs for tests
  std::optional<std::int64_t> frames;          // end as if Esc after this many frames
  std::vector<KeyPress> keys;                  // scripted key presses
  std::vector<ScreenshotRequest> screenshots;  // composed back buffer after a frame
  std::string recordKeysPath;                  // write the run's key presses here
  bool busyWait = false;                       // pure busy-wait frame pacing
  std::string frameLogPath;                    // each frame's start tick and flip time
  // Sound
  std::string midiOut = "synth";  // "synth", "none" or "port:NAME"
  std::string soundfont;          // empty: the standard GM soundfont
  std::string recordMidiPath;     // Standard MIDI File of the run's messages
  // Control panel
  std::string panelDevice = "/dev/ttyS0";  // or kNoPanel
  bool panelPoll = false;  // run the 100 ms poll timer
  // Self-test
  bool testNote = false;  // play a short note on the chosen MIDI output
  // Operators' view: the status server and the usage statistics
  std::string statusListen{monitoring::kDefaultStatusListen};  // "ADDR:PORT" or "off"
  std::string statusTokenFile;                 // the token that allows actions; empty: no actions
  std::string usageDatabase;                   // SQLite file; empty: the default file, "off": none
  std::optional<std::int64_t> usageCommitIntervalMs;  // ms between the store's transactions; tests only
  std::int64_t usageKeepDays = monitoring::kDefaultUsageKeepDays;  // days interactions are kept in detail
  std::string exhibitName;                     // recorded in the usage file; empty: none given
};

inline bool PanelChosen(const ExhibitOptions& options) { return options.panelDevice != kNoPanel; }

}  // namespace velmora
