#include "monitoring/ActionQueue.h"

namespace velmora::monitoring {

std::optional<std::uint64_t> ActionQueue::Push(ExhibitAction action) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (pushed_ - takenCount_ >= kCapacity) return std::nullopt;
  ring_[pushed_ % kCapacity] = action;
  ++pushed_;
  waiting_.store(static_cast<std::size_t>(pushed_ - takenCount_), std::memory_order_release);
  return pushed_;
}

bool ActionQueue::WaitTaken(std::uint64_t ticket, std::chrono::milliseconds timeout) {
  std::unique_lock<std::mutex> lock(mutex_);
  return taken_.wait_for(lock, timeout, [&] { return takenCount_ >= ticket; });
}

std::size_t ActionQueue::TakeAll(std::array<ExhibitAction, kCapacity>& out) {
  std::size_t count = 0;
  while (takenCount_ < pushed_) out[count++] = ring_[takenCount_++ % kCapacity];
  waiting_.store(0, std::memory_order_release);
  return count;
}

}  // namespace velmora::monitoring
