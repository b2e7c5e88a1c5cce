#include "monitoring/StatusServer.h"

#include <httplib.h>
#include <netdb.h>
#include <poll.h>
#include <sched.h>
#include <sys/eventfd.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstring>

#include "monitoring/StatusPage.h"
#include "platform/PngWriter.h"

namespace velmora::monitoring {
namespace {

using Clock = std::chrono::steady_clock;

// How often a wait looks at the stop request.
constexpr std::chrono::milliseconds kStopCheckInterval{100};
constexpr std::size_t kReceiveChunkBytes = 4096;
constexpr int kListenBacklog = 64;
// The server's threads yield the processor to the frame loop: on a busy machine a
// flood of requests slows the answers, not the frames. They run in the idle class,
// which takes a core only when no ordinary thread wants it; where that cannot be
// had, at the lowest ordinary priority.
constexpr int kServerThreadNice = 19;

void LowerThreadPriority() {
  const sched_param idle{};
  if (::sched_setscheduler(0, SCHED_IDLE, &idle) != 0) {
    ::setpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()), kServerThreadNice);
  }
}

constexpr std::string_view kBusyAnswer =
    "HTTP/1.1 503 Service Unavailable\r\nContent-Type: text/plain\r\nContent-Length: 22\r\n"
    "Retry-After: 5\r\nConnection: close\r\n\r\ntoo many connections\r\n";

// The page's own policy: its script, style and picture come from this server only,
// and it may not be framed by another site.
constexpr const char* kPagePolicy =
    "default-src 'none'; script-src 'unsafe-inline'; style-src 'unsafe-inline'; img-src 'self'; "
    "connect-src 'self'; base-uri 'none'; form-action 'none'; frame-ancestors 'none'";

constexpr const char* kMetricsType = "text/plain; version=0.0.4; charset=utf-8";

// One connection's socket as httplib reads and writes it, under the server's limits:
// reads stop at the request size limit and at the request's deadline, writes at the
// answer's deadline, and every wait ends within kStopCheckInterval of a stop request.
// Reads are buffered: httplib reads a request line and headers one byte at a time.
class GuardedStream final : public httplib::Stream {
public:
  GuardedStream(int fd, const StatusServerLimits& limits, const std::atomic<bool>& stop)
      : fd_(fd), limits_(limits), stop_(stop) {}

  void BeginRequest() {
    requestBytes_ = 0;
    readDeadline_ = Clock::now() + limits_.requestTimeout;
    writing_ = false;
  }
  // True when the next request's first bytes arrive within `idle`.
  bool WaitForNextRequest(std::chrono::milliseconds idle) {
    return begin_ < end_ || WaitFor(POLLIN, Clock::now() + idle);
  }

  bool is_readable() const override { return begin_ < end_ || WaitFor(POLLIN, readDeadline_); }
  bool is_writable() const override { return WaitFor(POLLOUT, writing_ ? writeDeadline_ : Clock::now() + limits_.responseTimeout); }

  ssize_t read(char* ptr, size_t size) override {
    if (begin_ == end_ && !Fill()) return -1;
    const std::size_t count = std::min(size, end_ - begin_);
    std::memcpy(ptr, buffer_.data() + begin_, count);
    begin_ += count;
    return static_cast<ssize_t>(count);
  }

  ssize_t write(const char* ptr, size_t size) override {
    if (!writing_) {
      writing_ = true;
      writeDeadline_ = Clock::now() + limits_.responseTimeout;
    }
    std::size_t sent = 0;
    while (sent < size) {
      const ssize_t n = ::send(fd_, ptr + sent, size - sent, MSG_NOSIGNAL | MSG_DONTWAIT);
      if (n > 0) {
        sent += static_cast<std::size_t>(n);
      } else if (n < 0 && errno == EINTR) {
        continue;
      } else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
        if (!WaitFor(POLLOUT, writeDeadline_)) return -1;
      } else {
        return -1;
      }
    }
    return static_cast<ssize_t>(size);
  }

  void get_remote_ip_and_port(std::string& ip, int& port) const override { Address(true, ip, port); }
  void get_local_ip_and_port(std::string& ip, int& port) const override { Address(false, ip, port); }
  socket_t socket() const override { return fd_; }

