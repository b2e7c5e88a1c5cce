#pragma once
// The fixed network of 38 elements and the operations through which the shell
// resets, stimulates, parameterises, steps, reads and draws it.

#include <array>
#include <cstdint>

#include "model/Object.h"

namespace velmora {

class Axon;
class Dendrite;
class MidiOutput;
class SpikeSource;
class Soma;
class Synapse;

class Model {
public:
  // Builds the whole network and ends with Reset(step). The shell passes 1.0 ms.
  explicit Model(float step);
  ~Model();
  Model(const Model&) = delete;
  Model& operator=(const Model&) = delete;

  // Simulated time back to 0, `step` = the given step, every element reset.
  void Reset(float step);
  // Manual spikes into the first and/or second stimulus input; a request within
  // 2.0 ms of the last accepted one on the same input is dropped.
  void Stimulate(bool first, bool second);
  // The six visitor weights into Syn1 .. Syn6, unchecked.
  void SetWeights(const std::array<std::int32_t, 6>& values);
  // The three somas' summed input / 3, clamped to 0 .. 1.
  void GetActivity(float (&out)[3]) const;
  // One step: time += step, then every element updated in model order.
  void Advance();
  // Every element draws itself in model order, with the style's pens and brushes.
  void Draw(DeviceContext& dc, const DrawingStyle& style);
  // The output every soma plays its notes on from now on; null: the network is silent.
  void SetNoteOutput(MidiOutput* output);

  std::array<Axon*, 2> stimulusAxons{};      // A1, A2
  std::array<SpikeSource*, 2> sources{};     // Src1, Src2
  std::array<Axon*, 2> sourceAxons{};        // A3, A4
  std::array<Synapse*, 6> weightSynapses{};  // Syn1 .. Syn6
  std::array<Soma*, 3> somas{};              // Soma1 .. Soma3
  std::array<float, 2> lastStimulusTimes{};  // ms; -10.0 after Reset
  SimpleList<ObjectRef> elements;            // all 38, in model order; the Model owns them
  double time = 0.0;                         // simulated ms
  float step = 1.0f;                         // simulated ms per Advance; the shell writes it on speed changes
};

}  // namespace velmora
