#include "shell/Exhibit.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <pty.h>
#include <unistd.h>

#include <cmath>
#include <functional>
#include <memory>
#include <vector>

#include "model/Soma.h"
#include "model/Synapse.h"
#include "shell/SelfTest.h"
#include "tests/support/RecordingMidiOutput.h"
#include "tests/support/TestExhibit.h"

namespace velmora {
namespace {

using testing::TestExhibit;

constexpr std::uint32_t kStartMs = 2'000'000;

class ExhibitTest : public ::testing::Test {
protected:
  TestExhibit test{kStartMs};
  Exhibit& exhibit = test.exhibit;
};

TEST_F(ExhibitTest, ResetReturnsParametersSpeedAndNetworkToDefaults) {
  for (int i = 0; i < 5; ++i) {
    exhibit.Apply({VisitorActionKind::RaiseWeight, 1}, monitoring::InteractionSource::Keyboard);
    exhibit.Apply({VisitorActionKind::LowerWeight, 3}, monitoring::InteractionSource::Touch);
    exhibit.Apply({VisitorActionKind::Faster}, monitoring::InteractionSource::Keyboard);
  }
  for (int i = 0; i < 50; ++i) exhibit.Network().Advance();

  exhibit.ResetToDefaults();

  EXPECT_EQ(exhibit.Parameters().weights, (std::array<std::int32_t, 6>{6, 6, 6, 7, 6, 6}));
  EXPECT_EQ(exhibit.Parameters().speedSetting, 15.0f);
  EXPECT_EQ(exhibit.Parameters().stepFactor, 0.0384375f);
  EXPECT_EQ(exhibit.Network().step, exhibit.Parameters().stepFactor);
  EXPECT_EQ(exhibit.Network().time, 0.0);
  const float expectedWeights[6] = {6, 6, 6, 7, 6, 6};
  for (std::size_t i = 0; i < 6; ++i) EXPECT_EQ(exhibit.Network().weightSynapses[i]->weight, expectedWeights[i]);
  EXPECT_TRUE(exhibit.IdleResetDone());
}

TEST_F(ExhibitTest, ResetIsNoInteractionAndAnyOtherActionIs) {
  exhibit.Apply({VisitorActionKind::Stimulus1}, monitoring::InteractionSource::Keyboard);
  const float interaction = exhibit.LastInteractionMinutes();
  EXPECT_FLOAT_EQ(interaction, 2'000'000.0f / 60'000.0f);
  EXPECT_FALSE(exhibit.IdleResetDone());
  EXPECT_EQ(test.display.backgrounds, std::vector<Background>{Background::Labeled});
  test.clock.nowMs += 5000;
  exhibit.ResetToDefaults();
  EXPECT_EQ(exhibit.LastInteractionMinutes(), interaction);
  EXPECT_EQ(test.display.backgrounds.size(), 1u);
}

TEST_F(ExhibitTest, MinutesSinceSpansTheTickWrapButNotRoundingError) {
  struct Case {
    std::uint32_t storedMs;
    std::uint32_t nowMs;
    double minutes;
  };
  const Case cases[] = {
      {60'000, 120'000, 1.0},
      {0xFFFFFFFFu - 59'999, 60'000, 2.0},  // across the wrap
      {5'400, 0, -0.09},                    // a reading earlier than the stored one stays negative
  };
  testing::FakeClock& clock = test.clock;
  for (const Case& c : cases) {
    clock.nowMs = c.storedMs;
    const auto stored = static_cast<float>(CurrentMinutes(clock));
    clock.nowMs = c.nowMs;
    EXPECT_NEAR(MinutesSince(clock, stored), c.minutes, 0.01) << c.storedMs << " -> " << c.nowMs;
  }
  // A float reading rounded up past the present is no wrap.
  clock.nowMs = 0xFFFFFF00u;
  EXPECT_LT(std::abs(MinutesSince(clock, static_cast<float>(CurrentMinutes(clock)))), 0.01);
}

TEST(ExhibitWithoutPanel, OpensNoLineShowsNoMessageAndHasNothingToSendOrPoll) {
  ExhibitOptions options;
  options.panelDevice = "none";
  options.panelPoll = true;
  TestExhibit test(kStartMs, options);
  test.exhibit.OpenPanelPort();
  test.exhibit.ResetToDefaults();
  test.exhibit.PanelTimerTick();
  EXPECT_TRUE(test.boxes.shown.empty());
  const PanelLinkState& state = test.exhibit.GetPanelLink().State();
  EXPECT_FALSE(state.panelPort.IsOpen());
  EXPECT_FALSE(state.sendReady || state.pollReady || state.lineLost);
}

TEST(ExhibitMessages, AreKeptHandedOnAndInAnUnattendedRunOnScreenForTenSeconds) {
  struct Case {
    bool unattended;
    std::uint32_t startMs;
    std::uint32_t afterMs;
    bool onScreen;
  };
  const Case cases[] = {
      {false, kStartMs, 0, false},    {true, kStartMs, 0, true},       {true, kStartMs, 9'999, true},
      {true, kStartMs, 10'000, false}, {true, 0xFFFFF000u, 9'999, true},  // across the tick's wrap
  };
  const std::vector<std::string> messages = {"Velmora: Midi-Out Init FAILED", "Error: Can not open serial port!",
                                             "Error: Can not retrieve serial state!",
                                             "Error: Can not set serial state!"};
  for (const Case& c : cases) {
    ExhibitOptions options;
    options.unattended = c.unattended;
    options.panelDevice = "/dev/velmora-no-such-tty";
    TestExhibit test(c.startMs, options, [](std::string& error) {
      error = "no soundfont";
      return std::unique_ptr<MidiOutput>();
    });
    test.exhibit.OpenMidiOutput();
    test.exhibit.OpenPanelPort();
    EXPECT_EQ(test.boxes.shown, messages);
    std::vector<std::string> kept;
    for (const ShownMessage& message : test.exhibit.ShownMessages()) {
      kept.push_back(message.caption + ": " + message.text);
      EXPECT_EQ(message.tickMs, c.startMs);
    }
    EXPECT_EQ(kept, messages);
    test.clock.nowMs = c.startMs + c.afterMs;
    EXPECT_EQ(test.exhibit.NoticeLines(), c.onScreen ? messages : std::vector<std::string>{})
        << c.unattended << " " << c.afterMs;
  }
}

TEST(ExhibitMessages, DoNotComeBackOnScreenWhenTheTickWrapsAround) {
  constexpr std::uint32_t kQuarterWrapMs = 1u << 30;  // four of them bring the tick back to where it was
  for (const std::uint32_t startMs : {kStartMs, 0xFFFFF000u}) {
    ExhibitOptions options;
    options.unattended = true;
    options.panelDevice = "/dev/velmora-no-such-tty";
    TestExhibit test(startMs, options);
    test.exhibit.OpenPanelPort();
    ASSERT_EQ(test.exhibit.NoticeLines().size(), 3u);
    for (int quarter = 0; quarter < 4; ++quarter) {
      test.clock.nowMs += kQuarterWrapMs;  // the frames in between read the clock as often
      EXPECT_TRUE(test.exhibit.NoticeLines().empty()) << startMs << " quarter " << quarter;
    }
    test.clock.nowMs = startMs + 5'000;  // 49.7 days and 5 s after the messages
    EXPECT_TRUE(test.exhibit.NoticeLines().empty()) << startMs;
  }
}

TEST_F(ExhibitTest, TechniciansStimulusIsNoVisitorsInteraction) {
  exhibit.ResetToDefaults();
  for (int i = 0; i < 100; ++i) exhibit.Network().Advance();
  exhibit.ApplyRemoteAction(monitoring::ExhibitAction::Stimulus2);
  EXPECT_EQ(exhibit.Network().lastStimulusTimes[1], static_cast<float>(exhibit.Network().time));
  EXPECT_TRUE(exhibit.IdleResetDone());
  EXPECT_TRUE(test.display.backgrounds.empty());
  EXPECT_EQ(exhibit.Status().interactions, (std::array<std::uint64_t, monitoring::kInteractionSources>{}));
}

TEST(ExhibitRemoteTestNote, SoundsTheSelfTestsNoteAndEndsItLaterWithoutWaiting) {
  testing::RecordingMidiOutput* midi = nullptr;
  TestExhibit test(kStartMs, {}, [&midi](std::string&) {
    auto output = std::make_unique<testing::RecordingMidiOutput>();
    midi = output.get();
    return output;
  });
  test.exhibit.OpenMidiOutput();
  midi->messages.clear();
  const auto message = [](std::int32_t status) {
    return static_cast<std::uint32_t>(status | kTestChannel | kTestKey << 8 | (status == kMidiNoteOn ? kTestVelocity : 0) << 16);
  };
  test.exhibit.ApplyRemoteAction(monitoring::ExhibitAction::TestNote);
  EXPECT_EQ(midi->messages, std::vector<std::uint32_t>{message(kMidiNoteOn)});
  EXPECT_EQ(test.clock.sleeps, 0);
  test.clock.nowMs += kTestNoteMs - 1;
  test.exhibit.RunTimers();
  EXPECT_EQ(midi->messages.size(), 1u);
  test.clock.nowMs += 1;
  test.exhibit.RunTimers();
  test.exhibit.RunTimers();
  EXPECT_EQ(midi->messages, (std::vector<std::uint32_t>{message(kMidiNoteOn), message(kNoteOff)}));
}

TEST(ExhibitHealth, PanelIsConnectedWhileItsPortIsOpenAndWhenPolledAnswersMidiWhileItsOutputWorks) {
  int panelFd = -1, lineFd = -1;
  char name[256] = {};
  ASSERT_EQ(openpty(&panelFd, &lineFd, name, nullptr, nullptr), 0);
  struct Case {
    const char* what;
    std::string device;
    bool poll;
    std::uint32_t silentMs;  // since the port opened, no reply
    bool connected;
  };
  const Case cases[] = {
      {"open, not polled", name, false, 60'000, true},
      {"polled, silent for under a second", name, true, kPanelSilenceMs - 10, true},
      {"polled, silent for over a second", name, true, kPanelSilenceMs + 10, false},
      {"no such device", "/dev/velmora-no-panel", false, 0, false},
  };
  for (const Case& c : cases) {
    ExhibitOptions options;
    options.panelDevice = c.device;
    options.panelPoll = c.poll;
    TestExhibit test(kStartMs, options);
    test.exhibit.OpenPanelPort();
    test.clock.nowMs += c.silentMs;
    test.exhibit.RefreshStatus(true);
    EXPECT_EQ(test.exhibit.Status().panelConnected, c.connected) << c.what;
  }
  close(panelFd);
  close(lineFd);

  ExhibitOptions silence;
  silence.midiOut = "none";
  const struct {
    const char* what;
    ExhibitOptions options;
    MidiOutputOpener opener;
    bool working;
  } outputs[] = {
      {"silence chosen", silence, {}, true},
      {"an output that opens", {}, [](std::string&) { return std::make_unique<testing::RecordingMidiOutput>(); }, true},
      {"an output that fails", {}, [](std::string&) { return std::unique_ptr<MidiOutput>(); }, false},
  };
  for (const auto& o : outputs) {
    TestExhibit test(kStartMs, o.options, o.opener);
    test.exhibit.OpenMidiOutput();
    test.exhibit.RefreshStatus(true);
    EXPECT_EQ(test.exhibit.Status().midiOutputOk, o.working) << o.what;
  }
}

// Calls back when it is destroyed, which closing the exhibit's MIDI output does.
class ObservedOutput final : public MidiOutput {
public:
  explicit ObservedOutput(std::function<void()> onClose) : closed(std::move(onClose)) {}
  ~ObservedOutput() override { closed(); }
  MidiSendResult ShortMessage(std::uint32_t) override { return MidiSendResult::Accepted; }

private:
  std::function<void()> closed;
};

TEST(ExhibitShutdown, ReleasesTheDisplayThenTheMidiOutputThenThePanelPortOnce) {
  int panelFd = -1, lineFd = -1;
  char name[256] = {};
  ASSERT_EQ(openpty(&panelFd, &lineFd, name, nullptr, nullptr), 0);
  ExhibitOptions options;
  options.panelDevice = name;
  TestExhibit* running = nullptr;
  std::vector<std::string> seenAtMidiClose;
  {
    TestExhibit test(kStartMs, options, [&](std::string&) {
      return std::make_unique<ObservedOutput>([&] {
        seenAtMidiClose.push_back("display releases " + std::to_string(running->display.Count("Release")));
        seenAtMidiClose.push_back(running->exhibit.GetPanelLink().State().panelPort.IsOpen() ? "panel open"
                                                                                             : "panel closed");
      });
    });
    running = &test;
    test.exhibit.OpenMidiOutput();
    test.exhibit.OpenPanelPort();
    test.exhibit.Shutdown();
    EXPECT_FALSE(test.exhibit.GetPanelLink().State().panelPort.IsOpen());
    EXPECT_EQ(test.exhibit.GetMidiOutput(), nullptr);
    test.exhibit.Shutdown();
    EXPECT_EQ(test.display.Count("Release"), 1);
  }  // the destructor releases nothing a second time
  EXPECT_EQ(seenAtMidiClose, (std::vector<std::string>{"display releases 1", "panel open"}));
  close(panelFd);
  close(lineFd);
}

}  // namespace
}  // namespace velmora
