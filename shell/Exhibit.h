#pragma once
// The running exhibit: one object, made by the program entry and handed to whoever
// works on it, that holds everything the exhibit keeps while it runs: the options,
// the visitors' parameters, the interaction and idle state, the resets counted by
// cause, the network, the frame cycle's state, the time of the last periodic reset,
// the panel link, the MIDI output, the touch controls, the languages on offer and the
// messages it has shown. It reaches the clock, the message boxes and the display it
// is handed (a fake display in tests). It also keeps what operators see of it
// (`Status`: counters and health, as things happen) and tells the usage store it is
// handed of every interaction, reset and firing.
//
// Every visitor's input, key, panel reply or touch, arrives as visitor actions
// (shell/VisitorAction.h) that Apply carries out, the one place that changes the
// parameters on a visitor's behalf.
//
// Start-up (the main window's first paint): ResetToDefaults, then the display is set
// up by its owner, then OpenMidiOutput, OpenPanelPort. Shutdown releases, once and in
// this order: the display, the MIDI output (all notes off first), the panel port. The
// destructor shuts down too, for an exhibit that never ran.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "display/FrameDisplay.h"
#include "display/StatusTexts.h"
#include "model/Model.h"
#include "model/VisitorParameters.h"
#include "monitoring/ActionQueue.h"
#include "monitoring/ExhibitSnapshot.h"
#include "monitoring/UsageStore.h"
#include "platform/Clock.h"
#include "platform/MessageBoxes.h"
#include "shell/ExhibitOptions.h"
#include "shell/FrameCycle.h"
#include "shell/MessageLog.h"
#include "shell/MidiDevice.h"
#include "shell/PanelLink.h"
#include "shell/TouchControls.h"
#include "shell/VisitorAction.h"

namespace velmora {

// The exhibit's timers, in minutes of the clock.
inline constexpr double kLabelTimeMinutes = 0.09;      // 5.4 s of labelled picture after an interaction
inline constexpr double kIdleTimeMinutes = 1.0;        // without input until the reset to defaults
inline constexpr double kPeriodicResetMinutes = 30.0;  // unconditional reset interval
// The countdown shows over the last this many seconds before the idle reset.
inline constexpr int kCountdownSeconds = 10;

// Step (simulated ms) of the network as it is built, before the first reset sets the
// default speed's step.
inline constexpr float kInitialStepMs = 1.0f;

// Why the exhibit returned to its defaults: the idle timer, the periodic timer, or
// anything else (the start-up); key 0; a technician through the status server; the
// reset button on the screen.
enum class ResetCause { Other, Idle, Periodic, Key, Remote, Touch };
inline constexpr std::size_t kResetCauses = 6;

// With the poll timer on, a panel that has not answered for this long (ten polls)
// counts as not connected.
inline constexpr std::uint32_t kPanelSilenceMs = 1000;

class Exhibit {
public:
  // `opener`, when set, stands in for the MIDI output the options choose.
  // `languages` are the texts of the languages on offer, the one shown first first;
  // empty: the program's own.
  Exhibit(const ExhibitOptions& options, Clock& clock, MessageBoxes& boxes, FrameDisplay& display,
          MidiOutputOpener opener = {}, std::vector<StatusTexts> languages = {});
  ~Exhibit();
  Exhibit(const Exhibit&) = delete;
  Exhibit& operator=(const Exhibit&) = delete;

  // Start-up. With --panel none there is no panel port: the link stays closed, so
  // it sends, polls and shows nothing.
  void OpenMidiOutput();
  void OpenPanelPort();

  // A visitor's action from `source`: carried out, counted as an interaction for the
  // operators' counters and the usage statistics, and, where it changed a weight or
  // the speed, told to the panel at the next frame's start. Every action but the
  // reset restarts the idle time and shows the labelled picture.
  void Apply(const VisitorAction& action, monitoring::InteractionSource source);
  // One finger's (or the mouse button's) event at a point of the design, translated
  // by the touch controls into actions and applied.
  void Touch(const DesignTouch& touch);
  // The screen takes touches (it has a touch device, or was touched or clicked): the
  // touch buttons and the invitation show from now on.
  void TouchInUse() { touchInUse = true; }
  // How many mm one of the design's pixels covers on the screen; touch targets are
  // sized by it.
  void SetPixelMm(double millimetres) { pixelMm = millimetres; }

  // Parameters, speed and the whole network back to their defaults; tells the panel.
  // Not an interaction: it changes neither the background nor the idle time.
  void ResetToDefaults(ResetCause cause = ResetCause::Other);

  // The start of every frame: a complete reply of the panel becomes the parameters;
  // if it differs from the one before, the network takes them, its held buttons fire
  // their stimuli, and it counts as an interaction.
  void ApplyPanelReply();
  // Once a frame: the labelled picture gives way, the idle reset and the periodic
  // reset; held touch controls repeat.
  void RunTimers();
  // The poll timer's tick.
  void PanelTimerTick();
  // After each model step: counts each soma that fired in it.
  void CountFirings();
  // What lies over the picture: the touch controls, the countdown, the invitation.
  void DrawOverlays(TextDeviceContext& dc);

  // Every message shown so far, oldest first.
  const std::vector<ShownMessage>& ShownMessages() const { return messageLog.Messages(); }
  // The notice lines the frame draws now: in an unattended run, the messages of the
  // last kNoticeShownMs.
  std::vector<std::string> NoticeLines() { return messageLog.NoticeLines(); }

