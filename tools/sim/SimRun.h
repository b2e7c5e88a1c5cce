#pragma once
// The headless run: builds the network, applies the timed actions, advances it and
// reports every firing, every input spike and, per step, the neurons' summed input.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "tools/sim/SimOptions.h"

namespace velmora {
class Model;
}

namespace velmora::sim {

inline constexpr int kSomaCount = 3;
inline constexpr int kSourceCount = 2;

// One firing of a neuron.
struct Firing {
  float timeMs = 0.0f;     // model time handed to the soma in the step it fired
  int soma = 0;            // 1 .. 3
  int note = 0;            // MIDI note it played; -1 if it played none
  double elapsedMs = 0.0;  // simulated ms since the start of the run (keeps counting across resets)
};

// One spike emitted by an input source.
struct SourceSpike {
  int source = 0;          // 1 or 2
  double elapsedMs = 0.0;  // simulated ms since the start of the run
};

// A timed action as it was applied.
struct AppliedAction {
  double elapsedMs = 0.0;  // simulated ms since the start of the run
  std::string label;       // the action as written on the command line
};

// The state after one step, for the CSV.
struct StepRow {
  std::int64_t step = 0;             // 1 for the first step of the run
  float timeMs = 0.0f;               // model time handed to the elements in this step
  float summedInput[kSomaCount] = {};
};

struct RunRecord {
  std::vector<Firing> firings;            // in firing order
  std::vector<SourceSpike> sourceSpikes;  // in emission order
  std::vector<AppliedAction> actions;     // in the order applied
  double elapsedMs = 0.0;                 // simulated ms of the whole run
  std::int64_t stepCount = 0;             // steps taken
};

struct RunSinks {
  std::function<void(const Firing&)> onFiring;  // may be empty
  std::function<void(const StepRow&)> onStep;  // may be empty
  std::function<void(std::uint32_t)> onMidi;   // may be empty: every MIDI message the somas send
  // May be empty: called after every frame's 20 steps with the network as the frame
  // shows it.
  std::function<void(Model&)> onFrame;
  // May be empty: called once with the network in its final state when the run
  // finished (not when it stalled), before the network is taken down.
  std::function<void(Model&)> onFinished;
  // Every firing and input spike kept in the record (the raster needs them); without,
  // a long run takes no more memory than a short one.
  bool keepSpikes = true;
};

enum class RunStatus {
  kFinished,
  kStalled,  // a step no longer moved the model's time, so --until could never be reached
};

// Runs the model as the options say; the notes the somas play are read off an output
// of the run's own.
RunStatus RunSimulation(const SimOptions& options, const RunSinks& sinks, RunRecord& record);

}  // namespace velmora::sim
