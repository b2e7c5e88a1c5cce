#include "model/Dendrite.h"

#include <algorithm>
#include <cmath>

#include "model/DeviceContext.h"
#include "model/DrawingStyle.h"

namespace velmora {

Dendrite::Dendrite(float speed_, float lengthConstant_, float timeConstant_, const PathPoint* path_,
                   std::int32_t count)
    : initialSpeed(speed_),
      table(path_),
      path(path_, path_ + count),
      pointCount(count),
      potential(static_cast<std::size_t>(count)),
      initialLengthConstant(lengthConstant_),
      initialTimeConstant(timeConstant_),
      attenuation(static_cast<std::size_t>(count)) {
  for (PathPoint& point : path) {
    point.nx *= kDendriteBulgeScale;
    point.ny *= kDendriteBulgeScale;
  }
  Dendrite::Reset();
}

float Dendrite::EvaluateWave(const SpikeEvent& event, std::int32_t i) const {
  const float v = static_cast<float>(event.position) + peakTime - static_cast<float>(i);
  if (v > 0.0f) {
    return static_cast<float>((std::exp(-v / static_cast<double>(decayConstant)) -
                               std::exp(-v / static_cast<double>(riseConstant))) *
                              (peakScale / (decayConstant - riseConstant)));
  }
  return 0.0f;
}

void Dendrite::Draw(DeviceContext& dc, const DrawingStyle& style) {
  for (std::int32_t i = 0; i < pointCount; i += kDendriteDrawSpacing) {
    float sum = 0.0f;
    for (SpikeEvent* event = spikes.head; event != nullptr; event = spikes.Next(event)) {
      sum += EvaluateWave(*event, i) * event->strength;
    }
    potential[static_cast<std::size_t>(i)] = sum;
  }
  dc.SelectPen(&style.dendritePen);
  for (std::int32_t i = 0; i < pointCount; i += kDendriteDrawSpacing) {
    const PathPoint& p = path[static_cast<std::size_t>(i)];
    const float height = potential[static_cast<std::size_t>(i)];
    const PathPlace place{table + i, p.x, p.y, p.nx * height, p.ny * height};
    if (i == 0) {
      dc.MoveToOnPath(place);
    } else {
      dc.LineToOnPath(place);
    }
  }
}

void Dendrite::Update(float time, float) {
  if (lengthConstant != attenuationLengthConstant) MakeAttenuation();
  // Kept in locals: the stores into the events could otherwise alias these fields
  // and force a reload for every wave.
  const float wholeTravelTime = travelTime;
  const std::int32_t points = pointCount;
  const std::int32_t last = points - 1;
  // The soma end's height, summed over the waves that stay in flight, in list order.
  float sum = 0.0f;
  SpikeEvent* event = spikes.head;
  while (event != nullptr) {
    const float elapsed = time - event->time;
    if (elapsed >= wholeTravelTime) {
      // The peak has reached the soma end; the soma ignores the hand-over and hears
      // the dendrite only through outputValue.
      event = HandOnArrived(spikes, event, time);
    } else {
      // An update at a time before the event's stamp (a caller stepping time back)
      // would give a negative index; the index must stay on the path it is drawn from.
      const auto index = static_cast<std::int32_t>(elapsed / wholeTravelTime * static_cast<float>(points));
      event->position = std::clamp(index, 0, last);
      // Attenuation by distance from point 0, not from the entry point: every wave
      // reaches the soma end weakened by the same factor.
      event->strength = static_cast<float>(attenuation[static_cast<std::size_t>(event->position)] *
                                           event->initialStrength);
      // Only waves whose front has reached the soma end add anything; skipping the
      // others leaves the sum exactly as adding their zeros would.
      if (static_cast<float>(event->position) + peakTime - static_cast<float>(last) > 0.0f) {
        sum += EvaluateWave(*event, last) * event->strength;
      }
      event = spikes.Next(event);
    }
  }
  potential[static_cast<std::size_t>(last)] = sum;
  outputValue = sum;
}

void Dendrite::ReceiveSpike(float time, float strength, float entryPoint) {
  // Back-dated so that the wave's peak lies at the entry point at the moment of receipt.
  const float start = time - entryPoint / static_cast<float>(pointCount) * travelTime;
  spikes.Append(new SpikeEvent{start, strength, strength, 0, nullptr, nullptr});
}

void Dendrite::Reset() {
  speed = initialSpeed;
  travelTime = static_cast<float>(pointCount) / speed;
  timeConstant = initialTimeConstant;
  lengthConstant = initialLengthConstant;
  decayConstant = timeConstant * 2.0f;
  riseConstant = timeConstant;
  peakTime = static_cast<float>(std::log(static_cast<double>(riseConstant) / decayConstant) /
                                (1.0 / decayConstant - 1.0 / riseConstant));
  peakScale = static_cast<float>((decayConstant - riseConstant) /
                                 (std::exp(-peakTime / static_cast<double>(decayConstant)) -
                                  std::exp(-peakTime / static_cast<double>(riseConstant))));
  MakeAttenuation();
  spikes.Clear();
}

void Dendrite::MakeAttenuation() {
  for (std::size_t point = 0; point < attenuation.size(); ++point) {
    attenuation[point] = std::exp(-static_cast<float>(point) / static_cast<double>(lengthConstant));
  }
  attenuationLengthConstant = lengthConstant;
}

}  // namespace velmora
