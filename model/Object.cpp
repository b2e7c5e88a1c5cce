#include "model/Object.h"

namespace velmora {

void Object::Draw(DeviceContext&, const DrawingStyle&) {}
void Object::Update(float, float) {}
void Object::ReceiveSpike(float, float, float) {}
void Object::Reset() {}

SpikeEvent* Object::HandOnArrived(SimpleList<SpikeEvent>& spikes, SpikeEvent* event, float time) {
  for (ObjectRef* ref = outputs.head; ref != nullptr; ref = outputs.Next(ref)) {
    ref->object->ReceiveSpike(time, event->strength, 0.0f);
  }
  SpikeEvent* following = spikes.Next(event);
  spikes.Remove(event);
  delete event;
  return following;
}

void Connect(Object* from, Object* to) {
  from->outputs.Append(new ObjectRef{to, nullptr, nullptr});
  to->inputs.Append(new ObjectRef{from, nullptr, nullptr});
}

}  // namespace velmora
