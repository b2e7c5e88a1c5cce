#include "platform/SerialPort.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <ctime>
#include <filesystem>
#include <pwd.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace velmora {
namespace {

// The panel's line: 9600 baud, 8N1.
constexpr speed_t kPanelBaud = B9600;

// Exclusive use of a terminal takes three locks, because the programs that might
// share the line honour different ones (checked against Debian 12's serial terminal
// programs on a pseudo-terminal):
// - flock() on the device: picocom takes it and refuses a line another descriptor
//   holds so; it takes no lock file. Another exhibit is refused the same way, also as
//   root.
// - a UUCP lock file, /var/lock/LCK..<device> holding the owner's process number:
//   minicom takes and honours only this, not flock().
// - TIOCEXCL: the kernel refuses every further open() of the terminal, also by
//   programs that lock nothing, but never to a privileged process, so alone it would
//   not stop a second exhibit run as root.
constexpr const char* kLockFileDirectory = "/var/lock";

// An empty lock file (or one without a process number) this young is being written by
// the program that made it, and counts as held; older, its maker is gone (seconds).
constexpr long kFreshLockFileSeconds = 5;

// The process number a lock file holds (ASCII, "%10d\n"); 0 when it holds none.
pid_t LockFileOwner(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return 0;
  char text[32] = {};
  const ssize_t n = ::read(fd, text, sizeof text - 1);
  ::close(fd);
  return n > 0 ? static_cast<pid_t>(std::strtol(text, nullptr, 10)) : 0;
}

// Whether process `pid` has the device open. Where its descriptors cannot be looked at
// (another user's process), it is taken to have: only a look can tell a process that
// holds the line from one that merely came to have the number of a holder that died
// (process numbers are taken again, and a lock file outlives a process killed).
bool HoldsDevice(pid_t pid, const std::filesystem::path& device) {
  std::error_code error;
  const std::filesystem::path descriptors = "/proc/" + std::to_string(pid) + "/fd";
  std::filesystem::directory_iterator entry(descriptors, error);
  if (error) return true;
  for (; entry != std::filesystem::directory_iterator(); entry.increment(error)) {
    if (error) return true;
    std::error_code unreadable;
    if (std::filesystem::read_symlink(entry->path(), unreadable) == device) return true;
  }
  return false;
}

bool IsFresh(const std::string& path) {
  struct stat file {};
  if (::stat(path.c_str(), &file) != 0) return false;
  const long ageSeconds = static_cast<long>(std::time(nullptr) - file.st_mtim.tv_sec);
  return std::labs(ageSeconds) < kFreshLockFileSeconds;
}

std::string UserName(uid_t uid) {
  const passwd* user = ::getpwuid(uid);
  return user != nullptr ? user->pw_name : "user " + std::to_string(uid);
}

enum class LockFileResult { Taken, HeldByOther, StaleKept, NotPossible };

struct LockFileOutcome {
  LockFileResult result = LockFileResult::NotPossible;
  std::string staleNote;  // a stale lock file found (removed or kept); empty if none
  std::string busyNote;   // HeldByOther: whose it is
};

// Makes the lock file for `device` (its real path). One whose process has ended, or
// has not had the device open for a while, or that names this process (a port of this
// program holding the line would have refused us by its flock() already) is stale,
// whoever owns it: it is removed, or where it cannot be (another user's file in the
// sticky lock folder) kept, and the line is held by the other two locks alone, as where
// no lock file can be made at all (no such folder, no permission). A fresh one counts
// as held: its maker may not have opened the device yet, or not written its number.
LockFileOutcome TakeLockFile(const std::string& path, const std::filesystem::path& device) {
  char content[16];
  const int length = std::snprintf(content, sizeof content, "%10d\n", static_cast<int>(::getpid()));
  LockFileOutcome outcome;
  const auto ending = [&outcome](LockFileResult result) {
    outcome.result = result;
    return outcome;
  };
  for (int attempt = 0; attempt < 2; ++attempt) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd >= 0) {
      const bool written = ::write(fd, content, static_cast<std::size_t>(length)) == length;
      ::close(fd);
      if (written) return ending(LockFileResult::Taken);
      ::unlink(path.c_str());
      return ending(LockFileResult::NotPossible);
    }
    if (errno != EEXIST) return ending(LockFileResult::NotPossible);
    struct stat file {};
    const std::string owner = ::stat(path.c_str(), &file) == 0 ? UserName(file.st_uid) : "nobody known";
    const pid_t holder = LockFileOwner(path);
    const bool fresh = IsFresh(path);
    if (holder <= 0 && fresh) {
      outcome.busyNote = "its lock file " + path + " is being made by another program";
      return ending(LockFileResult::HeldByOther);
    }
    const bool runs = holder > 0 && holder != ::getpid() && (::kill(holder, 0) == 0 || errno == EPERM);
    if (runs && (fresh || HoldsDevice(holder, device))) {
      outcome.busyNote = "its lock file " + path + " names process " + std::to_string(holder) + ", which runs";
      return ending(LockFileResult::HeldByOther);
    }
    const std::string whose = holder <= 0 ? std::string("naming no process")
                              : runs      ? "of process " + std::to_string(holder) + ", which does not hold the device"
                                          : "of process " + std::to_string(holder) + ", which has ended";
    const std::string stale = "a stale lock file " + path + " (owned by " + owner + ", " + whose + ")";
    if (::unlink(path.c_str()) != 0 && errno != ENOENT) {
      outcome.staleNote = stale + ", which this user cannot remove: the line is held by flock and exclusive use";
      return ending(LockFileResult::StaleKept);
    }
    outcome.staleNote = stale + ", removed";
  }
  // Another program made a new one between the removal and our attempt.
  outcome.busyNote = "another program took its lock file " + path + " at the same moment";
  return ending(LockFileResult::HeldByOther);
}

