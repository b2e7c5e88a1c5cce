#include "tools/sim/SimOptions.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <set>
#include <string_view>

#include "model/SpeedRule.h"

namespace velmora::sim {
namespace {

// Why an argument was refused; empty when it was accepted.
using Complaint = std::string;

bool ParseDouble(std::string_view text, double& value) {
  if (text.empty()) return false;
  const char* end = text.data() + text.size();
  const auto [stop, error] = std::from_chars(text.data(), end, value);
  return error == std::errc() && stop == end && std::isfinite(value);
}

bool ParseInt64(std::string_view text, std::int64_t& value) {
  if (text.empty()) return false;
  const char* end = text.data() + text.size();
  const auto [stop, error] = std::from_chars(text.data(), end, value);
  return error == std::errc() && stop == end;
}

// A time or step in ms: finite, not negative, and (when it goes into a float) not
// beyond float's range.
Complaint ParseMilliseconds(std::string_view what, std::string_view text, bool mustFitFloat, double& value) {
  if (!ParseDouble(text, value)) {
    return std::string(what) + " needs a number of milliseconds, got '" + std::string(text) + "'";
  }
  if (value < 0.0) return std::string(what) + " must not be negative, got '" + std::string(text) + "'";
  if (mustFitFloat && value > static_cast<double>(std::numeric_limits<float>::max())) {
    return std::string(what) + " is too large, got '" + std::string(text) + "'";
  }
  return {};
}

Complaint ParseSpeed(std::string_view what, std::string_view text, float& speed) {
  double value = 0.0;
  if (!ParseDouble(text, value)) {
    return std::string(what) + " needs a speed setting from 0 to 30, got '" + std::string(text) + "'";
  }
  if (value < kMinSpeedSetting || value > kMaxSpeedSetting) {
    return std::string(what) + " must lie from 0 to 30, got '" + std::string(text) + "'";
  }
  speed = static_cast<float>(value);
  return {};
}

Complaint ParseWeights(std::string_view what, std::string_view text, Weights& weights) {
  const std::string complaint = std::string(what) + " needs six integers separated by commas, got '" +
                                std::string(text) + "'";
  std::size_t filled = 0;
  std::size_t start = 0;
  while (true) {
    const std::size_t comma = text.find(',', start);
    const std::string_view field = text.substr(start, comma == std::string_view::npos ? text.npos : comma - start);
    std::int64_t value = 0;
    if (filled == weights.size() || !ParseInt64(field, value)) return complaint;
    if (value < std::numeric_limits<std::int32_t>::min() || value > std::numeric_limits<std::int32_t>::max()) {
      return std::string(what) + " has a weight out of the 32-bit range: '" + std::string(field) + "'";
    }
    weights[filled++] = static_cast<std::int32_t>(value);
    if (comma == std::string_view::npos) break;
    start = comma + 1;
  }
  return filled == weights.size() ? Complaint{} : complaint;
}

Complaint ParseTimedAction(std::string_view text, TimedAction& action) {
  const std::size_t colon = text.find(':');
  if (colon == std::string_view::npos) {
    return "--at needs TIME:ACTION, got '" + std::string(text) + "'";
  }
  if (Complaint c = ParseMilliseconds("--at time", text.substr(0, colon), false, action.atMs); !c.empty()) {
    return c;
  }
  const std::string_view name = text.substr(colon + 1);
  action.label = std::string(name);
  constexpr std::string_view kWeightsPrefix = "weights=";
  constexpr std::string_view kSpeedPrefix = "speed=";
  if (name == "stim1") {
    action.kind = ActionKind::kStimulus1;
  } else if (name == "stim2") {
    action.kind = ActionKind::kStimulus2;
  } else if (name == "reset") {
    action.kind = ActionKind::kReset;
  } else if (name.starts_with(kWeightsPrefix)) {
    action.kind = ActionKind::kSetWeights;
    return ParseWeights("--at weights=", name.substr(kWeightsPrefix.size()), action.weights);
  } else if (name.starts_with(kSpeedPrefix)) {
    action.kind = ActionKind::kSetSpeed;
    return ParseSpeed("--at speed=", name.substr(kSpeedPrefix.size()), action.speedSetting);
  } else {
    return "--at has an unknown action '" + std::string(name) +
           "' (expected stim1, stim2, weights=a,b,c,d,e,f, speed=S or reset)";
  }
  return {};
}

}  // namespace

ParseOutcome ParseSimArguments(const std::vector<std::string>& arguments) {
  ParseOutcome outcome;
  SimOptions& options = outcome.options;
  auto fail = [&outcome](std::string message) {
    outcome.status = ParseStatus::kError;
    outcome.message = std::move(message);
    return outcome;
  };

  std::set<std::string> seen;  // single-valued options already given
  bool stepGiven = false;
  bool untilGiven = false;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    std::string name = arguments[i];
    std::optional<std::string> inlineValue;
    if (const std::size_t equals = name.find('='); name.starts_with("--") && equals != std::string::npos) {
      inlineValue = name.substr(equals + 1);
      name.resize(equals);
    }
    if (name == "--help" || name == "-h") {
      if (inlineValue) return fail("--help takes no value");
      outcome.status = ParseStatus::kHelp;
      return outcome;
    }
    static const std::set<std::string> kKnown = {"--step",   "--speed",    "--until",   "--steps",
                                                 "--weights", "--at",      "--csv",     "--raster",
                                                 "--geometry", "--picture", "--labeled", "--images"};
    if (!kKnown.contains(name)) return fail("unknown option '" + arguments[i] + "' (try --help)");
    if (name != "--at" && !seen.insert(name).second) return fail(name + " is given twice");
    if (name == "--labeled") {
      if (inlineValue) return fail("--labeled takes no value");
      options.labeledPicture = true;
      continue;
    }

    std::string value;
    if (inlineValue) {
      value = *inlineValue;
    } else if (i + 1 < arguments.size()) {
      value = arguments[++i];
    } else {
      return fail(name + " needs a value");
    }
    if (value.empty()) return fail(name + " needs a value");

    if (name == "--step") {
      double stepMs = 0.0;
      if (Complaint c = ParseMilliseconds("--step", value, true, stepMs); !c.empty()) return fail(c);
      options.initialStepMs = static_cast<float>(stepMs);
      stepGiven = true;
    } else if (name == "--speed") {
      float speed = 0.0f;
      if (Complaint c = ParseSpeed("--speed", value, speed); !c.empty()) return fail(c);
      options.initialSpeedSetting = speed;
    } else if (name == "--until") {
      if (Complaint c = ParseMilliseconds("--until", value, false, options.untilMs); !c.empty()) return fail(c);
      untilGiven = true;
    } else if (name == "--steps") {
      if (!ParseInt64(value, options.stepCount) || options.stepCount < 0) {
        return fail("--steps needs a whole number of steps, 0 or more, got '" + value + "'");
      }
      options.runByStepCount = true;
    } else if (name == "--weights") {
      Weights weights{};
      if (Complaint c = ParseWeights("--weights", value, weights); !c.empty()) return fail(c);
      options.initialWeights = weights;
    } else if (name == "--at") {
      TimedAction action;
      if (Complaint c = ParseTimedAction(value, action); !c.empty()) return fail(c);
      options.actions.push_back(std::move(action));
    } else if (name == "--csv") {
      options.csvPath = value;
    } else if (name == "--raster") {
      if (!value.ends_with(".svg") && !value.ends_with(".png")) {
        return fail("--raster needs a file name ending in .svg or .png, got '" + value + "'");
      }
      options.rasterPath = value;
    } else if (name == "--geometry") {
      options.geometryPath = value;
    } else if (name == "--picture") {
      if (!value.ends_with(".png")) return fail("--picture needs a file name ending in .png, got '" + value + "'");
      options.picturePath = value;
    } else if (name == "--images") {
      options.imagesDirectory = value;
    }
  }

