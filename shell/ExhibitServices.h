#pragma once
// The main window's services on the real platform: the SDL window and the display it
// is set up on, with the exhibit's frames, devices and shutdown.

#include <chrono>
#include <cstdint>
#include <fstream>

#include "display/ExhibitDisplay.h"
#include "platform/Window.h"
#include "shell/Exhibit.h"
#include "shell/ExhibitMonitor.h"
#include "shell/MainWindow.h"

namespace velmora {

inline constexpr WindowPlacement kMainWindowPlacement = {"Velmora", 307, 184, 435, 300};
inline constexpr std::uint32_t kPanelPollIntervalMs = 100;
// How long the idle message loop waits for a message before it looks at the stop flag.
inline constexpr std::uint32_t kMessageWaitMs = 100;

// How many mm one pixel of the screen's output covers: from --screen-width-mm (along
// the output's rows), else from the size the display reports, else as on a screen of
// 96 pixels to the inch.
double OutputPixelMm(const ExhibitOptions& options, SDL_Window* window, int outputWidthPixels);

// The picture the options ask for: sharp full screen (and on a headless run's pretend
// screen) unless --classic; --windowed and --mode-switch show the classic picture.
PictureChoice PictureChoiceFor(const ExhibitOptions& options);
// The window's renderer for the options: waiting for the vertical blank unless
// --no-vsync or headless; for the sharp picture, SDL's software renderer rather than
// OpenGL emulated on the processor.
RendererChoice RendererChoiceFor(const ExhibitOptions& options);

class ExhibitServices final : public MainWindowServices {
public:
  // `display` is the exhibit's, set up here on the window. `programStart` is the
  // moment the frame log's times count from.
  ExhibitServices(Window& window, ExhibitDisplay& display, Exhibit& exhibit,
                  std::chrono::steady_clock::time_point programStart);
  ~ExhibitServices() override;

  void HideCursor() override;
  void DrawBanner(std::string_view text, int x, int y) override;
  void PostStartMessage() override;
  bool NextMessage(WindowMessage& message, bool wait) override;
  bool InitDisplay() override;
  void OpenMidiOutput() override;
  void OpenPanelPort() override;
  FrameReport RunFrame() override;
  void PanelTimerTick() override;
  DesignTouch ToDesign(const ScreenTouch& touch) override;
  void InjectTouch(const ScreenTouch& touch) override { window.InjectTouch(touch); }
  void Shutdown() override;

  bool DisplayFailed() const { return displayFailed; }
  // Frames hand their state to the operators' view and take its actions; null: none.
  void Monitor(ExhibitMonitor* operatorView) { monitor = operatorView; }

private:
  Window& window;
  ExhibitDisplay& display;
  Exhibit& exhibit;
  std::chrono::steady_clock::time_point programStart;
  std::ofstream frameLog;
  std::int64_t framesLogged = 0;
  bool sharpLogged = false;  // the frame log says the sharp picture shows
  double outputPixelMm = 0.0;  // mm one pixel of the screen's output covers
  bool displayFailed = false;
  ExhibitMonitor* monitor = nullptr;
};

}  // namespace velmora
