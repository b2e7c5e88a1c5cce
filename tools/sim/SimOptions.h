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

namespace velmora::sim {

// Run length when the command line gives neither --until nor --steps: one simulated
// second, enough for the first thirty-odd firings at the default step.
inline constexpr double kDefaultUntilMs = 1000.0;
// Step of a model that was just built, the exhibit's own start value.
inline constexpr float kDefaultInitialStepMs = 1.0f;
// Range of the visitors' speed setting.
inline constexpr float kMinSpeedSetting = 0.0f;
inline constexpr float kMaxSpeedSetting = 30.0f;

// Longest run by time that is accepted, in steps of the start step: beyond it a run
// would take hours, and a step this small against the end time is almost surely a typo.
inline constexpr double kMaxUntilStepCount = 1e10;

// Range of a weight given to the simulator: the panel's signed byte, the widest range
// the exhibit ever sees. The drawing sizes synapses from the weight, and weights far
// beyond it would not fit the picture's integer coordinates.
inline constexpr std::int32_t kMinWeight = kPanelValueMin;
inline constexpr std::int32_t kMaxWeight = kPanelValueMax;

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