private:
  bool Fill() {
    if (requestBytes_ >= limits_.maxRequestBytes) return false;
    for (;;) {
      if (!WaitFor(POLLIN, readDeadline_)) return false;
      const std::size_t room = std::min(buffer_.size(), limits_.maxRequestBytes - requestBytes_);
      const ssize_t n = ::recv(fd_, buffer_.data(), room, MSG_DONTWAIT);
      if (n > 0) {
        begin_ = 0;
        end_ = static_cast<std::size_t>(n);
        requestBytes_ += end_;
        return true;
      }
      if (n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)) return false;
    }
  }

  bool WaitFor(short events, Clock::time_point deadline) const {
    for (;;) {
      if (stop_.load(std::memory_order_relaxed)) return false;
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
      if (left.count() <= 0) return false;
      pollfd entry{fd_, events, 0};
      const int ready = ::poll(&entry, 1, static_cast<int>(std::min(left, kStopCheckInterval).count()));
      if (ready > 0) return (entry.revents & (events | POLLHUP | POLLERR)) != 0;
      if (ready < 0 && errno != EINTR) return false;
    }
  }

  void Address(bool peer, std::string& ip, int& port) const {
    sockaddr_storage address{};
    socklen_t length = sizeof address;
    auto* raw = reinterpret_cast<sockaddr*>(&address);
    const int result = peer ? ::getpeername(fd_, raw, &length) : ::getsockname(fd_, raw, &length);
    std::array<char, NI_MAXHOST> host{};
    std::array<char, NI_MAXSERV> service{};
    if (result != 0 || ::getnameinfo(raw, length, host.data(), host.size(), service.data(), service.size(),
                                     NI_NUMERICHOST | NI_NUMERICSERV) != 0) {
      ip.clear();
      port = -1;
      return;
    }
    ip = host.data();
    port = std::atoi(service.data());
  }

  const int fd_;
  const StatusServerLimits& limits_;
  const std::atomic<bool>& stop_;
  std::array<char, kReceiveChunkBytes> buffer_{};
  std::size_t begin_ = 0;
  std::size_t end_ = 0;
  std::size_t requestBytes_ = 0;
  Clock::time_point readDeadline_;
  Clock::time_point writeDeadline_;
  bool writing_ = false;
};

}  // namespace

// httplib parses each request, routes it and writes the answer; the connections, the
// threads and the limits are the server's own (see GuardedStream).
class StatusServer::Http final : public httplib::Server {
public:
  bool ProcessRequest(httplib::Stream& stream, bool closeConnection, bool& connectionClosed) {
    return process_request(stream, closeConnection, connectionClosed, nullptr);
  }
};

StatusServer::StatusServer(ListenAddress address, std::string token, SnapshotExchange& exchange,
                           ActionQueue& actions, RunInfo run, const UsageSummarySource* usage,
                           StatusServerLimits limits)
    : address_(std::move(address)), token_(std::move(token)), exchange_(exchange), actions_(actions),
      run_(std::move(run)), usage_(usage), limits_(limits), http_(std::make_unique<Http>()) {
  Http& http = *http_;
  http.set_payload_max_length(limits_.maxRequestBytes);
  http.set_keep_alive_max_count(limits_.requestsPerConnection);
  http.set_keep_alive_timeout(std::chrono::duration_cast<std::chrono::seconds>(limits_.keepAliveIdle).count());
  http.set_default_headers({{"Cache-Control", "no-store"}, {"X-Content-Type-Options", "nosniff"}});

  http.Get("/", [](const httplib::Request&, httplib::Response& response) {
    response.set_header("Content-Security-Policy", kPagePolicy);
    const std::string_view page = StatusPageHtml();
    response.set_content(page.data(), page.size(), "text/html; charset=utf-8");
  });
  http.Get("/metrics", [this](const httplib::Request&, httplib::Response& response) {
    response.set_content(Render(MetricsText), kMetricsType);
  });
  http.Get("/status", [this](const httplib::Request&, httplib::Response& response) {
    response.set_content(Render(StatusJson), "application/json");
  });
  http.Get(R"(/frame\.png)", [this](const httplib::Request&, httplib::Response& response) {
    const std::shared_ptr<const std::string> png = CurrentPng();
    if (!png) {
      response.status = 503;
      response.set_header("Retry-After", "1");
      response.set_content("no picture yet\n", "text/plain");
      return;
    }
    // A copy: httplib's streamed content would take the server for shutting down, since
    // the listening socket is this class's own.
    response.set_content(png->data(), png->size(), "image/png");
  });

  // Without a token there is no action to ask for: the paths do not exist.
  if (!token_.empty()) {
    const std::array<std::pair<const char*, ExhibitAction>, 4> kActions = {{
        {"/reset", ExhibitAction::Reset},
        {"/test-note", ExhibitAction::TestNote},
        {"/stimulus/1", ExhibitAction::Stimulus1},
        {"/stimulus/2", ExhibitAction::Stimulus2},
    }};
    for (const auto& [path, action] : kActions) {
      http.Post(path, [this, action = action](const httplib::Request& request, httplib::Response& response) {
        if (!TokensMatch(BearerToken(request.get_header_value("Authorization")), token_)) {
          response.status = 401;
          response.set_header("WWW-Authenticate", "Bearer realm=\"velmora\"");
          response.set_content("a valid token is needed\n", "text/plain");
          return;
        }
        const std::optional<std::uint64_t> ticket = actions_.Push(action);
        if (!ticket) {
          response.status = 503;
          response.set_content("too many actions waiting\n", "text/plain");
        } else if (actions_.WaitTaken(*ticket, limits_.actionWait)) {
          response.set_content("done\n", "text/plain");
        } else {
          response.status = 202;
          response.set_content("queued; the exhibit has not taken it yet\n", "text/plain");
        }
      });
    }
  }
  http.set_error_handler([](const httplib::Request&, httplib::Response& response) {
    if (response.body.empty() && response.status == 404) response.set_content("not found\n", "text/plain");
  });
}

