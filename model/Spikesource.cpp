#include "model/Spikesource.h"

namespace velmora {

SpikeSource::SpikeSource(const float* table, std::int32_t count)
    : spikeTimes(table, table + count), spikeCount(count) {
  for (float& entry : spikeTimes) entry = static_cast<float>(entry * kSpikeTimeScale);
  SpikeSource::Reset();
}

void SpikeSource::Draw(DeviceContext&, const DrawingStyle&) {}

void SpikeSource::Update(float time, float) {
  // An entry exactly at `time` is due; all entries due within one step leave with
  // the step's time, not their own.
  while (spikeTimes[nextIndex] + cycleOffset <= time) {
    for (ObjectRef* ref = outputs.head; ref != nullptr; ref = outputs.Next(ref)) {
      ref->object->ReceiveSpike(time, strength, 0.0f);
    }
    ++nextIndex;
    if (nextIndex >= spikeCount) {
      nextIndex = 0;
      cycleOffset = static_cast<float>(cycleOffset + (spikeTimes[spikeCount - 1] + kSourcePassPause));
    }
  }
}

void SpikeSource::ReceiveSpike(float, float, float) {}

void SpikeSource::Reset() {
  nextIndex = 0;
  cycleOffset = 0.0f;
  strength = kSourceSpikeStrength;
}

}  // namespace velmora
