// The command lines of the exhibit, the simulator and the panel simulator from any
// bytes: the input is split at zero bytes into arguments; the whole input is also a
// panel script. Whatever a parser accepts must lie within the ranges it documents, and
// parsing must give the same outcome twice. The largest step the simulator has
// accepted so far is run once, so a step whose work grows without bound shows as a
// hang or as memory beyond the fuzzer's limit. A key script given as @FILE is written
// to a scratch file first, so the parser reads the fuzz bytes and never a file of the
// machine.

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "model/Model.h"
#include "platform/MessageCatalogue.h"
#include "platform/PanelProtocol.h"
#include "shell/CommandLine.h"
#include "tools/panel/PanelOptions.h"
#include "tools/panel/PanelScript.h"
#include "tools/sim/SimOptions.h"

namespace velmora {
namespace {

void Check(bool condition, const char* what) {
  if (!condition) {
    std::fprintf(stderr, "command line invariant broken: %s\n", what);
    std::abort();
  }
}

const std::string& ScratchPath() {
  static const std::string path =
      "/tmp/velmora-fuzz-keys-" + std::to_string(static_cast<long>(getpid())) + ".txt";
  return path;
}

bool ScreenSizeAllowed(int width, int height) {
  const auto side = [](int pixels) {
    return pixels >= kSmallestScreenSidePixels && pixels <= kLargestScreenSidePixels;
  };
  return side(width) && side(height);
}

std::vector<std::string> SplitArguments(const std::uint8_t* data, std::size_t size) {
  std::vector<std::string> arguments(1);
  for (std::size_t i = 0; i < size; ++i) {
    if (data[i] == 0) {
      arguments.emplace_back();
    } else {
      arguments.back().push_back(static_cast<char>(data[i]));
    }
  }
  return arguments;
}

// "@TEXT" or "--keys=@TEXT" become the scratch file holding TEXT; false if it cannot
// be written.
bool RedirectKeyFiles(std::vector<std::string>& arguments) {
  constexpr std::string_view kInlineKeys = "--keys=@";
  for (std::string& argument : arguments) {
    std::string_view prefix;
    if (argument.starts_with('@')) {
      prefix = "@";
    } else if (argument.starts_with(kInlineKeys)) {
      prefix = kInlineKeys;
    } else {
      continue;
    }
    std::FILE* file = std::fopen(ScratchPath().c_str(), "wb");
    if (file == nullptr) return false;
    const std::string_view text = std::string_view(argument).substr(prefix.size());
    const bool written = text.empty() || std::fwrite(text.data(), 1, text.size(), file) == text.size();
    if (std::fclose(file) != 0 || !written) return false;
    argument = std::string(prefix) + ScratchPath();
  }
  return true;
}

void CheckExhibit(const std::vector<std::string>& arguments) {
  const CommandLine parsed = ParseCommandLine(arguments);
  const CommandLine again = ParseCommandLine(arguments);
  Check(parsed.action == again.action && parsed.error == again.error, "exhibit parse is not repeatable");
  Check((parsed.action == CommandLineAction::Error) == !parsed.error.empty(),
        "an error comes without a message, or a message without an error");
  Check(parsed.error.find('\n') == std::string::npos, "an error message spans more than one line");
  if (parsed.action == CommandLineAction::Error) return;
  const ExhibitOptions& options = parsed.options;
  const auto frameInRange = [](std::int64_t frame) { return frame >= 1 && frame <= kMaxFrameNumber; };
  if (options.frames) Check(frameInRange(*options.frames), "accepted a frame count out of range");
  if (options.usageCommitIntervalMs) {
    Check(*options.usageCommitIntervalMs >= kMinUsageCommitIntervalMs &&
              *options.usageCommitIntervalMs <= kMaxUsageCommitIntervalMs,
          "accepted a commit interval out of range");
  }
  Check(options.refreshHz == 0 || (options.refreshHz >= 24 && options.refreshHz <= 240),
        "accepted a refresh rate out of range");
  for (const ScreenshotRequest& shot : options.screenshots) {
    Check(frameInRange(shot.frame), "accepted a screenshot frame out of range");
    Check(shot.path.ends_with(".png") && shot.path.size() > 0, "accepted a screenshot not to .png");
  }
  Check(options.midiOut == "synth" || options.midiOut == "none" ||
            (options.midiOut.starts_with("port:") && options.midiOut.size() > 5),
        "accepted an unknown MIDI output");
  Check(!options.panelDevice.empty(), "accepted an empty panel device");
  for (const KeyPress& press : options.keys) Check(frameInRange(press.frame), "accepted a key frame out of range");
  for (const TouchStep& step : options.touches) {
    Check(frameInRange(step.frame) && step.touch.finger >= 0 && step.touch.finger <= kMaxScriptFinger,
          "accepted a touch frame or finger out of range");
  }
  Check(options.rotationDegrees % 90 == 0 && options.rotationDegrees >= 0 && options.rotationDegrees <= 270,
        "accepted a turn out of range");
  Check(options.usageKeepDays >= monitoring::kMinUsageKeepDays && options.usageKeepDays <= monitoring::kMaxUsageKeepDays,
        "accepted a retention out of range");
  if (options.pretendWidthPixels != 0) {
    Check(options.headless && ScreenSizeAllowed(options.pretendWidthPixels, options.pretendHeightPixels),
          "accepted a pretend screen out of range or without --headless");
  }
  Check(IsLanguageName(options.language), "accepted a language that is no language name");

  // The --record-keys format reads back as the same presses.
  std::vector<KeyPress> reread;
  std::string error;
  Check(ParseKeyScript(FormatKeyScript(options.keys), reread, error), "a formatted key script is refused");
  Check(reread.size() == options.keys.size(), "a formatted key script reads back another length");
  for (std::size_t i = 0; i < reread.size(); ++i) {
    Check(reread[i].frame == options.keys[i].frame && reread[i].key == options.keys[i].key,
          "a formatted key script reads back other presses");
  }
}

void CheckSimulator(const std::vector<std::string>& arguments) {
  const sim::ParseOutcome parsed = sim::ParseSimArguments(arguments);
  const sim::ParseOutcome again = sim::ParseSimArguments(arguments);
  Check(parsed.status == again.status && parsed.message == again.message, "simulator parse is not repeatable");
  Check((parsed.status == sim::ParseStatus::kError) == !parsed.message.empty(),
        "an error comes without a message, or a message without an error");
  Check(parsed.message.find('\n') == std::string::npos, "an error message spans more than one line");
  if (parsed.status != sim::ParseStatus::kRun) return;
  const sim::SimOptions& options = parsed.options;
  Check(std::isfinite(options.initialStepMs) && options.initialStepMs >= 0.0f &&
            options.initialStepMs <= sim::kMaxStepMs,
        "accepted a step out of range");
  Check(std::isfinite(options.untilMs) && options.untilMs >= 0.0 && options.untilMs <= sim::kMaxTimeMs,
        "accepted an end time out of range");
  Check(options.stepCount >= 0 && options.stepCount <= sim::kMaxStepCount, "accepted a step count out of range");
  if (!options.runByStepCount) {
    Check(options.initialStepMs > 0.0f, "accepted a run by time that never advances");
    Check(options.untilMs / options.initialStepMs <= sim::kMaxUntilStepCount, "accepted an endless run");
  }
  if (!options.rasterPath.empty()) {
    const double steps = options.runByStepCount ? static_cast<double>(options.stepCount)
                                                : options.untilMs / options.initialStepMs;
    Check(steps <= sim::kMaxRasterStepCount, "accepted a raster of a run too long to keep");
  }
  if (options.flashes || !options.soundPath.empty()) {
    const double steps = options.runByStepCount ? static_cast<double>(options.stepCount)
                                                : options.untilMs / options.initialStepMs;
    Check(steps <= sim::kMaxMeasuredStepCount, "accepted a measured run too long to keep");
  }
  static float largestStepRunMs = 0.0f;
  if (options.initialStepMs > largestStepRunMs) {
    largestStepRunMs = options.initialStepMs;
    Model model(options.initialStepMs);
    model.Advance();
  }
  if (options.initialSpeedSetting) {
    Check(*options.initialSpeedSetting >= sim::kMinSpeedSetting &&
              *options.initialSpeedSetting <= sim::kMaxSpeedSetting,
          "accepted a speed out of range");
  }
  const auto weightsInRange = [](const sim::Weights& weights) {
    return std::all_of(weights.begin(), weights.end(),
                       [](std::int32_t w) { return w >= sim::kMinWeight && w <= sim::kMaxWeight; });
  };
  if (options.initialWeights) Check(weightsInRange(*options.initialWeights), "accepted a weight out of range");
  for (const sim::TimedAction& action : options.actions) {
    Check(std::isfinite(action.atMs) && action.atMs >= 0.0 && action.atMs <= sim::kMaxTimeMs,
          "accepted an action time out of range");
    if (action.kind == sim::ActionKind::kSetWeights) {
      Check(weightsInRange(action.weights), "accepted an action weight out of range");
    }
    if (action.kind == sim::ActionKind::kSetSpeed) {
      Check(action.speedSetting >= sim::kMinSpeedSetting && action.speedSetting <= sim::kMaxSpeedSetting,
            "accepted an action speed out of range");
    }
  }
  if (!options.picturePath.empty()) Check(options.picturePath.ends_with(".png"), "accepted a picture not to .png");
  if (options.pictureWidthPixels != 0) {
    Check(!options.picturePath.empty() && ScreenSizeAllowed(options.pictureWidthPixels, options.pictureHeightPixels),
          "accepted a picture size out of range or without --picture");
  }
  Check(IsLanguageName(options.language), "accepted a language that is no language name");
  if (options.labeledPicture) Check(!options.picturePath.empty(), "accepted --labeled without a picture");
}

void CheckPanelSimulator(const std::vector<std::string>& arguments, std::string_view script) {
  const panel::PanelCommandLine parsed = panel::ParsePanelArguments(arguments);
  Check((parsed.action == panel::PanelCommandLine::Action::kError) == !parsed.error.empty(),
        "an error comes without a message, or a message without an error");
  Check(parsed.error.find('\n') == std::string::npos, "an error message spans more than one line");

  std::vector<panel::ScriptCommand> commands;
  std::string error;
  if (!panel::ParsePanelScript(script, commands, error)) {
    Check(!error.empty() && error.find('\n') == std::string::npos, "a refused script without a one-line reason");
    return;
  }
  using Kind = panel::ScriptCommand::Kind;
  for (std::size_t i = 0; i < commands.size(); ++i) {
    const panel::ScriptCommand& command = commands[i];
    Check(command.atMs >= 0 && command.atMs <= panel::kMaxScriptTimeMs, "accepted a script time out of range");
    Check(i == 0 || commands[i - 1].atMs <= command.atMs, "script commands out of time order");
    if (command.kind == Kind::kSpeed || command.kind == Kind::kParam) {
      Check(command.value >= kPanelValueMin && command.value <= kPanelValueMax, "accepted a knob value out of range");
    }
    if (command.kind == Kind::kParam) Check(command.index >= 1 && command.index <= 6, "accepted an unknown parameter");
    if (command.kind == Kind::kPress) Check(command.index == 1 || command.index == 2, "accepted an unknown button");
  }
}

}  // namespace
}  // namespace velmora

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::vector<std::string> arguments = velmora::SplitArguments(data, size);
  velmora::CheckSimulator(arguments);
  velmora::CheckPanelSimulator(arguments, std::string_view(reinterpret_cast<const char*>(data), size));
  if (velmora::RedirectKeyFiles(arguments)) velmora::CheckExhibit(arguments);
  return 0;
}
