#include "model/Soma.h"

#include "model/Midi.h"

namespace velmora {

Soma::Soma(float threshold_, float refractoryPeriod_, const PathPoint* location_,
           std::int32_t midiChannel_, std::int32_t velocity_, std::int32_t note_)
    : threshold(threshold_),
      refractoryPeriod(refractoryPeriod_),
      midiChannel(midiChannel_),
      velocity(velocity_),
      note(note_),
      location(location_) {
  Soma::Reset();
}

void Soma::Draw(DeviceContext&, const DrawingStyle&) {}

void Soma::Update(float time, float) {
  summedInput = 0.0f;
  for (ObjectRef* ref = inputs.head; ref != nullptr; ref = inputs.Next(ref)) {
    summedInput += ref->object->outputValue;
  }
  // During the first half of the refractory period the soma shows no activity.
  if (refractoryPeriod * 0.5f > time - lastSpikeTime) summedInput = 0.0f;
  // Both strict: exactly at threshold, or exactly one refractory period after the
  // last firing, is not enough.
  if (summedInput > threshold && time - lastSpikeTime > refractoryPeriod) {
    lastSpikeTime = time;
    for (ObjectRef* ref = outputs.head; ref != nullptr; ref = outputs.Next(ref)) {
      ref->object->ReceiveSpike(time, kFiredSpikeStrength, 0.0f);
    }
    SendMidiShort(noteOutput, kMidiNoteOn, midiChannel, note, velocity);
  }
}

void Soma::ReceiveSpike(float, float, float) {}

void Soma::Reset() {
  summedInput = 0.0f;
  lastSpikeTime = -refractoryPeriod;
}

}  // namespace velmora
