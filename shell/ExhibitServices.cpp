#include "shell/ExhibitServices.h"

#include <SDL.h>

#include <cstdio>

#include "shell/DrawingObjects.h"
#include "shell/MidiDevice.h"
#include "shell/PanelLink.h"
#include "shell/Parameters.h"

namespace velmora {
namespace {

// The display whose background the parameter block switches; set while it is set up.
Display* backgroundDisplay = nullptr;

void SelectDisplayBackground(Background background) {
  if (backgroundDisplay == nullptr) return;
  if (background == Background::Labeled) {
    backgroundDisplay->SelectLabeledBackground();
  } else {
    backgroundDisplay->SelectPlainBackground();
  }
}

std::int64_t MicrosecondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - start)
      .count();
}

}  // namespace

ExhibitServices::ExhibitServices(Window& mainWindow, Display& exhibitDisplay,
                                 const ExhibitOptions& runOptions,
                                 std::chrono::steady_clock::time_point start)
    : window(mainWindow), display(exhibitDisplay), options(runOptions), programStart(start) {
  window.SetEventObserver([this](const SDL_Event& event) { display.HandleEvent(event); });
  if (!options.frameLogPath.empty()) {
    frameLog.open(options.frameLogPath);
    if (!frameLog) {
      std::fprintf(stderr, "velmora: cannot write the frame log %s\n", options.frameLogPath.c_str());
    }
    const auto realtimeNs = std::chrono::duration_cast<std::chrono::nanoseconds>(
        std::chrono::system_clock::now().time_since_epoch() -
        (std::chrono::steady_clock::now() - programStart));
    frameLog << "# program_start_realtime_ns " << realtimeNs.count() << "\n"
             << "# frame start_tick_ms flipped flip_ms start_us end_us\n";
  }
}

ExhibitServices::~ExhibitServices() {
  window.SetEventObserver(nullptr);
  if (backgroundDisplay == &display) {
    backgroundDisplay = nullptr;
    selectBackground = nullptr;
  }
}

void ExhibitServices::HideCursor() { window.HideCursor(); }

void ExhibitServices::DrawBanner(std::string_view text, int x, int y) { window.DrawText(text, x, y); }

void ExhibitServices::PostStartMessage() { window.PostStart(); }

bool ExhibitServices::NextMessage(FormMessage& message, bool wait) {
  return window.NextMessage(message, wait ? kMessageWaitMs : 0);
}

bool ExhibitServices::InitDisplay() {
  display.InitDisplay(window.Handle(), options.screenMode, options.headless);
  if (display.InitFailed() || !display.Ready()) {
    displayFailed = true;
    return false;
  }
  backgroundDisplay = &display;
  selectBackground = SelectDisplayBackground;
  return true;
}

void ExhibitServices::OpenMidiOutput() { velmora::OpenMidiOutput(); }

void ExhibitServices::OpenPanelPort() { velmora::OpenPanelPort(); }

FrameReport ExhibitServices::RunFrame() {
  const std::int64_t startUs = frameLog.is_open() ? MicrosecondsSince(programStart) : 0;
  const FrameReport report =
      velmora::RunFrame(display, options.busyWait ? Pacing::BusyWait : Pacing::SleepThenPoll);
  if (frameLog.is_open()) {
    frameLog << ++framesLogged << ' ' << report.frameStart << ' ' << (report.flipped ? 1 : 0) << ' '
             << report.flipTimeMs << ' ' << startUs << ' ' << MicrosecondsSince(programStart) << '\n';
  }
  return report;
}

void ExhibitServices::PanelTimerTick() { Refresh(); }

void ExhibitServices::ReleaseDisplay() {
  if (backgroundDisplay == &display) {
    backgroundDisplay = nullptr;
    selectBackground = nullptr;
  }
  display.Release();
}

void ExhibitServices::DeleteDrawingObjects() { velmora::DeleteDrawingObjects(); }

void ExhibitServices::CloseMidiOutput() { velmora::CloseMidiOutput(); }

void ExhibitServices::ClosePanelPort() { velmora::ClosePanelPort(); }

}  // namespace velmora
