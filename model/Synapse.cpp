#include "model/Synapse.h"

#include <cmath>

#include "model/DeviceContext.h"
#include "model/DrawingStyle.h"

namespace velmora {

namespace {

void Normalise(float& dx, float& dy) {
  const double length = std::sqrt(static_cast<double>(dx) * dx + static_cast<double>(dy) * dy);
  dx = static_cast<float>(dx / length);
  dy = static_cast<float>(dy / length);
}

}  // namespace

Synapse::Synapse(float facilitationTime_, float recoveryTime_, float baseUse_, float initialWeight_,
                 const SynapseShape* shape_, float dendritePosition_)
    : facilitationTime(facilitationTime_),
      recoveryTime(recoveryTime_),
      baseUse(baseUse_),
      initialWeight(initialWeight_),
      shape(*shape_),
      dendritePosition(dendritePosition_) {
  Normalise(shape.dx1, shape.dy1);
  Normalise(shape.dx2, shape.dy2);
  Synapse::Reset();
}

void Synapse::Draw(DeviceContext& dc, const DrawingStyle& style) {
  const double s = std::fabs(weight) * kTriangleGrowthPerWeight + kTriangleBaseSize;
  const ExactPoint corners[3] = {
      {shape.x1 - s * shape.dx1, shape.y1 - s * shape.dy1},
      {shape.x1 + s * shape.dx1, shape.y1 + s * shape.dy1},
      {shape.x2 + s * shape.dx2, shape.y2 + s * shape.dy2},
  };
  const bool negative = weight < 0.0f;
  dc.SelectBrush(negative ? &style.negativeSynapseBrush : &style.positiveSynapseBrush);
  const bool edged = negative && style.negativeSynapseEdge.style != PenStyle::Null;
  dc.SelectPen(edged ? &style.negativeSynapseEdge : StockNullPen());
  dc.PolygonExact(corners);
}

void Synapse::Update(float, float) {
  if (pendingSpikeTime < 0.0f) return;
  const float dt = pendingSpikeTime - lastSpikeTime;
  // Resources first, with the use from before this spike; the amplitude then takes
  // both new values.
  resources = static_cast<float>(1.0 + (resources - use * resources - 1.0) * std::exp(-dt / static_cast<double>(recoveryTime)));
  use = static_cast<float>(baseUse + std::exp(-dt / static_cast<double>(facilitationTime)) * (1.0 - baseUse) * use);
  lastAmplitude = weight * use * resources;
  for (ObjectRef* ref = outputs.head; ref != nullptr; ref = outputs.Next(ref)) {
    ref->object->ReceiveSpike(pendingSpikeTime, lastAmplitude, dendritePosition);
  }
  lastSpikeTime = pendingSpikeTime;
  pendingSpikeTime = kNoPendingSpike;
}

void Synapse::ReceiveSpike(float time, float, float) {
  // A later spike in the same step replaces the waiting one: at most one
  // transmission per step.
  pendingSpikeTime = time;
}

void Synapse::Reset() {
  pendingSpikeTime = kNoPendingSpike;
  lastSpikeTime = kRestedLastSpikeTime;
  resources = 1.0f;
  use = baseUse;
  weight = initialWeight;
  lastAmplitude = 0.0f;
}

}  // namespace velmora