  if (options.labeledPicture && options.picturePath.empty()) {
    return fail("--labeled chooses the background of --picture; give --picture FILE.png with it");
  }

  if (stepGiven && options.initialSpeedSetting) return fail("give either --step or --speed, not both");
  if (untilGiven && options.runByStepCount) return fail("give either --until or --steps, not both");
  // A zero step never moves the model's time, so a run measured in time would not end.
  if (!options.runByStepCount && stepGiven && options.initialStepMs == 0.0f) {
    return fail("--step 0 never reaches the end time; use --steps N to run a zero step");
  }
  if (options.initialSpeedSetting) options.initialStepMs = StepFactorForSpeed(*options.initialSpeedSetting);
  if (!options.runByStepCount && options.untilMs / options.initialStepMs > kMaxUntilStepCount) {
    return fail("--until at this step would take more than 1e10 steps");
  }
  return outcome;
}

const char* SimHelpText() {
  return R"(Usage: velmora-sim [OPTIONS]

Runs the three-neuron network without a screen and prints every firing of a neuron
on standard output, one line each, in firing order:

  <time> <soma> <note>

time is the simulated time in ms handed to the neuron in the step it fired (printed
with up to six significant digits), soma is 1, 2 or 3, and note the MIDI note it
played. The model starts as the exhibit's does: the default weights 6,6,6,7,6,6
and a step of 1.0 ms.

Step (give at most one):
  --step MS            simulated ms per model step at the start (default 1.0);
                       0 is allowed only with --steps
  --speed S            the start step from the visitors' speed setting S (0 to 30):
                       1.18 * (S/30)^6 + 0.02 ms

Run length (give at most one; default --until 1000):
  --until MS           advance while the model's time is below MS; the last step
                       reaches or passes it (a reset sends the time back to 0)
  --steps N            exactly N model steps (0 or more)

Network:
  --weights a,b,c,d,e,f
                       the six adjustable synapse weights (integers) before the
                       first step

Timed actions (repeatable):
  --at T:ACTION        apply ACTION right before the first model step taken while
                       the model's time is at or past T ms; each action is applied
                       once; several due together are applied in order of T, then
                       in command-line order. ACTION is one of
                         stim1                 a manual spike into stimulus input 1
                         stim2                 a manual spike into stimulus input 2
                         weights=a,b,c,d,e,f   set the six weights
                         speed=S               step from speed setting S (0 to 30),
                                               without a reset, as the speed keys do
                         reset                 what the reset key does: default
                                               weights, default speed 15 and a model
                                               reset (time back to 0)

Outputs (written in addition to the firing lines):
  --csv FILE           the three neurons' summed input after every step:
                       step,time,s1,s2,s3
  --raster FILE        spike raster of both inputs and the three neurons over the
                       run, with a time axis; FILE ends in .svg or .png. Its time
                       axis is the simulated time elapsed since the start, which
                       keeps counting across a reset
  --geometry FILE      every point of the 23 axon and dendrite paths as stored,
                       before any scaling: element,index,x,y,nx,ny
  --picture FILE       the exhibit's screen (1024 x 768) at the end of the run, as
                       a PNG file (FILE ends in .png): the plain background, the
                       three cell bodies glowing by the final activity, the status
                       line of the final step as at a steady 50 frames per second,
                       and the spikes, waves and synapses of the final state.
                       Needs no display
  --labeled            with --picture: use the labelled background, which shows
                       the numbers of the six adjustable synapses
  --images DIR         the three built-in images as bitmap files, unchanged:
                       DIR/BACKGROUND.bmp, DIR/LABELEDBACK.bmp and DIR/SOMAS.bmp
                       (DIR is created if missing)
  --help               this text

The output is deterministic: the same arguments give the same bytes.
Exit status: 0 on success, 2 for bad arguments, 1 when an output cannot be written
or a step is too small to move the time on.
)";
}

}  // namespace velmora::sim
