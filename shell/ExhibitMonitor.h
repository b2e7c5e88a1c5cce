#pragma once
// What operators see of the running exhibit, made by main from the options: the
// status server (metrics, status, the picture on screen, the page and the actions) and
// the usage store, each on threads of its own. The exhibit keeps its counters and
// health in its `status` as things happen; between frames this carries out the
// server's actions, and after each frame it measures the frame's period and hands the
// server a copy of the state and, when the server has asked, the picture. Nothing here
// waits for the server or the disk.
//
// Main owns it rather than the exhibit: it must be up before the exhibit's start-up
// shows its first message, the server must stop before the store records the run's
// end, and that end is recorded only at an orderly shutdown, after the exhibit has
// released its devices. The exhibit only reaches the store, to record its events.

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "assets/ScaledPictures.h"
#include "display/ExhibitDisplay.h"
#include "monitoring/ActionQueue.h"
#include "monitoring/SnapshotExchange.h"
#include "monitoring/StatusFormats.h"
#include "monitoring/StatusServer.h"
#include "monitoring/UsageStore.h"
#include "platform/MessageBoxes.h"
#include "shell/ExhibitOptions.h"
#include "shell/FrameCycle.h"

namespace velmora {

class Exhibit;

class ExhibitMonitor {
public:
  // Reads the token, opens the usage store and starts the server as the options say.
  // Each trouble is printed once on standard error ("velmora: ...") and the exhibit
  // runs on without what failed: a token refused leaves the server without actions.
  ExhibitMonitor(const ExhibitOptions& options, monitoring::RunInfo run);
  ~ExhibitMonitor();
  ExhibitMonitor(const ExhibitMonitor&) = delete;
  ExhibitMonitor& operator=(const ExhibitMonitor&) = delete;

  monitoring::UsageStore& Usage() { return store; }
  // A message the exhibit has shown, for /status.
  void AddStartupMessage(std::string_view text);

  // The frame loop: the server's waiting actions, applied to the exhibit; after a
  // frame, its period, the exhibit's state and (when asked) the composed picture.
  void BeforeFrame(Exhibit& exhibit);
  void AfterFrame(Exhibit& exhibit, const FrameReport& report, ExhibitDisplay& display);

  // The orderly end, once: the server stops, then the store writes what is waiting
  // and records the run's end. A run that never gets here counts as a crash.
  void Finish();

private:
  monitoring::ActionQueue actions;
  monitoring::UsageStore store;
  std::unique_ptr<monitoring::SnapshotExchange> exchange;  // with a server only
  std::unique_ptr<monitoring::StatusServer> server;        // null: off, or it could not listen
  std::chrono::steady_clock::time_point lastFrameEnd;
  bool framesSeen = false;
  PackedImage sharpPicture;  // the sharp frame for the server, its storage kept between pictures
  int sharpPictureRow = 0;   // the first row not yet copied of the picture under way
};

// Message boxes that tell the monitor each message before they show it, so the
// status page lists it while a box still waits for its answer.
class MonitoredMessageBoxes final : public MessageBoxes {
public:
  MonitoredMessageBoxes(MessageBoxes& boxes, ExhibitMonitor& toldMonitor) : shown(boxes), monitor(toldMonitor) {}
  void Show(std::string_view caption, std::string_view text) override {
    monitor.AddStartupMessage(text);
    shown.Show(caption, text);
  }

private:
  MessageBoxes& shown;
  ExhibitMonitor& monitor;
};

}  // namespace velmora
