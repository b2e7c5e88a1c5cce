#pragma once
// A fixed-size single-producer, single-consumer queue of short MIDI messages. The
// exhibit's thread pushes, a device's own thread pops; neither ever waits for the other.

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>

namespace velmora {

template <std::size_t Capacity>
class MidiMessageQueue {
public:
  // False when full: the message is dropped rather than holding up the sender.
  bool Push(std::uint32_t message) {
    const std::size_t tail = tail_.load(std::memory_order_relaxed);
    const std::size_t next = (tail + 1) % Capacity;
    if (next == head_.load(std::memory_order_acquire)) return false;
    slots_[tail] = message;
    tail_.store(next, std::memory_order_release);
    return true;
  }

  bool Pop(std::uint32_t& message) {
    const std::size_t head = head_.load(std::memory_order_relaxed);
    if (head == tail_.load(std::memory_order_acquire)) return false;
    message = slots_[head];
    head_.store((head + 1) % Capacity, std::memory_order_release);
    return true;
  }

  bool Empty() const {
    return head_.load(std::memory_order_acquire) == tail_.load(std::memory_order_acquire);
  }

private:
  std::array<std::uint32_t, Capacity> slots_{};
  std::atomic<std::size_t> head_{0};  // next slot to pop
  std::atomic<std::size_t> tail_{0};  // next slot to fill
};

}  // namespace velmora
