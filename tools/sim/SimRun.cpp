#include "tools/sim/SimRun.h"

#include <algorithm>
#include <array>
#include <numeric>

#include "display/FrameComposition.h"
#include "model/Midi.h"
#include "model/Model.h"
#include "model/Soma.h"
#include "model/SpeedRule.h"
#include "model/Spikesource.h"
#include "model/VisitorParameters.h"

namespace velmora::sim {
namespace {

// A silent listener wired behind an element's real outputs: it hears every spike the
// element sends, with the time the element sent it, after the network has had it.
class SpikeListener : public Object {
public:
  void ReceiveSpike(float time, float /*strength*/, float /*entryPoint*/) override { heardMs.push_back(time); }

  int sender = 0;                // 1-based index of the watched soma or source
  std::vector<float> heardMs;    // times of the spikes heard since last cleared
};

// Takes the note-ons the somas play, in the order they are played.
class NoteRecorder : public MidiOutput {
public:
  MidiSendResult ShortMessage(std::uint32_t message) override {
    if ((message & 0xF0u) == static_cast<std::uint32_t>(kMidiNoteOn)) notes.push_back(static_cast<int>((message >> 8) & 0xFFu));
    if (onMidi) onMidi(message);
    return MidiSendResult::Accepted;
  }
  std::vector<int> notes;
  std::function<void(std::uint32_t)> onMidi;
};

void Apply(const TimedAction& action, Model& model) {
  switch (action.kind) {
    case ActionKind::kStimulus1:
      model.Stimulate(true, false);
      break;
    case ActionKind::kStimulus2:
      model.Stimulate(false, true);
      break;
    case ActionKind::kSetWeights:
      model.SetWeights(action.weights);
      break;
    case ActionKind::kSetSpeed:
      model.step = StepFactorForSpeed(action.speedSetting);
      break;
    case ActionKind::kReset: {
      VisitorParameters parameters;
      ResetToDefaults(parameters, model);
      break;
    }
  }
}

}  // namespace

RunStatus RunSimulation(const SimOptions& options, const RunSinks& sinks, RunRecord& record) {
  record = RunRecord{};

  // Declared before the model so that they outlive it: the model's elements hold
  // references to them until it is destroyed.
  NoteRecorder recorder;
  std::array<SpikeListener, kSomaCount> somaListeners;
  std::array<SpikeListener, kSourceCount> sourceListeners;

  recorder.onMidi = sinks.onMidi;
  Model model(kDefaultInitialStepMs);
  model.SetNoteOutput(&recorder);
  for (int i = 0; i < kSomaCount; ++i) {
    somaListeners[i].sender = i + 1;
    Connect(model.somas[i], &somaListeners[i]);
  }
  for (int i = 0; i < kSourceCount; ++i) {
    sourceListeners[i].sender = i + 1;
    Connect(model.sources[i], &sourceListeners[i]);
  }

  model.step = options.initialStepMs;
  if (options.initialWeights) model.SetWeights(*options.initialWeights);

  // Actions due together are applied in order of their time, ties in command-line order.
  std::vector<std::size_t> actionOrder(options.actions.size());
  std::iota(actionOrder.begin(), actionOrder.end(), std::size_t{0});
  std::stable_sort(actionOrder.begin(), actionOrder.end(), [&](std::size_t a, std::size_t b) {
    return options.actions[a].atMs < options.actions[b].atMs;
  });
  std::vector<bool> applied(options.actions.size(), false);

  auto running = [&] {
    return options.runByStepCount ? record.stepCount < options.stepCount : model.time < options.untilMs;
  };
  while (running()) {
    for (std::size_t index : actionOrder) {
      const TimedAction& action = options.actions[index];
      if (applied[index] || model.time < action.atMs) continue;
      Apply(action, model);
      applied[index] = true;
      record.actions.push_back({record.elapsedMs, action.label});
    }

    // A held key acts between frames, as the exhibit handles keys before a frame's steps.
    if ((options.holdStimulus1 || options.holdStimulus2) && record.stepCount % kStepsPerFrame == 0) {
      model.Stimulate(options.holdStimulus1, options.holdStimulus2);
    }

    const double timeBeforeMs = model.time;
    model.Advance();
    record.elapsedMs += model.step;
    ++record.stepCount;

    for (SpikeListener& listener : sourceListeners) {
      for (std::size_t n = 0; n < listener.heardMs.size(); ++n) {
        if (sinks.keepSpikes) record.sourceSpikes.push_back({listener.sender, record.elapsedMs});
      }
      listener.heardMs.clear();
    }
    // Somas fire in model order, at most once each per step, and each plays its note
    // right after sending its spike: firings and notes pair up in soma order.
    std::size_t noteIndex = 0;
    for (SpikeListener& listener : somaListeners) {
      for (float timeMs : listener.heardMs) {
        const int note = noteIndex < recorder.notes.size() ? recorder.notes[noteIndex++] : -1;
        const Firing firing{timeMs, listener.sender, note, record.elapsedMs};
        if (sinks.keepSpikes) record.firings.push_back(firing);
        if (sinks.onFiring) sinks.onFiring(firing);
      }
      listener.heardMs.clear();
    }
    recorder.notes.clear();

    if (sinks.onStep) {
      StepRow row;
      row.step = record.stepCount;
      row.timeMs = static_cast<float>(model.time);
      for (int i = 0; i < kSomaCount; ++i) row.summedInput[i] = model.somas[i]->summedInput;
      sinks.onStep(row);
    }
    if (sinks.onFrame && record.stepCount % kStepsPerFrame == 0) sinks.onFrame(model);
    if (!options.runByStepCount && !(model.time > timeBeforeMs)) return RunStatus::kStalled;
  }
  if (sinks.onFinished) sinks.onFinished(model);
  return RunStatus::kFinished;
}

}  // namespace velmora::sim
