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

double OutputPixelMm(const ExhibitOptions& options, SDL_Window* window, int outputWidthPixels) {
  // Reported sizes outside these are no real screen's: a display that reports none.
  constexpr float kFewestDotsPerInch = 20.0f, kMostDotsPerInch = 1000.0f;
  constexpr double kMmPerInch = 25.4;
  if (options.screenWidthMm > 0.0 && outputWidthPixels > 0) return options.screenWidthMm / outputWidthPixels;
  float horizontalDpi = 0.0f;
  if (!options.headless && window != nullptr &&
      SDL_GetDisplayDPI(SDL_GetWindowDisplayIndex(window), nullptr, &horizontalDpi, nullptr) == 0 &&
      horizontalDpi >= kFewestDotsPerInch && horizontalDpi <= kMostDotsPerInch) {
    return kMmPerInch / horizontalDpi;
  }
  return kAssumedScreenPixelMm;
}

PictureChoice PictureChoiceFor(const ExhibitOptions& options) {
  PictureChoice choice;
  choice.sharp = !options.classicPicture && (options.headless ? options.pretendWidthPixels > 0
                                                              : options.screenMode == ScreenMode::FullScreen);
  choice.fit = options.letterbox ? SharpFit::kLetterbox : SharpFit::kFill;
  choice.pretendWidthPixels = options.pretendWidthPixels;
  choice.pretendHeightPixels = options.pretendHeightPixels;
  choice.refreshHz = options.refreshHz;
  choice.rotationDegrees = options.rotationDegrees;
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
  const ExhibitOptions& options = exhibit.Options();
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

void ExhibitServices::HideCursor() {
  if (!exhibit.Options().showPointer) window.HideCursor();
}

void ExhibitServices::DrawBanner(std::string_view text, int x, int y) { window.DrawText(text, x, y); }

void ExhibitServices::PostStartMessage() { window.PostStart(); }

bool ExhibitServices::NextMessage(WindowMessage& message, bool wait) {
  return window.NextMessage(message, wait ? kMessageWaitMs : 0);
}

bool ExhibitServices::InitDisplay() {
  const ExhibitOptions& options = exhibit.Options();
  display.InitDisplay(window.Handle(), options.screenMode, options.headless);
  if (display.InitFailed() || !display.Ready()) {
    displayFailed = true;
    return false;
  }
  outputPixelMm = OutputPixelMm(options, window.Handle(), display.Placement().outputWidth);
  // Where the screen takes touches, the touch controls show from the first frame.
  if (window.HasTouchDevice() || !options.touches.empty()) exhibit.TouchInUse();
  return true;
}

void ExhibitServices::OpenMidiOutput() { exhibit.OpenMidiOutput(); }

void ExhibitServices::OpenPanelPort() { exhibit.OpenPanelPort(); }

FrameReport ExhibitServices::RunFrame() {
  if (monitor != nullptr) monitor->BeforeFrame(exhibit);
  const std::int64_t startUs = frameLog.is_open() ? MicrosecondsSince(programStart) : 0;
  // The picture shown may have changed (the sharp one took over): touch targets follow.
  exhibit.SetPixelMm(outputPixelMm * display.Placement().scale);
  const FrameReport report =
      velmora::RunFrame(exhibit, exhibit.Options().busyWait ? Pacing::BusyWait : Pacing::Sleep);
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

DesignTouch ExhibitServices::ToDesign(const ScreenTouch& touch) {
  const PlanePoint at = display.Placement().ToPicture({touch.x, touch.y});
  if (frameLog.is_open()) {
    // For measuring how long a touch takes to show: it shows at the end of the next frame.
    const Uint32 nowTicks = SDL_GetTicks();
    frameLog << "# touch " << touch.finger << ' '
             << (touch.phase == TouchPhase::Down ? "down" : touch.phase == TouchPhase::Up ? "up" : "move")
             << " queued_ms " << (touch.eventTicks != 0 ? nowTicks - touch.eventTicks : 0) << " at_us "
             << MicrosecondsSince(programStart) << " before_frame " << framesLogged + 1 << '\n';
  }
  return {touch.finger, touch.phase, at};
}

void ExhibitServices::Shutdown() { exhibit.Shutdown(); }

}  // namespace velmora