SerialOpenFailure FailureOf(int error) {
  switch (error) {
    case ENOENT:
    case ENOTDIR:
    case ENODEV:
    case ENXIO:
      return SerialOpenFailure::Missing;
    case EACCES:
    case EPERM:
      return SerialOpenFailure::NoPermission;
    case EBUSY:  // another program holds the terminal with TIOCEXCL
      return SerialOpenFailure::Busy;
    default:
      return SerialOpenFailure::Other;
  }
}

}  // namespace

// Named as the terminal programs name it; from the real path, so that a stable name
// under /dev/serial/by-id/ meets the same lock as the device's own name.
std::string SerialLockFilePath(const std::string& devicePath) {
  std::error_code error;
  std::string name = std::filesystem::canonical(devicePath, error).string();
  if (error) name = devicePath;
  if (name.starts_with("/dev/")) name.erase(0, 5);
  std::replace(name.begin(), name.end(), '/', '_');
  return std::string(kLockFileDirectory) + "/LCK.." + name;
}

SerialPort::~SerialPort() { Close(); }

bool SerialPort::Open(const std::string& devicePath) {
  Close();
  openFailure_ = SerialOpenFailure::None;
  staleLockNote_.clear();
  busyNote_.clear();
  fd_ = ::open(devicePath.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd_ < 0) {
    openFailure_ = FailureOf(errno);
    if (openFailure_ == SerialOpenFailure::Busy) busyNote_ = "another program holds it for exclusive use";
    return false;
  }
  // Anything but a terminal is no line to share; its settings will not read.
  if (::isatty(fd_) == 0) return true;
  const bool flockedElsewhere = ::flock(fd_, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK;
  const std::string lockFile = SerialLockFilePath(devicePath);
  LockFileOutcome lock;
  if (flockedElsewhere) {
    lock.result = LockFileResult::HeldByOther;
    lock.busyNote = "another program holds it locked (flock)";
  } else {
    std::error_code unresolved;
    const std::filesystem::path device = std::filesystem::canonical(devicePath, unresolved);
    lock = TakeLockFile(lockFile, unresolved ? std::filesystem::path(devicePath) : device);
  }
  staleLockNote_ = lock.staleNote;
  if (lock.result == LockFileResult::HeldByOther) {
    Close();
    openFailure_ = SerialOpenFailure::Busy;
    busyNote_ = lock.busyNote;
    errno = EBUSY;
    return false;
  }
  if (lock.result == LockFileResult::Taken) lockFilePath_ = lockFile;
  exclusive_ = ::ioctl(fd_, TIOCEXCL) == 0;
  return true;
}

bool SerialPort::RetrieveState() {
  stateRetrieved_ = fd_ >= 0 && ::tcgetattr(fd_, &state_) == 0;
  return stateRetrieved_;
}

bool SerialPort::ApplyExhibitSettings() {
  if (fd_ < 0 || !stateRetrieved_) return false;
  termios settings = state_;
  // Raw bytes: no echo, no line editing, no character translation. cfmakeraw leaves
  // VMIN at 1, so an empty non-blocking read reports EAGAIN rather than the 0 that
  // means the other end hung up.
  ::cfmakeraw(&settings);
  settings.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | CSTOPB);
  settings.c_cflag |= CS8 | CLOCAL | CREAD;
  settings.c_cc[VMIN] = 1;
  settings.c_cc[VTIME] = 0;
  if (::cfsetispeed(&settings, kPanelBaud) != 0 || ::cfsetospeed(&settings, kPanelBaud) != 0) {
    return false;
  }
  return ::tcsetattr(fd_, TCSANOW, &settings) == 0;
}

