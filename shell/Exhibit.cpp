#include "shell/Exhibit.h"

#include <algorithm>
#include <cmath>
#include <iterator>
#include <numbers>
#include <optional>

#include "model/Soma.h"
#include "model/SpeedRule.h"
#include "shell/IdleSigns.h"
#include "shell/OverlayPainter.h"
#include "shell/SelfTest.h"

namespace velmora {
namespace {

// One full turn of the 32-bit millisecond tick, in minutes.
constexpr long double kTickWrapMinutes = 4294967296.0L * 0.001L / 60.0L;
constexpr double kSecondsPerMinute = 60.0;

// One step of the keys, the handles and the speed buttons.
constexpr std::int32_t kWeightStep = 1;
constexpr float kSpeedStep = 1.0f;

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
    case ResetCause::Touch:
      return monitoring::ResetCause::Touch;
    case ResetCause::Other:
      break;
  }
  return std::nullopt;
}

// A changed reply of the panel as visitor actions: every knob's value (the network
// takes them all), then a stimulus for each button held down. Each says whether a
// visitor moved that control since the reply `before`: a button that went down (not
// one that came up or stays down), a knob that turned. A knob that only came to the
// value the exhibit already shows turned because the exhibit told the panel so (a key
// or a touch): no visitor turned it. Without a reply before, nothing was moved.
struct PanelAction {
  VisitorAction action;
  bool moved = false;
};
std::vector<PanelAction> PanelActions(const std::optional<PanelReplyValues>& before, const PanelReplyValues& after,
                                      const VisitorParameters& shown) {
  std::vector<PanelAction> actions;
  for (std::size_t i = 0; i < kPanelParameterCount; ++i) {
    const std::int32_t value = after.settings.params[i];
    actions.push_back({{VisitorActionKind::SetWeight, i, false, value},
                       before && value != before->settings.params[i] && value != shown.weights[i]});
  }
  const std::int32_t speed = after.settings.speed;
  actions.push_back({{VisitorActionKind::SetSpeed, 0, false, speed},
                     before && speed != before->settings.speed && static_cast<float>(speed) != shown.speedSetting});
  if (after.button1) actions.push_back({{VisitorActionKind::Stimulus1}, before && !before->button1});
  if (after.button2) actions.push_back({{VisitorActionKind::Stimulus2}, before && !before->button2});
  return actions;
}

PanelSettings SettingsOf(const VisitorParameters& parameters) {
  PanelSettings settings;
  settings.speed = static_cast<std::int32_t>(parameters.speedSetting);
  std::copy(parameters.weights.begin(), parameters.weights.end(), settings.params.begin());
  return settings;
}

}  // namespace

Exhibit::Exhibit(const ExhibitOptions& runOptions, Clock& exhibitClock, MessageBoxes& failureBoxes,
                 FrameDisplay& exhibitDisplay, MidiOutputOpener opener, std::vector<StatusTexts> offered)
    : options(runOptions),
      clock(exhibitClock),
      display(exhibitDisplay),
      languages(std::move(offered)),
      lastPeriodicResetMinutes(static_cast<float>(CurrentMinutes(exhibitClock))),
      messageLog(exhibitClock, failureBoxes, options.unattended),
      panelLink(exhibitClock, messageLog),
      midi(options, exhibitClock, messageLog, std::move(opener)) {
  if (languages.empty()) languages.emplace_back();
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
  if (cause == ResetCause::Idle) {
    invited = true;
    invitedSinceMs = clock.TickCount();
  }
  touch.CloseHandles();
  panelLink.SetStatus(SettingsOf(parameters));
  // A packet skipped behind an unfinished write goes out at a later frame's start; a
  // port not open yet sends the defaults itself when it opens.
  const bool ready = panelLink.State().sendReady;
  panelStatusDue = !panelLink.SendStatus() && ready;
}

void Exhibit::NoteInteraction() {
  lastInteractionMinutes = static_cast<float>(CurrentMinutes(clock));
  idleResetDone = false;
  invited = false;
  if (!displayReleased) display.SelectBackground(Background::Labeled);
}

void Exhibit::SetWeight(std::size_t weight, std::int32_t value) {
  if (weight >= parameters.weights.size()) return;
  parameters.weights[weight] = value;
  model.SetWeights(parameters.weights);
}

void Exhibit::SetSpeed(float setting) {
  parameters.speedSetting = setting;
  parameters.stepFactor = StepFactorForSpeed(parameters.speedSetting);
  model.step = parameters.stepFactor;
}

// The limits apply after a step, so a value the panel set outside them comes back in.
std::int32_t Exhibit::SteppedWeight(std::size_t weight, std::int32_t change) const {
  if (weight >= parameters.weights.size()) return 0;
  return std::clamp(parameters.weights[weight] + change, kParameterMin, kParameterMax);
}

float Exhibit::SteppedSpeed(float change) const {
  return std::clamp(parameters.speedSetting + change, kSpeedSettingMin, kSpeedSettingMax);
}

// Every action is a visitor's interaction for the operators' counters and the usage
// statistics, the reset too (a visitor is there), though the reset starts no label or
// idle time.
void Exhibit::Apply(const VisitorAction& action, monitoring::InteractionSource source) {
  Carry(action, source);
  if (action.kind != VisitorActionKind::Reset) NoteInteraction();
  CountInteraction(source, ControlName(action));
}

