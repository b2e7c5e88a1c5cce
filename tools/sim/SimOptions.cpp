#include "tools/sim/SimOptions.h"

#include <charconv>
#include <cstdio>
#include <cmath>
#include <optional>
#include <sstream>
#include <string_view>
#include <utility>

#include "model/Defaults.h"
#include "model/SpeedRule.h"
#include "platform/CommandLineApp.h"

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

// A time or step in ms: finite, from 0 to `maximum`.
Complaint ParseMilliseconds(std::string_view what, std::string_view text, double maximum, double& value) {
  if (!ParseDouble(text, value)) {
    return std::string(what) + " needs a number of milliseconds, got '" + std::string(text) + "'";
  }
  if (value < 0.0) return std::string(what) + " must not be negative, got '" + std::string(text) + "'";
  if (value > maximum) {
    std::ostringstream limit;
    limit << maximum;
    return std::string(what) + " is too large: at most " + limit.str() + " ms, got '" + std::string(text) + "'";
  }
  return {};
}

// The most steps a run by time can take: up to its end time at the smallest step it
// may take (a speed action or a reset changes the step), and again from 0 after each
// reset, which sends the time back.
double MostStepsOfRun(const SimOptions& options) {
  float smallestStepMs = options.initialStepMs;
  double totalMs = options.untilMs;
  for (const TimedAction& action : options.actions) {
    if (action.kind == ActionKind::kSetSpeed) smallestStepMs = std::min(smallestStepMs, StepFactorForSpeed(action.speedSetting));
    if (action.kind == ActionKind::kReset && action.atMs < options.untilMs) {
      smallestStepMs = std::min(smallestStepMs, StepFactorForSpeed(defaultSpeedSetting));
      totalMs += action.atMs + kMaxStepMs;
    }
  }
  return totalMs / smallestStepMs;
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

std::string Bounds(double low, double high) {
  char text[64];
  std::snprintf(text, sizeof text, "%g to %g", low, high);
  return text;
}

Complaint ParseBounded(std::string_view what, const std::string& text, double low, double high, double& value) {
  if (!ParseDouble(text, value) || value < low || value > high) {
    return std::string(what) + " needs a number from " + Bounds(low, high) + ", got '" + text + "'";
  }
  return {};
}

std::string WeightRange() { return std::to_string(kMinWeight) + " to " + std::to_string(kMaxWeight); }

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
    if (value < kMinWeight || value > kMaxWeight) {
      return std::string(what) + " has a weight outside " + WeightRange() + ": '" + std::string(field) + "'";
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
  if (Complaint c = ParseMilliseconds("--at time", text.substr(0, colon), kMaxTimeMs, action.atMs); !c.empty()) {
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

// The option texts as given, before they are checked.
struct Given {
  std::optional<std::string> step, speed, until, steps, weights, csv, raster, geometry, picture, images;
  std::vector<std::string> actions;
  bool labeled = false;
  std::optional<std::string> size, language;
  bool letterbox = false;
  std::vector<std::string> holds;
  bool flashes = false, classic = false, colours = false;
  std::optional<std::string> screenInches, viewingDistance;
  std::optional<std::string> sound, soundfont, transpose, volume;
};

void AddOptions(CommandLineApp& app, Given& given) {
  const std::string step = "Step (give at most one)";
  app.Value(step, "--step", "MS",
            "simulated ms per model step at the start, from 0 to 1000 (default 1.0); 0 is allowed only with --steps",
            given.step);
  app.Value(step, "--speed", "S",
            "the start step from the visitors' speed setting S (0 to 30): 1.18 * (S/30)^6 + 0.02 ms", given.speed);
  const std::string length = "Run length (give at most one; default --until 1000)";
  app.Value(length, "--until", "MS",
            "advance while the model's time is below MS; the last step reaches or passes it (a reset sends the time "
            "back to 0). At most 1e10 steps at the smallest step the run takes",
            given.until);
  app.Value(length, "--steps", "N", "exactly N model steps (0 to 1e10)", given.steps);
  const std::string network = "Network";
  app.Value(network, "--weights", "a,b,c,d,e,f",
            "the six adjustable synapse weights before the first step: integers from " + WeightRange() +
                ", the panel's byte range and the widest the exhibit ever sees",
            given.weights);
  const std::string actions = "Timed actions";
  app.Repeatable(actions, "--at", "T:ACTION",
                 "apply ACTION right before the first model step taken while the model's time is at or past T ms "
                 "(0 to 1e13); "
                 "each action is applied once; several due together are applied in order of T, then in "
                 "command-line order. ACTION is one of\n"
                 "  stim1      a manual spike into stimulus input 1\n"
                 "  stim2      a manual spike into stimulus input 2\n"
                 "  weights=a,b,c,d,e,f\n"
                 "             set the six weights (" + WeightRange() + ")\n"
                 "  speed=S    step from speed setting S (0 to 30),\n"
                 "             without a reset, as the speed keys do\n"
                 "  reset      what the reset key does: default\n"
                 "             weights, default speed 15 and a model\n"
                 "             reset (time back to 0)\n",
                 given.actions);
  app.Repeatable(actions, "--hold", "stim1|stim2",
                 "hold that stimulus key down for the whole run: a press before every frame's 20 steps, the "
                 "most a key's repeat gives the exhibit",
                 given.holds);
  const std::string outputs = "Outputs (written in addition to the firing lines)";
  app.Value(outputs, "--csv", "FILE", "the three neurons' summed input after every step: step,time,s1,s2,s3",
            given.csv);
  app.Value(outputs, "--raster", "FILE",
            "spike raster of both inputs and the three neurons over the run, with a time axis; FILE ends in .svg "
            "or .png. Its time axis is the simulated time elapsed since the start, which keeps counting across a "
            "reset. For a run of at most 1e7 steps",
            given.raster);
  app.Value(outputs, "--geometry", "FILE",
            "every point of the 23 axon and dendrite paths as stored, before any scaling: element,index,x,y,nx,ny",
            given.geometry);
  app.Value(outputs, "--picture", "FILE",
            "the exhibit's screen (1024 x 768) at the end of the run, as a PNG file (FILE ends in .png): the plain "
            "background, the three cell bodies glowing by the final activity, the status line of the final step as "
            "at a steady 50 frames per second, and the spikes, waves and synapses of the final state. Needs no "
            "display",
            given.picture);
  app.Flag(outputs, "--labeled",
           "with --picture: use the labelled background, which shows the numbers of the six adjustable synapses",
           given.labeled);
  app.Value(outputs, "--size", "WxH",
            "with --picture: the sharp picture the exhibit shows full screen on a W x H screen, drawn at that "
            "resolution (the design scaled to fit and centred, the painted ground beside it); sides 320 to 7680 "
            "pixels, at most 7680 x 4320 pixels in all",
            given.size);
  app.Flag(outputs, "--letterbox", "with --size: black bars beside the design instead of the painted ground",
           given.letterbox);
  app.Value(outputs, "--language", "LANG",
            "the picture's status line in this language: de (default), en, or any other with a catalogue",
            given.language);
  app.Value(outputs, "--images", "DIR",
            "the three built-in images as bitmap files, unchanged: DIR/BACKGROUND.bmp, DIR/LABELEDBACK.bmp and "
            "DIR/SOMAS.bmp (DIR is created if missing)",
            given.images);
  const std::string flashes = "Flash analysis (for photosensitive viewers)";
  app.Flag(flashes, "--flashes",
           "compose every frame of the run (20 steps) as the exhibit shows it and count its flashes by WCAG 2.3.1: "
           "general and red flashes over at least a quarter of a 10-degree field of view; prints the largest "
           "number in any one second instead of the firing lines. The picture is the one --size, --classic, "
           "--letterbox and --labeled choose. For a run of at most 600000 steps",
           given.flashes);
  app.Flag(flashes, "--classic",
           "with --flashes and --size: the classic 1024 x 768 picture scaled up to that screen, as the exhibit's "
           "--classic shows it",
           given.classic);
  app.Value(flashes, "--screen-inches", "D",
            "with --flashes: the screen's diagonal in inches, " + Bounds(kMinScreenDiagonalInches, kMaxScreenDiagonalInches) +
                " (default 16, the guidelines' 15 to 17 inch screen)",
            given.screenInches);
  app.Value(flashes, "--viewing-distance-cm", "CM",
            "with --flashes: how far the viewer stands from the screen, " +
                Bounds(kMinViewingDistanceCm, kMaxViewingDistanceCm) + " (default 61, the guidelines' 22 to 26 inches)",
            given.viewingDistance);
  app.Flag(flashes, "--colours",
           "print how far apart the synapses' blue and red and the ground around them look (CIEDE2000) in the sharp "
           "picture, to typical eyes and with protanopia, deuteranopia and tritanopia (Machado 2009), and the light "
           "edge the red triangles carry there; no run is made",
           given.colours);
  const std::string sound = "Sound";
  app.Value(sound, "--sound", "FILE.wav",
            "render the notes of the run with the exhibit's built-in synthesiser as the exhibit plays them (the "
            "notes of a frame's 20 steps at the frame's start, 20 ms a frame) into a 48 kHz stereo WAV file, and "
            "print its measure instead of the firing lines: the share of the energy above 150 Hz, the peak and "
            "the samples at full scale. For a run of at most 600000 steps",
            given.sound);
  app.Value(sound, "--soundfont", "FILE", "with --sound: the soundfont (default: the system's GM soundfont)",
            given.soundfont);
  app.Value(sound, "--transpose", "N",
            "with --sound: every note N semitones higher, " + std::to_string(kMinTransposeSemitones) + " to " +
                std::to_string(kMaxTransposeSemitones) + ", as the exhibit's --transpose",
            given.transpose);
  app.Value(sound, "--volume", "0..100", "with --sound: the synthesiser's level in percent, as the exhibit's --volume",
            given.volume);
  app.Help(outputs);
}

// The simulator's options and where their texts go.
struct SimCommandLine {
  SimCommandLine() { AddOptions(app, given); }
  Given given;
  CommandLineApp app{
      "velmora-sim",
      "Runs the three-neuron network without a screen and prints every firing of a\n"
      "neuron on standard output, one line each, in firing order:\n"
      "\n"
      "  <time> <soma> <note>\n"
      "\n"
      "time is the simulated time in ms handed to the neuron in the step it fired\n"
      "(printed with up to six significant digits), soma is 1, 2 or 3, and note the\n"
      "MIDI note it played. The model starts as the exhibit's does: the default\n"
      "weights 6,6,6,7,6,6 and a step of 1.0 ms.",
      "The output is deterministic: the same arguments give the same bytes.\n"
      "Exit status: 0 on success, 1 when an output cannot be written or a step is too\n"
      "small to move the time on."};
};

// The checked options; empty when all are fine, else the first complaint.
Complaint Check(const Given& given, SimOptions& options) {
  const std::pair<const char*, const std::optional<std::string>*> valued[] = {
      {"--step", &given.step},         {"--speed", &given.speed},     {"--until", &given.until},
      {"--steps", &given.steps},       {"--weights", &given.weights}, {"--csv", &given.csv},
      {"--raster", &given.raster},     {"--geometry", &given.geometry}, {"--picture", &given.picture},
      {"--images", &given.images},     {"--size", &given.size},       {"--language", &given.language},
      {"--screen-inches", &given.screenInches}, {"--viewing-distance-cm", &given.viewingDistance},
      {"--sound", &given.sound}, {"--soundfont", &given.soundfont}, {"--transpose", &given.transpose},
      {"--volume", &given.volume}};
  for (const auto& [name, value] : valued) {
    if (*value && (*value)->empty()) return std::string(name) + " needs a value";
  }
  for (const std::string& action : given.actions) {
    if (action.empty()) return "--at needs a value";
  }
  for (const std::string& hold : given.holds) {
    if (hold.empty()) return "--hold needs a value";
  }

  if (given.step) {
    double stepMs = 0.0;
    if (Complaint c = ParseMilliseconds("--step", *given.step, kMaxStepMs, stepMs); !c.empty()) return c;
    options.initialStepMs = static_cast<float>(stepMs);
  }
  if (given.speed) {
    float speed = 0.0f;
    if (Complaint c = ParseSpeed("--speed", *given.speed, speed); !c.empty()) return c;
    options.initialSpeedSetting = speed;
  }
  if (given.until) {
    if (Complaint c = ParseMilliseconds("--until", *given.until, kMaxTimeMs, options.untilMs); !c.empty()) return c;
  }
  if (given.steps) {
    if (!ParseInt64(*given.steps, options.stepCount) || options.stepCount < 0 || options.stepCount > kMaxStepCount) {
      return "--steps needs a whole number of steps from 0 to " + std::to_string(kMaxStepCount) + ", got '" +
             *given.steps + "'";
    }
    options.runByStepCount = true;
  }
  if (given.weights) {
    Weights weights{};
    if (Complaint c = ParseWeights("--weights", *given.weights, weights); !c.empty()) return c;
    options.initialWeights = weights;
  }
  for (const std::string& text : given.actions) {
    TimedAction action;
    if (Complaint c = ParseTimedAction(text, action); !c.empty()) return c;
    options.actions.push_back(std::move(action));
  }
  options.csvPath = given.csv.value_or("");
  options.geometryPath = given.geometry.value_or("");
  options.imagesDirectory = given.images.value_or("");
  if (given.raster) {
    if (!given.raster->ends_with(".svg") && !given.raster->ends_with(".png")) {
      return "--raster needs a file name ending in .svg or .png, got '" + *given.raster + "'";
    }
    options.rasterPath = *given.raster;
  }
  if (given.picture) {
    if (!given.picture->ends_with(".png")) {
      return "--picture needs a file name ending in .png, got '" + *given.picture + "'";
    }
    options.picturePath = *given.picture;
  }
  options.labeledPicture = given.labeled;
  if (options.labeledPicture && options.picturePath.empty() && !given.flashes) {
    return "--labeled chooses the background of --picture or --flashes; give --picture FILE.png or --flashes with it";
  }
  if (given.size) {
    if (!ParseScreenSize(*given.size, options.pictureWidthPixels, options.pictureHeightPixels)) {
      return "--size needs WIDTHxHEIGHT with " + ScreenSizeLimits() + ", got '" + *given.size + "'";
    }
    if (options.picturePath.empty() && !given.flashes) {
      return "--size is the screen of --picture or --flashes; give --picture FILE.png or --flashes with it";
    }
  }
  options.letterboxPicture = given.letterbox;
  if (given.letterbox && !given.size) return "--letterbox goes with --size (the sharp picture)";
  if (given.language) {
    if (!IsLanguageName(*given.language)) {
      return "--language needs a language name such as de or en, got '" + *given.language + "'";
    }
    options.language = *given.language;
  }

  for (const std::string& hold : given.holds) {
    if (hold == "stim1") {
      options.holdStimulus1 = true;
    } else if (hold == "stim2") {
      options.holdStimulus2 = true;
    } else {
      return "--hold needs stim1 or stim2, got '" + hold + "'";
    }
  }
  options.flashes = given.flashes;
  options.colours = given.colours;
  if (given.flashes && (given.csv || given.raster || given.picture)) {
    return "--flashes composes every frame on its own; leave out --csv, --raster and --picture";
  }
  options.classicPicture = given.classic;
  if (given.classic && !(given.flashes && given.size)) return "--classic goes with --flashes and --size";
  if (given.classic && given.letterbox) return "--classic always shows black bars; leave out --letterbox";
  if (given.screenInches) {
    if (Complaint c = ParseBounded("--screen-inches", *given.screenInches, kMinScreenDiagonalInches,
                                   kMaxScreenDiagonalInches, options.screenDiagonalInches);
        !c.empty()) {
      return c;
    }
  }
  if (given.viewingDistance) {
    if (Complaint c = ParseBounded("--viewing-distance-cm", *given.viewingDistance, kMinViewingDistanceCm,
                                   kMaxViewingDistanceCm, options.viewingDistanceCm);
        !c.empty()) {
      return c;
    }
  }
  if ((given.screenInches || given.viewingDistance) && !given.flashes) {
    return "--screen-inches and --viewing-distance-cm describe the viewer of --flashes; give --flashes with them";
  }

  if (given.sound) {
    if (!given.sound->ends_with(".wav")) return "--sound needs a file name ending in .wav, got '" + *given.sound + "'";
    if (given.flashes || given.csv || given.raster || given.picture) {
      return "--sound renders the run on its own; leave out --flashes, --csv, --raster and --picture";
    }
    options.soundPath = *given.sound;
  }
  if ((given.soundfont || given.transpose || given.volume) && !given.sound) {
    return "--soundfont, --transpose and --volume go with --sound";
  }
  options.soundfont = given.soundfont.value_or("");
  double number = 0.0;
  if (given.transpose) {
    if (Complaint c = ParseBounded("--transpose", *given.transpose, kMinTransposeSemitones, kMaxTransposeSemitones, number);
        !c.empty() || number != std::floor(number)) {
      return "--transpose needs a whole number of semitones from " + Bounds(kMinTransposeSemitones, kMaxTransposeSemitones) +
             ", got '" + *given.transpose + "'";
    }
    options.transposeSemitones = static_cast<int>(number);
  }
  if (given.volume) {
    if (Complaint c = ParseBounded("--volume", *given.volume, kMinVolumePercent, kMaxVolumePercent, number);
        !c.empty() || number != std::floor(number)) {
      return "--volume needs a whole number from " + Bounds(kMinVolumePercent, kMaxVolumePercent) + ", got '" +
             *given.volume + "'";
    }
    options.volumePercent = static_cast<int>(number);
  }

  if (given.step && given.speed) return "give either --step or --speed, not both";
  if (given.until && given.steps) return "give either --until or --steps, not both";
  // A zero step never moves the model's time, so a run measured in time would not end.
  if (!options.runByStepCount && given.step && options.initialStepMs == 0.0f) {
    return "--step 0 never reaches the end time; use --steps N to run a zero step";
  }
  if (options.initialSpeedSetting) options.initialStepMs = StepFactorForSpeed(*options.initialSpeedSetting);
  const double steps = options.runByStepCount ? static_cast<double>(options.stepCount) : MostStepsOfRun(options);
  if (!options.runByStepCount && steps > kMaxUntilStepCount) {
    return "--until at this step would take more than 1e10 steps";
  }
  if (!options.rasterPath.empty() && steps > kMaxRasterStepCount) {
    return "--raster keeps every spike of the run: give it a run of at most 1e7 steps";
  }
  if ((options.flashes || !options.soundPath.empty()) && steps > kMaxMeasuredStepCount) {
    return std::string(options.flashes ? "--flashes" : "--sound") +
           " keeps every frame's figures or sound: give it a run of at most 600000 steps";
  }
  return {};
}

}  // namespace

ParseOutcome ParseSimArguments(const std::vector<std::string>& arguments) {
  ParseOutcome outcome;
  SimCommandLine line;
  std::string error;
  switch (line.app.Parse(arguments, error)) {
    case CommandLineApp::Outcome::kHelp:
      outcome.status = ParseStatus::kHelp;
      return outcome;
    case CommandLineApp::Outcome::kVersion:
      outcome.status = ParseStatus::kVersion;
      return outcome;
    case CommandLineApp::Outcome::kError:
      outcome.status = ParseStatus::kError;
      outcome.message = error;
      return outcome;
    case CommandLineApp::Outcome::kRun:
      break;
  }
  if (Complaint complaint = Check(line.given, outcome.options); !complaint.empty()) {
    outcome.status = ParseStatus::kError;
    outcome.message = OneLine(std::move(complaint));
  }
  return outcome;
}

std::string SimHelpText() { return SimCommandLine().app.HelpText(); }

}  // namespace velmora::sim