bool SerialPort::HasExhibitSettings() const {
  termios settings{};
  if (fd_ < 0 || ::tcgetattr(fd_, &settings) != 0) return false;
  return ::cfgetispeed(&settings) == kPanelBaud && ::cfgetospeed(&settings) == kPanelBaud &&
         (settings.c_cflag & CSIZE) == CS8 && (settings.c_cflag & (PARENB | CSTOPB)) == 0;
}

void SerialPort::DiscardInput() {
  if (fd_ >= 0) ::tcflush(fd_, TCIFLUSH);
}

void SerialPort::AbortOutput() {
  if (fd_ >= 0) ::tcflush(fd_, TCOFLUSH);
}

void SerialPort::Close() {
  // The lock file goes while the flock() still holds the line: the next opener, let in
  // by the flock(), must not find a lock file naming a process that is still running.
  if (!lockFilePath_.empty() && LockFileOwner(lockFilePath_) == ::getpid()) ::unlink(lockFilePath_.c_str());
  lockFilePath_.clear();
  if (fd_ >= 0) {
    // Exclusive use is the terminal's state, not the descriptor's: only the port that
    // set it ends it, never an opener that was refused the line.
    if (exclusive_) ::ioctl(fd_, TIOCNXCL);
    ::close(fd_);  // releases the flock()
  }
  fd_ = -1;
  exclusive_ = false;
  stateRetrieved_ = false;
}

LineStatus SerialPort::WriteSome(std::span<const std::uint8_t> bytes, std::size_t& written) {
  written = 0;
  if (fd_ < 0 || bytes.empty()) return LineStatus::Ok;
  const ssize_t n = ::write(fd_, bytes.data(), bytes.size());
  if (n >= 0) {
    written = static_cast<std::size_t>(n);
    return LineStatus::Ok;
  }
  if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) return LineStatus::Ok;
  return LineStatus::HungUp;
}

LineStatus SerialPort::ReadSome(std::span<std::uint8_t> buffer, std::size_t& received) {
  received = 0;
  if (fd_ < 0 || buffer.empty()) return LineStatus::Ok;
  const ssize_t n = ::read(fd_, buffer.data(), buffer.size());
  if (n > 0) {
    received = static_cast<std::size_t>(n);
    return LineStatus::Ok;
  }
  // With VMIN at 1 an empty line gives EAGAIN; 0 is end of file, the other end gone.
  if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) return LineStatus::Ok;
  return LineStatus::HungUp;
}

}  // namespace velmora
