#include "shell/OperatorControl.h"

#include <cstdio>
#include <fstream>

#include "shell/CommandLine.h"

namespace velmora {

OperatorControl::OperatorControl(const ExhibitOptions& runOptions, Clock& tickClock,
                                 std::function<bool(const std::string&)> screenshotWriter,
                                 std::function<bool()> stopFlag)
    : options(runOptions), clock(tickClock), saveScreenshot(std::move(screenshotWriter)), stopRequested(std::move(stopFlag)) {}

void OperatorControl::KeysBeforeFrame(std::int64_t frame, std::vector<VirtualKey>& keys) {
  // In script order, so "5:1 5:1" is two presses.
  for (const KeyPress& press : options.keys) {
    if (press.frame == frame) keys.push_back(press.key);
  }
}

void OperatorControl::TouchesBeforeFrame(std::int64_t frame, std::vector<ScreenTouch>& touches) {
  for (const TouchStep& step : options.touches) {
    if (step.frame == frame) touches.push_back(step.touch);
  }
}

void OperatorControl::KeyPressed(VirtualKey key, std::int64_t frame) {
  recordedKeys.push_back(KeyPress{frame, key});
}

void OperatorControl::FrameDone(std::int64_t frame, const FrameReport& report) {
  static_cast<void>(report);
  if (serviceNotifier != nullptr) serviceNotifier->FrameDone(clock.TickCount());
  for (const ScreenshotRequest& request : options.screenshots) {
    if (request.frame != frame) continue;
    if (!saveScreenshot || !saveScreenshot(request.path)) {
      std::fprintf(stderr, "velmora: cannot write the screenshot %s\n", request.path.c_str());
    }
  }
}

bool OperatorControl::EndRequested(std::int64_t framesRun) {
  if (stopRequested && stopRequested()) return true;
  return options.frames.has_value() && framesRun >= *options.frames;
}

bool OperatorControl::Finish() {
  if (options.recordKeysPath.empty()) return true;
  std::ofstream out(options.recordKeysPath);
  out << FormatKeyScript(recordedKeys);
  out.close();
  if (!out) {
    std::fprintf(stderr, "velmora: cannot write the key record %s\n", options.recordKeysPath.c_str());
    return false;
  }
  return true;
}

}  // namespace velmora
