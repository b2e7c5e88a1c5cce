#pragma once
// The status server's connections and threads. One keeper thread accepts connections
// and reads their requests without blocking, so a slow or idle client holds a slot in
// a table, never a thread; only a whole request goes to a worker, which answers it
// and hands the connection back (kept alive) or closes it. One worker is kept for
// /metrics and /status alone, so monitoring is answered while every other worker is
// busy (pictures to slow readers, say).
//
// When the table is full, or one client holds its share, the keeper makes room by
// closing first the connection idle longest since its last answer, then the one that
// has waited longest for its request to arrive; a new client is refused (503) only
// when every connection in question is being answered.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <unordered_map>
#include <vector>

#include "monitoring/AccessControl.h"

namespace velmora::monitoring {

struct ConnectionLimits {
  std::size_t workers = 16;                          // answering at once, besides the one kept for monitoring
  std::size_t maxConnections = 128;                  // open at once, whatever they do
  std::size_t maxConnectionsPerClient = 8;           // open at once from one address
  std::size_t connectionsPerSecond = 1000;           // accepted at most; more wait in the listen queue
  std::size_t maxRequestBytes = 16 * 1024;           // request line, headers and body together
  std::chrono::milliseconds requestTimeout{10'000};  // to receive one whole request
  std::chrono::milliseconds responseTimeout{20'000}; // to send one whole answer
  std::chrono::milliseconds keepAliveIdle{5'000};    // to wait for the next request on a connection
  std::size_t requestsPerConnection = 100;
};

// One whole request, as a worker answers it.
struct ReceivedRequest {
  int fd = -1;                      // the connection, non-blocking
  std::string_view bytes;           // head and body
  std::string_view client;          // the peer's numeric address
  bool lastOnConnection = false;    // the connection closes after this answer
};

class ConnectionPool {
public:
  // Writes the answer to `request` on its connection; true when the connection may
  // stay open for another request. Runs on the workers, several at once.
  using Answer = std::function<bool(const ReceivedRequest& request)>;

  ConnectionPool(ConnectionLimits limits, Answer answer);
  ~ConnectionPool();
  ConnectionPool(const ConnectionPool&) = delete;
  ConnectionPool& operator=(const ConnectionPool&) = delete;

  // Binds and starts the threads; false with a one-line reason when the address
  // cannot be bound.
  bool Start(const ListenAddress& address, std::string& error);
  // Stops accepting, ends the open connections within about a tenth of a second and
  // joins every thread. Called by the destructor too.
  void Stop();

  std::uint16_t Port() const { return boundPort_; }
  const ConnectionLimits& Limits() const { return limits_; }
  // True once Stop has begun: answers being written give up.
  const std::atomic<bool>& Stopping() const { return stopRequested_; }

private:
  using Clock = std::chrono::steady_clock;
  struct Connection;
  static constexpr std::size_t kNone = static_cast<std::size_t>(-1);

  void KeeperLoop();
  void WorkerLoop(bool monitoringOnly);
  // Accepts what waits, within the rate; false when accept failed for want of
  // descriptors or memory.
  bool AcceptWaiting(std::size_t& acceptedThisSecond);
  void Admit(int fd);
  // Reads what `connection` has sent; false when it is to be closed.
  bool Receive(Connection& connection, Clock::time_point now);
  // Hands a whole request to the workers (leaving `connection` empty), or answers a
  // bad one; false when the connection is to be closed.
  bool Dispatch(std::unique_ptr<Connection>& connection);
  void TakeReturned(Clock::time_point now);
  // The index in held_ of the connection to close to make room, among those of
  // `client` (or all when empty); kNone when every one is being answered.
  std::size_t Victim(std::string_view client) const;
  void RemoveHeld(std::size_t index);
  void Close(std::unique_ptr<Connection> connection);

  const ConnectionLimits limits_;
  const Answer answer_;

  int listenFd_ = -1;
  int wakeFd_ = -1;  // an eventfd: a worker handed a connection back, or Stop
  std::uint16_t boundPort_ = 0;
  std::thread keeper_;
  std::vector<std::thread> workers_;
  std::atomic<bool> stopRequested_{false};

  // The keeper's own: connections waiting for (the rest of) a request, and how many
  // connections each client has open in all.
  std::vector<std::unique_ptr<Connection>> held_;
  std::unordered_map<std::string, std::size_t> openByClient_;
  std::size_t open_ = 0;

  std::mutex queueMutex_;
  std::condition_variable requestWaiting_;
  std::deque<std::unique_ptr<Connection>> monitoringQueue_;  // under queueMutex_
  std::deque<std::unique_ptr<Connection>> otherQueue_;       // under queueMutex_
  bool stopping_ = false;                                    // under queueMutex_

  std::mutex returnedMutex_;
  std::vector<std::unique_ptr<Connection>> returned_;  // answered, for the keeper
};

}  // namespace velmora::monitoring
