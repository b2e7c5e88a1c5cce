#pragma once
// The exhibit's status server, on threads of its own: /metrics (Prometheus), /status
// (JSON), /frame.png (the picture on screen), / (a page for a technician's phone or
// laptop) and, with a token only, POST /reset, /test-note, /stimulus/1, /stimulus/2.
//
// The server never holds up a frame: it reads what the frame loop hands over through
// a SnapshotExchange and passes actions back through an ActionQueue. Against slow or
// hostile clients it keeps a fixed number of connections (more are turned away with
// 503), a limit on each request's size, and deadlines for reading a request and for
// writing an answer; nothing a client sends is kept beyond its request.

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "monitoring/AccessControl.h"
#include "monitoring/ActionQueue.h"
#include "monitoring/SnapshotExchange.h"
#include "monitoring/StatusFormats.h"
#include "monitoring/UsageSummary.h"

namespace velmora::monitoring {

struct StatusServerLimits {
  std::size_t maxConnections = 16;                       // served at once; more get 503
  std::size_t connectionsPerSecond = 100;                // accepted at most; more wait to be accepted
  std::size_t maxRequestBytes = 16 * 1024;               // request line, headers and body together
  std::chrono::milliseconds requestTimeout{10'000};      // to receive one whole request
  std::chrono::milliseconds responseTimeout{20'000};     // to send one whole answer
  std::chrono::milliseconds keepAliveIdle{5'000};        // to wait for the next request on a connection
  std::size_t requestsPerConnection = 100;
  std::chrono::milliseconds pictureInterval{250};        // a new PNG at most this often
  std::chrono::milliseconds pictureWait{500};            // for the frame loop to offer a picture
  std::chrono::milliseconds actionWait{1'000};           // for the frame loop to take an action
};

class StatusServer {
public:
  // `token` empty: no actions at all. `usage` may be null (no usage store).
  StatusServer(ListenAddress address, std::string token, SnapshotExchange& exchange, ActionQueue& actions,
               RunInfo run, const UsageSummarySource* usage, StatusServerLimits limits = {});
  ~StatusServer();
  StatusServer(const StatusServer&) = delete;
  StatusServer& operator=(const StatusServer&) = delete;

  // Binds and starts serving; false with a one-line reason when the address cannot
  // be bound (the exhibit reports it once and runs on without the server).
  bool Start(std::string& error);
  // Stops accepting, ends the open connections within about a tenth of a second and
  // joins every thread. Called by the destructor too.
  void Stop();

  // The port actually bound (the one asked for, or the one chosen for port 0).
  std::uint16_t Port() const { return boundPort_; }

  // A message the exhibit showed at start-up, for /status. Any thread.
  void AddStartupMessage(std::string text);

private:
  class Http;
  struct Picture;

  void AcceptLoop();
  void WorkerLoop();
  void Serve(int fd);
  // The answer `format` makes of the newest snapshot and the run's facts.
  std::string Render(std::string (*format)(const StatusView&));
  // The PNG of the current picture, at most pictureInterval old; null when none can be had.
  std::shared_ptr<const std::string> CurrentPng();

  const ListenAddress address_;
  const std::string token_;
  SnapshotExchange& exchange_;
  ActionQueue& actions_;
  const RunInfo run_;
  const UsageSummarySource* const usage_;
  const StatusServerLimits limits_;
  std::unique_ptr<Http> http_;

  int listenFd_ = -1;
  int wakeFd_ = -1;  // an eventfd that ends the accept loop's wait
  std::uint16_t boundPort_ = 0;
  std::thread acceptThread_;
  std::vector<std::thread> workers_;

  std::mutex connectionsMutex_;
  std::condition_variable connectionWaiting_;
  std::deque<int> waitingConnections_;  // accepted, for the next idle worker
  std::size_t idleWorkers_ = 0;
  bool stopping_ = false;               // under connectionsMutex_
  std::atomic<bool> stopRequested_{false};

  std::mutex messagesMutex_;
  std::vector<std::string> startupMessages_;

  std::mutex pictureMutex_;  // one PNG is made at a time; the others wait for it
  std::shared_ptr<const std::string> png_;
  std::chrono::steady_clock::time_point pngMadeAt_;
  std::vector<std::uint8_t> rgb_;
};

}  // namespace velmora::monitoring
