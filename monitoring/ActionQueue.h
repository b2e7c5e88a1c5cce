#pragma once
// What a technician asks of the exhibit through the status server, waiting for the
// frame loop to carry it out between two frames. The server's threads queue and wait;
// the frame loop takes what is waiting without ever waiting for the queue's lock.

#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <optional>

namespace velmora::monitoring {

enum class ExhibitAction : std::uint8_t {
  Reset,      // everything back to its defaults, as key 0 does
  TestNote,   // a short note on the MIDI output
  Stimulus1,  // a manual spike into stimulus input 1, as F1 does
  Stimulus2,  // a manual spike into stimulus input 2, as F2 does
};

class ActionQueue {
public:
  // Actions waiting at most; more are refused until the frame loop has taken some.
  static constexpr std::size_t kCapacity = 16;

  // Server side: queues `action`; its ticket for WaitTaken, or nothing when full.
  std::optional<std::uint64_t> Push(ExhibitAction action);
  // True once the frame loop has taken the action with `ticket`; false after `timeout`.
  bool WaitTaken(std::uint64_t ticket, std::chrono::milliseconds timeout);

  // Frame loop: calls `apply(action)` for each waiting action, oldest first. Takes
  // nothing when the server holds the lock this instant: the next frame will.
  template <typename Apply>
  std::size_t Drain(Apply&& apply) {
    if (waiting_.load(std::memory_order_acquire) == 0) return 0;
    std::array<ExhibitAction, kCapacity> taken;
    std::size_t count = 0;
    {
      std::unique_lock<std::mutex> lock(mutex_, std::try_to_lock);
      if (!lock.owns_lock()) return 0;
      count = TakeAll(taken);
    }
    taken_.notify_all();
    for (std::size_t i = 0; i < count; ++i) apply(taken[i]);
    return count;
  }

private:
  // Under mutex_: moves the waiting actions to `out`, returns how many.
  std::size_t TakeAll(std::array<ExhibitAction, kCapacity>& out);

  std::mutex mutex_;
  std::condition_variable taken_;
  std::array<ExhibitAction, kCapacity> ring_{};  // under mutex_
  std::uint64_t pushed_ = 0;                     // tickets handed out, under mutex_
  std::uint64_t takenCount_ = 0;                 // actions taken by the frame loop, under mutex_
  std::atomic<std::size_t> waiting_{0};          // pushed_ - takenCount_, readable without the lock
};

}  // namespace velmora::monitoring
