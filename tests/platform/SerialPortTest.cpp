// The panel's line is the exhibit's alone: a second opener is refused as busy, by
// whichever lock the other program took, and the line is free again once closed.

#include "platform/SerialPort.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <pty.h>
#include <sys/file.h>
#include <sys/inotify.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

namespace velmora {
namespace {

// A pseudo-terminal; the exhibit opens its line end by path, as the panel's device.
struct Line {
  int panelFd = -1, lineFd = -1;
  std::string path;
  Line() {
    char name[256] = {};
    EXPECT_EQ(openpty(&panelFd, &lineFd, name, nullptr, nullptr), 0);
    path = name;
  }
  ~Line() {
    close(panelFd);
    close(lineFd);
  }
};

std::string LockFileText(pid_t owner) {
  char text[16];
  std::snprintf(text, sizeof text, "%10d\n", static_cast<int>(owner));
  return text;
}

TEST(SerialPortTest, ALineHeldByAnyOfTheLocksIsRefusedAsBusyUntilReleased) {
  using Step = std::function<void(const std::string& device)>;
  SerialPort otherPort;
  int flockedFd = -1;
  const struct {
    const char* holder;
    Step hold, release;
    int exclusive;  // the holder's exclusive mode of the terminal, which a refused opener must leave alone
  } holders[] = {
      {"another port of this program", [&](const auto& device) { EXPECT_TRUE(otherPort.Open(device)); },
       [&](const auto&) { otherPort.Close(); }, 1},
      {"flock() on another descriptor",
       [&](const auto& device) {
         flockedFd = open(device.c_str(), O_RDWR | O_NOCTTY);
         EXPECT_EQ(flock(flockedFd, LOCK_EX | LOCK_NB), 0);
       },
       [&](const auto&) { close(flockedFd); }, 0},
      {"a lock file of a running process (the first)",
       [](const auto& device) { std::ofstream(SerialLockFilePath(device)) << LockFileText(1); },
       [](const auto& device) { std::filesystem::remove(SerialLockFilePath(device)); }, 0},
  };
  for (const auto& h : holders) {
    SCOPED_TRACE(h.holder);
    Line line;
    h.hold(line.path);
    SerialPort port;
    errno = 0;
    EXPECT_FALSE(port.Open(line.path));
    EXPECT_EQ(errno, EBUSY);
    EXPECT_EQ(port.OpenFailure(), SerialOpenFailure::Busy);
    int exclusive = -1;
    EXPECT_EQ(ioctl(line.lineFd, TIOCGEXCL, &exclusive), 0);
    EXPECT_EQ(exclusive, h.exclusive);
    h.release(line.path);
    EXPECT_TRUE(port.Open(line.path));
  }
}

TEST(SerialPortTest, TheLockFileNamesThisProcessWhileOpenReplacesAStaleOneAndGoesWithClose) {
  Line line;
  const std::string lockFile = SerialLockFilePath(line.path);
  EXPECT_EQ(lockFile, "/var/lock/LCK.." + line.path.substr(5).replace(3, 1, "_"));  // LCK..pts_N
  const pid_t ended = fork();
  if (ended == 0) _exit(0);
  waitpid(ended, nullptr, 0);
  std::ofstream(lockFile) << LockFileText(ended);
  // Reached through a link, as a stable name under /dev/serial/by-id/ is.
  const std::string link = testing::TempDir() + "velmora-panel-link";
  std::filesystem::remove(link);
  std::filesystem::create_symlink(line.path, link);
  // The lock file goes before the line is let go: the next opener, let in by flock(),
  // must not find it naming this running process. Closing a descriptor opened for
  // writing is an event of the device's own, queued in order with the file's removal.
  const int events = inotify_init1(IN_CLOEXEC);
  ASSERT_GE(events, 0);
  int lockFolder = -1, device = -1;
  {
    SerialPort port;
    ASSERT_TRUE(port.Open(link));
    std::ostringstream text;
    text << std::ifstream(lockFile).rdbuf();
    EXPECT_EQ(text.str(), LockFileText(getpid()));
    lockFolder = inotify_add_watch(events, "/var/lock/", IN_DELETE);
    device = inotify_add_watch(events, line.path.c_str(), IN_CLOSE_WRITE);
  }
  EXPECT_FALSE(std::filesystem::exists(lockFile));
  std::vector<std::string> order;
  alignas(inotify_event) char buffer[4096];
  const ssize_t length = read(events, buffer, sizeof buffer);
  for (ssize_t at = 0; at < length;) {
    const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
    if (event->wd == device) order.push_back("line closed");
    if (event->wd == lockFolder && lockFile.ends_with(std::string("/") + event->name)) order.push_back("lock file removed");
    at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
  }
  close(events);
  EXPECT_EQ(order, (std::vector<std::string>{"lock file removed", "line closed"}));
  std::filesystem::remove(link);
}

// A lock file stands for a running process: one whose process has ended is stale
// whoever owns it, while an empty one may still be being written by its maker.
TEST(SerialPortTest, AStaleLockFileIsNoHolderWhoeverOwnsItButAFreshEmptyOneIs) {
  const pid_t ended = fork();
  if (ended == 0) _exit(0);
  waitpid(ended, nullptr, 0);
  const struct {
    const char* what;
    std::string content;
    int ageSeconds;
    bool opens;
    const char* note;  // in the stale note when it opens, else in the busy note
    bool heldOpen = false;  // the file names a process that has the line open, as a terminal program's does
  } cases[] = {
      {"empty, just made", "", 0, false, "being made by another program"},
      {"empty, left long ago", "", 60, true, "naming no process), removed"},
      {"of an ended process", LockFileText(ended), 0, true, "which has ended), removed"},
      // A process number taken again by a process that has not the device open.
      {"of a running process without the device, long ago", LockFileText(1), 60, true, "does not hold the device"},
      {"of a running process with the device open, long ago", "", 60, false, "which runs", true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Line line;
    const std::string lockFile = SerialLockFilePath(line.path);
    pid_t holder = -1;
    if (c.heldOpen) {
      int opened[2];
      ASSERT_EQ(pipe(opened), 0);
      holder = fork();
      if (holder == 0) {
        const bool held = open(line.path.c_str(), O_RDWR | O_NOCTTY) >= 0;
        [[maybe_unused]] const ssize_t told = write(opened[1], &held, 1);
        pause();
      }
      bool held = false;
      ASSERT_EQ(read(opened[0], &held, 1), 1);
      ASSERT_TRUE(held);
      close(opened[0]);
      close(opened[1]);
    }
    std::ofstream(lockFile) << (holder > 0 ? LockFileText(holder) : c.content);
    const timespec times[2] = {{time(nullptr) - c.ageSeconds, 0}, {time(nullptr) - c.ageSeconds, 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, lockFile.c_str(), times, 0), 0);
    SerialPort port;
    EXPECT_EQ(port.Open(line.path), c.opens);
    const std::string& note = c.opens ? port.StaleLockFileNote() : port.BusyNote();
    EXPECT_NE(note.find(c.note), std::string::npos) << note;
    port.Close();
    std::filesystem::remove(lockFile);
    if (holder > 0) {
      kill(holder, SIGKILL);
      waitpid(holder, nullptr, 0);
    }
  }

  // Another user's, which cannot be removed, is met by a second user in
  // tests/e2e/self_test_run_test.py.
}

TEST(SerialPortTest, AMissingDeviceIsToldApartAndFilesThatAreNoTerminalAreNotLocked) {
  SerialPort port, second;
  EXPECT_FALSE(port.Open("/dev/velmora-no-such-tty"));
  EXPECT_EQ(port.OpenFailure(), SerialOpenFailure::Missing);
  EXPECT_TRUE(port.Open("/dev/null"));
  EXPECT_TRUE(second.Open("/dev/null"));
}

}  // namespace
}  // namespace velmora
