#pragma once
// Tells the service manager that started the exhibit how it is doing, through its
// notify protocol: one datagram per state to the socket named in $NOTIFY_SOCKET.
// "READY=1" once start-up is done, "WATCHDOG=1" regularly while frames run (so a
// frozen frame loop gets the exhibit restarted), "STOPPING=1" at shutdown. Without
// $NOTIFY_SOCKET every call does nothing.

#include <cstdint>
#include <optional>
#include <string>

namespace velmora {

class ServiceNotifier {
public:
  // `socketName`: a path, or an abstract socket name starting with '@'; empty for
  // none. `watchdogUsec`: $WATCHDOG_USEC as given (empty or invalid: no keep-alives).
  // `watchdogPid`: $WATCHDOG_PID as given; when set, keep-alives are sent only if it
  // names this process.
  ServiceNotifier(std::string socketName, const std::string& watchdogUsec,
                  const std::string& watchdogPid);
  // The notifier the environment of this process asks for.
  static ServiceNotifier FromEnvironment();

  bool Enabled() const { return !socket_.empty(); }
  // How often a keep-alive goes out (ms): half the service's watchdog time; 0 for never.
  std::uint32_t KeepAliveIntervalMs() const { return keepAliveIntervalMs_; }

  // Called after every frame with the exhibit clock's tick (ms): "READY=1" the first
  // time, then "WATCHDOG=1" whenever a keep-alive interval has passed since the last.
  void FrameDone(std::uint32_t tickMs);
  // "STOPPING=1", once.
  void Stopping();

  // Sends one datagram; false when there is no socket or the send failed.
  bool Send(const std::string& state) const;

private:
  std::string socket_;
  std::uint32_t keepAliveIntervalMs_ = 0;
  bool readySent_ = false;
  bool stoppingSent_ = false;
  std::uint32_t lastKeepAliveMs_ = 0;
};

}  // namespace velmora
