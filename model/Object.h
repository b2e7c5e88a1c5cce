#pragma once
// The network's building blocks: the element base class, the reference record that
// wires elements together, the intrusive list that holds both references and spikes
// in flight, and the static geometry records the elements point into.

#include <cstdint>

namespace velmora {

class DeviceContext;
class Object;
struct DrawingStyle;

// One reference from a list to an element; never owns the element.
struct ObjectRef {
  Object* object = nullptr;
  ObjectRef* next = nullptr;
  ObjectRef* prev = nullptr;
};

// One spike (or dendritic wave) on its way along a path.
struct SpikeEvent {
  float time = 0.0f;             // ms: when the spike was (or is reckoned to have been) at point 0
  float strength = 0.0f;         // current strength; falls with distance on a dendrite
  float initialStrength = 0.0f;  // strength as received
  std::int32_t position = 0;     // path point index reached, set by the owner's Update
  SpikeEvent* prev = nullptr;
  SpikeEvent* next = nullptr;
};

// One point of an axon or dendrite path, also the centre record of a soma.
struct PathPoint {
  std::int32_t x;  // screen pixels, to the right
  std::int32_t y;  // screen pixels, downwards
  float nx;        // unit normal of the path at this point
  float ny;
};

// The geometry of one synapse triangle: base middle with the base direction, and tip
// with the direction the tip moves as the weight grows. Directions need not be unit.
struct SynapseShape {
  std::int32_t x1, y1;  // first anchor, pixels
  float dx1, dy1;
  std::int32_t x2, y2;  // second anchor, pixels
  float dx2, dy2;
};

// Intrusive, circular, doubly linked list. The records carry their own links; the
// list owns its records and deletes them on Clear and on destruction.
template <typename T>
class SimpleList {
public:
  SimpleList() = default;
  SimpleList(const SimpleList&) = delete;
  SimpleList& operator=(const SimpleList&) = delete;
  ~SimpleList() { Clear(); }

  T* head = nullptr;
  std::int32_t count = 0;

  // Links the record in at the tail and takes ownership of it.
  void Append(T* record) {
    if (head == nullptr) {
      record->next = record;
      record->prev = record;
      head = record;
    } else {
      T* tail = head->prev;
      tail->next = record;
      record->next = head;
      head->prev = record;
      record->prev = tail;
    }
    ++count;
  }

  // The record after the given one, or null after the tail: a walk from head with
  // Next visits every record once and never wraps around.
  T* Next(T* record) const {
    if (record == nullptr || record == head->prev) return nullptr;
    return record->next;
  }

  // Unlinks the record without deleting it; the caller releases it.
  void Remove(T* record) {
    if (record->next == record) {
      head = nullptr;
      count = 0;
    } else {
      record->prev->next = record->next;
      record->next->prev = record->prev;
      if (record == head) head = record->next;
      --count;
    }
    record->next = nullptr;
    record->prev = nullptr;
  }

  // Deletes every record; for reference lists only the references, never the elements.
  void Clear() {
    if (head == nullptr) return;
    T* record = head;
    do {
      T* following = record->next;
      delete record;
      record = following;
    } while (record != head);
    head = nullptr;
    count = 0;
  }
};

// Base class of every network element. In Object itself the four operations do
// nothing.
class Object {
public:
  Object() = default;
  Object(const Object&) = delete;
  Object& operator=(const Object&) = delete;

  // Paints the element's moving parts with the style's pens and brushes.
  virtual void Draw(DeviceContext& dc, const DrawingStyle& style);
  // Advances the element to `time` (ms, after the step); `step` is the step's length (ms).
  virtual void Update(float time, float step);
  // Takes a spike stamped `time` (ms); `entryPoint` is the path point of the
  // receiving dendrite where it enters (0 from every sender but a synapse).
  virtual void ReceiveSpike(float time, float strength, float entryPoint);
  // Returns the element to its constructed state.
  virtual void Reset();
  // An element is destroyed through a pointer to Object with everything it owns.
  virtual ~Object() = default;

  // The value offered to readers: only a dendrite sets it (its wave height at the
  // soma end) and a soma sums it. 0 when made; a reset leaves it alone.
  float outputValue = 0.0f;
  SimpleList<ObjectRef> outputs;  // elements this one sends spikes to, in connection order
  SimpleList<ObjectRef> inputs;   // elements that send to this one, in connection order

protected:
  // A spike that has reached the end of its path: handed on to every output, in list
  // order, with the step's `time` and its strength, then unlinked from `spikes` and
  // released. Returns the record that followed it (taken before the removal), so a
  // walk over `spikes` goes on from there.
  SpikeEvent* HandOnArrived(SimpleList<SpikeEvent>& spikes, SpikeEvent* event, float time);
};

// Wires `from` to `to`: `to` joins from's outputs and `from` joins to's inputs. No
// check for an existing connection: connecting twice delivers twice.
void Connect(Object* from, Object* to);

}  // namespace velmora
