#include "monitoring/ConnectionPool.h"

#include <netdb.h>
#include <poll.h>
#include <sched.h>
#include <sys/eventfd.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>

#include "monitoring/RequestHead.h"

namespace velmora::monitoring {
namespace {

// How often the keeper looks at the stop request and the deadlines when nothing happens.
constexpr std::chrono::milliseconds kStopCheckInterval{100};
// After accept fails for want of descriptors or memory, the keeper waits this long
// before it tries again instead of spinning on the listening socket.
constexpr std::chrono::milliseconds kAcceptPauseAfterFailure{100};
constexpr std::size_t kReceiveChunkBytes = 4096;
constexpr int kListenBacklog = 256;
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

// An answer the keeper gives itself before closing, sent only if the socket takes it at once.
void SendAndForget(int fd, int status, std::string_view reason, std::string_view text) {
  std::string answer = "HTTP/1.1 " + std::to_string(status) + " " + std::string(reason) +
                       "\r\nContent-Type: text/plain\r\nContent-Length: " + std::to_string(text.size()) +
                       (status == 503 ? "\r\nRetry-After: 5" : "") + "\r\nConnection: close\r\n\r\n";
  answer += text;
  [[maybe_unused]] const ssize_t sent = ::send(fd, answer.data(), answer.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
}

std::string PeerAddress(int fd) {
  sockaddr_storage address{};
  socklen_t length = sizeof address;
  std::array<char, NI_MAXHOST> host{};
  if (::getpeername(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0 ||
      ::getnameinfo(reinterpret_cast<sockaddr*>(&address), length, host.data(), host.size(), nullptr, 0,
                    NI_NUMERICHOST) != 0) {
    return {};
  }
  return host.data();
}

}  // namespace

struct ConnectionPool::Connection {
  int fd = -1;
  std::string client;            // the peer's numeric address
  std::string received;          // bytes not yet answered: the next request first
  std::size_t requestBytes = 0;  // the request handed to a worker
  bool idle = false;             // kept alive after an answer, nothing received since
  bool peerDone = false;         // the peer has ended its side: the request in hand is its last
  Clock::time_point since;       // accepted, last answered, or first byte after idling
  std::size_t answered = 0;
  bool keep = false;             // the worker's verdict: may stay open
};

ConnectionPool::ConnectionPool(ConnectionLimits limits, Answer answer)
    : limits_(limits), answer_(std::move(answer)) {}

ConnectionPool::~ConnectionPool() { Stop(); }

bool ConnectionPool::Start(const ListenAddress& address, std::string& error) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = AI_PASSIVE | AI_NUMERICSERV;
  addrinfo* found = nullptr;
  const std::string port = std::to_string(address.port);
  const std::string where = address.host + ":" + port;
  if (const int status = ::getaddrinfo(address.host.c_str(), port.c_str(), &hints, &found); status != 0) {
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
  workers_.emplace_back([this] { WorkerLoop(true); });
  for (std::size_t i = 0; i < limits_.workers; ++i) workers_.emplace_back([this] { WorkerLoop(false); });
  keeper_ = std::thread([this] { KeeperLoop(); });
  return true;
}

void ConnectionPool::Stop() {
  if (listenFd_ < 0) return;
  stopRequested_.store(true);
  {
    std::lock_guard<std::mutex> lock(queueMutex_);
    stopping_ = true;
  }
  requestWaiting_.notify_all();
  const std::uint64_t one = 1;
  [[maybe_unused]] const ssize_t written = ::write(wakeFd_, &one, sizeof one);
  if (keeper_.joinable()) keeper_.join();
  for (std::thread& worker : workers_) worker.join();
  workers_.clear();
  const auto closeAll = [](auto& connections) {
    for (const auto& connection : connections) ::close(connection->fd);
    connections.clear();
  };
  closeAll(held_);
  closeAll(monitoringQueue_);
  closeAll(otherQueue_);
  closeAll(returned_);
  openByClient_.clear();
  open_ = 0;
  ::close(listenFd_);
  ::close(wakeFd_);
  listenFd_ = -1;
  wakeFd_ = -1;
}

void ConnectionPool::KeeperLoop() {
  LowerThreadPriority();
  std::vector<pollfd> waits;
  auto secondStart = Clock::now();
  auto acceptPausedUntil = secondStart;
  std::size_t acceptedThisSecond = 0;
  while (!stopRequested_.load()) {
    auto now = Clock::now();
    TakeReturned(now);
    // A request not whole within its time, or a kept-alive connection idle too long, is closed.
    auto nextDeadline = now + kStopCheckInterval;
    for (std::size_t i = held_.size(); i-- > 0;) {
      const Connection& connection = *held_[i];
      const auto deadline = connection.since + (connection.idle ? limits_.keepAliveIdle : limits_.requestTimeout);
      if (now >= deadline) {
        Close(std::move(held_[i]));
        RemoveHeld(i);
      } else {
        nextDeadline = std::min(nextDeadline, deadline);
      }
    }
    if (now - secondStart >= std::chrono::seconds(1)) {
      secondStart = now;
      acceptedThisSecond = 0;
    }
    const bool mayAccept = acceptedThisSecond < limits_.connectionsPerSecond && now >= acceptPausedUntil;
    if (!mayAccept) {
      nextDeadline = std::min(nextDeadline, std::max(acceptPausedUntil, secondStart + std::chrono::seconds(1)));
    }
    waits.clear();
    waits.push_back({listenFd_, static_cast<short>(mayAccept ? POLLIN : 0), 0});
    waits.push_back({wakeFd_, POLLIN, 0});
    for (const auto& connection : held_) waits.push_back({connection->fd, POLLIN, 0});
    const auto timeout = std::chrono::ceil<std::chrono::milliseconds>(nextDeadline - now);
    if (::poll(waits.data(), waits.size(), static_cast<int>(std::max<std::int64_t>(timeout.count(), 0))) < 0 &&
        errno != EINTR) {
      return;
    }
    if ((waits[1].revents & POLLIN) != 0) {
      std::uint64_t count = 0;
      [[maybe_unused]] const ssize_t got = ::read(wakeFd_, &count, sizeof count);
    }
    now = Clock::now();
    // held_ is unchanged since the waits were made; removing swaps in a later entry,
    // which has been looked at already.
    for (std::size_t i = waits.size() - 2; i-- > 0;) {
      if (waits[i + 2].revents == 0) continue;
      if (!Receive(*held_[i], now) || !Dispatch(held_[i])) Close(std::move(held_[i]));
      if (!held_[i]) RemoveHeld(i);
    }
    if ((waits[0].revents & POLLIN) != 0 && !AcceptWaiting(acceptedThisSecond)) {
      acceptPausedUntil = Clock::now() + kAcceptPauseAfterFailure;
    }
  }
}

bool ConnectionPool::AcceptWaiting(std::size_t& acceptedThisSecond) {
  while (acceptedThisSecond < limits_.connectionsPerSecond) {
    const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd < 0) return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR || errno == ECONNABORTED;
    ++acceptedThisSecond;
    Admit(fd);
  }
  return true;
}

void ConnectionPool::Admit(int fd) {
  auto connection = std::make_unique<Connection>();
  connection->fd = fd;
  connection->client = PeerAddress(fd);
  connection->since = Clock::now();
  const auto mine = openByClient_.find(connection->client);
  const bool clientFull = mine != openByClient_.end() && mine->second >= limits_.maxConnectionsPerClient;
  if (clientFull || open_ >= limits_.maxConnections) {
    const std::size_t victim = Victim(clientFull ? std::string_view(connection->client) : std::string_view());
    if (victim == kNone) {
      SendAndForget(fd, 503, "Service Unavailable", "too many connections\n");
      ::close(fd);
      return;
    }
    Close(std::move(held_[victim]));
    RemoveHeld(victim);
  }
  ++openByClient_[connection->client];
  ++open_;
  held_.push_back(std::move(connection));
}

bool ConnectionPool::Receive(Connection& connection, Clock::time_point now) {
  std::array<char, kReceiveChunkBytes> chunk{};
  while (connection.received.size() < limits_.maxRequestBytes) {
    const std::size_t room = std::min(chunk.size(), limits_.maxRequestBytes - connection.received.size());
    const ssize_t n = ::recv(connection.fd, chunk.data(), room, MSG_DONTWAIT);
    if (n > 0) {
      if (connection.idle) {
        connection.idle = false;
        connection.since = now;  // the request's time starts with its first byte
      }
      connection.received.append(chunk.data(), static_cast<std::size_t>(n));
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return true;
    // The peer has ended its side (or the connection failed): a whole request already
    // here is still answered, as the last.
    connection.peerDone = true;
    return ExamineRequest(connection.received, limits_.maxRequestBytes).state == RequestState::Complete;
  }
  return true;
}

bool ConnectionPool::Dispatch(std::unique_ptr<Connection>& connection) {
  const RequestHead head = ExamineRequest(connection->received, limits_.maxRequestBytes);
  switch (head.state) {
    case RequestState::Incomplete:
      return true;
    case RequestState::TooLarge:
      SendAndForget(connection->fd, 413, "Content Too Large", "request too large\n");
      return false;
    case RequestState::BadRequest:
      SendAndForget(connection->fd, 400, "Bad Request", "bad request\n");
      return false;
    case RequestState::LengthRequired:
      SendAndForget(connection->fd, 411, "Length Required", "a body needs Content-Length\n");
      return false;
    case RequestState::Complete:
      break;
  }
  connection->requestBytes = head.bytes;
  {
    std::lock_guard<std::mutex> lock(queueMutex_);
    (head.monitoring ? monitoringQueue_ : otherQueue_).push_back(std::move(connection));
  }
  // Both kinds of worker wait on the one condition: each must hear of its kind.
  requestWaiting_.notify_all();
  return true;
}

void ConnectionPool::TakeReturned(Clock::time_point now) {
  std::vector<std::unique_ptr<Connection>> answered;
  {
    std::lock_guard<std::mutex> lock(returnedMutex_);
    answered.swap(returned_);
  }
  for (std::unique_ptr<Connection>& connection : answered) {
    if (connection->keep) {
      // What the client sent after the request (a pipelined next one) stays.
      connection->received.erase(0, connection->requestBytes);
      connection->requestBytes = 0;
      connection->since = now;
      connection->idle = connection->received.empty();
      if (!Dispatch(connection)) Close(std::move(connection));
      if (connection) held_.push_back(std::move(connection));
    } else {
      Close(std::move(connection));
    }
  }
}

void ConnectionPool::WorkerLoop(bool monitoringOnly) {
  LowerThreadPriority();
  std::unique_lock<std::mutex> lock(queueMutex_);
  for (;;) {
    requestWaiting_.wait(lock, [&] {
      return stopping_ || !monitoringQueue_.empty() || (!monitoringOnly && !otherQueue_.empty());
    });
    if (stopping_) return;
    auto& queue = !monitoringQueue_.empty() ? monitoringQueue_ : otherQueue_;
    std::unique_ptr<Connection> connection = std::move(queue.front());
    queue.pop_front();
    lock.unlock();
    const ReceivedRequest request{
        .fd = connection->fd,
        .bytes = std::string_view(connection->received).substr(0, connection->requestBytes),
        .client = connection->client,
        .lastOnConnection = connection->peerDone || connection->answered + 1 >= limits_.requestsPerConnection};
    connection->keep = answer_(request) && !request.lastOnConnection;
    ++connection->answered;
    {
      std::lock_guard<std::mutex> returnedLock(returnedMutex_);
      returned_.push_back(std::move(connection));
    }
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t written = ::write(wakeFd_, &one, sizeof one);
    lock.lock();
  }
}

std::size_t ConnectionPool::Victim(std::string_view client) const {
  std::size_t best = kNone;
  for (std::size_t i = 0; i < held_.size(); ++i) {
    const Connection& candidate = *held_[i];
    if (!client.empty() && candidate.client != client) continue;
    if (best == kNone) {
      best = i;
      continue;
    }
    // Idle connections go first, the longest idle first; then the one that has waited
    // longest for its request.
    const Connection& chosen = *held_[best];
    if (candidate.idle != chosen.idle ? candidate.idle : candidate.since < chosen.since) best = i;
  }
  return best;
}

void ConnectionPool::RemoveHeld(std::size_t index) {
  if (index + 1 != held_.size()) held_[index] = std::move(held_.back());
  held_.pop_back();
}

void ConnectionPool::Close(std::unique_ptr<Connection> connection) {
  ::close(connection->fd);
  const auto mine = openByClient_.find(connection->client);
  if (mine != openByClient_.end() && --mine->second == 0) openByClient_.erase(mine);
  --open_;
}

}  // namespace velmora::monitoring
