#pragma once
// A segment of an axon: carries spikes along its path at constant speed and hands
// each on to its outputs (synapses or branch segments) at the end of the path.

#include <cstdint>
#include <vector>

#include "model/Object.h"

namespace velmora {

// Pixels: the stored unit normals become the tick of a strength-1 spike, drawn
// across the path.
inline constexpr float kAxonTickLength = 25.0f;

class Axon : public Object {
public:
  // `path` holds `count` >= 1 points with unit normals; the axon keeps its own copy
  // with the normals scaled to tick length, so the table is left as it is.
  Axon(float speed, const PathPoint* path, std::int32_t count);

  void Draw(DeviceContext& dc, const DrawingStyle& style) override;
  void Update(float time, float step) override;
  void ReceiveSpike(float time, float strength, float entryPoint) override;
  void Reset() override;

  SimpleList<SpikeEvent> spikes;  // [state] spikes in flight, in order of arrival
  float travelTime = 0.0f;        // [derived] simulated ms from the first point to the end: pointCount / speed
  float speed = 0.0f;             // [state] path points per simulated ms
  float initialSpeed;             // [parameter] path points per simulated ms
  const PathPoint* table;         // [parameter] the points as given: tells a drawing context which neurite it draws on
  std::vector<PathPoint> path;    // [parameter] points first to last; normals in pixels per unit strength
  std::int32_t pointCount;        // [parameter] number of path points
};

}  // namespace velmora
