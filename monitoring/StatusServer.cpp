#include "monitoring/StatusServer.h"

#include <httplib.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>

#include <array>
#include <cerrno>
#include <cstring>

#include "monitoring/StatusPage.h"
#include "platform/PngWriter.h"

namespace velmora::monitoring {
namespace {

using Clock = std::chrono::steady_clock;

// How often a wait for the client looks at the stop request.
constexpr std::chrono::milliseconds kStopCheckInterval{100};

// The page's own policy: its script, style and picture come from this server only,
// and it may not be framed by another site.
constexpr const char* kPagePolicy =
    "default-src 'none'; script-src 'unsafe-inline'; style-src 'unsafe-inline'; img-src 'self'; "
    "connect-src 'self'; base-uri 'none'; form-action 'none'; frame-ancestors 'none'";

constexpr const char* kMetricsType = "text/plain; version=0.0.4; charset=utf-8";

// One whole request as httplib reads it, from memory: past its end there is nothing
// more (so a POST without Content-Length has an empty body, not one read until the
// connection closes). Answers go to the socket under the answer's deadline, and every
// wait ends within kStopCheckInterval of a stop request.
class RequestStream final : public httplib::Stream {
public:
  RequestStream(const ReceivedRequest& request, std::chrono::milliseconds responseTimeout,
                const std::atomic<bool>& stop)
      : request_(request), deadline_(Clock::now() + responseTimeout), stop_(stop) {}

  bool is_readable() const override { return position_ < request_.bytes.size(); }
  bool is_writable() const override { return WaitWritable(); }

  ssize_t read(char* ptr, size_t size) override {
    const std::size_t count = std::min(size, request_.bytes.size() - position_);
    std::memcpy(ptr, request_.bytes.data() + position_, count);
    position_ += count;
    return static_cast<ssize_t>(count);
  }

  ssize_t write(const char* ptr, size_t size) override {
    std::size_t sent = 0;
    while (sent < size) {
      const ssize_t n = ::send(request_.fd, ptr + sent, size - sent, MSG_NOSIGNAL | MSG_DONTWAIT);
      if (n > 0) {
        sent += static_cast<std::size_t>(n);
      } else if (n < 0 && errno == EINTR) {
        continue;
      } else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
        if (!WaitWritable()) return -1;
      } else {
        return -1;
      }
    }
    return static_cast<ssize_t>(size);
  }

  void get_remote_ip_and_port(std::string& ip, int& port) const override {
    ip = std::string(request_.client);
    port = -1;
  }
  void get_local_ip_and_port(std::string& ip, int& port) const override {
    sockaddr_storage address{};
    socklen_t length = sizeof address;
    std::array<char, NI_MAXHOST> host{};
    std::array<char, NI_MAXSERV> service{};
    if (::getsockname(request_.fd, reinterpret_cast<sockaddr*>(&address), &length) != 0 ||
        ::getnameinfo(reinterpret_cast<sockaddr*>(&address), length, host.data(), host.size(), service.data(),
                      service.size(), NI_NUMERICHOST | NI_NUMERICSERV) != 0) {
      ip.clear();
      port = -1;
      return;
    }
    ip = host.data();
    port = std::atoi(service.data());
  }
  socket_t socket() const override { return request_.fd; }

private:
  bool WaitWritable() const {
    for (;;) {
      if (stop_.load(std::memory_order_relaxed)) return false;
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline_ - Clock::now());
      if (left.count() <= 0) return false;
      pollfd entry{request_.fd, POLLOUT, 0};
      const int ready = ::poll(&entry, 1, static_cast<int>(std::min(left, kStopCheckInterval).count()));
      if (ready > 0) return (entry.revents & (POLLOUT | POLLHUP | POLLERR)) != 0;
      if (ready < 0 && errno != EINTR) return false;
    }
  }

  const ReceivedRequest& request_;
  const Clock::time_point deadline_;
  const std::atomic<bool>& stop_;
  std::size_t position_ = 0;
};

}  // namespace

// httplib parses each request, routes it and writes the answer; the connections, the
// threads and the limits are the server's own (see ConnectionPool and RequestStream).
class StatusServer::Http final : public httplib::Server {
public:
  bool ProcessRequest(httplib::Stream& stream, bool closeConnection, bool& connectionClosed) {
    return process_request(stream, closeConnection, connectionClosed, nullptr);
  }
};

StatusServer::StatusServer(StatusServerSetup setup, SnapshotExchange& exchange, ActionQueue& actions, RunInfo run,
                           const UsageSummarySource* usage)
    : address_(std::move(setup.address)), token_(std::move(setup.token)), hosts_(std::move(setup.hostNames)),
      exchange_(exchange), actions_(actions), run_(std::move(run)), usage_(usage), limits_(setup.limits),
      http_(std::make_unique<Http>()), throttle_(limits_.tokenMistakeWait),
      pool_(limits_.connections, [this](const ReceivedRequest& request) { return Answer(request); }) {
  Http& http = *http_;
  http.set_payload_max_length(limits_.connections.maxRequestBytes);
  http.set_default_headers({{"Cache-Control", "no-store"}, {"X-Content-Type-Options", "nosniff"}});
  http.set_pre_routing_handler([this](const httplib::Request& request, httplib::Response& response) {
    if (hosts_.Allows(request.get_header_value("Host"), request.local_addr)) {
      return httplib::Server::HandlerResponse::Unhandled;
    }
    response.status = 421;
    response.set_content("this server does not answer to that name: use its address, or start the exhibit "
                         "with --status-host NAME\n",
                         "text/plain");
    return httplib::Server::HandlerResponse::Handled;
  });

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
        const auto now = Clock::now();
        if (const auto wait = throttle_.WaitFor(request.remote_addr, now); wait.count() > 0) {
          const auto seconds = std::to_string(std::chrono::ceil<std::chrono::seconds>(wait).count());
          response.status = 429;
          response.set_header("Retry-After", seconds);
          response.set_content("too many wrong tokens: try again in " + seconds + " s\n", "text/plain");
          return;
        }
        if (!TokensMatch(BearerToken(request.get_header_value("Authorization")), token_)) {
          throttle_.Mistake(request.remote_addr, now);
          response.status = 401;
          response.set_header("WWW-Authenticate", "Bearer realm=\"velmora\"");
          response.set_content("a valid token is needed\n", "text/plain");
          return;
        }
        throttle_.Success(request.remote_addr);
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

bool StatusServer::Start(std::string& error) { return pool_.Start(address_, error); }

void StatusServer::Stop() { pool_.Stop(); }

void StatusServer::AddStartupMessage(std::string text) {
  std::lock_guard<std::mutex> lock(messagesMutex_);
  startupMessages_.push_back(std::move(text));
}

bool StatusServer::Answer(const ReceivedRequest& request) {
  RequestStream stream(request, limits_.connections.responseTimeout, pool_.Stopping());
  bool clientClosed = false;
  return http_->ProcessRequest(stream, request.lastOnConnection, clientClosed) && !clientClosed;
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
                        !token_.empty(),
                        throttle_.Mistakes()};
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
