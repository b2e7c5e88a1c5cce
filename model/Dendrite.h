#pragma once
// A dendrite: carries postsynaptic waves from its synapses to its soma and offers
// the wave height at the soma end as its outputValue. Drawn as a line that bulges
// along its normals wherever a wave passes.

#include <cstdint>
#include <vector>

#include "model/Object.h"

namespace velmora {

// Pixels of sideways displacement of the drawn line per unit of wave height.
inline constexpr float kDendriteBulgeScale = 7.0f;
// The line is drawn through every fourth path point only: waves are evaluated at
// just those points once per frame.
inline constexpr std::int32_t kDendriteDrawSpacing = 4;

class Dendrite : public Object {
public:
  // `path` runs from the distal end (point 0) to the soma; the dendrite keeps its
  // own copy with the normals scaled to the bulge per unit height.
  Dendrite(float speed, float lengthConstant, float timeConstant, const PathPoint* path,
           std::int32_t count);

  void Draw(DeviceContext& dc, const DrawingStyle& style) override;
  void Update(float time, float step) override;
  void ReceiveSpike(float time, float strength, float entryPoint) override;
  void Reset() override;

  // Height, normalised to a peak of 1, of one wave at path point i: 0 from peakTime
  // points ahead of the wave's position onwards, rising to 1 at the position and
  // decaying slowly behind it.
  float EvaluateWave(const SpikeEvent& event, std::int32_t i) const;

  SimpleList<SpikeEvent> spikes;   // [state] waves in flight, in order of arrival
  float travelTime = 0.0f;         // [derived] simulated ms from point 0 to the end: pointCount / speed
  float speed = 0.0f;              // [state] path points per simulated ms
  float initialSpeed;              // [parameter] path points per simulated ms
  float peakTime = 0.0f;           // [derived] path points from a wave's front to its peak
  float decayConstant = 0.0f;      // [derived] path points: slow constant of the wave shape
  float riseConstant = 0.0f;       // [derived] path points: fast constant of the wave shape
  float peakScale = 0.0f;          // [derived] makes the wave's peak 1
  const PathPoint* table;          // [parameter] the points as given: tells a drawing context which neurite it draws on
  std::vector<PathPoint> path;     // [parameter] distal end to soma; normals in pixels per unit height
  std::int32_t pointCount;         // [parameter] number of path points
  std::vector<float> potential;    // [state] wave height per path point, written before it is read
  float initialLengthConstant;     // [parameter] path points of attenuation by e
  float lengthConstant = 0.0f;     // [state] path points of attenuation by e
  float initialTimeConstant;       // [parameter] path points: shape constant
  float timeConstant = 0.0f;       // [state] path points: shape constant

  // exp(-point / lengthConstant) for every path point, so a wave's attenuation costs
  // a look-up per step instead of an exponential; rebuilt whenever lengthConstant
  // is no longer the one it was made for.
  std::vector<double> attenuation;           // [derived] factor per path point
  float attenuationLengthConstant = 0.0f;    // [derived] path points: lengthConstant of the table

private:
  void MakeAttenuation();
};

}  // namespace velmora