StatusServer::~StatusServer() { Stop(); }

bool StatusServer::Start(std::string& error) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = AI_PASSIVE | AI_NUMERICSERV;
  addrinfo* found = nullptr;
  const std::string port = std::to_string(address_.port);
  const std::string where = address_.host + ":" + port;
  if (const int status = ::getaddrinfo(address_.host.c_str(), port.c_str(), &hints, &found); status != 0) {
    error = "status server: cannot resolve " + where + " (" + ::gai_strerror(status) + ")";
    return false;
  }
  int lastErrno = 0;
  for (const addrinfo* candidate = found; candidate != nullptr && listenFd_ < 0; candidate = candidate->ai_next) {
    const int fd = ::socket(candidate->ai_family, candidate->ai_socktype | SOCK_CLOEXEC | SOCK_NONBLOCK,
                            candidate->ai_protocol);
    if (fd < 0) {
      lastErrno = errno;
      continue;
    }
    // Lets a restarted exhibit bind while its old connections linger; unlike
    // SO_REUSEPORT it never lets a second program listen on the same port.
    const int yes = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    if (::bind(fd, candidate->ai_addr, candidate->ai_addrlen) == 0 && ::listen(fd, kListenBacklog) == 0) {
      listenFd_ = fd;
    } else {
      lastErrno = errno;
      ::close(fd);
    }
  }
  ::freeaddrinfo(found);
  if (listenFd_ < 0) {
    error = "status server: cannot listen on " + where + " (" + std::strerror(lastErrno) + ")";
    return false;
  }
  sockaddr_storage bound{};
  socklen_t length = sizeof bound;
  ::getsockname(listenFd_, reinterpret_cast<sockaddr*>(&bound), &length);
  boundPort_ = ntohs(bound.ss_family == AF_INET6 ? reinterpret_cast<sockaddr_in6*>(&bound)->sin6_port
                                                 : reinterpret_cast<sockaddr_in*>(&bound)->sin_port);
  wakeFd_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  for (std::size_t i = 0; i < limits_.maxConnections; ++i) workers_.emplace_back([this] { WorkerLoop(); });
  acceptThread_ = std::thread([this] { AcceptLoop(); });
  return true;
}

void StatusServer::Stop() {
  if (listenFd_ < 0) return;
  stopRequested_.store(true);
  {
    std::lock_guard<std::mutex> lock(connectionsMutex_);
    stopping_ = true;
  }
  connectionWaiting_.notify_all();
  const std::uint64_t one = 1;
  [[maybe_unused]] const ssize_t written = ::write(wakeFd_, &one, sizeof one);
  if (acceptThread_.joinable()) acceptThread_.join();
  for (std::thread& worker : workers_) worker.join();
  workers_.clear();
  for (const int fd : waitingConnections_) ::close(fd);
  waitingConnections_.clear();
  ::close(listenFd_);
  ::close(wakeFd_);
  listenFd_ = -1;
  wakeFd_ = -1;
}

void StatusServer::AddStartupMessage(std::string text) {
  std::lock_guard<std::mutex> lock(messagesMutex_);
  startupMessages_.push_back(std::move(text));
}

