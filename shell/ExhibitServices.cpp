#include "shell/ExhibitServices.h"

#include <SDL.h>

#include <cstdio>

namespace velmora {
namespace {

std::int64_t MicrosecondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - start)
      .count();
}

}  // namespace

PictureChoice PictureChoiceFor(const ExhibitOptions& options) {
  PictureChoice choice;
  choice.sharp = !options.classicPicture && (options.headless ? options.pretendWidthPixels > 0
                                                              : options.screenMode == ScreenMode::FullScreen);
  choice.fit = options.letterbox ? SharpFit::kLetterbox : SharpFit::kFill;
  choice.pretendWidthPixels = options.pretendWidthPixels;
  choice.pretendHeightPixels = options.pretendHeightPixels;
  choice.refreshHz = options.refreshHz;
  // A screen's pictures are kept for its next start; a headless run paints its own.
  if (!options.headless) choice.cacheFolder = DefaultPictureCacheFolder();
  return choice;
}

RendererChoice RendererChoiceFor(const ExhibitOptions& options) {
  RendererChoice choice;
  choice.vsync = options.vsync && !options.headless;
  choice.framebufferWithoutGpu = true;
  return choice;
}

ExhibitServices::ExhibitServices(Window& mainWindow, ExhibitDisplay& exhibitDisplay, Exhibit& runningExhibit,
                                 std::chrono::steady_clock::time_point start)
    : window(mainWindow), display(exhibitDisplay), exhibit(runningExhibit), programStart(start) {
  window.SetEventObserver([this](const SDL_Event& event) { display.HandleEvent(event); });
  const ExhibitOptions& options = exhibit.options;
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

ExhibitServices::~ExhibitServices() { window.SetEventObserver(nullptr); }

void ExhibitServices::HideCursor() { window.HideCursor(); }

void ExhibitServices::DrawBanner(std::string_view text, int x, int y) { window.DrawText(text, x, y); }

void ExhibitServices::PostStartMessage() { window.PostStart(); }

bool ExhibitServices::NextMessage(WindowMessage& message, bool wait) {
  return window.NextMessage(message, wait ? kMessageWaitMs : 0);
}

bool ExhibitServices::InitDisplay() {
  const ExhibitOptions& options = exhibit.options;
  display.InitDisplay(window.Handle(), options.screenMode, options.headless);
  if (display.InitFailed() || !display.Ready()) {
    displayFailed = true;
    return false;
  }
  return true;
}

void ExhibitServices::OpenMidiOutput() { exhibit.OpenMidiOutput(); }

void ExhibitServices::OpenPanelPort() { exhibit.OpenPanelPort(); }

FrameReport ExhibitServices::RunFrame() {
  if (monitor != nullptr) monitor->BeforeFrame(exhibit);
  const std::int64_t startUs = frameLog.is_open() ? MicrosecondsSince(programStart) : 0;
  const FrameReport report =
      velmora::RunFrame(exhibit, exhibit.options.busyWait ? Pacing::BusyWait : Pacing::Sleep);
  if (frameLog.is_open()) {
    frameLog << ++framesLogged << ' ' << report.frameStart << ' ' << (report.flipped ? 1 : 0) << ' '
             << report.flipTimeMs << ' ' << startUs << ' ' << MicrosecondsSince(programStart) << '\n';
    if (display.SharpShown() != sharpLogged) {
      sharpLogged = display.SharpShown();
      frameLog << "# " << (sharpLogged ? "sharp" : "classic") << " picture from frame " << framesLogged << '\n';
    }
  }
  if (monitor != nullptr) monitor->AfterFrame(exhibit, report, display);
  return report;
}

void ExhibitServices::PanelTimerTick() { exhibit.PanelTimerTick(); }

void ExhibitServices::Shutdown() { exhibit.Shutdown(); }

}  // namespace velmora
