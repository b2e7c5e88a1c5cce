#include "shell/FrameCycle.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "display/FrameComposition.h"
#include "model/SpeedRule.h"
#include "model/Soma.h"
#include "shell/Exhibit.h"
#include "shell/Keyboard.h"
#include "tests/support/RecordingMidiOutput.h"
#include "tests/support/TestExhibit.h"

namespace velmora {
namespace {

using testing::FakeFrameDisplay;
using testing::TestExhibit;

constexpr std::uint32_t kStartMs = 1'000'000;
constexpr std::uint32_t kMsPerMinute = 60'000;
// A fake flip lasts 5 ms, the frame cycle's starting estimate, so frames are 20 ms at once.
constexpr std::uint32_t kFakeFlipMs = 5;
constexpr DisplayResult kOtherFailure = DisplayResult::Failed;

std::string Slower(int n) {
  char text[96];
  std::snprintf(text, sizeof text, "Geschwindigkeit: % 3i mal so langsam wie in Wirklichkeit", n);
  return text;
}

// An exhibit made at a tick (its periodic reset due 30 minutes later), reset as at
// start-up, and the steps of a timeline on it.
struct Timeline {
  explicit Timeline(std::uint32_t startMs) : test(startMs) {
    display.clock = &clock;
    display.flipDurationMs = kFakeFlipMs;
    exhibit.ResetToDefaults();
  }

  FrameReport Frame(Pacing pacing = Pacing::Sleep) { return RunFrame(exhibit, pacing); }
  FrameReport FrameAt(std::uint32_t tickMs) {
    clock.nowMs = tickMs;
    return Frame();
  }
  // A visitor's change (a panel's knob) that only a reset to defaults undoes.
  void InteractAt(std::uint32_t tickMs) {
    clock.nowMs = tickMs;
    exhibit.Apply({VisitorActionKind::SetWeight, 0, false, 9}, monitoring::InteractionSource::Panel);
    display.backgrounds.clear();
  }
  bool WasReset() const { return exhibit.Parameters().weights[0] == 6; }

