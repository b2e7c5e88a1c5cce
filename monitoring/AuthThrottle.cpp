#include "monitoring/AuthThrottle.h"

#include <algorithm>

namespace velmora::monitoring {

std::chrono::milliseconds AuthThrottle::WaitFor(std::string_view client, Clock::time_point now) {
  std::lock_guard<std::mutex> lock(mutex_);
  const auto found = clients_.find(std::string(client));
  if (found == clients_.end() || now >= found->second.waitUntil) return std::chrono::milliseconds::zero();
  return std::chrono::ceil<std::chrono::milliseconds>(found->second.waitUntil - now);
}

void AuthThrottle::Mistake(std::string_view client, Clock::time_point now) {
  std::lock_guard<std::mutex> lock(mutex_);
  ++mistakes_;
  auto found = clients_.find(std::string(client));
  if (found == clients_.end()) {
    if (clients_.size() >= kMaxClients) MakeRoom(now);
    found = clients_.emplace(std::string(client), Record{}).first;
  }
  Record& record = found->second;
  if (now - record.lastMistake >= kForgetAfter) record.mistakes = 0;
  ++record.mistakes;
  record.lastMistake = now;
  if (record.mistakes <= kFreeMistakes) return;
  // 1, 2, 4 ... times the first wait; the shift stops well before it could overflow.
  const unsigned doublings = std::min(record.mistakes - kFreeMistakes - 1, 16u);
  record.waitUntil = now + std::min(kLongestWait, firstWait_ * (1 << doublings));
}

void AuthThrottle::Success(std::string_view client) {
  std::lock_guard<std::mutex> lock(mutex_);
  clients_.erase(std::string(client));
}

std::uint64_t AuthThrottle::Mistakes() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return mistakes_;
}

void AuthThrottle::MakeRoom(Clock::time_point now) {
  std::erase_if(clients_, [now](const auto& entry) { return now >= entry.second.waitUntil; });
  if (clients_.size() < kMaxClients) return;
  // Every client still waits: the one whose last mistake is oldest goes.
  const auto oldest = std::min_element(clients_.begin(), clients_.end(), [](const auto& a, const auto& b) {
    return a.second.lastMistake < b.second.lastMistake;
  });
  clients_.erase(oldest);
}

}  // namespace velmora::monitoring
