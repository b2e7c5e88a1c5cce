#include "model/Object.h"

namespace velmora {

void Object::Draw(DeviceContext&) {}
void Object::Update(float, float) {}
void Object::ReceiveSpike(float, float, float) {}
void Object::Reset() {}

void Connect(Object* from, Object* to) {
  from->outputs.Append(new ObjectRef{to, nullptr, nullptr});
  to->inputs.Append(new ObjectRef{from, nullptr, nullptr});
}

}  // namespace velmora