  TestExhibit test;
  testing::FakeClock& clock = test.clock;
  FakeFrameDisplay& display = test.display;
  Exhibit& exhibit = test.exhibit;
  FrameCycleState& cycle = test.exhibit.Cycle();
};

class FrameCycleTest : public ::testing::Test, public Timeline {
protected:
  FrameCycleTest() : Timeline(kStartMs) {}
};

TEST_F(FrameCycleTest, StatusLineShowsStandstillThenSteadyThenFiftyFoldUntilTheFirstSecondCloses) {
  std::vector<std::string>& texts = display.context.texts;
  for (int frame = 0; frame < 120; ++frame) Frame();
  ASSERT_EQ(texts.size(), 120u);
  EXPECT_EQ(texts[0], "Geschwindigkeit: Null!");
  EXPECT_EQ(texts[1], Slower(26));
  // The first frame closed a counting window with one frame in it: 1000 ms per frame.
  std::size_t fiftyFold = 2;
  while (fiftyFold < texts.size() && texts[fiftyFold] == Slower(1300)) ++fiftyFold;
  EXPECT_GE(fiftyFold, 45u);
  EXPECT_LE(fiftyFold, 55u);
  for (std::size_t i = fiftyFold; i < texts.size(); ++i) EXPECT_EQ(texts[i], Slower(26)) << "frame " << i + 1;
  EXPECT_EQ(cycle.frameTimeMs, 20.0f);
}

TEST_F(FrameCycleTest, StatusTextFollowsSpeedSettingAtFiftyFramesPerSecond) {
  struct Case {
    float speed;
    std::string text;
  };
  const Case cases[] = {
      {0.0f, "Geschwindigkeit:  50 mal so langsam wie in Wirklichkeit"},  // two blanks before 50
      {1.0f, Slower(49)},
      {15.0f, "Geschwindigkeit:  26 mal so langsam wie in Wirklichkeit"},
      {20.0f, "Geschwindigkeit:   8 mal so langsam wie in Wirklichkeit"},
      {25.0f, "Geschwindigkeit:   2 mal so langsam wie in Wirklichkeit"},
      {26.0f, "Geschwindigkeit: wie in Wirklichkeit!"},
      {28.0f, "Geschwindigkeit: wie in Wirklichkeit!"},
      {30.0f, "Geschwindigkeit: wie in Wirklichkeit!"},
  };
  for (const Case& c : cases) {
    // At 50 frames per second the relative speed equals the step factor.
    EXPECT_EQ(StatusText(StepFactorForSpeed(c.speed)), c.text) << "speed " << c.speed;
  }
}

TEST_F(FrameCycleTest, StatusTextCountsSpeedsAtOrBelowTheLimitAsStandstill) {
  EXPECT_EQ(StatusText(0.0f), "Geschwindigkeit: Null!");
  EXPECT_EQ(StatusText(kZeroSpeedLimit), "Geschwindigkeit: Null!");
  EXPECT_EQ(StatusText(-1.0f), "Geschwindigkeit: Null!");
  EXPECT_EQ(StatusText(0.00002f), Slower(50000));
}

TEST_F(FrameCycleTest, StatusLineIsWhiteTransparentAtBottomLeft) {
  Frame();
  EXPECT_EQ(display.context.textColor, Rgb(255, 255, 255));
  EXPECT_TRUE(display.context.transparent);
  EXPECT_EQ(display.context.textX, 0);
  EXPECT_EQ(display.context.textY, 748);
}

TEST_F(FrameCycleTest, FrameDrawsInOrderAndAdvancesModelTwentySteps) {
  const FrameReport report = Frame();
  EXPECT_TRUE(report.flipped);
  const std::vector<std::string> expected = {"BlitBackground", "BlitSomaCell",    "BlitSomaCell",
                                             "BlitSomaCell",   "GetBackBufferDC", "ReleaseBackBufferDC",
                                             "FlipBuffers"};
  EXPECT_EQ(display.calls, expected);
  EXPECT_NEAR(exhibit.Network().time, 20.0 * exhibit.Parameters().stepFactor, 1e-9);
  EXPECT_EQ(cycle.stepBudget, 0);
}

TEST_F(FrameCycleTest, SomaSpritesCopyCellsOfSeventyNinePixelsToTheirPlaces) {
  Frame();  // right after a reset every soma is at rest: cell 0
  ASSERT_EQ(display.somaCopies.size(), 3u);
  for (int i = 0; i < 3; ++i) {
    const testing::SomaCopy& copy = display.somaCopies[static_cast<std::size_t>(i)];
    EXPECT_EQ(copy.x, kSomaSpriteX[i]);
    EXPECT_EQ(copy.y, kSomaSpriteY[i]);
    EXPECT_EQ(copy.source.left, 0);
    EXPECT_EQ(copy.source.top, 80 * i);
    EXPECT_EQ(copy.source.right, 79);
    EXPECT_EQ(copy.source.bottom, 80 * i + 79);
  }
}

TEST_F(FrameCycleTest, PacingFlipsTwentyMsLessFlipTimeAfterStartSleepingOnceToThatTickOnlyWhenAsked) {
  struct Case {
    Pacing pacing;
    float flipTimeAverageMs;
    std::uint32_t flipAfterMs;  // the first whole tick count at which the rule lets the flip start
  };
  const Case cases[] = {{Pacing::Sleep, 5.0f, 15}, {Pacing::Sleep, 4.5f, 16}, {Pacing::BusyWait, 5.0f, 15}};
  for (const Case& c : cases) {
    cycle = FrameCycleState{};
    cycle.flipTimeAverage = c.flipTimeAverageMs;
    display = FakeFrameDisplay{};
    display.clock = &clock;
    clock.sleeps = 0;
    clock.sleptMs = 0;
    const FrameReport report = Frame(c.pacing);
    ASSERT_EQ(display.flipTicks.size(), 1u);
    const std::uint32_t flipAfterMs = display.flipTicks[0] - report.frameStart;
    if (c.pacing == Pacing::Sleep) {
      // One sleep, and all the time to the flip came from it: no polling of the tick.
      EXPECT_EQ(flipAfterMs, c.flipAfterMs);
      EXPECT_EQ(clock.sleeps, 1);
      EXPECT_EQ(clock.sleptMs, c.flipAfterMs);
    } else {
      EXPECT_GE(flipAfterMs, c.flipAfterMs);
      EXPECT_LE(flipAfterMs, c.flipAfterMs + 3);  // the few readings of the clock itself
      EXPECT_EQ(clock.sleeps, 0);
    }
  }
}

TEST_F(FrameCycleTest, LabelledBackgroundGivesWayAfterNinetyHundredthsOfAMinute) {
  InteractAt(kStartMs);
  FrameAt(kStartMs + 5400 - 20);
  EXPECT_FALSE(display.PlainSelected());
  FrameAt(kStartMs + 5400 + 20);
  EXPECT_TRUE(display.PlainSelected());
}

TEST_F(FrameCycleTest, ResetWhileLabelledLeavesTheLabelledBackground) {
  InteractAt(kStartMs);
  clock.nowMs = kStartMs + 1000;
  exhibit.ResetToDefaults();  // key 0
  FrameAt(kStartMs + 10'000);
  FrameAt(kStartMs + 2 * kMsPerMinute);
  EXPECT_TRUE(display.backgrounds.empty());
}

TEST_F(FrameCycleTest, IdleResetHappensOncePerIdlePeriod) {
  InteractAt(kStartMs);
  FrameAt(kStartMs + 59'000);
  EXPECT_FALSE(WasReset());
  FrameAt(kStartMs + 61'000);
  EXPECT_TRUE(WasReset());
  EXPECT_TRUE(exhibit.IdleResetDone());

  FrameAt(kStartMs + 5 * kMsPerMinute);  // no second reset without an interaction
  EXPECT_EQ(exhibit.Resets(ResetCause::Idle), 1);

  InteractAt(kStartMs + 6 * kMsPerMinute);
  FrameAt(kStartMs + 7 * kMsPerMinute + 1000);
  EXPECT_TRUE(WasReset());
}

TEST(FrameCyclePeriodicReset, ComesEveryThirtyMinutesWhateverTheIdleState) {
  for (const bool idle : {false, true}) {
    Timeline run(kStartMs);
    // A visitor still playing ten seconds before the half hour, or nobody at all.
    if (!idle) run.InteractAt(kStartMs + 30 * kMsPerMinute - 10'000);
    run.FrameAt(kStartMs + 30 * kMsPerMinute - 1000);
    EXPECT_EQ(run.exhibit.Resets(ResetCause::Periodic), 0) << "idle " << idle;
    run.FrameAt(kStartMs + 30 * kMsPerMinute + 1000);
    EXPECT_TRUE(run.WasReset()) << "idle " << idle;
    // The next half hour counts from this reset.
    run.FrameAt(kStartMs + 60 * kMsPerMinute);
    EXPECT_EQ(run.exhibit.Resets(ResetCause::Periodic), 1) << "idle " << idle;
    run.FrameAt(kStartMs + 60 * kMsPerMinute + 2000);
    EXPECT_EQ(run.exhibit.Resets(ResetCause::Periodic), 2) << "idle " << idle;
  }
}

TEST(FrameCycleResets, AreCountedByTheirCause) {
  const struct {
    const char* what;
    std::function<void(Timeline&)> cause;
    ResetCause counted;
  } cases[] = {
      {"idle", [](Timeline& t) { t.InteractAt(kStartMs); t.FrameAt(kStartMs + 61'000); }, ResetCause::Idle},
      {"periodic", [](Timeline& t) { t.FrameAt(kStartMs + 30 * kMsPerMinute + 1000); }, ResetCause::Periodic},
      {"start-up", [](Timeline& t) { t.exhibit.ResetToDefaults(); }, ResetCause::Other},
      {"key 0", [](Timeline& t) { ApplyVisitorKey(t.exhibit, '0'); }, ResetCause::Key},
      {"status server", [](Timeline& t) { t.exhibit.ApplyRemoteAction(monitoring::ExhibitAction::Reset); },
       ResetCause::Remote},
      {"reset button",
       [](Timeline& t) { t.exhibit.Apply({VisitorActionKind::Reset}, monitoring::InteractionSource::Touch); },
       ResetCause::Touch},
  };
  // What operators see by cause; the start-up's reset is not theirs.
  const std::map<ResetCause, monitoring::ResetCause> seen = {{ResetCause::Idle, monitoring::ResetCause::Idle},
                                                             {ResetCause::Periodic, monitoring::ResetCause::Periodic},
                                                             {ResetCause::Key, monitoring::ResetCause::Key},
                                                             {ResetCause::Remote, monitoring::ResetCause::Remote},
                                                             {ResetCause::Touch, monitoring::ResetCause::Touch}};
  for (const auto& c : cases) {
    Timeline run(kStartMs);
    const auto seenBefore = run.exhibit.Status().resets;
    c.cause(run);
    for (std::size_t cause = 0; cause < kResetCauses; ++cause) {
      // The start-up's reset made the timeline.
      const std::int64_t expected = (cause == 0 ? 1 : 0) + (cause == static_cast<std::size_t>(c.counted) ? 1 : 0);
      EXPECT_EQ(run.exhibit.Resets(static_cast<ResetCause>(cause)), expected) << c.what << ", cause " << cause;
    }
    auto expectedSeen = seenBefore;
    if (seen.contains(c.counted)) ++expectedSeen[IndexOf(seen.at(c.counted))];
    EXPECT_EQ(run.exhibit.Status().resets, expectedSeen) << c.what;
  }
}

TEST(FrameCycleFirings, EveryFiringIsCountedOnceForItsSomaAsItsNoteIsPlayed) {
  testing::RecordingMidiOutput* notes = nullptr;
  TestExhibit test(kStartMs, {}, [&notes](std::string&) {
    auto output = std::make_unique<testing::RecordingMidiOutput>();
    notes = output.get();
    return output;
  });
  test.display.clock = &test.clock;
  test.display.flipDurationMs = kFakeFlipMs;
  Exhibit& exhibit = test.exhibit;
  exhibit.OpenMidiOutput();
  exhibit.ResetToDefaults();
  for (std::size_t k = 0; k < 6; ++k) {
    exhibit.Apply({VisitorActionKind::SetWeight, k, false, 20}, monitoring::InteractionSource::Panel);
  }
  for (int frame = 1; frame <= 600; ++frame) {
    if (frame % 25 == 0) exhibit.Network().Stimulate(frame % 50 == 0, true);
    // A reset moves each soma's last firing time back; that is no firing.
    if (frame % 200 == 0) exhibit.ResetToDefaults(ResetCause::Key);
    RunFrame(exhibit, Pacing::Sleep);
  }
  std::array<std::uint64_t, monitoring::kSomaCount> played{};
  for (const std::uint32_t message : notes->messages) {
    if ((message & 0xF0) != kMidiNoteOn) continue;
    for (std::size_t soma = 0; soma < played.size(); ++soma) {
      if (static_cast<std::int32_t>((message >> 8) & 0x7F) == exhibit.Network().somas[soma]->note) ++played[soma];
    }
  }
  EXPECT_GT(played[0] + played[1] + played[2], 10u);
  EXPECT_EQ(exhibit.Status().firings, played);
}

TEST_F(FrameCycleTest, FailedDisplayCallLeavesTheFrameWithoutFlipOrCount) {
  enum class Step { Background, FirstSprite, LastSprite, Flip };
  struct Case {
    const char* name;
    Step step;
    DisplayResult result;
    int restores;
    bool modelAdvanced;
    int flipsTried;
  };
  const Case cases[] = {
      {"lost background", Step::Background, DisplayResult::SurfaceLost, 1, false, 0},
      {"lost first sprite", Step::FirstSprite, DisplayResult::SurfaceLost, 1, true, 0},
      {"lost last sprite", Step::LastSprite, DisplayResult::SurfaceLost, 1, true, 0},
      {"lost at flip", Step::Flip, DisplayResult::SurfaceLost, 1, true, 1},
      {"other failure of background", Step::Background, kOtherFailure, 0, false, 0},
      {"other failure at flip", Step::Flip, kOtherFailure, 0, true, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    exhibit.ResetToDefaults();
    Frame();
    Frame();  // a counted frame, so that a lost one would show in the count
    display = FakeFrameDisplay{};
    display.clock = &clock;
    switch (c.step) {
      case Step::Background: display.backgroundResults = {c.result}; break;
      case Step::FirstSprite: display.somaResults = {c.result}; break;
      case Step::LastSprite: display.somaResults = {DisplayResult::Ok, DisplayResult::Ok, c.result}; break;
      case Step::Flip: display.flipResults = {c.result}; break;
    }
    const FrameCycleState before = cycle;
    const double timeBefore = exhibit.Network().time;
    const int sleepsBefore = clock.sleeps;

    const FrameReport report = Frame();

    EXPECT_FALSE(report.flipped);
    EXPECT_EQ(display.Count("RestoreSurfaces"), c.restores);
    EXPECT_EQ(display.Count("FlipBuffers"), c.flipsTried);
    EXPECT_EQ(exhibit.Network().time != timeBefore, c.modelAdvanced);
    EXPECT_EQ(cycle.framesInWindow, before.framesInWindow);
    EXPECT_EQ(cycle.flipTimeAverage, before.flipTimeAverage);
    EXPECT_EQ(cycle.relativeSimSpeed, before.relativeSimSpeed);
    if (c.step != Step::Flip) {
      EXPECT_EQ(clock.sleeps, sleepsBefore) << "no waiting";
    }
  }
}

TEST_F(FrameCycleTest, StillDrawingIsRetriedAtOnceUntilItSucceeds) {
  struct Case {
    const char* name;
    std::deque<DisplayResult> FakeFrameDisplay::*results;
    const char* call;
    int calls;
  };
  const Case cases[] = {
      {"background", &FakeFrameDisplay::backgroundResults, "BlitBackground", 4},
      {"sprites", &FakeFrameDisplay::somaResults, "BlitSomaCell", 3 + 3},
      {"flip", &FakeFrameDisplay::flipResults, "FlipBuffers", 4},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    display = FakeFrameDisplay{};
    display.clock = &clock;
    display.*c.results = {DisplayResult::StillDrawing, DisplayResult::StillDrawing, DisplayResult::StillDrawing};
    const FrameReport report = Frame();
    EXPECT_TRUE(report.flipped);
    EXPECT_EQ(display.Count(c.call), c.calls);
    EXPECT_EQ(display.Count("RestoreSurfaces"), 0);
  }
}

TEST_F(FrameCycleTest, WithoutDrawingContextFrameGoesOnWithoutTextAndFlips) {
  display.contextAvailable = false;
  const FrameReport report = Frame();
  EXPECT_TRUE(report.flipped);
  EXPECT_TRUE(display.context.texts.empty());
  EXPECT_EQ(display.Count("ReleaseBackBufferDC"), 0);
}

TEST(FrameCycleTickWrap, FrameCountAndTimersSurviveIt) {
  Timeline run(0xFFFFFFFFu - 300);
  for (int frame = 0; frame < 150; ++frame) run.Frame();  // about three seconds across the wrap
  EXPECT_GE(run.cycle.framesPerSecond, 48);
  EXPECT_LE(run.cycle.framesPerSecond, 50);
  EXPECT_EQ(run.display.context.texts.back(), Slower(26));

  run.InteractAt(0xFFFFFFFFu - 1000);
  run.FrameAt(10'000);  // 11 s later, across the wrap
  EXPECT_TRUE(run.display.PlainSelected());
  EXPECT_FALSE(run.WasReset());
  run.FrameAt(61'000);
  EXPECT_TRUE(run.WasReset());
}

}  // namespace
}  // namespace velmora