void Exhibit::Carry(const VisitorAction& action, monitoring::InteractionSource source) {
  // A change made on the screen is told to the panel; the panel's own is not echoed.
  const bool tellPanel = source != monitoring::InteractionSource::Panel;
  switch (action.kind) {
    case VisitorActionKind::RaiseWeight:
    case VisitorActionKind::LowerWeight:
      SetWeight(action.weight, SteppedWeight(action.weight, action.kind == VisitorActionKind::RaiseWeight ? +kWeightStep : -kWeightStep));
      panelStatusDue = panelStatusDue || tellPanel;
      break;
    case VisitorActionKind::SetWeight:
      SetWeight(action.weight, action.value);
      panelStatusDue = panelStatusDue || tellPanel;
      break;
    case VisitorActionKind::Faster:
    case VisitorActionKind::Slower:
      SetSpeed(SteppedSpeed(action.kind == VisitorActionKind::Faster ? +kSpeedStep : -kSpeedStep));
      panelStatusDue = panelStatusDue || tellPanel;
      break;
    case VisitorActionKind::SetSpeed:
      SetSpeed(static_cast<float>(action.value));
      panelStatusDue = panelStatusDue || tellPanel;
      break;
    case VisitorActionKind::Stimulus1:
      model.Stimulate(true, false);
      break;
    case VisitorActionKind::Stimulus2:
      model.Stimulate(false, true);
      break;
    case VisitorActionKind::SwitchLanguage:
      language = (language + 1) % languages.size();
      break;
    case VisitorActionKind::Wake:
      break;
    case VisitorActionKind::Reset:
      ResetToDefaults(source == monitoring::InteractionSource::Touch ? ResetCause::Touch : ResetCause::Key);
      break;
  }
}

void Exhibit::ApplyAll(const std::vector<VisitorAction>& actions) {
  for (const VisitorAction& action : actions) Apply(action, monitoring::InteractionSource::Touch);
}

TouchScene Exhibit::Scene() {
  TouchScene scene;
  scene.model = &model;
  scene.pixelMm = pixelMm;
  scene.buttonsShown = touchInUse;
  scene.languageButton = languages.size() > 1;
  scene.nowMs = clock.TickCount();
  return scene;
}

void Exhibit::Touch(const DesignTouch& event) {
  touchInUse = true;
  ApplyAll(touch.Touch(event, Scene(), Inviting()));
}

bool Exhibit::Inviting() const { return invited && options.invitation && touchInUse; }

double Exhibit::SecondsToIdleReset() {
  return kIdleTimeMinutes * kSecondsPerMinute - MinutesSince(clock, lastInteractionMinutes) * kSecondsPerMinute;
}

std::optional<int> Exhibit::CountdownSeconds() {
  if (!options.countdown || idleResetDone) return std::nullopt;
  const double left = SecondsToIdleReset();
  if (left > kCountdownSeconds || left <= 0.0) return std::nullopt;
  return static_cast<int>(std::ceil(left));
}

void Exhibit::DrawOverlays(TextDeviceContext& dc) {
  OverlayPainter painter(dc);
  const TouchScene scene = Scene();
  const StatusTexts& texts = Texts();
  if (Inviting()) {
    const double strength = InvitationStrength(scene.nowMs - invitedSinceMs);
    touch.DrawInvitingRings(painter, scene, strength);
    DrawInvitation(painter, texts.invitation, strength);
  }
  touch.Draw(painter, scene, languages[(language + 1) % languages.size()].languageName);
  if (const std::optional<int> seconds = CountdownSeconds()) {
    DrawCountdown(painter, texts.countdown, *seconds, SecondsToIdleReset() / kCountdownSeconds);
  }
}

void Exhibit::ApplyPanelReply() {
  // A visitor's change on the screen reaches the panel, so the two never disagree.
  if (panelStatusDue) {
    panelLink.SetStatus(SettingsOf(parameters));
    panelStatusDue = !panelLink.SendStatus();
  }
  const std::optional<PanelInput> input = panelLink.TakeReply();
  if (!input) return;
  lastPanelAnswerTick = clock.TickCount();
  const std::optional<PanelReplyValues> before = lastPanelValues;
  lastPanelValues = input->values;
  // A reply that says nothing new leaves the parameters as the keys and touches have
  // set them: taking its values would make the status line and the next key disagree
  // with the network on the screen.
  if (!input->changed) return;
  // The exhibit reacts to every changed reply, the first too, once; only what a visitor
  // did is counted.
  for (const PanelAction& panel : PanelActions(before, input->values, parameters)) {
    Carry(panel.action, monitoring::InteractionSource::Panel);
    if (panel.moved) CountInteraction(monitoring::InteractionSource::Panel, ControlName(panel.action));
  }
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
  if (testNoteEndTick && static_cast<std::int32_t>(clock.TickCount() - *testNoteEndTick) >= 0) {
    SendMidiShort(midi.Output(), kNoteOff, kTestChannel, kTestKey, 0);
    testNoteEndTick.reset();
  }
  ApplyAll(touch.Tick(Scene()));
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

void Exhibit::RefreshStatus(bool frameShown, double periodSeconds, std::uint64_t displayLosses) {
  status.Frame(periodSeconds);
  status.displayLosses = displayLosses;
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
