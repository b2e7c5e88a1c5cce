#include "shell/PanelLink.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "model/Defaults.h"
#include "model/SpeedRule.h"
#include "model/Synapse.h"
#include "shell/Exhibit.h"
#include "tests/support/TestExhibit.h"

namespace velmora {
namespace {

using Bytes = std::vector<std::uint8_t>;
using Reply = std::array<std::uint8_t, kReplyBytes>;
using testing::TestExhibit;

const Bytes kStatusPacket = {'s', 15, 6, 6, 6, 7, 6, 6};
const Bytes kPoll = {'g'};
// Only ever a bound on waiting for bytes that are on their way through the
// pseudo-terminal, never a measured duration.
constexpr int kArrivalLimitMs = 2000;

constexpr std::uint32_t kStartMs = 100000;

Bytes Concat(std::initializer_list<Bytes> parts) {
  Bytes all;
  for (const Bytes& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

// The panel's end of a pseudo-terminal; the exhibit opens the other end by its path.
class PanelLinkTest : public ::testing::Test {
protected:
  void SetUp() override {
    char name[256] = {};
    ASSERT_EQ(openpty(&panelFd, &lineFd, name, nullptr, nullptr), 0);
    fcntl(panelFd, F_SETFL, fcntl(panelFd, F_GETFL) | O_NONBLOCK);
    options.panelDevice = name;
    test = std::make_unique<TestExhibit>(kStartMs, options);
    exhibit().OpenPanelPort();
    exhibit().ResetToDefaults();
  }

  void TearDown() override {
    test.reset();  // the exhibit's shutdown closes the port
    if (panelFd >= 0) close(panelFd);
    close(lineFd);
  }

  Exhibit& exhibit() { return test->exhibit; }
  const PanelLinkState& link() { return test->exhibit.GetPanelLink().State(); }
  const VisitorParameters& parameters() { return test->exhibit.Parameters(); }
  Model& model() { return test->exhibit.Network(); }
  void Refresh() { exhibit().PanelTimerTick(); }
  void ApplyPanelReply() { exhibit().ApplyPanelReply(); }
  void ResetToDefaults() { exhibit().ResetToDefaults(); }

  // Everything the exhibit sent, once `count` bytes are there or nothing more comes.
  Bytes PanelReceives(std::size_t count) {
    Bytes got;
    const auto limit = std::chrono::steady_clock::now() + std::chrono::milliseconds(kArrivalLimitMs);
    while (got.size() < count && std::chrono::steady_clock::now() < limit) {
      pollfd p{panelFd, POLLIN, 0};
      if (poll(&p, 1, 10) <= 0) continue;
      std::uint8_t buffer[256];
      const ssize_t n = read(panelFd, buffer, sizeof buffer);
      if (n > 0) got.insert(got.end(), buffer, buffer + n);
    }
    return got;
  }

  // Nothing at all waiting from the exhibit, after giving stray bytes a moment.
  Bytes PanelReceivesAnythingElse() {
    Bytes got;
    pollfd p{panelFd, POLLIN, 0};
    while (poll(&p, 1, 50) > 0) {
      std::uint8_t buffer[256];
      const ssize_t n = read(panelFd, buffer, sizeof buffer);
      if (n <= 0) break;
      got.insert(got.end(), buffer, buffer + n);
    }
    return got;
  }

  // Sends bytes and waits until they are in the exhibit's input queue.
  void PanelSends(const Bytes& bytes) {
    int before = 0;
    ioctl(lineFd, FIONREAD, &before);
    ASSERT_EQ(write(panelFd, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    const auto limit = std::chrono::steady_clock::now() + std::chrono::milliseconds(kArrivalLimitMs);
    int queued = 0;
    do {
      ioctl(lineFd, FIONREAD, &queued);
    } while (queued < before + static_cast<int>(bytes.size()) && std::chrono::steady_clock::now() < limit);
    ASSERT_GE(queued, before + static_cast<int>(bytes.size()));
  }

  void PollAndAnswer(const Reply& reply) {
    Refresh();
    ASSERT_EQ(PanelReceives(1), kPoll);
    PanelSends(Bytes(reply.begin(), reply.end()));
    ApplyPanelReply();
    ASSERT_FALSE(link().replyExpected);
  }

  ExhibitOptions options;
  std::unique_ptr<TestExhibit> test;
  int panelFd = -1;
  int lineFd = -1;
};

TEST_F(PanelLinkTest, WithoutPollsThePanelGetsOnlyAStatusPacketAtOpenAndAfterEachReset) {
  EXPECT_EQ(PanelReceives(16), Concat({kStatusPacket, kStatusPacket}));
  for (int frame = 0; frame < 5; ++frame) ApplyPanelReply();
  ResetToDefaults();
  EXPECT_EQ(PanelReceives(8), kStatusPacket);
  EXPECT_TRUE(PanelReceivesAnythingElse().empty());
  EXPECT_TRUE(test->boxes.shown.empty());
}

TEST_F(PanelLinkTest, TheStartUpResetBeforeThePortOpensAddsNoPacketToTheOpeningOne) {
  PanelReceives(16);
  test = std::make_unique<TestExhibit>(kStartMs, options);  // the start-up's order
  exhibit().ResetToDefaults();
  exhibit().OpenPanelPort();
  for (int frame = 0; frame < 3; ++frame) ApplyPanelReply();
  EXPECT_EQ(PanelReceives(16), kStatusPacket);
}

TEST_F(PanelLinkTest, RepliesAreTakenInSignExtendedAndUnlimited) {
  PanelReceives(16);
  struct Case {
    Reply reply;
    std::array<std::int32_t, 6> params;
    float speed;
  };
  const Case cases[] = {
      {{0, 0, 40, 0xFD, 6, 6, 7, 6, 6}, {-3, 6, 6, 7, 6, 6}, 40.0f},
      {{0, 0, 0x80, 0x7F, 0xFF, 0x80, 0, 1, 20}, {127, -1, -128, 0, 1, 20}, -128.0f},
      {{0, 0, 30, 20, 20, 20, 20, 20, 20}, {20, 20, 20, 20, 20, 20}, 30.0f},
  };
  for (const Case& c : cases) {
    PollAndAnswer(c.reply);
    EXPECT_EQ(parameters().weights, c.params);
    EXPECT_EQ(parameters().speedSetting, c.speed);
    EXPECT_EQ(parameters().stepFactor, StepFactorForSpeed(c.speed));
    EXPECT_EQ(model().step, parameters().stepFactor);
    EXPECT_EQ(model().weightSynapses[0]->weight, static_cast<float>(c.params[0]));
  }
}

TEST_F(PanelLinkTest, AStimulusFiresOnlyWhenItsButtonChangesToPressed) {
  PanelReceives(16);
  // Past the model's minimum interval between two stimuli of one input.
  auto advanceTenMs = [this] {
    const double until = model().time + 10.0;
    while (model().time < until) model().Advance();
  };
  PollAndAnswer({1, 0, 15, 6, 6, 6, 7, 6, 6});
  EXPECT_EQ(model().lastStimulusTimes[0], static_cast<float>(model().time));
  EXPECT_EQ(model().lastStimulusTimes[1], -10.0f);

  advanceTenMs();
  const float first = model().lastStimulusTimes[0];
  PollAndAnswer({1, 0, 15, 6, 6, 6, 7, 6, 6});  // still held
  EXPECT_EQ(model().lastStimulusTimes[0], first);

  PollAndAnswer({0, 2, 15, 6, 6, 6, 7, 6, 6});  // first released, second pressed
  EXPECT_EQ(model().lastStimulusTimes[0], first);
  EXPECT_EQ(model().lastStimulusTimes[1], static_cast<float>(model().time));

  // Any change of the reply fires every button held down: the second one again.
  advanceTenMs();
  PollAndAnswer({1, 2, 15, 6, 6, 6, 7, 6, 6});
  EXPECT_EQ(model().lastStimulusTimes[0], static_cast<float>(model().time));
  EXPECT_EQ(model().lastStimulusTimes[1], static_cast<float>(model().time));
}

// The panel and the screen never disagree: a reply that says nothing new leaves what
// a key set, and the key's change goes to the panel as a status packet.
TEST_F(PanelLinkTest, AnIdenticalReplyLeavesTheKeysChangesAndTheKeysChangesReachThePanel) {
  PanelReceives(16);
  const Reply reply = {0, 0, 20, 9, 6, 6, 7, 6, 6};
  PollAndAnswer(reply);
  EXPECT_FALSE(exhibit().IdleResetDone());

  ResetToDefaults();
  PanelReceives(8);
  exhibit().Apply({VisitorActionKind::RaiseWeight, 1}, monitoring::InteractionSource::Keyboard);
  ApplyPanelReply();  // the frame's start tells the panel
  EXPECT_EQ(PanelReceives(8), (Bytes{'s', 15, 6, 7, 6, 7, 6, 6}));
  PollAndAnswer(reply);
  EXPECT_EQ(parameters().weights, (std::array<std::int32_t, 6>{6, 7, 6, 7, 6, 6}));
  EXPECT_EQ(parameters().speedSetting, defaultSpeedSetting);
  EXPECT_EQ(model().step, StepFactorForSpeed(defaultSpeedSetting));
  EXPECT_EQ(model().weightSynapses[1]->weight, 7.0f);
}

// What a visitor did on the panel is counted, once: a button when it goes down (not
// when it comes up), each knob turned, nothing for the first reply (which is compared
// with nothing) nor for a knob that only follows what the screen told it. Every
// changed reply still wakes the exhibit.
TEST_F(PanelLinkTest, PanelInteractionsCountWhatAVisitorDid) {
  PanelReceives(16);
  const auto panelCount = [this] { return exhibit().Status().interactions[1]; };
  struct Step {
    Reply reply;
    std::uint64_t counted;  // interactions counted for this reply
    bool wakes;             // the exhibit reacts: idle time restarted, labelled picture
    const char* what;
  };
  const Step steps[] = {
      {{0, 0, 15, 6, 6, 6, 7, 6, 6}, 0, true, "the first reply"},
      {{1, 0, 15, 6, 6, 6, 7, 6, 6}, 1, true, "button 1 pressed"},
      {{0, 0, 15, 6, 6, 6, 7, 6, 6}, 0, true, "button 1 released"},
      {{0, 0, 16, 8, 6, 6, 7, 6, 6}, 2, true, "the speed knob and knob 1 turned together"},
      {{0, 0, 16, 8, 6, 6, 7, 6, 6}, 0, false, "nothing changed"},
  };
  for (const Step& step : steps) {
    ResetToDefaults();  // so that a reaction shows as a wake-up
    PanelReceives(8);
    const std::uint64_t before = panelCount();
    PollAndAnswer(step.reply);
    EXPECT_EQ(panelCount() - before, step.counted) << step.what;
    EXPECT_EQ(!exhibit().IdleResetDone(), step.wakes) << step.what;
  }

  // A key moves weight 2; the panel takes the status packet and answers with it.
  exhibit().Apply({VisitorActionKind::RaiseWeight, 1}, monitoring::InteractionSource::Keyboard);
  ApplyPanelReply();
  PanelReceives(8);
  const std::uint64_t before = panelCount();
  PollAndAnswer({0, 0, 16, 8, 7, 6, 7, 6, 6});
  EXPECT_EQ(panelCount(), before) << "a knob following the screen is no visitor's";
}

TEST_F(PanelLinkTest, AReplyArrivingInPiecesIsTakenInOnceComplete) {
  PanelReceives(16);
  Refresh();
  ASSERT_EQ(PanelReceives(1), kPoll);
  PanelSends({0, 0, 25, 1});
  ApplyPanelReply();
  EXPECT_EQ(link().replyExpected, true);
  EXPECT_EQ(parameters().weights[0], 6);
  PanelSends({2, 3});
  ApplyPanelReply();
  EXPECT_EQ(link().replyExpected, true);
  PanelSends({4, 5, 6});
  ApplyPanelReply();
  EXPECT_EQ(link().replyExpected, false);
  EXPECT_EQ(parameters().weights, (std::array<std::int32_t, 6>{1, 2, 3, 4, 5, 6}));
  EXPECT_EQ(parameters().speedSetting, 25.0f);
}

TEST_F(PanelLinkTest, StrayBytesBeforeAPollDoNotShiftItsReply) {
  PanelReceives(16);
  PanelSends({0x55, 0xAA, 3});
  PollAndAnswer({0, 0, 10, 1, 2, 3, 4, 5, 6});
  EXPECT_EQ(parameters().weights, (std::array<std::int32_t, 6>{1, 2, 3, 4, 5, 6}));
  EXPECT_EQ(parameters().speedSetting, 10.0f);
}

TEST_F(PanelLinkTest, TicksDoNotPollOverAnOutstandingReadUntilItIsGivenUp) {
  PanelReceives(16);
  for (int tick = 0; tick < 5; ++tick) Refresh();
  EXPECT_EQ(PanelReceivesAnythingElse(), kPoll);
  Refresh();  // half a second without a complete reply: poll afresh
  EXPECT_EQ(PanelReceives(1), kPoll);
  PanelSends({0, 0, 12, 1, 1, 1, 1, 1, 1});
  ApplyPanelReply();
  EXPECT_EQ(parameters().speedSetting, 12.0f);
}

TEST_F(PanelLinkTest, AStatusPacketSkippedDuringAStalledWriteGoesOutOnceTheLineMovesAgain) {
  PanelReceives(16);
  // The line stops taking bytes, as when the panel holds off the exhibit's output.
  ASSERT_EQ(tcflow(lineFd, TCOOFF), 0);
  ResetToDefaults();  // started, not finished
  ASSERT_TRUE(link().writeRecord->InProgress());
  ResetToDefaults();  // skipped while the first is unfinished
  EXPECT_EQ(link().sendReady, true);
  ASSERT_EQ(tcflow(lineFd, TCOON), 0);
  ApplyPanelReply();  // the frame pushes the rest, then the skipped packet
  ApplyPanelReply();
  EXPECT_FALSE(link().writeRecord->InProgress());
  ResetToDefaults();
  EXPECT_EQ(PanelReceives(24), Concat({kStatusPacket, kStatusPacket, kStatusPacket}));
  EXPECT_TRUE(PanelReceivesAnythingElse().empty());
}

TEST_F(PanelLinkTest, APanelThatGoesAwayLeavesTheExhibitRunningQuietly) {
  PanelReceives(16);
  Refresh();
  PanelReceives(1);
  close(panelFd);
  panelFd = -1;
  ApplyPanelReply();
  EXPECT_TRUE(link().lineLost);
  EXPECT_EQ(link().replyExpected, false);
  for (int frame = 0; frame < 10; ++frame) {
    test->clock.nowMs += 1000;  // retries find no device: the pseudo-terminal is gone
    Refresh();
    ApplyPanelReply();
    ResetToDefaults();
  }
  EXPECT_TRUE(link().lineLost);
  EXPECT_FALSE(link().panelPort.IsOpen());
  EXPECT_TRUE(test->boxes.shown.empty());
}

TEST_F(PanelLinkTest, AWriteToAPanelThatWentAwayIsNoticedWithoutPolls) {
  PanelReceives(16);
  close(panelFd);
  panelFd = -1;
  ResetToDefaults();
  ResetToDefaults();
  EXPECT_TRUE(link().lineLost);
  EXPECT_TRUE(test->boxes.shown.empty());
}

TEST(PanelLinkOpen, MissingOrUnsuitableDevicesShowTheFailureMessagesInOrder) {
  struct Case {
    std::string device;
    std::vector<std::string> boxes;
  };
  const Case cases[] = {
      {"/nonexistent/ttyS0",
       {"Error: Can not open serial port!", "Error: Can not retrieve serial state!",
        "Error: Can not set serial state!"}},
      {"/dev/null", {"Error: Can not retrieve serial state!", "Error: Can not set serial state!"}},
  };
  for (const Case& c : cases) {
    ExhibitOptions options;
    options.panelDevice = c.device;
    TestExhibit test(kStartMs, options);
    Exhibit& exhibit = test.exhibit;
    exhibit.OpenPanelPort();
    EXPECT_EQ(test.boxes.shown, c.boxes) << c.device;
    exhibit.ResetToDefaults();
    exhibit.PanelTimerTick();
    exhibit.ApplyPanelReply();
    exhibit.Shutdown();
    EXPECT_EQ(test.boxes.shown.size(), c.boxes.size()) << c.device;
  }
}

// Busy or not yet plugged in when the exhibit starts, the panel is tried again every
// few seconds without a message, and once it opens the link works and its health says so.
TEST(PanelLinkOpen, APanelBusyOrMissingAtTheStartIsTriedAgainQuietlyUntilItOpens) {
  int panelFd = -1, lineFd = -1;
  char name[256] = {};
  ASSERT_EQ(openpty(&panelFd, &lineFd, name, nullptr, nullptr), 0);
  const std::string late = ::testing::TempDir() + "velmora-late-panel-" + std::to_string(getpid());
  int holderFd = -1;
  const struct {
    const char* what;
    std::string device;
    std::function<void()> hold, release;
  } cases[] = {
      {"missing", late, [] {}, [&] { ASSERT_EQ(symlink(name, late.c_str()), 0); }},
      {"busy", name,
       [&] {
         holderFd = open(name, O_RDWR | O_NOCTTY);
         ASSERT_EQ(flock(holderFd, LOCK_EX | LOCK_NB), 0);
       },
       [&] { close(holderFd); }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    c.hold();
    ExhibitOptions options;
    options.panelDevice = c.device;
    TestExhibit test(kStartMs, options);
    test.exhibit.OpenPanelPort();
    const std::size_t boxesAtStart = test.boxes.shown.size();
    EXPECT_GE(boxesAtStart, 1u);
    for (int retry = 0; retry < 3; ++retry) {
      test.clock.nowMs += 3000;
      test.exhibit.ApplyPanelReply();
    }
    test.exhibit.RefreshStatus(true);
    EXPECT_FALSE(test.exhibit.Status().panelConnected);
    c.release();
    test.clock.nowMs += 3000;
    test.exhibit.ApplyPanelReply();
    test.exhibit.RefreshStatus(true);
    EXPECT_TRUE(test.exhibit.Status().panelConnected);
    EXPECT_EQ(test.boxes.shown.size(), boxesAtStart) << "a message per retry";
    test.exhibit.ResetToDefaults();
    Bytes packet(kStatusPacket.size());
    pollfd p{panelFd, POLLIN, 0};
    ASSERT_EQ(poll(&p, 1, kArrivalLimitMs), 1);
    ASSERT_EQ(read(panelFd, packet.data(), packet.size()), static_cast<ssize_t>(packet.size()));
    EXPECT_EQ(packet, kStatusPacket) << "the status packet of the next reset reaches the panel";
    test.exhibit.Shutdown();
  }
  unlink(late.c_str());
  close(panelFd);
  close(lineFd);
}

// A panel answering polls at random moments, in random pieces, with stray bytes
// between polls and resets in between: the visitor parameters always hold exactly the
// last complete reply, sign-extended, or the defaults after a reset.
TEST_F(PanelLinkTest, ParametersAlwaysHoldTheLastCompleteReply) {
  PanelReceives(16);
  for (unsigned seed : {1u, 2u, 3u}) {
    std::mt19937 random(seed);
    auto below = [&random](unsigned n) { return static_cast<unsigned>(random() % n); };
    Reply answering{};
    std::size_t answered = 0;   // bytes of `answering` sent so far
    bool pollSeen = false;      // a poll is waiting for (the rest of) its answer
    std::array<std::int32_t, 6> expectedParams = parameters().weights;
    float expectedSpeed = parameters().speedSetting;

    for (int step = 0; step < 2000; ++step) {
      switch (below(6)) {
        case 0:
          Refresh();
          // A tick that started a fresh poll: any unfinished answer is abandoned.
          if (link().replyExpected && link().readRecord->ticksWaited == 0) {
            ASSERT_EQ(PanelReceives(1), kPoll);
            for (auto& b : answering) b = static_cast<std::uint8_t>(random());
            answered = 0;
            pollSeen = true;
          }
          break;
        case 1:
        case 2: {
          ApplyPanelReply();
          if (pollSeen && answered == kReplyBytes && !link().replyExpected) {
            for (std::size_t i = 0; i < 6; ++i) expectedParams[i] = static_cast<std::int8_t>(answering[3 + i]);
            expectedSpeed = static_cast<std::int8_t>(answering[2]);
            pollSeen = false;
          }
          break;
        }
        case 3:
          if (pollSeen && answered < kReplyBytes) {
            const std::size_t piece = std::min<std::size_t>(1 + below(9), kReplyBytes - answered);
            PanelSends(Bytes(answering.begin() + static_cast<long>(answered),
                             answering.begin() + static_cast<long>(answered + piece)));
            answered += piece;
          }
          break;
        case 4:
          if (!pollSeen) {
            Bytes stray(below(12));
            for (auto& b : stray) b = static_cast<std::uint8_t>(random());
            PanelSends(stray);
          }
          break;
        case 5:
          if (below(10) == 0) {
            ResetToDefaults();
            ASSERT_EQ(PanelReceives(8), kStatusPacket);
            expectedParams = {6, 6, 6, 7, 6, 6};
            expectedSpeed = defaultSpeedSetting;
          }
          break;
      }
      ASSERT_EQ(parameters().weights, expectedParams) << "seed " << seed << " step " << step;
      ASSERT_EQ(parameters().speedSetting, expectedSpeed) << "seed " << seed << " step " << step;
    }
    EXPECT_TRUE(PanelReceivesAnythingElse().empty());
  }
}

}  // namespace
}  // namespace velmora
