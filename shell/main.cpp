// The exhibit program: static initialisation has made the model, the parameter block
// and the drawing objects; here the window is made, its message loop runs the
// exhibit, and everything is released in order when it ends.

#include <SDL.h>

#include <chrono>
#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include "display/Display.h"
#include "platform/MessageBox.h"
#include "platform/Presenter.h"
#include "platform/ServiceNotify.h"
#include "platform/Window.h"
#include "shell/CommandLine.h"
#include "shell/ExhibitOptions.h"
#include "shell/ExhibitServices.h"
#include "shell/MainForm.h"
#include "shell/MidiDevice.h"
#include "shell/OperatorControl.h"
#include "shell/SelfTest.h"

namespace {

// The exhibit could not be shown at all (no display, no window): not a success.
constexpr int kDisplayFailureExitCode = 1;

}  // namespace

int main(int argc, char** argv) {
  using namespace velmora;
  const auto programStart = std::chrono::steady_clock::now();

  const std::vector<std::string> arguments(argv + 1, argv + argc);
  const CommandLine commandLine = ParseCommandLine(arguments);
  switch (commandLine.action) {
    case CommandLineAction::Error:
      std::fprintf(stderr, "velmora: %s\nTry 'velmora --help'.\n", commandLine.error.c_str());
      return kBadArgumentsExitCode;
    case CommandLineAction::Help:
      std::cout << UsageText();
      return 0;
    case CommandLineAction::ListMidiPorts:
      exhibitOptions = commandLine.options;
      ListMidiPorts(std::cout);
      return 0;
    case CommandLineAction::SelfTest: {
      // Every failure is a line of text: a message box would wait for someone.
      exhibitOptions = commandLine.options;
      SetMessageBoxesHeadless(true);
      SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
      SystemProbes probes;
      const int selfTestExitCode = RunSelfTest(exhibitOptions, probes, std::cout);
      SDL_Quit();
      return selfTestExitCode;
    }
    case CommandLineAction::Run:
      break;
  }
  exhibitOptions = commandLine.options;
  const ExhibitOptions& options = exhibitOptions;

  SetMessageBoxesHeadless(options.headless);
  // Signals end the exhibit through its own orderly path, not through SDL's quit event.
  SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
  InstallStopSignals();
  if (options.headless) SelectHeadlessVideoDriver();
  if (SDL_Init(SDL_INIT_VIDEO | SDL_INIT_EVENTS) != 0) {
    std::fprintf(stderr, "velmora: no display: %s\n", SDL_GetError());
    ShowMessageBox("Velmora", "DirectDraw Init FAILED");
    return kDisplayFailureExitCode;
  }

  int exitCode = 0;
  {
    Window window;
    std::string error;
    if (!window.Create(kMainWindowPlacement, &error)) {
      std::fprintf(stderr, "velmora: cannot make the window: %s\n", error.c_str());
      ShowMessageBox("Velmora", "DirectDraw Init FAILED");
      SDL_Quit();
      return kDisplayFailureExitCode;
    }
    Display display;
    ExhibitServices services(window, display, options, programStart);
    OperatorControl control(
        options, [&display](const std::string& path) { return display.SaveBackBufferPng(path); },
        [] { return StopSignalReceived(); });
    // Under a service manager: ready after the first frame, then keep-alives from
    // the frame loop, so a frozen loop gets the exhibit restarted.
    ServiceNotifier serviceNotifier = ServiceNotifier::FromEnvironment();
    control.NotifyService(&serviceNotifier);
    if (options.panelPoll) window.SetTimer(kPanelPollIntervalMs);
    window.Show();
    exitCode = RunExhibit(services, control);
    serviceNotifier.Stopping();
    control.Finish();
    if (services.DisplayFailed()) exitCode = kDisplayFailureExitCode;
    window.Destroy();
  }
  SDL_Quit();
  return exitCode;
}
