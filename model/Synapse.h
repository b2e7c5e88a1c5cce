#pragma once
// A dynamic synapse: turns each arriving spike into a wave on its dendrite whose
// amplitude depends on the weight and on the depression and facilitation left by
// earlier spikes. Drawn as a triangle sized by the weight's magnitude.

#include "model/Object.h"

namespace velmora {

// pendingSpikeTime when no spike waits for transmission (any negative value would do;
// a spike stamped 0.0 is a real one).
inline constexpr float kNoPendingSpike = -1.0f;
// lastSpikeTime after a reset, ms: long enough ago for recovery, though not for a
// slow facilitation to have fully decayed.
inline constexpr float kRestedLastSpikeTime = -1000.0f;
// Triangle size s = |weight| x growth + base, pixels: half the base, and how far the
// tip stands out beyond its anchor.
inline constexpr double kTriangleBaseSize = 5.0;
inline constexpr double kTriangleGrowthPerWeight = 1.2;

class Synapse : public Object {
public:
  // The synapse keeps its own copy of `shape` with both directions normalised.
  Synapse(float facilitationTime, float recoveryTime, float baseUse, float initialWeight,
          const SynapseShape* shape, float dendritePosition);

  void Draw(DeviceContext& dc, const DrawingStyle& style) override;
  void Update(float time, float step) override;
  void ReceiveSpike(float time, float strength, float entryPoint) override;
  void Reset() override;

  float facilitationTime;           // [parameter] ms: use falls back towards baseUse
  float recoveryTime;               // [parameter] ms: resources recover towards 1
  float baseUse;                    // [parameter] fraction of resources a rested synapse uses, 0 < U <= 1
  float resources = 0.0f;           // [state] available fraction, 0 < R <= 1
  float use = 0.0f;                 // [state] current use u
  float weight = 0.0f;              // [state] current weight; the visitors' parameters write it
  float initialWeight;              // [parameter] weight a reset returns to
  float lastAmplitude = 0.0f;       // [state] amplitude of the last transmitted spike
  float pendingSpikeTime = 0.0f;    // [state] ms stamp of a received, not yet transmitted spike, or kNoPendingSpike
  float lastSpikeTime = 0.0f;       // [state] ms stamp of the last transmitted spike
  SynapseShape shape;               // [parameter] anchors in pixels with unit directions
  float dendritePosition;           // [parameter] path point of the target dendrite where waves enter
};

}  // namespace velmora
