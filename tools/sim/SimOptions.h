#pragma once
// What one run of the headless simulator is asked to do, and the command line that
// says it.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/CommandLineSupport.h"
#include "platform/MessageCatalogue.h"
#include "platform/PanelProtocol.h"
#include "platform/MidiTranspose.h"
#include "platform/SynthVolume.h"
#include "tools/sim/FlashAnalysis.h"

namespace velmora::sim {

// Run length when the command line gives neither --until nor --steps: one simulated
// second, enough for the first thirty-odd firings at the default step.
inline constexpr double kDefaultUntilMs = 1000.0;
// Step of a model that was just built, the exhibit's own start value.
inline constexpr float kDefaultInitialStepMs = 1.0f;
// Range of the visitors' speed setting.
inline constexpr float kMinSpeedSetting = 0.0f;
inline constexpr float kMaxSpeedSetting = 30.0f;

// Largest step, simulated ms: a simulated second, far beyond the exhibit's own 0.02 to
// 1.2 ms. The spike sources send every spike due within a step in that step, so the
// work and memory of one step grow with it (one step of 1e7 ms takes half a gigabyte).
inline constexpr double kMaxStepMs = 1000.0;
// Most steps of a run, by --steps or by --until at its smallest step: beyond it a run
// would take hours, and a step this small against the end time is almost surely a typo.
inline constexpr double kMaxUntilStepCount = 1e10;
inline constexpr std::int64_t kMaxStepCount = 10'000'000'000;
// Latest time of --until and --at, simulated ms: the longest run at the largest step.
inline constexpr double kMaxTimeMs = 1e13;
// Most steps of a run with --raster, whose every spike is kept for the picture until
// the end (about 4 MB per million steps of the start step).
inline constexpr double kMaxRasterStepCount = 1e7;
// Most steps of a run with --flashes or --sound, which keep every frame's transitions or
// sound until the end: 30,000 frames, 10 minutes as the exhibit shows them (a sound
// run this long takes about 250 MB).
inline constexpr double kMaxMeasuredStepCount = 600'000;

// Range of a weight given to the simulator: the panel's signed byte, the widest range
// the exhibit ever sees. The drawing sizes synapses from the weight, and weights far
// beyond it would not fit the picture's integer coordinates.
inline constexpr std::int32_t kMinWeight = kPanelValueMin;
inline constexpr std::int32_t kMaxWeight = kPanelValueMax;

// How far the flash analysis' viewer may be set: a screen's diagonal, and its distance.
inline constexpr double kMinScreenDiagonalInches = 5.0;
inline constexpr double kMaxScreenDiagonalInches = 400.0;
inline constexpr double kMinViewingDistanceCm = 20.0;
inline constexpr double kMaxViewingDistanceCm = 5000.0;

// Exit status when an output file cannot be written or the run cannot progress.
inline constexpr int kExitRunFailed = 1;

using Weights = std::array<std::int32_t, 6>;

enum class ActionKind {
  kStimulus1,   // a manual spike into the first stimulus input
  kStimulus2,   // a manual spike into the second stimulus input
  kSetWeights,  // the six visitor weights, as a parameter key sets them
  kSetSpeed,    // a new speed setting: the step changes, the network is not reset
  kReset,       // what the reset key does: default weights, default speed, model reset
};

struct TimedAction {
  double atMs = 0.0;         // model time (ms) from which the action is due
  ActionKind kind = ActionKind::kStimulus1;
  Weights weights{};         // for kSetWeights
  float speedSetting = 0.0f; // for kSetSpeed, 0 .. 30
  std::string label;         // the action as written after "T:", for the raster
};

struct SimOptions {
  float initialStepMs = kDefaultInitialStepMs;  // simulated ms per Advance at the start
  std::optional<float> initialSpeedSetting;     // when given, initialStepMs was derived from it
  bool runByStepCount = false;                  // true: stepCount Advances; false: until untilMs
  double untilMs = kDefaultUntilMs;             // advance while the model's time (ms) is below it
  std::int64_t stepCount = 0;                   // number of Advances with --steps
  std::optional<Weights> initialWeights;        // set once before the first step
  std::vector<TimedAction> actions;             // in command-line order
  std::string csvPath;                          // empty: no CSV
  std::string rasterPath;                       // empty: no raster; ends in .svg or .png
  std::string geometryPath;                     // empty: no geometry CSV
  std::string picturePath;                      // empty: no picture; ends in .png
  bool labeledPicture = false;                  // the picture on the labelled background
  int pictureWidthPixels = 0;                   // the sharp picture for a screen of this size; 0: the classic one
  int pictureHeightPixels = 0;
  bool letterboxPicture = false;                // the sharp picture with black bars beside the design
  std::string language = kOwnLanguage;          // the status line's language
  std::string imagesDirectory;                  // empty: the built-in images are not written
  // Stimulus keys held down for the whole run: a press before every frame's steps.
  bool holdStimulus1 = false;
  bool holdStimulus2 = false;
  // Flash analysis: every frame composed as the exhibit shows it and its flashes counted;
  // the report replaces the firing lines.
  bool flashes = false;
  bool classicPicture = false;                  // with --size: the classic picture scaled up to the screen
  double screenDiagonalInches = kReferenceScreenDiagonalInches;
  double viewingDistanceCm = kReferenceViewingDistanceCm;
  // The synapses' colours in the sharp picture as every kind of eye sees them; the
  // report replaces the firing lines and no run is made.
  bool colours = false;
  // Sound: the run's notes rendered by the built-in synthesiser into this WAV file and
  // measured; the report replaces the firing lines. Empty: no sound.
  std::string soundPath;
  std::string soundfont;                        // empty: the standard GM soundfont
  int transposeSemitones = 0;                   // as the exhibit's --transpose
  int volumePercent = kFullVolumePercent;       // as the exhibit's --volume
};

enum class ParseStatus { kRun, kHelp, kVersion, kError };

struct ParseOutcome {
  ParseStatus status = ParseStatus::kRun;
  SimOptions options;    // meaningful with kRun
  std::string message;   // the complaint with kError
};

// Reads the arguments after the program name.
ParseOutcome ParseSimArguments(const std::vector<std::string>& arguments);

// The --help text.
std::string SimHelpText();

}  // namespace velmora::sim
