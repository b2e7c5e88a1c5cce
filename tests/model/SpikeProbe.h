#pragma once
// Test helpers shared by the element tests: an element that records the spikes it
// receives, and small straight paths.

#include <cstdint>
#include <vector>

#include "model/Object.h"

namespace velmora::testing {

struct ReceivedSpike {
  float time;        // ms
  float strength;
  float entryPoint;  // path points
};

class SpikeProbe : public Object {
public:
  void ReceiveSpike(float time, float strength, float entryPoint) override {
    received.push_back({time, strength, entryPoint});
  }
  std::vector<ReceivedSpike> received;
};

// `count` points running right from (x0, y) one pixel apart, all with the given normal.
inline std::vector<PathPoint> StraightPath(std::int32_t count, float nx, float ny, std::int32_t x0 = 100,
                                           std::int32_t y = 200) {
  std::vector<PathPoint> path;
  for (std::int32_t i = 0; i < count; ++i) path.push_back({x0 + i, y, nx, ny});
  return path;
}

}  // namespace velmora::testing
