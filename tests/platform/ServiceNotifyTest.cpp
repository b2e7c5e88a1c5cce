#include "platform/ServiceNotify.h"

#include <gtest/gtest.h>

#include <stddef.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

namespace velmora {
namespace {

// The service manager's end: a datagram socket bound to a path in a temporary folder
// or to an abstract name, read without waiting.
class NotifySocket {
public:
  explicit NotifySocket(const std::string& name) : name_(name) {
    fd_ = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const bool abstract = name[0] == '@';
    name.copy(address.sun_path, name.size());
    if (abstract) address.sun_path[0] = '\0';
    const auto length =
        static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + name.size() + (abstract ? 0 : 1));
    bound_ = fd_ >= 0 && ::bind(fd_, reinterpret_cast<const sockaddr*>(&address), length) == 0;
  }
  ~NotifySocket() {
    if (fd_ >= 0) ::close(fd_);
    if (name_[0] != '@') ::unlink(name_.c_str());
  }
  NotifySocket(const NotifySocket&) = delete;
  NotifySocket& operator=(const NotifySocket&) = delete;

  bool Bound() const { return bound_; }

  // Every datagram that has arrived, in order.
  std::vector<std::string> Received() {
    std::vector<std::string> messages;
    char buffer[256];
    for (;;) {
      const ssize_t n = ::recv(fd_, buffer, sizeof buffer, 0);
      if (n < 0) break;
      messages.emplace_back(buffer, static_cast<std::size_t>(n));
    }
    return messages;
  }

private:
  std::string name_;
  int fd_ = -1;
  bool bound_ = false;
};

std::string SocketPath(const std::string& leaf) {
  return ::testing::TempDir() + "velmora_notify_" + std::to_string(::getpid()) + "_" + leaf;
}

std::string ThisPid() { return std::to_string(::getpid()); }

TEST(ServiceNotifyTest, ReadyOnceAfterTheFirstFrameOnPathAndAbstractSockets) {
  const std::string names[] = {SocketPath("path"), "@velmora_notify_" + ThisPid()};
  for (const std::string& name : names) {
    NotifySocket manager(name);
    ASSERT_TRUE(manager.Bound()) << name;
    ServiceNotifier notifier(name, "", "");
    EXPECT_TRUE(notifier.Enabled());
    EXPECT_TRUE(manager.Received().empty()) << name;
    notifier.FrameDone(1000);
    notifier.FrameDone(1020);
    notifier.FrameDone(1040);
    EXPECT_EQ(manager.Received(), std::vector<std::string>{"READY=1"}) << name;
  }
}

TEST(ServiceNotifyTest, KeepAlivesFollowFramesAtHalfTheWatchdogTime) {
  struct Case {
    std::string watchdogUsec;
    std::uint32_t intervalMs;
  };
  const Case cases[] = {{"10000000", 5000}, {"3000000", 1500}, {"1000", 1}};
  for (const Case& c : cases) {
    const std::string name = SocketPath("watchdog");
    NotifySocket manager(name);
    ASSERT_TRUE(manager.Bound());
    ServiceNotifier notifier(name, c.watchdogUsec, ThisPid());
    EXPECT_EQ(notifier.KeepAliveIntervalMs(), c.intervalMs) << c.watchdogUsec;
    // 20 ms frames for three keep-alive intervals, starting just below the tick's wrap.
    const std::uint32_t start = 0xFFFFFFFFu - 100;
    std::uint32_t tick = start;
    const std::uint32_t frames = (3 * c.intervalMs) / 20 + 1;
    notifier.FrameDone(tick);
    EXPECT_EQ(manager.Received(), std::vector<std::string>{"READY=1"});
    std::vector<std::uint32_t> keepAliveFrames;
    for (std::uint32_t frame = 1; frame <= frames; ++frame) {
      tick += 20;
      notifier.FrameDone(tick);
      const auto received = manager.Received();
      if (!received.empty()) {
        EXPECT_EQ(received, std::vector<std::string>{"WATCHDOG=1"});
        keepAliveFrames.push_back(frame);
      }
    }
    if (c.intervalMs >= 20) {
      ASSERT_EQ(keepAliveFrames.size(), 3u) << c.watchdogUsec;
      for (std::size_t i = 0; i < keepAliveFrames.size(); ++i) {
        // Never sooner than the interval after the last one, and at the first frame after.
        EXPECT_EQ(keepAliveFrames[i] * 20u, ((i + 1) * c.intervalMs + 19) / 20 * 20) << c.watchdogUsec;
      }
    } else {
      EXPECT_EQ(keepAliveFrames.size(), frames) << "a keep-alive after every frame";
    }
  }
}

TEST(ServiceNotifyTest, StoppingIsSentOnceAtShutdown) {
  const std::string name = SocketPath("stopping");
  NotifySocket manager(name);
  ASSERT_TRUE(manager.Bound());
  ServiceNotifier notifier(name, "10000000", "");
  notifier.FrameDone(0);
  notifier.Stopping();
  notifier.Stopping();
  EXPECT_EQ(manager.Received(), (std::vector<std::string>{"READY=1", "STOPPING=1"}));
}

TEST(ServiceNotifyTest, NothingIsSentWithoutASocketOrKeepAlivesForAnotherProcess) {
  ServiceNotifier none("", "10000000", "");
  EXPECT_FALSE(none.Enabled());
  EXPECT_FALSE(none.Send("READY=1"));
  none.FrameDone(0);
  none.Stopping();

  const std::string name = SocketPath("other");
  NotifySocket manager(name);
  ASSERT_TRUE(manager.Bound());
  const std::string badWatchdogs[][2] = {
      {"10000000", std::to_string(::getpid() + 1)}, {"", ""}, {"0", ""}, {"ten", ""}, {"-5", ""}};
  for (const auto& watchdog : badWatchdogs) {
    ServiceNotifier notifier(name, watchdog[0], watchdog[1]);
    EXPECT_EQ(notifier.KeepAliveIntervalMs(), 0u) << watchdog[0] << " " << watchdog[1];
    for (std::uint32_t tick = 0; tick <= 60000; tick += 20) notifier.FrameDone(tick);
    EXPECT_EQ(manager.Received(), std::vector<std::string>{"READY=1"}) << watchdog[0];
  }
}

TEST(ServiceNotifyTest, TheEnvironmentNamesTheSocket) {
  const std::string name = SocketPath("environment");
  NotifySocket manager(name);
  ASSERT_TRUE(manager.Bound());
  ::setenv("NOTIFY_SOCKET", name.c_str(), 1);
  ::setenv("WATCHDOG_USEC", "4000000", 1);
  ::unsetenv("WATCHDOG_PID");
  ServiceNotifier notifier = ServiceNotifier::FromEnvironment();
  ::unsetenv("NOTIFY_SOCKET");
  ::unsetenv("WATCHDOG_USEC");
  EXPECT_EQ(notifier.KeepAliveIntervalMs(), 2000u);
  EXPECT_TRUE(notifier.Send("STATUS=test"));
  EXPECT_EQ(manager.Received(), std::vector<std::string>{"STATUS=test"});
  EXPECT_FALSE(ServiceNotifier::FromEnvironment().Enabled());
}

TEST(ServiceNotifyTest, ASocketNobodyListensOnFailsQuietly) {
  ServiceNotifier notifier(SocketPath("absent"), "", "");
  EXPECT_FALSE(notifier.Send("READY=1"));
  ServiceNotifier tooLong(std::string(200, 'x'), "", "");
  EXPECT_FALSE(tooLong.Send("READY=1"));
}

}  // namespace
}  // namespace velmora
