#pragma once
// The cell body of a neuron: sums what its dendrites report at their soma ends and,
// above threshold and outside its refractory period, fires: a spike into its axon
// and a MIDI note on the output it is given.

#include <cstdint>

#include "model/Object.h"

namespace velmora {

class MidiOutput;

// Status byte of a MIDI note-on; the soma's channel goes into its low four bits.
inline constexpr std::int32_t kMidiNoteOn = 0x90;
// Strength of the spike a firing soma sends into its axon.
inline constexpr float kFiredSpikeStrength = 1.0f;

class Soma : public Object {
public:
  Soma(float threshold, float refractoryPeriod, const PathPoint* location, std::int32_t midiChannel,
       std::int32_t velocity, std::int32_t note);

  void Draw(DeviceContext& dc, const DrawingStyle& style) override;
  void Update(float time, float step) override;
  void ReceiveSpike(float time, float strength, float entryPoint) override;
  void Reset() override;

  float threshold;                 // [parameter] summed input must exceed it to fire
  float refractoryPeriod;          // [parameter] minimum simulated ms between two firings
  float lastSpikeTime = 0.0f;      // [state] simulated ms of the last firing
  float summedInput = 0.0f;        // [state] this step's sum of the dendrites' outputValue; 0 early in the refractory period
  std::int32_t midiChannel;        // [parameter] 0 to 15
  std::int32_t velocity;           // [parameter] note-on velocity
  std::int32_t note;               // [parameter] MIDI note number
  const PathPoint* location;       // [parameter] centre on the screen, pixels; not used by the operations
  MidiOutput* noteOutput = nullptr;  // [parameter] plays the firing's note; null: the soma fires silently
};

}  // namespace velmora
