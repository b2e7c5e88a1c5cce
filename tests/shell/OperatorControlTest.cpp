#include "shell/OperatorControl.h"

#include <gtest/gtest.h>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>

#include "shell/CommandLine.h"
#include "tests/support/FakeClock.h"

namespace velmora {
namespace {

ExhibitOptions OptionsFrom(std::vector<std::string> arguments) {
  const CommandLine line = ParseCommandLine(arguments);
  EXPECT_EQ(line.action, CommandLineAction::Run) << line.error;
  return line.options;
}

TEST(OperatorControlTest, ScriptedKeysComeBeforeTheirFrameInScriptOrder) {
  testing::FakeClock clock;  // read only for the service manager's keep-alives
  const ExhibitOptions options = OptionsFrom({"--keys", "3:1 2:F1 3:1 3:Q"});
  OperatorControl control(options, clock, nullptr, nullptr);
  std::vector<VirtualKey> keys;
  control.KeysBeforeFrame(1, keys);
  EXPECT_TRUE(keys.empty());
  control.KeysBeforeFrame(3, keys);
  EXPECT_EQ(keys, (std::vector<VirtualKey>{'1', '1', 'Q'}));
}

TEST(OperatorControlTest, RunEndsAtTheFrameLimitOrOnAStopSignal) {
  testing::FakeClock clock;  // read only for the service manager's keep-alives
  const ExhibitOptions limited = OptionsFrom({"--frames", "5"});
  OperatorControl control(limited, clock, nullptr, [] { return false; });
  EXPECT_FALSE(control.EndRequested(4));
  EXPECT_TRUE(control.EndRequested(5));

  const ExhibitOptions unlimited = OptionsFrom({});
  bool signalled = false;
  OperatorControl stoppable(unlimited, clock, nullptr, [&signalled] { return signalled; });
  EXPECT_FALSE(stoppable.EndRequested(1'000'000));
  signalled = true;
  EXPECT_TRUE(stoppable.EndRequested(0));
}

TEST(OperatorControlTest, ScreenshotsAreTakenAfterTheirFramesOnly) {
  testing::FakeClock clock;  // read only for the service manager's keep-alives
  const ExhibitOptions options = OptionsFrom({"--screenshot", "2:a.png", "--screenshot", "2:b.png",
                                              "--screenshot", "4:c.png"});
  std::vector<std::string> saved;
  OperatorControl control(options, clock, [&saved](const std::string& path) {
    saved.push_back(path);
    return true;
  }, nullptr);
  for (std::int64_t frame = 1; frame <= 3; ++frame) control.FrameDone(frame, FrameReport{});
  EXPECT_EQ(saved, (std::vector<std::string>{"a.png", "b.png"}));
}

TEST(OperatorControlTest, TheServiceManagerHearsReadyAfterTheFirstFrameThenKeepAlives) {
  // The service manager's end: a datagram socket in the test's temporary folder.
  const std::string path = ::testing::TempDir() + "velmora_control_notify_" + std::to_string(::getpid());
  const int manager = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_NONBLOCK, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  path.copy(address.sun_path, sizeof address.sun_path - 1);
  ASSERT_EQ(::bind(manager, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);

  testing::FakeClock clock(1000);
  ServiceNotifier notifier(path, "1000000", "");  // keep-alives every 500 ms
  const ExhibitOptions options = OptionsFrom({});
  OperatorControl control(options, clock, nullptr, nullptr);
  control.NotifyService(&notifier);
  std::vector<std::string> received;
  for (std::int64_t frame = 1; frame <= 60; ++frame) {  // 1.2 s of 20 ms frames
    control.FrameDone(frame, FrameReport{});
    clock.Sleep(20);
    char buffer[64];
    for (ssize_t n; (n = ::recv(manager, buffer, sizeof buffer, 0)) > 0;) {
      received.push_back(std::to_string(frame) + " " + std::string(buffer, static_cast<std::size_t>(n)));
    }
  }
  ::close(manager);
  ::unlink(path.c_str());
  EXPECT_EQ(received, (std::vector<std::string>{"1 READY=1", "26 WATCHDOG=1", "51 WATCHDOG=1"}));
}

TEST(OperatorControlTest, RecordedPressesAreWrittenInTheKeyScriptFormat) {
  testing::FakeClock clock;  // read only for the service manager's keep-alives
  const std::string path = ::testing::TempDir() + "velmora_recorded_keys.txt";
  const ExhibitOptions options = OptionsFrom({"--record-keys", path});
  OperatorControl control(options, clock, nullptr, nullptr);
  control.KeyPressed('1', 10);
  control.KeyPressed(VK_F1, 12);
  control.KeyPressed(VK_ESCAPE, 40);
  ASSERT_TRUE(control.Finish());
  std::ifstream in(path);
  std::stringstream written;
  written << in.rdbuf();
  std::remove(path.c_str());
  EXPECT_EQ(written.str(), "10:1\n12:F1\n40:Esc\n");
}

}  // namespace
}  // namespace velmora
