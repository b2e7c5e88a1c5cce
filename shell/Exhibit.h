#pragma once
// The running exhibit: one object, made by the program entry and handed to whoever
// works on it, that holds everything the exhibit keeps while it runs: the options,
// the visitors' parameters, the interaction and idle state, the resets counted by
// cause, the network, the frame cycle's state, the time of the last periodic reset,
// the panel link, the MIDI output and the messages it has shown. It reaches the
// clock, the message boxes and the display it is handed (a fake display in tests).
// It also keeps what operators see of it (`status`: counters and health, as things
// happen) and tells the usage store it is handed of every interaction, reset and firing.
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

namespace velmora {

// The exhibit's timers, in minutes of the clock.
inline constexpr double kLabelTimeMinutes = 0.09;      // 5.4 s of labelled picture after an interaction
inline constexpr double kIdleTimeMinutes = 1.0;        // without input until the reset to defaults
inline constexpr double kPeriodicResetMinutes = 30.0;  // unconditional reset interval

// Step (simulated ms) of the network as it is built, before the first reset sets the
// default speed's step.
inline constexpr float kInitialStepMs = 1.0f;

// Why the exhibit returned to its defaults: the idle timer, the periodic timer, or
// anything else (the start-up); key 0; a technician through the status server.
enum class ResetCause { Other, Idle, Periodic, Key, Remote };
inline constexpr std::size_t kResetCauses = 5;

// With the poll timer on, a panel that has not answered for this long (ten polls)
// counts as not connected.
inline constexpr std::uint32_t kPanelSilenceMs = 1000;

class Exhibit {
public:
  // `opener`, when set, stands in for the MIDI output the options choose.
  Exhibit(const ExhibitOptions& options, Clock& clock, MessageBoxes& boxes, FrameDisplay& display,
          MidiOutputOpener opener = {});
  ~Exhibit();
  Exhibit(const Exhibit&) = delete;
  Exhibit& operator=(const Exhibit&) = delete;

  // Start-up. With --panel none there is no panel port: the link stays closed, so
  // it sends, polls and shows nothing.
  void OpenMidiOutput();
  void OpenPanelPort();

  // Parameters, speed and the whole network back to their defaults; tells the panel.
  // Not an interaction: it changes neither the background nor lastInteractionMinutes.
  void ResetToDefaults(ResetCause cause = ResetCause::Other);
  // Restarts the idle time and shows the labelled picture.
  void NoteInteraction();

  // The start of every frame: a complete reply of the panel becomes the parameters;
  // if it differs from the one before, the network takes them, its held buttons fire
  // their stimuli, and it counts as an interaction.
  void ApplyPanelReply();
  // Once a frame: the labelled picture gives way, the idle reset and the periodic reset.
  void RunTimers();
  // The poll timer's tick.
  void PanelTimerTick();

  // Every message shown so far, oldest first.
  const std::vector<ShownMessage>& ShownMessages() const { return messageLog.Messages(); }
  // The notice lines the frame draws now: in an unattended run, the messages of the
  // last kNoticeShownMs.
  std::vector<std::string> NoticeLines() { return messageLog.NoticeLines(); }

  // Operators' view. A visitor's key or panel control, as the counters and the usage
  // statistics take it; `control` names it ("weight3+", "speed").
  void CountInteraction(monitoring::InteractionSource source, std::string_view control);
  // After each model step: counts each soma that fired in it.
  void CountFirings();
  // A technician's action from the status server, between two frames: the reset (as
  // key 0 does), the self-test's note (ended by RunTimers, nothing waits), a stimulus
  // (as F1 or F2 do, but no visitor's interaction).
  void ApplyRemoteAction(monitoring::ExhibitAction action);
  // After each frame: the parameters and the health into `status`; `frameShown`: the
  // frame reached the screen.
  void RefreshStatus(bool frameShown);
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

  // State, open to the frame cycle, the keys and the tests, as the model's is.
  const ExhibitOptions options;
  VisitorParameters parameters = DefaultVisitorParameters();
  float lastInteractionMinutes = 0.0f;  // minutes (as CurrentMinutes) of the last handled key or changed panel reply
  // True after any reset to defaults until the next interaction; the label and idle
  // timers are off meanwhile.
  bool idleResetDone = false;
  std::array<std::int64_t, kResetCauses> resetCounts{};  // resets to defaults since the exhibit was made, by cause
  Model model{kInitialStepMs};
  FrameCycleState frameCycle;
  StatusTexts statusTexts;  // the status line's language
  float lastPeriodicResetMinutes;  // minutes (as CurrentMinutes) of the last periodic reset; at first, when the exhibit was made
  monitoring::ExhibitSnapshot status;  // counters since the exhibit was made and health, for the status server

private:
  // Each soma's firing time (simulated ms) as CountFirings last saw it.
  void TakeFiringTimes();
  Clock& clock;
  FrameDisplay& display;
  MessageLog messageLog;  // before the panel link and the MIDI output, which show through it
  PanelLink panelLink;
  MidiDevice midi;
  bool displayReleased = false;
  bool shutDown = false;
  monitoring::UsageStore* usage = nullptr;
  std::array<float, monitoring::kSomaCount> firingTimes{};  // simulated ms, each soma's last firing seen
  PanelReplyValues lastPanelValues;     // the last complete reply, to name the control a change moved
  std::uint32_t lastPanelAnswerTick = 0;  // tick (ms) of the last complete reply, or of the port's opening
  std::optional<std::uint32_t> testNoteEndTick;  // tick (ms) at which a sounding test note ends
};

// Minutes from a stored CurrentMinutes reading to a fresh one. The tick behind the
// minutes wraps every 2^32 ms; a difference that came out hugely negative is taken
// across the wrap, so the label, idle and periodic timers keep running after it.
double MinutesSince(Clock& clock, float storedMinutes);

}  // namespace velmora
