#include "shell/MainWindow.h"

#include <exception>

#include "shell/Exhibit.h"
#include "shell/Keyboard.h"

namespace velmora {
namespace {

constexpr char kErrorCaption[] = "Velmora";

}  // namespace

MainWindow::MainWindow(MainWindowServices& windowServices, RunControl& runControl, Exhibit& runningExhibit)
    : services(windowServices), control(runControl), exhibit(runningExhibit) {}

void MainWindow::Run() {
  WindowMessage message;
  for (;;) {
    CheckEndRequest();
    if (services.NextMessage(message, false)) {
      Dispatch(message);
      continue;
    }
    // Like a quit request, which is only seen once nothing else is queued: a start
    // message posted before Esc still runs its one frame.
    if (quitRequested) return;
    if (services.NextMessage(message, true)) Dispatch(message);
  }
}

void MainWindow::Dispatch(const WindowMessage& message) {
  switch (message.kind) {
    case WindowMessageKind::Paint:
      HandlePaint();
      break;
    case WindowMessageKind::KeyDown:
      HandleKey(message.key);
      break;
    case WindowMessageKind::Start:
      RunMainLoopOnStartMessage();
      break;
    case WindowMessageKind::Timer:
      services.PanelTimerTick();
      break;
    case WindowMessageKind::Touch:
      // Touches act only on a running exhibit, as keys act on its state.
      if (startupBegun && running) exhibit.Touch(services.ToDesign(message.touch));
      break;
    case WindowMessageKind::Close:
      // The window system's close command does not end the exhibit; Esc or F12 does.
      break;
  }
}

void MainWindow::HandlePaint() {
  services.HideCursor();
  if (firstPaintDone || startupBegun) return;
  StartExhibit();
}

void MainWindow::StartExhibit() {
  startupBegun = true;
  firstPaintDone = true;
  services.DrawBanner(kBannerText, kBannerX, kBannerY);
  // The panel port is not open yet, so this reset sends the panel nothing.
  exhibit.ResetToDefaults();
  if (!services.InitDisplay()) {
    quitRequested = true;
    return;
  }
  services.OpenMidiOutput();
  services.OpenPanelPort();
  services.PostStartMessage();
}

void MainWindow::RunMainLoopOnStartMessage() {
  if (inMainLoop || !startupBegun) return;
  RunMainLoop();
}

void MainWindow::RunMainLoop() {
  inMainLoop = true;
  DispatchScripted(framesRun + 1);
  // The test follows the frame: once started, at least one frame runs.
  do {
    ++framesRun;
    const FrameReport report = services.RunFrame();
    control.FrameDone(framesRun, report);
    CheckEndRequest();
    DispatchScripted(framesRun + 1);
    ProcessPendingMessages();
  } while (running);
  inMainLoop = false;
}

void MainWindow::ProcessPendingMessages() {
  WindowMessage message;
  while (services.NextMessage(message, false)) Dispatch(message);
}

void MainWindow::HandleKey(VirtualKey key) {
  control.KeyPressed(key, framesRun + 1);
  if (ApplyVisitorKey(exhibit, key) == KeyOutcome::EndExhibit) EndExhibit();
}

void MainWindow::DispatchScripted(std::int64_t frame) {
  std::vector<VirtualKey> keys;
  control.KeysBeforeFrame(frame, keys);
  for (const VirtualKey key : keys) HandleKey(key);
  std::vector<ScreenTouch> touches;
  control.TouchesBeforeFrame(frame, touches);
  if (touches.empty()) return;
  // Through the window's queue, as a touch screen's events come, and taken in before
  // the frame runs.
  for (const ScreenTouch& touch : touches) services.InjectTouch(touch);
  ProcessPendingMessages();
}

void MainWindow::CheckEndRequest() {
  if (running && control.EndRequested(framesRun)) EndExhibit();
}

void MainWindow::EndExhibit() {
  running = false;
  firstPaintDone = false;
  quitRequested = true;
}

void MainWindow::Shutdown() {
  if (shutDown) return;
  shutDown = true;
  services.Shutdown();
}

int RunExhibit(MainWindowServices& services, RunControl& control, Exhibit& exhibit) {
  MainWindow window(services, control, exhibit);
  try {
    window.Run();
  } catch (const std::exception& error) {
    exhibit.GetMessageBoxes().Show(kErrorCaption, error.what());
  }
  window.Shutdown();
  return 0;
}

}  // namespace velmora
