#pragma once
// The exhibit's main window: its first paint starts the exhibit, the start message
// runs the main loop (a frame, then every pending message, until Esc or F12), and
// Shutdown releases what the start-up acquired. What the window needs of the
// platform and the devices comes through MainWindowServices, the operator's
// instructions for a run (key scripts, frame limits, screenshots) through RunControl;
// the keys and the start-up reset act on the Exhibit.

#include <cstdint>
#include <string_view>
#include <vector>

#include "platform/Keys.h"
#include "platform/Window.h"
#include "platform/Touch.h"
#include "shell/FrameCycle.h"
#include "shell/TouchControls.h"

namespace velmora {

class Exhibit;

inline constexpr std::string_view kBannerText = "Velmora by Lumo, Esc to Exit";
inline constexpr int kBannerX = 25;   // window pixels
inline constexpr int kBannerY = 100;  // window pixels

class MainWindowServices {
public:
  virtual ~MainWindowServices() = default;
  // The window.
  virtual void HideCursor() = 0;
  virtual void DrawBanner(std::string_view text, int x, int y) = 0;
  virtual void PostStartMessage() = 0;
  // The next pending message, false if there is none; with `wait`, waits a little
  // (at most about 100 ms) for one first.
  virtual bool NextMessage(WindowMessage& message, bool wait) = 0;
  // Start-up. InitDisplay gives false after a failure it has shown: no frame may run.
  virtual bool InitDisplay() = 0;
  virtual void OpenMidiOutput() = 0;
  virtual void OpenPanelPort() = 0;
  // Running.
  virtual FrameReport RunFrame() = 0;
  virtual void PanelTimerTick() = 0;
  // A touch on the screen, for the exhibit: its position turned into the design's
  // pixels. By default the screen is the design.
  virtual DesignTouch ToDesign(const ScreenTouch& touch) {
    return {touch.finger, touch.phase, {touch.x, touch.y}};
  }
  // A scripted touch, put into the window's queue as a touch screen's event would be
  // (a fake window hands it back as a touch message).
  virtual void InjectTouch(const ScreenTouch& touch) { static_cast<void>(touch); }
  // The end: the exhibit's display, MIDI output and panel port, released in that order.
  virtual void Shutdown() = 0;
};

// The operator's instructions for one run; the defaults change nothing.
class RunControl {
public:
  virtual ~RunControl() = default;
  // Scripted presses to handle just before frame `frame` (1 = the first) runs.
  virtual void KeysBeforeFrame(std::int64_t frame, std::vector<VirtualKey>& keys) {
    static_cast<void>(frame);
    static_cast<void>(keys);
  }
  // Scripted touches to take in just before frame `frame` runs, after its keys.
  virtual void TouchesBeforeFrame(std::int64_t frame, std::vector<ScreenTouch>& touches) {
    static_cast<void>(frame);
    static_cast<void>(touches);
  }
  // Every key press handled, with the frame it was handled before.
  virtual void KeyPressed(VirtualKey key, std::int64_t frame) {
    static_cast<void>(key);
    static_cast<void>(frame);
  }
  virtual void FrameDone(std::int64_t frame, const FrameReport& report) {
    static_cast<void>(frame);
    static_cast<void>(report);
  }
  // True when the run is to end as if Esc were pressed (frame limit, signal).
  virtual bool EndRequested(std::int64_t framesRun) {
    static_cast<void>(framesRun);
    return false;
  }
};

class MainWindow {
public:
  MainWindow(MainWindowServices& services, RunControl& control, Exhibit& exhibit);

  // The application's message loop: dispatches messages until the exhibit has been
  // ended and no message is left.
  void Run();
  // Releases, once, what the start-up acquired.
  void Shutdown();

  // State
  bool running = true;          // until Esc or F12
  bool firstPaintDone = false;  // from the first paint until Esc or F12
  std::int64_t framesRun = 0;   // frames started by the main loop

private:
  void Dispatch(const WindowMessage& message);
  // Every paint hides the cursor; the first one starts the exhibit.
  void HandlePaint();
  // Banner, reset to defaults, display, MIDI output, panel port, start message.
  void StartExhibit();
  void RunMainLoopOnStartMessage();
  void RunMainLoop();
  void ProcessPendingMessages();
  void HandleKey(VirtualKey key);
  // The keys, then the touches, scripted for the frame about to run.
  void DispatchScripted(std::int64_t frame);
  void EndExhibit();
  void CheckEndRequest();

  MainWindowServices& services;
  RunControl& control;
  Exhibit& exhibit;
  bool startupBegun = false;  // a paint after Esc must not start everything again
  bool quitRequested = false;
  bool inMainLoop = false;
  bool shutDown = false;
};

// The program's life once the window exists: the window's message loop, an exception
// that reaches it shown in an error box, then Shutdown. Returns the program's exit
// code, 0.
int RunExhibit(MainWindowServices& services, RunControl& control, Exhibit& exhibit);

}  // namespace velmora
