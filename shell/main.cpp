// The exhibit program: reads the command line, makes the exhibit and its window, runs
// the window's message loop, and releases everything in order when it ends.

#include <SDL.h>

#include <chrono>
#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include "display/ExhibitDisplay.h"
#include "display/StatusTexts.h"
#include "platform/Clock.h"
#include "platform/MessageBoxes.h"
#include "platform/Presenter.h"
#include "platform/ProgramVersion.h"
#include "platform/ServiceNotify.h"
#include "platform/Window.h"
#include "shell/CommandLine.h"
#include "shell/Exhibit.h"
#include "shell/ExhibitMonitor.h"
#include "shell/ExhibitServices.h"
#include "shell/MainWindow.h"
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
  SystemClock clock;
  switch (commandLine.action) {
    case CommandLineAction::Error:
      std::fprintf(stderr, "velmora: %s\nTry 'velmora --help'.\n", commandLine.error.c_str());
      return kBadArgumentsExitCode;
    case CommandLineAction::Help:
      std::cout << UsageText();
      return 0;
    case CommandLineAction::Version:
      std::cout << VersionLine("velmora");
      return 0;
    case CommandLineAction::ListMidiPorts:
      ListMidiPorts(std::cout);
      return 0;
    case CommandLineAction::SelfTest: {
      // Every failure is a line of text: nothing here shows a message box.
      SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
      SystemProbes probes(clock);
      const int selfTestExitCode = RunSelfTest(commandLine.options, probes, std::cout);
      SDL_Quit();
      return selfTestExitCode;
    }
    case CommandLineAction::Run:
      break;
  }
  ExhibitOptions options = commandLine.options;
  // Started by a service manager, nobody is there to click a box away: a box would
  // hold up the start until the manager gave up on it and started the exhibit again.
  if (ServiceNotifier::FromEnvironment().Enabled()) options.unattended = true;
  StatusTexts statusTexts;
  if (std::string error; !LoadStatusTexts(options.language, CatalogueFolders(), statusTexts, &error)) {
    std::string languages = kOwnLanguage;
    for (const std::string& language : CatalogueLanguages(CatalogueFolders())) {
      if (language != kOwnLanguage) languages += ", " + language;
    }
    std::fprintf(stderr, "velmora: --language: %s (languages: %s)\nTry 'velmora --help'.\n", error.c_str(),
                 languages.c_str());
    return kBadArgumentsExitCode;
  }

  // The status server and the usage statistics, up before the first message is shown.
  const auto sinceStart = std::chrono::steady_clock::now() - programStart;
  const auto startedAt =
      std::chrono::system_clock::now() - std::chrono::duration_cast<std::chrono::system_clock::duration>(sinceStart);
  ExhibitMonitor monitor(options, {kProgramVersion, startedAt, programStart, commandLine.givenOptions});

  // A headless or unattended run never shows a box: every message goes to standard
  // error (the exhibit's screen shows it too in an unattended run).
  SdlMessageBoxes screenBoxes;
  StandardErrorMessageBoxes errorStreamBoxes;
  MessageBoxes& shownBoxes =
      options.headless || options.unattended ? static_cast<MessageBoxes&>(errorStreamBoxes) : screenBoxes;
  MonitoredMessageBoxes boxes(shownBoxes, monitor);

  // Destroyed in the reverse order: the exhibit (which has released the display, the
  // MIDI output and the panel port by then, in that order) before its display, and
  // both before the monitor, whose usage store the exhibit records in.
  ExhibitDisplay display(boxes, PictureChoiceFor(options));
  Exhibit exhibit(options, clock, boxes, display);
  exhibit.statusTexts = statusTexts;
  exhibit.RecordUsage(&monitor.Usage());

  // Signals end the exhibit through its own orderly path, not through SDL's quit event.
  SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
  InstallStopSignals();
  if (options.headless) SelectHeadlessVideoDriver();
  if (SDL_Init(SDL_INIT_VIDEO | SDL_INIT_EVENTS) != 0) {
    std::fprintf(stderr, "velmora: no display: %s\n", SDL_GetError());
    boxes.Show("Velmora", "DirectDraw Init FAILED");
    return kDisplayFailureExitCode;
  }

  int exitCode = 0;
  {
    Window window(clock);
    std::string error;
    if (!window.Create(kMainWindowPlacement, &error, RendererChoiceFor(options))) {
      std::fprintf(stderr, "velmora: cannot make the window: %s\n", error.c_str());
      boxes.Show("Velmora", "DirectDraw Init FAILED");
      SDL_Quit();
      return kDisplayFailureExitCode;
    }
    // Boxes belong to the main window, so none can hide behind the full-screen picture.
    screenBoxes.SetOwner(window.Handle());
    ExhibitServices services(window, display, exhibit, programStart);
    services.Monitor(&monitor);
    OperatorControl control(
        options, clock, [&display](const std::string& path) { return display.SaveScreenshotPng(path); },
        [] { return StopSignalReceived(); });
    // Under a service manager: ready after the first frame, then keep-alives from
    // the frame loop, so a frozen loop gets the exhibit restarted.
    ServiceNotifier serviceNotifier = ServiceNotifier::FromEnvironment();
    control.NotifyService(&serviceNotifier);
    if (options.panelPoll && PanelChosen(options)) window.SetTimer(kPanelPollIntervalMs);
    window.Show();
    exitCode = RunExhibit(services, control, exhibit);
    serviceNotifier.Stopping();
    control.Finish();
    monitor.Finish();
    if (services.DisplayFailed()) exitCode = kDisplayFailureExitCode;
    screenBoxes.SetOwner(nullptr);
    window.Destroy();
  }
  SDL_Quit();
  return exitCode;
}
