#pragma once
// An input of the network: replays a fixed table of spike times, pass after pass.

#include <cstdint>
#include <vector>

#include "model/Object.h"

namespace velmora {

// The stored tables count in units of 0.6 simulated ms; a double so the products
// round once, into float32.
inline constexpr double kSpikeTimeScale = 0.6;
// Simulated ms of silence after the last entry of a pass before the next pass begins.
inline constexpr double kSourcePassPause = 10.0;
// Strength every emitted spike carries.
inline constexpr float kSourceSpikeStrength = 1.0f;

class SpikeSource : public Object {
public:
  // `table` holds `count` >= 1 ascending times in stored units; the source keeps its
  // own scaled copy, so the table is left as it is and may be shared.
  SpikeSource(const float* table, std::int32_t count);

  void Draw(DeviceContext& dc, const DrawingStyle& style) override;
  void Update(float time, float step) override;
  void ReceiveSpike(float time, float strength, float entryPoint) override;
  void Reset() override;

  std::vector<float> spikeTimes;  // [parameter] one pass, ascending, simulated ms (scaled copy)
  std::int32_t spikeCount;        // [parameter] entries in spikeTimes
  std::int32_t nextIndex = 0;     // [state] index of the next entry to emit
  float cycleOffset = 0.0f;       // [state] simulated ms at which the current pass began
  float strength = 0.0f;          // [state] strength of every emitted spike
};

}  // namespace velmora