  // A technician's action from the status server, between two frames: the reset (as
  // key 0 does), the self-test's note (ended by RunTimers, nothing waits), a stimulus
  // (as F1 or F2 do, but no visitor's interaction).
  void ApplyRemoteAction(monitoring::ExhibitAction action);
  // After each frame: the parameters and the health into the status; `frameShown`: the
  // frame reached the screen; `periodSeconds` since the frame before ended (0 for the
  // first); `displayLosses` restored so far.
  void RefreshStatus(bool frameShown, double periodSeconds = 0.0, std::uint64_t displayLosses = 0);
  // Where interactions, resets (not the start-up's) and firings are recorded; null:
  // nowhere. The store must outlive the exhibit's frames.
  void RecordUsage(monitoring::UsageStore* store) { usage = store; }

  // Releases, once: the display, the MIDI output, the panel port, in this order.
  void Shutdown();

  FrameDisplay& GetDisplay() { return display; }
  Clock& GetClock() { return clock; }
  MessageBoxes& GetMessageBoxes() { return messageLog; }
  PanelLink& GetPanelLink() { return panelLink; }
  MidiOutput* GetMidiOutput() const { return midi.Output(); }
  // The network, which the frame cycle advances and draws.
  Model& Network() { return model; }
  FrameCycleState& Cycle() { return frameCycle; }

  // What it is doing, for the frame, the operators and the tests.
  const ExhibitOptions& Options() const { return options; }
  const VisitorParameters& Parameters() const { return parameters; }
  const monitoring::ExhibitSnapshot& Status() const { return status; }
  const StatusTexts& Texts() const { return languages[language]; }
  // True after any reset to defaults until the next interaction; the label and idle
  // timers are off meanwhile.
  bool IdleResetDone() const { return idleResetDone; }
  // Minutes (as CurrentMinutes) of the last interaction.
  float LastInteractionMinutes() const { return lastInteractionMinutes; }
  // Resets to defaults since the exhibit was made, of one cause.
  std::int64_t Resets(ResetCause cause) const { return resetCounts[static_cast<std::size_t>(cause)]; }
  // The invitation shows: after an idle reset, until the next interaction, where the
  // screen takes touches (and --invitation is not off).
  bool Inviting() const;
  // Whole seconds left before the idle reset while the countdown shows, else none.
  std::optional<int> CountdownSeconds();
  const TouchControls& Controls() const { return touch; }

private:
  void NoteInteraction();
  // Seconds until the idle reset is due (negative once it is overdue).
  double SecondsToIdleReset();
  // What an action does to the parameters and the network, without noting or counting
  // it as an interaction.
  void Carry(const VisitorAction& action, monitoring::InteractionSource source);
  void SetWeight(std::size_t weight, std::int32_t value);
  void SetSpeed(float setting);
  std::int32_t SteppedWeight(std::size_t weight, std::int32_t change) const;
  float SteppedSpeed(float change) const;
  // Each soma's firing time (simulated ms) as CountFirings last saw it.
  void TakeFiringTimes();
  void CountInteraction(monitoring::InteractionSource source, std::string_view control);
  TouchScene Scene();
  void ApplyAll(const std::vector<VisitorAction>& actions);

  // Parameters
  const ExhibitOptions options;
  Clock& clock;
  FrameDisplay& display;
  std::vector<StatusTexts> languages;  // at least one

  // State
  VisitorParameters parameters = DefaultVisitorParameters();
  float lastInteractionMinutes = 0.0f;  // minutes (as CurrentMinutes) of the last interaction
  bool idleResetDone = false;
  bool invited = false;  // an idle reset happened and nobody has played since
  std::uint32_t invitedSinceMs = 0;  // tick of that reset: the invitation fades in from it
  std::array<std::int64_t, kResetCauses> resetCounts{};  // resets to defaults since the exhibit was made, by cause
  Model model{kInitialStepMs};
  FrameCycleState frameCycle;
  std::size_t language = 0;  // index into `languages`
  float lastPeriodicResetMinutes;  // minutes (as CurrentMinutes) of the last periodic reset; at first, when the exhibit was made
  monitoring::ExhibitSnapshot status;  // counters since the exhibit was made and health, for the status server
  TouchControls touch;
  bool touchInUse = false;
  double pixelMm = kAssumedScreenPixelMm;
  bool panelStatusDue = false;  // a visitor changed a weight or the speed on the screen: tell the panel

  MessageLog messageLog;  // before the panel link and the MIDI output, which show through it
  PanelLink panelLink;
  MidiDevice midi;
  bool displayReleased = false;
  bool shutDown = false;
  monitoring::UsageStore* usage = nullptr;
  std::array<float, monitoring::kSomaCount> firingTimes{};  // simulated ms, each soma's last firing seen
  std::optional<PanelReplyValues> lastPanelValues;  // the last complete reply; none before the first
  std::uint32_t lastPanelAnswerTick = 0;  // tick (ms) of the last complete reply, or of the port's opening
  std::optional<std::uint32_t> testNoteEndTick;  // tick (ms) at which a sounding test note ends
};

// Minutes from a stored CurrentMinutes reading to a fresh one. The tick behind the
// minutes wraps every 2^32 ms; a difference that came out hugely negative is taken
// across the wrap, so the label, idle and periodic timers keep running after it.
double MinutesSince(Clock& clock, float storedMinutes);

}  // namespace velmora
