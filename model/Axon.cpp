#include "model/Axon.h"

#include <algorithm>

#include "model/DeviceContext.h"
#include "model/DrawingStyle.h"

namespace velmora {

Axon::Axon(float speed_, const PathPoint* path_, std::int32_t count)
    : initialSpeed(speed_), table(path_), path(path_, path_ + count), pointCount(count) {
  for (PathPoint& point : path) {
    point.nx *= kAxonTickLength;
    point.ny *= kAxonTickLength;
  }
  Axon::Reset();
}

void Axon::Draw(DeviceContext& dc, const DrawingStyle& style) {
  dc.SelectPen(&style.axonPen);
  for (SpikeEvent* event = spikes.head; event != nullptr; event = spikes.Next(event)) {
    const auto i = static_cast<std::size_t>(event->position);
    const PathPoint& p = path[i];
    dc.MoveToOnPath({table + i, p.x, p.y, 0.0f, 0.0f});
    dc.LineToOnPath({table + i, p.x, p.y, p.nx * event->strength, p.ny * event->strength});
  }
}

void Axon::Update(float time, float) {
  if (spikes.head == nullptr) return;  // most segments are empty most of the time
  // Kept in locals: the stores into the events could otherwise alias these fields
  // and force a reload for every spike.
  const float wholeTravelTime = travelTime;
  const std::int32_t points = pointCount;
  SpikeEvent* event = spikes.head;
  while (event != nullptr) {
    const float elapsed = time - event->time;
    if (elapsed >= wholeTravelTime) {
      // Handed on with the step's time: each segment delays the hand-over to the
      // first step boundary at or after the true arrival.
      event = HandOnArrived(spikes, event, time);
    } else {
      // An update at a time before the event's stamp (a caller stepping time back)
      // would give a negative index; the index must stay on the path it is drawn from.
      const auto index = static_cast<std::int32_t>(elapsed / wholeTravelTime * static_cast<float>(points));
      event->position = std::clamp(index, 0, points - 1);
      event = spikes.Next(event);
    }
  }
}

void Axon::ReceiveSpike(float time, float strength, float) {
  spikes.Append(new SpikeEvent{time, strength, strength, 0, nullptr, nullptr});
}

void Axon::Reset() {
  speed = initialSpeed;
  travelTime = static_cast<float>(pointCount) / speed;
  spikes.Clear();
}

}  // namespace velmora
