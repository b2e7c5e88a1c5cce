#pragma once
// The main window TForm1: its first paint starts the exhibit, the start message runs
// the main loop (a frame, then every pending message, until Esc or F12), and
// FormDestroy releases what the start-up acquired. What the window needs of the
// platform and the devices comes through FormServices, the operator's instructions
// for a run (key scripts, frame limits, screenshots) through RunControl.

#include <cstdint>
#include <string_view>
#include <vector>

#include "platform/Keys.h"
#include "platform/Window.h"
#include "shell/FrameCycle.h"

namespace velmora {

inline constexpr std::string_view kBannerText = "Velmora by Lumo, Esc to Exit";
inline constexpr int kBannerX = 25;   // window pixels
inline constexpr int kBannerY = 100;  // window pixels

using FormMessage = WindowMessage;
using FormMessageKind = WindowMessageKind;

class FormServices {
public:
  virtual ~FormServices() = default;
  // The window.
  virtual void HideCursor() = 0;
  virtual void DrawBanner(std::string_view text, int x, int y) = 0;
  virtual void PostStartMessage() = 0;
  // The next pending message, false if there is none; with `wait`, waits a little
  // (at most about 100 ms) for one first.
  virtual bool NextMessage(FormMessage& message, bool wait) = 0;
  // Start-up. InitDisplay gives false after a failure it has shown: no frame may run.
  virtual bool InitDisplay() = 0;
  virtual void OpenMidiOutput() = 0;
  virtual void OpenPanelPort() = 0;
  // Running.
  virtual FrameReport RunFrame() = 0;
  virtual void PanelTimerTick() = 0;
  // FormDestroy, called in this order.
  virtual void ReleaseDisplay() = 0;
  virtual void DeleteDrawingObjects() = 0;
  virtual void CloseMidiOutput() = 0;
  virtual void ClosePanelPort() = 0;
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

class TForm1 {
public:
  TForm1(FormServices& services, RunControl& control);

  // The application's message loop: dispatches messages until the exhibit has been
  // ended and no message is left.
  void Run();

  void FormPaint();
  void FormKeyDown(VirtualKey key);
  void OnStartMessage();
  void RunMainLoop();
  // Releases, once: display, drawing objects, MIDI, panel port.
  void FormDestroy();

  // State
  std::int32_t running = 1;         // 1 until Esc or F12
  std::int32_t firstPaintDone = 0;  // 1 from the first paint until Esc or F12
  std::int64_t framesRun = 0;       // frames started by the main loop

private:
  void Dispatch(const FormMessage& message);
  void ProcessPendingMessages();
  void HandleKey(VirtualKey key);
  void DispatchScriptedKeys(std::int64_t frame);
  void EndExhibit();
  void CheckEndRequest();

  FormServices& services;
  RunControl& control;
  bool startupBegun = false;  // a paint after Esc must not start everything again
  bool quitRequested = false;
  bool inMainLoop = false;
  bool destroyed = false;
};

// The program's life after static initialisation: the window's message loop, an
// exception that reaches it shown in an error box, then FormDestroy. Returns the
// program's exit code, 0.
int RunExhibit(FormServices& services, RunControl& control);

}  // namespace velmora