void StatusServer::AcceptLoop() {
  LowerThreadPriority();
  std::array<pollfd, 2> waits = {{{listenFd_, POLLIN, 0}, {wakeFd_, POLLIN, 0}}};
  // A flood of new connections costs at most connectionsPerSecond accepts a second;
  // the others wait in the listen queue, and past it the clients' own systems retry.
  auto secondStart = Clock::now();
  std::size_t acceptedThisSecond = 0;
  while (!stopRequested_.load()) {
    int timeoutMs = -1;
    waits[0].events = POLLIN;
    if (acceptedThisSecond >= limits_.connectionsPerSecond) {
      const auto now = Clock::now();
      if (now - secondStart >= std::chrono::seconds(1)) {
        secondStart = now;
        acceptedThisSecond = 0;
      } else {
        waits[0].events = 0;
        timeoutMs = static_cast<int>(
            std::chrono::ceil<std::chrono::milliseconds>(secondStart + std::chrono::seconds(1) - now).count());
      }
    }
    if (::poll(waits.data(), waits.size(), timeoutMs) < 0 && errno != EINTR) return;
    if ((waits[1].revents & POLLIN) != 0) return;
    while (acceptedThisSecond < limits_.connectionsPerSecond) {
      const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
      if (fd < 0) break;
      ++acceptedThisSecond;
      std::unique_lock<std::mutex> lock(connectionsMutex_);
      if (!stopping_ && idleWorkers_ > waitingConnections_.size()) {
        waitingConnections_.push_back(fd);
        lock.unlock();
        connectionWaiting_.notify_one();
        continue;
      }
      lock.unlock();
      // Every worker is busy: a short refusal, sent only if the socket takes it at once.
      [[maybe_unused]] const ssize_t sent =
          ::send(fd, kBusyAnswer.data(), kBusyAnswer.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
      ::close(fd);
    }
  }
}

void StatusServer::WorkerLoop() {
  LowerThreadPriority();
  std::unique_lock<std::mutex> lock(connectionsMutex_);
  for (;;) {
    ++idleWorkers_;
    connectionWaiting_.wait(lock, [this] { return stopping_ || !waitingConnections_.empty(); });
    --idleWorkers_;
    if (stopping_) return;
    const int fd = waitingConnections_.front();
    waitingConnections_.pop_front();
    lock.unlock();
    Serve(fd);
    lock.lock();
  }
}

void StatusServer::Serve(int fd) {
  GuardedStream stream(fd, limits_, stopRequested_);
  for (std::size_t served = 0; served < limits_.requestsPerConnection; ++served) {
    if (served > 0 && !stream.WaitForNextRequest(limits_.keepAliveIdle)) break;
    stream.BeginRequest();
    bool clientClosed = false;
    const bool last = served + 1 == limits_.requestsPerConnection;
    if (!http_->ProcessRequest(stream, last, clientClosed) || clientClosed) break;
  }
  ::shutdown(fd, SHUT_RDWR);
  ::close(fd);
}

std::string StatusServer::Render(std::string (*format)(const StatusView&)) {
  const std::optional<PublishedSnapshot> latest = exchange_.Latest();
  const std::optional<UsageSummary> usage = usage_ != nullptr ? std::optional(usage_->Summary()) : std::nullopt;
  std::lock_guard<std::mutex> lock(messagesMutex_);
  const auto now = Clock::now();
  const StatusView view{run_,
                        latest ? &latest->snapshot : nullptr,
                        std::chrono::duration<double>(now - run_.startedSteady).count(),
                        latest ? std::chrono::duration<double>(now - latest->publishedAt).count() : -1.0,
                        startupMessages_,
                        usage,
                        !token_.empty()};
  return format(view);
}

std::shared_ptr<const std::string> StatusServer::CurrentPng() {
  std::lock_guard<std::mutex> lock(pictureMutex_);
  if (png_ && Clock::now() - pngMadeAt_ < limits_.pictureInterval) return png_;
  int width = 0, height = 0;
  if (exchange_.TakePicture(rgb_, width, height, limits_.pictureWait)) {
    // Made again and again while a page is open: fast rather than smallest.
    const std::vector<std::uint8_t> file =
        EncodePng(width, height, PngPixelFormat::kRgb24, rgb_.data(), 0, PngCompression::kFast);
    if (!file.empty()) {
      png_ = std::make_shared<const std::string>(file.begin(), file.end());
      pngMadeAt_ = Clock::now();
    }
  }
  // Without a new frame (the exhibit between pictures, or stalled) the last one serves.
  return png_;
}

}  // namespace velmora::monitoring
