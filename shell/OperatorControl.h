#pragma once
// The operator's instructions for a run, from the command line: scripted key presses
// and touches, a frame limit, screenshots, the record of the run's keys, and the stop signals.

#include <functional>
#include <string>
#include <vector>

#include "platform/Clock.h"
#include "platform/ServiceNotify.h"
#include "shell/ExhibitOptions.h"
#include "shell/MainWindow.h"

namespace velmora {

class OperatorControl final : public RunControl {
public:
  // `saveScreenshot` writes the composed picture to a PNG file, false on failure;
  // `stopRequested` tells whether a stop signal has arrived. The service manager's
  // keep-alives count on `clock`.
  OperatorControl(const ExhibitOptions& options, Clock& clock,
                  std::function<bool(const std::string& path)> saveScreenshot,
                  std::function<bool()> stopRequested);

  void KeysBeforeFrame(std::int64_t frame, std::vector<VirtualKey>& keys) override;
  void TouchesBeforeFrame(std::int64_t frame, std::vector<ScreenTouch>& touches) override;
  void KeyPressed(VirtualKey key, std::int64_t frame) override;
  void FrameDone(std::int64_t frame, const FrameReport& report) override;
  bool EndRequested(std::int64_t framesRun) override;

  // Writes the recorded key presses, if asked for; false if the file could not be written.
  bool Finish();

  const std::vector<KeyPress>& RecordedKeys() const { return recordedKeys; }

  // The service manager hears of every frame (ready after the first, then
  // keep-alives); null for none.
  void NotifyService(ServiceNotifier* notifier) { serviceNotifier = notifier; }

private:
  const ExhibitOptions& options;
  Clock& clock;
  std::function<bool(const std::string&)> saveScreenshot;
  std::function<bool()> stopRequested;
  std::vector<KeyPress> recordedKeys;
  ServiceNotifier* serviceNotifier = nullptr;
};

}  // namespace velmora
