#include "shell/Exhibit.h"

#include <optional>

#include "model/SpeedRule.h"

namespace velmora {
namespace {

// One full turn of the 32-bit millisecond tick, in minutes.
constexpr long double kTickWrapMinutes = 4294967296.0L * 0.001L / 60.0L;

}  // namespace

Exhibit::Exhibit(const ExhibitOptions& runOptions, Clock& exhibitClock, MessageBoxes& failureBoxes,
                 FrameDisplay& exhibitDisplay, MidiOutputOpener opener)
    : options(runOptions),
      lastPeriodicResetMinutes(static_cast<float>(CurrentMinutes(exhibitClock))),
      clock(exhibitClock),
      display(exhibitDisplay),
      messageLog(exhibitClock, failureBoxes, options.unattended),
      panelLink(exhibitClock, messageLog),
      midi(options, exhibitClock, messageLog, std::move(opener)) {}

Exhibit::~Exhibit() { Shutdown(); }

void Exhibit::OpenMidiOutput() {
  midi.Open();
  model.SetNoteOutput(midi.Output());
}

void Exhibit::OpenPanelPort() {
  if (PanelChosen(options)) panelLink.Open(options.panelDevice);
}

void Exhibit::ResetToDefaults(ResetCause cause) {
  ++resetCounts[static_cast<std::size_t>(cause)];
  velmora::ResetToDefaults(parameters, model);
  idleResetDone = true;
  panelLink.SendStatus();
}

void Exhibit::NoteInteraction() {
  lastInteractionMinutes = static_cast<float>(CurrentMinutes(clock));
  idleResetDone = false;
  if (!displayReleased) display.SelectBackground(Background::Labeled);
}

void Exhibit::ApplyPanelReply() {
  const std::optional<PanelInput> input = panelLink.TakeReply();
  if (!input) return;
  // The parameters take every complete reply; only a changed one reaches the network.
  const PanelReplyValues& reply = input->values;
  parameters.weights = reply.settings.params;
  parameters.speedSetting = static_cast<float>(reply.settings.speed);
  parameters.stepFactor = StepFactorForSpeed(parameters.speedSetting);
  if (!input->changed) return;
  model.SetWeights(parameters.weights);
  model.step = parameters.stepFactor;
  if (reply.button1) model.Stimulate(true, false);
  if (reply.button2) model.Stimulate(false, true);
  NoteInteraction();
}

void Exhibit::RunTimers() {
  if (!idleResetDone) {
    if (MinutesSince(clock, lastInteractionMinutes) > kLabelTimeMinutes && !displayReleased) {
      display.SelectBackground(Background::Plain);
    }
    if (MinutesSince(clock, lastInteractionMinutes) > kIdleTimeMinutes) ResetToDefaults(ResetCause::Idle);
  }
  // Whatever the idle state: even a visitor who never stops playing gets a fresh start.
  if (MinutesSince(clock, lastPeriodicResetMinutes) > kPeriodicResetMinutes) {
    ResetToDefaults(ResetCause::Periodic);
    lastPeriodicResetMinutes = static_cast<float>(CurrentMinutes(clock));
  }
}

void Exhibit::PanelTimerTick() { panelLink.Refresh(); }

void Exhibit::Shutdown() {
  if (shutDown) return;
  shutDown = true;
  display.Release();
  displayReleased = true;
  model.SetNoteOutput(nullptr);
  midi.Close();
  panelLink.Close();
}

double MinutesSince(Clock& clock, float storedMinutes) {
  long double elapsed = CurrentMinutes(clock) - static_cast<long double>(storedMinutes);
  // Rounding a reading to float moves it by well under a minute; only a wrap of the
  // tick makes the difference this negative.
  if (elapsed < -kTickWrapMinutes / 2) elapsed += kTickWrapMinutes;
  return static_cast<double>(elapsed);
}

}  // namespace velmora
