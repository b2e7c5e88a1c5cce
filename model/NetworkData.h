#pragma once
// The fixed network's constants and wiring: how its elements are made and joined.
// The neurite paths themselves are in NetworkTables.h.

#include <array>
#include <cstdint>

#include "model/Object.h"

namespace velmora::network {

// Labels of the elements, as indices into their kind's list.
enum AxonLabel : std::int32_t { A1, A2, A3, A4, A5, A6, A7, A8, A9, A10, A11, A12, A13, A14, A15, A16, A17 };
enum DendriteLabel : std::int32_t { D1, D2, D3, D4, D5, D6 };
enum SomaLabel : std::int32_t { Soma1, Soma2, Soma3 };

inline constexpr int kSynapseCount = 10;
inline constexpr int kSomaCount = 3;
inline constexpr int kSourceCount = 2;
inline constexpr int kBranchCount = 10;
inline constexpr int kElementCount = 38;

inline constexpr float kAxonSpeed = 12.0f;               // path points per simulated ms
inline constexpr float kDendriteSpeed = 8.0f;            // path points per simulated ms
inline constexpr float kDendriteLengthConstant = 700.0f; // path points of attenuation by e
inline constexpr float kDendriteTimeConstant = 10.0f;    // path points: rise constant of the wave
inline constexpr float kSomaThreshold = 1.5f;            // summed dendrite output to exceed
inline constexpr float kSomaRefractoryPeriod = 2.0f;     // simulated ms between firings, at least
inline constexpr std::int32_t kSomaMidiChannel = 0;      // every soma plays on the first channel
inline constexpr std::int32_t kSomaVelocity = 120;       // note-on velocity of every soma

// One synapse: its dynamics, where its waves enter the dendrite, and what it joins.
// Its initial weight is the matching entry of defaultParams.
struct SynapseRecord {
  float facilitationTime;  // ms
  float recoveryTime;      // ms
  float baseUse;           // fraction of resources a rested synapse uses
  float dendritePosition;  // path point of the target dendrite
  AxonLabel fromAxon;
  DendriteLabel toDendrite;
};

// Syn1 .. Syn10; Syn1 .. Syn6 carry the visitors' weights.
extern const std::array<SynapseRecord, kSynapseCount> kSynapses;
// Syn1 .. Syn10 as stored: anchors in pixels, directions not yet normalised.
extern const std::array<SynapseShape, kSynapseCount> kSynapseShapes;

struct Branch {
  AxonLabel parent;
  AxonLabel child;
};
// Axon segments and the branches their spikes continue into, in connection order.
extern const std::array<Branch, kBranchCount> kBranches;

// The soma each of D1 .. D6 reports to.
extern const std::array<SomaLabel, 6> kDendriteSomas;

// Soma centres on the screen (pixels), with the normal pointing down.
extern const std::array<PathPoint, kSomaCount> kSomaCentres;
// MIDI note of each soma.
extern const std::array<std::int32_t, kSomaCount> kSomaNotes;
// The axon each soma fires into.
extern const std::array<AxonLabel, kSomaCount> kSomaAxons;

// The axons fed by the manual stimuli and by the two spike sources.
extern const std::array<AxonLabel, 2> kStimulusAxons;
extern const std::array<AxonLabel, kSourceCount> kSourceAxons;

// One pass of each source's spike times, in stored units (0.6 simulated ms), ascending.
extern const std::array<float, 55> kSpikeTimesT1;
extern const std::array<float, 47> kSpikeTimesT2;

}  // namespace velmora::network
