#pragma once
// The exhibit's status server, on threads of its own: /metrics (Prometheus), /status
// (JSON), /frame.png (the picture on screen), / (a page for a technician's phone or
// laptop) and, with a token only, POST /reset, /test-note, /stimulus/1, /stimulus/2.
//
// The server never holds up a frame: it reads what the frame loop hands over through
// a SnapshotExchange and passes actions back through an ActionQueue. Against slow or
// hostile clients its connections and threads are kept by a ConnectionPool (a limit
// on connections in all and per client, on each request's size, deadlines for
// reading a request and for writing an answer, a worker kept for /metrics and
// /status); requests for another host name than it answers to are refused (DNS
// rebinding), and wrong tokens slow their sender down (AuthThrottle). Nothing a client
// sends is kept beyond its request.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "monitoring/AccessControl.h"
#include "monitoring/ActionQueue.h"
#include "monitoring/AuthThrottle.h"
#include "monitoring/ConnectionPool.h"
#include "monitoring/SnapshotExchange.h"
#include "monitoring/StatusFormats.h"
#include "monitoring/UsageSummary.h"

namespace velmora::monitoring {

struct StatusServerLimits {
  ConnectionLimits connections;
  std::chrono::milliseconds pictureInterval{250};        // a new PNG at most this often
  std::chrono::milliseconds pictureWait{500};            // for the frame loop to offer a picture
  std::chrono::milliseconds actionWait{1'000};           // for the frame loop to take an action
  std::chrono::milliseconds tokenMistakeWait = AuthThrottle::kFirstWait;  // see AuthThrottle
};

struct StatusServerSetup {
  ListenAddress address;
  std::string token;                   // empty: no actions at all
  std::vector<std::string> hostNames;  // answered to besides loopback names and addresses (--status-host)
  StatusServerLimits limits;
};

class StatusServer {
public:
  // `usage` may be null (no usage store).
  StatusServer(StatusServerSetup setup, SnapshotExchange& exchange, ActionQueue& actions, RunInfo run,
               const UsageSummarySource* usage);
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
  std::uint16_t Port() const { return pool_.Port(); }

  // A message the exhibit showed at start-up, for /status. Any thread.
  void AddStartupMessage(std::string text);

private:
  class Http;

  // Answers one request on a worker; true when the connection may stay open.
  bool Answer(const ReceivedRequest& request);
  // The answer `format` makes of the newest snapshot and the run's facts.
  std::string Render(std::string (*format)(const StatusView&));
  // The PNG of the current picture, at most pictureInterval old; null when none can be had.
  std::shared_ptr<const std::string> CurrentPng();

  const ListenAddress address_;
  const std::string token_;
  const HostCheck hosts_;
  SnapshotExchange& exchange_;
  ActionQueue& actions_;
  const RunInfo run_;
  const UsageSummarySource* const usage_;
  const StatusServerLimits limits_;
  std::unique_ptr<Http> http_;
  AuthThrottle throttle_;
  ConnectionPool pool_;

  std::mutex messagesMutex_;
  std::vector<std::string> startupMessages_;

  std::mutex pictureMutex_;  // one PNG is made at a time; the others wait for it
  std::shared_ptr<const std::string> png_;
  std::chrono::steady_clock::time_point pngMadeAt_;
  std::vector<std::uint8_t> rgb_;
};

}  // namespace velmora::monitoring
