// The panel's line is the exhibit's alone: a second opener is refused as busy, by
// whichever lock the other program took, and the line is free again once closed.

#include "platform/SerialPort.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <pty.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>

namespace velmora {
namespace {

// A pseudo-terminal; the exhibit opens its line end by path, as the panel's device.
struct Line {
  int panelFd = -1;
  int lineFd = -1;
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

bool WriteLockFile(const std::string& devicePath, pid_t owner) {
  std::ofstream file(SerialLockFilePath(devicePath), std::ios::trunc);
  char text[16];
  std::snprintf(text, sizeof text, "%10d\n", static_cast<int>(owner));
  return static_cast<bool>(file << text);
}

std::string ReadFile(const std::string& path) {
  std::ifstream file(path);
  return std::string(std::istreambuf_iterator<char>(file), {});
}

// The number of a process that has ended.
pid_t EndedProcess() {
  const pid_t child = fork();
  if (child == 0) _exit(0);
  waitpid(child, nullptr, 0);
  return child;
}

TEST(SerialPortTest, ALineHeldByAnyOfTheLocksIsRefusedAsBusyUntilReleased) {
  using Release = std::function<void()>;
  const struct {
    const char* holder;
    std::function<Release(const std::string& device)> hold;
  } holders[] = {
      {"another port of this program",
       [](const std::string& device) -> Release {
         auto first = std::make_shared<SerialPort>();
         EXPECT_TRUE(first->Open(device));
         return [first] { first->Close(); };
       }},
      {"a descriptor locked with flock()",
       [](const std::string& device) -> Release {
         const int fd = open(device.c_str(), O_RDWR | O_NOCTTY);
         EXPECT_EQ(flock(fd, LOCK_EX | LOCK_NB), 0);
         return [fd] { close(fd); };
       }},
      {"a lock file of a running process (the first)",
       [](const std::string& device) -> Release {
         EXPECT_TRUE(WriteLockFile(device, 1));
         return [device] { std::filesystem::remove(SerialLockFilePath(device)); };
       }},
  };
  for (const auto& h : holders) {
    SCOPED_TRACE(h.holder);
    Line line;
    const Release release = h.hold(line.path);
    SerialPort port;
    errno = 0;
    EXPECT_FALSE(port.Open(line.path));
    EXPECT_EQ(errno, EBUSY);
    EXPECT_EQ(port.OpenFailure(), SerialOpenFailure::Busy);
    EXPECT_FALSE(port.IsOpen());
    release();
    EXPECT_TRUE(port.Open(line.path));
    EXPECT_EQ(port.OpenFailure(), SerialOpenFailure::None);
  }
}

TEST(SerialPortTest, TheLockFileNamesThisProcessWhileOpenAndGoesWithClose) {
  Line line;
  const std::string lockFile = SerialLockFilePath(line.path);
  EXPECT_EQ(lockFile, "/var/lock/LCK.." + line.path.substr(5).replace(3, 1, "_"));
  // One left behind by a process that ended is taken over.
  ASSERT_TRUE(WriteLockFile(line.path, EndedProcess()));
  // Reached through a link, as a stable name under /dev/serial/by-id/.
  const std::string link = testing::TempDir() + "velmora-panel-link";
  std::filesystem::remove(link);
  std::filesystem::create_symlink(line.path, link);
  {
    SerialPort port;
    ASSERT_TRUE(port.Open(link));
    char expected[16];
    std::snprintf(expected, sizeof expected, "%10d\n", static_cast<int>(getpid()));
    EXPECT_EQ(ReadFile(lockFile), expected);
  }
  EXPECT_FALSE(std::filesystem::exists(lockFile));
  std::filesystem::remove(link);
}

TEST(SerialPortTest, MissingDevicesAreToldApartAndOtherFilesAreNotLocked) {
  SerialPort port;
  EXPECT_FALSE(port.Open("/dev/velmora-no-such-tty"));
  EXPECT_EQ(port.OpenFailure(), SerialOpenFailure::Missing);
  // Not a terminal: opens (its settings then fail to read) and takes no lock.
  SerialPort second;
  EXPECT_TRUE(port.Open("/dev/null"));
  EXPECT_TRUE(second.Open("/dev/null"));
  EXPECT_FALSE(second.RetrieveState());
}

}  // namespace
}  // namespace velmora
