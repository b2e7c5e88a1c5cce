#include "shell/Exhibit.h"

#include <iterator>
#include <optional>

#include "model/Soma.h"
#include "model/SpeedRule.h"
#include "shell/SelfTest.h"

namespace velmora {
namespace {

// One full turn of the 32-bit millisecond tick, in minutes.
constexpr long double kTickWrapMinutes = 4294967296.0L * 0.001L / 60.0L;

// What the usage statistics call the panel's controls; stored, so they never change.
constexpr std::string_view kPanelWeightControls[] = {"weight1", "weight2", "weight3",
                                                     "weight4", "weight5", "weight6"};
static_assert(std::size(kPanelWeightControls) == kPanelParameterCount);

// The cause as operators count it; the start-up's reset is not counted.
std::optional<monitoring::ResetCause> CountedCause(ResetCause cause) {
  switch (cause) {
    case ResetCause::Idle:
      return monitoring::ResetCause::Idle;
    case ResetCause::Periodic:
      return monitoring::ResetCause::Periodic;
    case ResetCause::Key:
      return monitoring::ResetCause::Key;
    case ResetCause::Remote:
      return monitoring::ResetCause::Remote;
    case ResetCause::Other:
      break;
  }
  return std::nullopt;
}

// The control a changed reply moved: the first value, in the reply's order, that
// differs from the previous reply's.
std::string_view PanelControl(const PanelReplyValues& before, const PanelReplyValues& after) {
  if (after.button1 != before.button1) return "stimulus1";
  if (after.button2 != before.button2) return "stimulus2";
  if (after.settings.speed != before.settings.speed) return "speed";
  for (std::size_t i = 0; i < kPanelParameterCount; ++i) {
    if (after.settings.params[i] != before.settings.params[i]) return kPanelWeightControls[i];
  }
  // Only a button's byte changed, from one pressed value to another.
  return after.button1 ? "stimulus1" : "stimulus2";
}

}  // namespace

Exhibit::Exhibit(const ExhibitOptions& runOptions, Clock& exhibitClock, MessageBoxes& failureBoxes,
                 FrameDisplay& exhibitDisplay, MidiOutputOpener opener)
    : options(runOptions),
      lastPeriodicResetMinutes(static_cast<float>(CurrentMinutes(exhibitClock))),
      clock(exhibitClock),
      display(exhibitDisplay),
      messageLog(exhibitClock, failureBoxes, options.unattended),
      panelLink(exhibitClock, messageLog),
      midi(options, exhibitClock, messageLog, std::move(opener)) {
  TakeFiringTimes();
}

Exhibit::~Exhibit() { Shutdown(); }

void Exhibit::OpenMidiOutput() {
  midi.Open();
  model.SetNoteOutput(midi.Output());
}

void Exhibit::OpenPanelPort() {
  if (PanelChosen(options)) panelLink.Open(options.panelDevice);
  lastPanelAnswerTick = clock.TickCount();
}

void Exhibit::ResetToDefaults(ResetCause cause) {
  ++resetCounts[static_cast<std::size_t>(cause)];
  if (const std::optional<monitoring::ResetCause> counted = CountedCause(cause)) {
    status.Reset(*counted);
    if (usage != nullptr) usage->Reset(*counted);
  }
  velmora::ResetToDefaults(parameters, model);
  TakeFiringTimes();
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
  lastPanelAnswerTick = clock.TickCount();
  const PanelReplyValues before = lastPanelValues;
  lastPanelValues = input->values;
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
  CountInteraction(monitoring::InteractionSource::Panel, PanelControl(before, reply));
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
  if (testNoteEndTick && static_cast<std::int32_t>(clock.TickCount() - *testNoteEndTick) >= 0) {
    SendMidiShort(midi.Output(), kNoteOff, kTestChannel, kTestKey, 0);
    testNoteEndTick.reset();
  }
}

void Exhibit::PanelTimerTick() { panelLink.Refresh(); }

void Exhibit::CountInteraction(monitoring::InteractionSource source, std::string_view control) {
  status.Interaction(source);
  if (usage != nullptr) usage->Interaction(source, control);
}

void Exhibit::CountFirings() {
  for (std::size_t i = 0; i < firingTimes.size(); ++i) {
    const float fired = model.somas[i]->lastSpikeTime;
    if (fired == firingTimes[i]) continue;
    firingTimes[i] = fired;
    const int soma = static_cast<int>(i) + 1;
    status.Firing(soma);
    if (usage != nullptr) usage->Firing(soma);
  }
}

void Exhibit::TakeFiringTimes() {
  for (std::size_t i = 0; i < firingTimes.size(); ++i) firingTimes[i] = model.somas[i]->lastSpikeTime;
}

void Exhibit::ApplyRemoteAction(monitoring::ExhibitAction action) {
  switch (action) {
    case monitoring::ExhibitAction::Reset:
      ResetToDefaults(ResetCause::Remote);
      break;
    case monitoring::ExhibitAction::TestNote:
      SendMidiShort(midi.Output(), kMidiNoteOn, kTestChannel, kTestKey, kTestVelocity);
      testNoteEndTick = clock.TickCount() + kTestNoteMs;
      break;
    case monitoring::ExhibitAction::Stimulus1:
      model.Stimulate(true, false);
      break;
    case monitoring::ExhibitAction::Stimulus2:
      model.Stimulate(false, true);
      break;
  }
}

void Exhibit::RefreshStatus(bool frameShown) {
  status.speedSetting = parameters.speedSetting;
  status.weights = parameters.weights;
  status.displayOk = frameShown;
  status.midiOutputOk = midi.Working();
  const PanelLinkState& link = panelLink.State();
  status.panelConnected = link.panelPort.IsOpen() && !link.lineLost &&
                          (!options.panelPoll || clock.TickCount() - lastPanelAnswerTick <= kPanelSilenceMs);
}

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
