#include "shell/MainForm.h"

#include <exception>

#include "platform/MessageBox.h"
#include "shell/Parameters.h"

namespace velmora {
namespace {

constexpr std::string_view kErrorCaption = "Velmora";

}  // namespace

TForm1::TForm1(FormServices& formServices, RunControl& runControl)
    : services(formServices), control(runControl) {}

void TForm1::Run() {
  FormMessage message;
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

void TForm1::Dispatch(const FormMessage& message) {
  switch (message.kind) {
    case FormMessageKind::Paint:
      FormPaint();
      break;
    case FormMessageKind::KeyDown:
      HandleKey(message.key);
      break;
    case FormMessageKind::Start:
      OnStartMessage();
      break;
    case FormMessageKind::Timer:
      services.PanelTimerTick();
      break;
    case FormMessageKind::Close:
      // The window system's close command does not end the exhibit; Esc or F12 does.
      break;
  }
}

void TForm1::FormPaint() {
  services.HideCursor();
  if (firstPaintDone != 0 || startupBegun) return;
  startupBegun = true;
  firstPaintDone = 1;
  services.DrawBanner(kBannerText, kBannerX, kBannerY);
  // The panel port is not open yet, so this reset sends the panel nothing.
  ResetToDefaults();
  if (!services.InitDisplay()) {
    quitRequested = true;
    return;
  }
  services.OpenMidiOutput();
  services.OpenPanelPort();
  services.PostStartMessage();
}

void TForm1::OnStartMessage() {
  if (inMainLoop || !startupBegun) return;
  RunMainLoop();
}

void TForm1::RunMainLoop() {
  inMainLoop = true;
  DispatchScriptedKeys(framesRun + 1);
  // The test follows the frame: once started, at least one frame runs.
  do {
    ++framesRun;
    const FrameReport report = services.RunFrame();
    control.FrameDone(framesRun, report);
    CheckEndRequest();
    DispatchScriptedKeys(framesRun + 1);
    ProcessPendingMessages();
  } while (running == 1);
  inMainLoop = false;
}

void TForm1::ProcessPendingMessages() {
  FormMessage message;
  while (services.NextMessage(message, false)) Dispatch(message);
}

void TForm1::HandleKey(VirtualKey key) {
  control.KeyPressed(key, framesRun + 1);
  FormKeyDown(key);
}

void TForm1::DispatchScriptedKeys(std::int64_t frame) {
  std::vector<VirtualKey> keys;
  control.KeysBeforeFrame(frame, keys);
  for (const VirtualKey key : keys) HandleKey(key);
}

void TForm1::CheckEndRequest() {
  if (running == 1 && control.EndRequested(framesRun)) EndExhibit();
}

void TForm1::EndExhibit() {
  running = 0;
  firstPaintDone = 0;
  quitRequested = true;
}

void TForm1::FormDestroy() {
  if (destroyed) return;
  destroyed = true;
  services.ReleaseDisplay();
  services.DeleteDrawingObjects();
  services.CloseMidiOutput();
  services.ClosePanelPort();
}

int RunExhibit(FormServices& services, RunControl& control) {
  TForm1 form(services, control);
  try {
    form.Run();
  } catch (const std::exception& error) {
    ShowMessageBox(kErrorCaption, error.what());
  }
  form.FormDestroy();
  return 0;
}

}  // namespace velmora
