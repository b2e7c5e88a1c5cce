#pragma once
// Wrong tokens slow down the client that sends them. The first mistake is free (a
// token mistyped on the status page); after each further one in a row the client's
// action requests are refused unchecked for a while, twice as long each time up to
// kLongestWait, so guessing the token from one address takes ages. A right token, or
// kForgetAfter without a mistake, clears a client's record. Other clients are not
// affected. Safe to call from several threads.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>

namespace velmora::monitoring {

class AuthThrottle {
public:
  using Clock = std::chrono::steady_clock;

  static constexpr unsigned kFreeMistakes = 1;
  static constexpr std::chrono::milliseconds kFirstWait{1'000};
  static constexpr std::chrono::milliseconds kLongestWait{60'000};
  static constexpr std::chrono::minutes kForgetAfter{10};
  // Clients remembered at most; beyond, those whose wait is over are forgotten first.
  static constexpr std::size_t kMaxClients = 1024;

  // `firstWait`: after the first mistake that is not free (tests wait longer, so that
  // a busy machine's slowness cannot end the wait before they look).
  explicit AuthThrottle(std::chrono::milliseconds firstWait = kFirstWait) : firstWait_(firstWait) {}

  // How long `client` must still wait before a token of its is looked at; zero: now.
  std::chrono::milliseconds WaitFor(std::string_view client, Clock::time_point now);
  void Mistake(std::string_view client, Clock::time_point now);
  void Success(std::string_view client);
  // Wrong or missing tokens since the start, from every client.
  std::uint64_t Mistakes() const;

private:
  struct Record {
    unsigned mistakes = 0;             // in a row
    Clock::time_point lastMistake;
    Clock::time_point waitUntil;
  };
  void MakeRoom(Clock::time_point now);

  const std::chrono::milliseconds firstWait_;
  mutable std::mutex mutex_;
  std::unordered_map<std::string, Record> clients_;
  std::uint64_t mistakes_ = 0;
};

}  // namespace velmora::monitoring
