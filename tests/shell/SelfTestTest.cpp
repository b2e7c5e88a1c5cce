#include "shell/SelfTest.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "platform/Clock.h"
#include "platform/SerialPort.h"
#include "shell/CommandLine.h"
#include "shell/ExhibitOptions.h"
#include "shell/MidiDevice.h"

namespace velmora {
namespace {

// Only ever a bound on waiting for bytes on their way through a pseudo-terminal.
constexpr int kArrivalLimitMs = 2000;

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

enum class Outcome { Pass, Fail, Skip };

class FakeProbes final : public SelfTestProbes {
public:
  explicit FakeProbes(std::vector<Outcome> outcomes) : results(std::move(outcomes)) {}
  CheckResult CheckDisplay(const ExhibitOptions&) override { return Result("display", 0); }
  CheckResult CheckMidiOutput(const ExhibitOptions&) override { return Result("MIDI output", 1); }
  CheckResult CheckPanel(const ExhibitOptions&) override { return Result("panel", 2); }
  std::vector<std::string> asked;

private:
  CheckResult Result(const std::string& name, std::size_t index) {
    asked.push_back(name);
    switch (results[index]) {
      case Outcome::Pass:
        return CheckResult{name, true, "fine", {}};
      case Outcome::Fail:
        return CheckResult{name, false, "broken", "mend it"};
      case Outcome::Skip:
        return CheckResult{name, false, "left out", {}, true};
    }
    return {};
  }
  std::vector<Outcome> results;
};

TEST(SelfTestTest, EveryCheckGetsOneLineAndOnlyAllPassingOrSkippedExitsZero) {
  using enum Outcome;
  struct Case {
    std::vector<Outcome> outcomes;
    int exitCode;
    std::string summary;
  };
  const Case cases[] = {
      {{Pass, Pass, Pass}, kSelfTestPassedExitCode, "All 3 checks passed:"},
      {{Fail, Pass, Pass}, kSelfTestFailedExitCode, "1 of 3 checks failed."},
      {{Pass, Fail, Pass}, kSelfTestFailedExitCode, "1 of 3 checks failed."},
      {{Pass, Pass, Fail}, kSelfTestFailedExitCode, "1 of 3 checks failed."},
      {{Fail, Fail, Fail}, kSelfTestFailedExitCode, "3 of 3 checks failed."},
      {{Pass, Pass, Skip}, kSelfTestPassedExitCode, "All 2 checks passed, 1 skipped:"},
      {{Pass, Fail, Skip}, kSelfTestFailedExitCode, "1 of 2 checks failed, 1 skipped."},
  };
  const std::string names[] = {"display", "MIDI output", "panel"};
  for (const Case& c : cases) {
    FakeProbes probes(c.outcomes);
    std::ostringstream out;
    EXPECT_EQ(RunSelfTest(ExhibitOptions{}, probes, out), c.exitCode);
    EXPECT_EQ(probes.asked, (std::vector<std::string>{"display", "MIDI output", "panel"}));
    const std::vector<std::string> lines = Lines(out.str());
    ASSERT_EQ(lines.size(), 4u) << out.str();
    for (std::size_t i = 0; i < 3; ++i) {
      const std::string expected[] = {"PASS " + names[i] + ": fine", "FAIL " + names[i] + ": broken. To fix: mend it",
                                      "SKIP " + names[i] + ": left out"};
      EXPECT_EQ(lines[i], expected[static_cast<std::size_t>(c.outcomes[i])]);
    }
    EXPECT_TRUE(Contains(lines[3], c.summary)) << lines[3];
  }
}

// The panel at the far end of a pseudo-terminal, answering through the clock: the
// check's first wait reads the poll and sends `reply`, and returns once the bytes are
// in the line's input queue, so nothing depends on how fast the machine is.
class PanelClock final : public Clock {
public:
  PanelClock(int panelEnd, int lineEnd, std::vector<std::uint8_t> answer)
      : panelFd(panelEnd), lineFd(lineEnd), reply(std::move(answer)) {}
  std::uint32_t TickCount() override { return nowMs; }
  void Sleep(std::uint32_t ms) override {
    nowMs += ms;
    if (answered) return;
    answered = true;
    pollfd p{panelFd, POLLIN, 0};
    if (poll(&p, 1, kArrivalLimitMs) > 0) {
      std::uint8_t buffer[64];
      const ssize_t n = read(panelFd, buffer, sizeof buffer);
      if (n > 0) received.assign(buffer, buffer + n);
    }
    if (reply.empty()) return;
    if (write(panelFd, reply.data(), reply.size()) != static_cast<ssize_t>(reply.size())) return;
    const auto limit = std::chrono::steady_clock::now() + std::chrono::milliseconds(kArrivalLimitMs);
    int queued = 0;
    do {
      ioctl(lineFd, FIONREAD, &queued);
    } while (queued < static_cast<int>(reply.size()) && std::chrono::steady_clock::now() < limit);
  }
  std::uint32_t nowMs = 5000;
  std::vector<std::uint8_t> received;

private:
  int panelFd;
  int lineFd;
  std::vector<std::uint8_t> reply;
  bool answered = false;
};

class SelfTestPanelTest : public ::testing::Test {
protected:
  void SetUp() override {
    char name[256] = {};
    ASSERT_EQ(openpty(&panelFd, &lineFd, name, nullptr, nullptr), 0);
    device = name;
  }
  void TearDown() override {
    close(panelFd);
    close(lineFd);
  }
  int panelFd = -1;
  int lineFd = -1;
  std::string device;
};

TEST_F(SelfTestPanelTest, PanelCheckReportsWhatCameBackFromThePoll) {
  struct Case {
    bool poll;
    std::vector<std::uint8_t> reply;
    bool passed;
    std::string detail;
  };
  const Case cases[] = {
      {false, {}, true, "9600 baud 8N1 set and read back (not polled"},
      {true, {0, 1, 15, 6, 6, 6, 7, 6, 0xfa}, true, "the poll \"g\" got the reply 00 01 0f 06 06 06 07 06 fa"},
      {true, {0, 1, 15, 6}, false, "only 4 of 9 reply bytes within 500 ms: 00 01 0f 06"},
      {true, {}, false, "no reply to the poll \"g\" within 500 ms"},
  };
  for (const Case& c : cases) {
    PanelClock clock(panelFd, lineFd, c.reply);
    ExhibitOptions options;
    options.panelDevice = device;
    options.panelPoll = c.poll;
    const CheckResult result = SystemProbes(clock).CheckPanel(options);
    EXPECT_EQ(result.passed, c.passed) << FormatCheck(result);
    EXPECT_TRUE(Contains(result.detail, device)) << result.detail;
    EXPECT_TRUE(Contains(result.detail, c.detail)) << result.detail;
    EXPECT_EQ(result.remedy.empty(), c.passed);
    if (c.poll) {
      EXPECT_EQ(clock.received, std::vector<std::uint8_t>{'g'});
      EXPECT_LE(clock.nowMs - 5000, 500u + 5u) << "gives up after about half a second";
    }
  }
}

TEST_F(SelfTestPanelTest, PanelDevicesThatCannotServeNameTheDeviceAndWhatToDo) {
  // The exhibit holds the line, with a reply of its panel waiting to be read.
  SerialPort exhibitPort;
  ASSERT_TRUE(exhibitPort.Open(device));
  ASSERT_TRUE(exhibitPort.RetrieveState() && exhibitPort.ApplyExhibitSettings());
  const std::uint8_t reply[] = {0, 0, 15, 6, 6, 6, 7, 6, 6};
  ASSERT_EQ(write(panelFd, reply, sizeof reply), static_cast<ssize_t>(sizeof reply));
  const auto limit = std::chrono::steady_clock::now() + std::chrono::milliseconds(kArrivalLimitMs);
  int queued = 0;
  do {
    ioctl(lineFd, FIONREAD, &queued);
  } while (queued < static_cast<int>(sizeof reply) && std::chrono::steady_clock::now() < limit);
  struct Case {
    std::string device;
    std::string detail;
    std::string remedy;
  };
  const Case cases[] = {
      {"/dev/velmora-no-such-tty", "cannot open /dev/velmora-no-such-tty (No such file or directory)", "--panel"},
      {"/dev/null", "/dev/null is not a serial line", "--panel"},
      {device, device + " is in use by another program", "systemctl --user stop velmora"},
  };
  SystemClock clock;
  for (const Case& c : cases) {
    ExhibitOptions options;
    options.panelDevice = c.device;
    options.panelPoll = true;
    const CheckResult result = SystemProbes(clock).CheckPanel(options);
    EXPECT_FALSE(result.passed);
    EXPECT_TRUE(Contains(result.detail, c.detail)) << result.detail;
    EXPECT_TRUE(Contains(result.remedy, c.remedy)) << result.remedy;
    EXPECT_TRUE(FormatCheck(result).starts_with("FAIL panel: " + c.detail)) << FormatCheck(result);
    EXPECT_TRUE(Contains(FormatCheck(result), ". To fix: ")) << FormatCheck(result);
  }
  // The check neither polled the exhibit's panel nor took or flushed its reply.
  pollfd polled{panelFd, POLLIN, 0};
  EXPECT_EQ(poll(&polled, 1, 0), 0);
  std::uint8_t received[sizeof reply] = {};
  std::size_t count = 0;
  EXPECT_EQ(exhibitPort.ReadSome(received, count), LineStatus::Ok);
  EXPECT_EQ(count, sizeof reply);
}

TEST(SelfTestCheckTest, NoPanelIsSkippedNotFailed) {
  SystemClock clock;
  ExhibitOptions options;
  options.panelDevice = "none";
  options.panelPoll = true;
  const CheckResult result = SystemProbes(clock).CheckPanel(options);
  EXPECT_TRUE(result.skipped);
  EXPECT_TRUE(FormatCheck(result).starts_with("SKIP panel: none chosen (--panel none)")) << FormatCheck(result);
}

using Sent = std::vector<std::pair<std::uint32_t, std::uint32_t>>;

class FixedClock final : public Clock {
public:
  std::uint32_t TickCount() override { return nowMs; }
  void Sleep(std::uint32_t ms) override { nowMs += ms; }
  std::uint32_t nowMs = 1000;
};

// Every MIDI message with the clock's tick at which it arrived.
class TimedOutput final : public MidiOutput {
public:
  TimedOutput(Clock& timeClock, Sent& record) : clock(timeClock), sent(record) {}
  MidiSendResult ShortMessage(std::uint32_t message) override {
    sent.emplace_back(clock.TickCount(), message);
    return MidiSendResult::Accepted;
  }
  Clock& clock;
  Sent& sent;
};

TEST(SelfTestCheckTest, MidiCheckOpensAsTheExhibitDoesAndPlaysTheTestNoteOnlyWhenAsked) {
  FixedClock clock;
  Sent sent;
  struct Case {
    bool testNote;
    std::vector<std::pair<std::uint32_t, std::uint32_t>> messages;
  };
  const Case cases[] = {
      {false, {}},
      // Marimba, middle C on at velocity 100, off 300 ms later.
      {true, {{1000, 0x0CC0u}, {1000, 0x643C90u}, {1300, 0x003C80u}}},
  };
  for (const Case& c : cases) {
    sent.clear();
    clock.nowMs = 1000;
    SystemProbes probes(clock, [&](std::string&) { return std::make_unique<TimedOutput>(clock, sent); });
    ExhibitOptions options;
    options.testNote = c.testNote;
    const CheckResult result = probes.CheckMidiOutput(options);
    EXPECT_TRUE(result.passed) << FormatCheck(result);
    EXPECT_EQ(sent, c.messages);
    EXPECT_EQ(Contains(result.detail, "test note"), c.testNote) << result.detail;
  }

  SystemProbes failing(clock, [](std::string& error) {
    error = "no such port";
    return std::unique_ptr<MidiOutput>();
  });
  ExhibitOptions options;
  const CheckResult failed = failing.CheckMidiOutput(options);
  EXPECT_FALSE(failed.passed);
  EXPECT_TRUE(Contains(failed.detail, "no such port")) << failed.detail;
  EXPECT_TRUE(Contains(failed.remedy, "--soundfont")) << failed.remedy;

  options.midiOut = "port:Nowhere";
  const CheckResult failedPort = failing.CheckMidiOutput(options);
  EXPECT_TRUE(Contains(failedPort.remedy, "--list-midi-ports")) << failedPort.remedy;

  ExhibitOptions silent;
  silent.midiOut = "none";
  const CheckResult none = SystemProbes(clock).CheckMidiOutput(silent);
  EXPECT_TRUE(none.passed);
  EXPECT_TRUE(Contains(none.detail, "silent")) << none.detail;
}

TEST(SelfTestCheckTest, DisplayWithoutAScreenFailsUnlessTheRunIsHeadless) {
  // SDL's no-display driver stands for a machine without a graphical session.
  ::setenv("SDL_VIDEODRIVER", "dummy", 1);
  ExhibitOptions options;
  SystemClock clock;
  const CheckResult screenless = SystemProbes(clock).CheckDisplay(options);
  EXPECT_FALSE(screenless.passed);
  EXPECT_TRUE(Contains(screenless.detail, "'dummy'")) << screenless.detail;
  EXPECT_TRUE(Contains(screenless.remedy, "graphical session")) << screenless.remedy;
  EXPECT_TRUE(Contains(screenless.remedy, "--headless")) << screenless.remedy;

  options.headless = true;
  const CheckResult headless = SystemProbes(clock).CheckDisplay(options);
  ::unsetenv("SDL_VIDEODRIVER");
  EXPECT_TRUE(headless.passed) << FormatCheck(headless);
  EXPECT_TRUE(Contains(headless.detail, "'dummy'")) << headless.detail;
}

}  // namespace
}  // namespace velmora
