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
#include "platform/Touch.h"
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

// One step of a scripted touch, as a touch screen would report it: in screen pixels
// as the screen is driven (before any --rotate).
struct TouchStep {
  std::int64_t frame = 0;  // before this frame runs
  ScreenTouch touch;
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
  std::vector<std::string> languages;   // the languages the language button offers, the first shown first; empty: none
  int rotationDegrees = 0;              // clockwise turn of the picture (and the touches): 0, 90, 180, 270
  // Touch
  bool showPointer = false;             // the mouse pointer stays visible over the window
  double screenWidthMm = 0.0;           // the screen's width for touch targets' size; 0: as the display reports
  bool countdown = true;                // the countdown before the idle reset
  bool invitation = true;               // the invitation to touch after an idle reset
  // Runs for tests
  std::optional<std::int64_t> frames;          // end as if Esc after this many frames
  std::vector<KeyPress> keys;                  // scripted key presses
  std::vector<TouchStep> touches;              // scripted touches
  std::vector<ScreenshotRequest> screenshots;  // composed back buffer after a frame
  std::string recordKeysPath;                  // write the run's key presses here
  bool busyWait = false;                       // pure busy-wait frame pacing
  std::string frameLogPath;                    // each frame's start tick and flip time
  // Sound
  std::string midiOut = "synth";  // "synth", "none" or "port:NAME"
  std::string soundfont;          // empty: the standard GM soundfont
  std::string recordMidiPath;     // Standard MIDI File of the run's messages
  int transposeSemitones = 0;     // every note moved by this many semitones, -24 .. 60
  int volumePercent = 100;        // the built-in synthesiser's level, 0 .. 100
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
