#include "platform/ServiceNotify.h"

#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <stddef.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace velmora {
namespace {

constexpr std::uint64_t kMicrosecondsPerMs = 1000;
// Keep-alives go out at half the watchdog time, as the service manager advises, so one
// late frame never lets the watchdog run out.
constexpr std::uint64_t kKeepAlivesPerWatchdogPeriod = 2;

std::optional<std::uint64_t> ParseUnsigned(const std::string& text) {
  std::uint64_t value = 0;
  const char* end = text.data() + text.size();
  const auto [rest, status] = std::from_chars(text.data(), end, value);
  if (text.empty() || status != std::errc() || rest != end) return std::nullopt;
  return value;
}

std::string Environment(const char* name) {
  const char* value = std::getenv(name);
  return value == nullptr ? std::string() : std::string(value);
}

}  // namespace

ServiceNotifier::ServiceNotifier(std::string socketName, const std::string& watchdogUsec,
                                 const std::string& watchdogPid)
    : socket_(std::move(socketName)) {
  if (!Enabled()) return;
  if (!watchdogPid.empty()) {
    const auto pid = ParseUnsigned(watchdogPid);
    if (!pid || *pid != static_cast<std::uint64_t>(::getpid())) return;
  }
  const auto usec = ParseUnsigned(watchdogUsec);
  if (!usec || *usec == 0) return;
  const std::uint64_t intervalMs = *usec / kMicrosecondsPerMs / kKeepAlivesPerWatchdogPeriod;
  keepAliveIntervalMs_ = static_cast<std::uint32_t>(std::max<std::uint64_t>(intervalMs, 1));
}

ServiceNotifier ServiceNotifier::FromEnvironment() {
  return ServiceNotifier(Environment("NOTIFY_SOCKET"), Environment("WATCHDOG_USEC"),
                         Environment("WATCHDOG_PID"));
}

void ServiceNotifier::FrameDone(std::uint32_t tickMs) {
  if (!Enabled()) return;
  if (!readySent_) {
    readySent_ = true;
    lastKeepAliveMs_ = tickMs;
    Send("READY=1");
    return;
  }
  if (keepAliveIntervalMs_ == 0 || tickMs - lastKeepAliveMs_ < keepAliveIntervalMs_) return;
  lastKeepAliveMs_ = tickMs;
  Send("WATCHDOG=1");
}

void ServiceNotifier::Stopping() {
  if (!Enabled() || stoppingSent_) return;
  stoppingSent_ = true;
  Send("STOPPING=1");
}

bool ServiceNotifier::Send(const std::string& state) const {
  if (socket_.empty()) return false;
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  // A path, or (leading '@') a name in the abstract namespace, whose first byte is 0.
  if (socket_.size() > sizeof(address.sun_path) - (socket_[0] == '@' ? 0 : 1)) return false;
  std::memcpy(address.sun_path, socket_.data(), socket_.size());
  if (socket_[0] == '@') address.sun_path[0] = '\0';
  const auto length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + socket_.size() +
                                             (socket_[0] == '@' ? 0 : 1));

  const int fd = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  // Never waits: a service manager that reads slowly must not hold up a frame.
  const ssize_t sent = ::sendto(fd, state.data(), state.size(), MSG_NOSIGNAL | MSG_DONTWAIT,
                                reinterpret_cast<const sockaddr*>(&address), length);
  ::close(fd);
  return sent == static_cast<ssize_t>(state.size());
}

}  // namespace velmora
