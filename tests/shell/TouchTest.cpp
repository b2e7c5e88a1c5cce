#include "shell/TouchControls.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "display/SharpContext.h"
#include "model/Synapse.h"
#include "shell/Exhibit.h"
#include "tests/support/TestExhibit.h"

namespace velmora {
namespace {

using testing::TestExhibit;

constexpr std::uint32_t kStartMs = 4'000'000;
constexpr double kPixelMm = 0.4;  // mm per design pixel: a 1920 x 1080 screen about 58 cm wide

// An exhibit whose screen takes touches, reset as at start-up, with a finger helper.
class TouchTest : public ::testing::Test {
protected:
  void SetUp() override {
    exhibit.TouchInUse();
    exhibit.SetPixelMm(kPixelMm);
    exhibit.ResetToDefaults();
  }
  TouchScene Scene(double pixelMm = kPixelMm) { return {&exhibit.Network(), pixelMm, true, false, test.clock.nowMs}; }
  PlanePoint Centre(TargetKind kind, std::size_t weight = 0) {
    return TouchControls::TargetCentre({kind, weight}, Scene());
  }
  void Finger(std::int64_t id, TouchPhase phase, PlanePoint at) { exhibit.Touch({id, phase, at}); }
  void Tap(std::int64_t id, PlanePoint at) {
    Finger(id, TouchPhase::Down, at);
    Finger(id, TouchPhase::Up, at);
  }

  TestExhibit test{kStartMs};
  Exhibit& exhibit = test.exhibit;
};

TEST_F(TouchTest, EveryHitAreaIsFifteenMmAcrossAndNeverSmallerThanItsDrawnElement) {
  exhibit.Apply({VisitorActionKind::SetWeight, 5, false, 20}, monitoring::InteractionSource::Panel);
  const Synapse& big = *exhibit.Network().weightSynapses[5];
  const double size = 20 * kTriangleGrowthPerWeight + kTriangleBaseSize;
  const PlanePoint tip{big.shape.x2 + size * big.shape.dx2 * 0.95, big.shape.y2 + size * big.shape.dy2 * 0.95};
  TouchControls controls;
  // Screens from a small monitor's pixels to a video wall's, mm per design pixel.
  for (const double pixelMm : {0.15, 0.4, 1.2}) {
    const TouchScene scene = Scene(pixelMm);
    // Round the free-standing reset button: hit 1 % inside half of 15 mm (or of the
    // drawn button, where that is larger), missed 1 % beyond it.
    const PlanePoint centre = TouchControls::TargetCentre({TargetKind::Reset}, scene);
    const double edge = std::max(kMinimumTargetMm / 2.0 / pixelMm, 13.0);
    for (const auto& [dx, dy] : {std::pair{0.0, -1.0}, std::pair{-0.6, -0.8}, std::pair{-1.0, 0.0}}) {
      EXPECT_EQ(controls.HitTest({centre.x + dx * edge * 0.99, centre.y + dy * edge * 0.99}, scene).kind,
                TargetKind::Reset) << pixelMm << ": " << dx << "," << dy;
      EXPECT_EQ(controls.HitTest({centre.x + dx * edge * 1.01, centre.y + dy * edge * 1.01}, scene).kind,
                TargetKind::None) << pixelMm << ": " << dx << "," << dy;
    }
    // A triangle at weight 20 is hit wherever it is drawn, even beyond 15 mm.
    EXPECT_EQ(controls.HitTest(tip, scene), (TouchTarget{TargetKind::Synapse, 5})) << pixelMm;
  }
}

TEST_F(TouchTest, ADragFromASynapseMovesItsWeightAStepPerSixMmInTheEventsFrame) {
  const PlanePoint start = Centre(TargetKind::Synapse, 2);
  const double step = kDragStepMm / kPixelMm;
  const struct {
    double up, right;  // design pixels from where the finger came down
    std::int32_t weight;
  } moves[] = {{step * 0.9, 0.0, 6}, {step * 3.5, 0.0, 9}, {0.0, step * 1.2, 7}, {-step * 2.5, 0.0, 4}, {0.0, 0.0, 6}};
  Finger(7, TouchPhase::Down, start);
  for (const auto& move : moves) {
    Finger(7, TouchPhase::Move, {start.x + move.right, start.y - move.up});
    EXPECT_EQ(exhibit.Parameters().weights[2], move.weight) << move.up << " up, " << move.right << " right";
    EXPECT_EQ(exhibit.Network().weightSynapses[2]->weight, static_cast<float>(move.weight));
  }
}

TEST_F(TouchTest, AHeldHandleRepeatsLikeAKeyAndTheResetButtonActsOnlyOnceHeldTwoSeconds) {
  Tap(1, Centre(TargetKind::Synapse, 0));
  Finger(1, TouchPhase::Down, Centre(TargetKind::Raise, 0));
  Finger(2, TouchPhase::Down, Centre(TargetKind::Reset));
  const struct {
    std::uint32_t atMs;  // since the fingers came down
    std::int32_t weight;
    std::int64_t touchResets;
  } steps[] = {{kRepeatDelayMs - 10, 7, 0}, {kRepeatDelayMs, 8, 0}, {kRepeatDelayMs + kRepeatIntervalMs, 9, 0},
               {1000, 11, 0}, {kResetHoldMs - 10, 11, 0}, {kResetHoldMs, 6, 1}, {kResetHoldMs + 2000, 6, 1}};
  std::uint32_t nowMs = 0;
  for (const auto& step : steps) {
    for (; nowMs < step.atMs; nowMs += 10) {  // a tick every 10 ms, as frames come
      test.clock.nowMs = kStartMs + nowMs + 10;
      exhibit.RunTimers();
    }
    if (step.atMs == 1000) Finger(1, TouchPhase::Up, Centre(TargetKind::Raise, 0));
    EXPECT_EQ(exhibit.Parameters().weights[0], step.weight) << step.atMs;
    EXPECT_EQ(exhibit.Resets(ResetCause::Touch), step.touchResets) << step.atMs;
  }
  EXPECT_EQ(exhibit.Controls().FingersDown(), 1u);
  test.clock.nowMs = kStartMs + kForgottenFingerMs;
  exhibit.RunTimers();
  EXPECT_EQ(exhibit.Controls().FingersDown(), 0u) << "a finger whose lift was lost is let go";
  Tap(3, Centre(TargetKind::Reset));  // a press let go early resets nothing
  test.clock.nowMs += kResetHoldMs;
  exhibit.RunTimers();
  EXPECT_EQ(exhibit.Resets(ResetCause::Touch), 1);
}

// With the fake clock: the countdown shows over the last ten seconds before the idle
// reset and not before, the invitation from that reset on; the first touch after it
// only wakes the exhibit; --countdown off and --invitation off show neither.
TEST(IdleSigns, CountdownBeforeTheIdleResetInvitationAfterItAndAWakingFirstTouch) {
  for (const bool shown : {true, false}) {
    ExhibitOptions options;
    options.countdown = options.invitation = shown;
    TestExhibit test(kStartMs, options);
    Exhibit& exhibit = test.exhibit;
    exhibit.TouchInUse();
    exhibit.ResetToDefaults();
    exhibit.Apply({VisitorActionKind::Faster}, monitoring::InteractionSource::Keyboard);
    const struct {
      std::uint32_t afterMs;
      std::optional<int> seconds;
    } times[] = {{49'900, std::nullopt}, {50'001, 10}, {55'500, 5}, {59'999, 1}};
    for (const auto& t : times) {
      test.clock.nowMs = kStartMs + t.afterMs;
      exhibit.RunTimers();
      EXPECT_EQ(exhibit.CountdownSeconds(), shown ? t.seconds : std::nullopt) << t.afterMs;
      EXPECT_FALSE(exhibit.Inviting());
    }
    const auto drawnTimes = [&exhibit](const std::string& text) {
      testing::FakeTextContext drawn;
      exhibit.DrawOverlays(drawn);
      return std::count(drawn.texts.begin(), drawn.texts.end(), text);
    };
    EXPECT_EQ(drawnTimes("Neustart in 1 s"), shown ? 2 : 0) << "with its shadow";
    test.clock.nowMs = kStartMs + 60'100;
    exhibit.RunTimers();
    EXPECT_EQ(exhibit.Resets(ResetCause::Idle), 1);
    EXPECT_EQ(exhibit.CountdownSeconds(), std::nullopt);
    EXPECT_EQ(exhibit.Inviting(), shown);
    EXPECT_EQ(drawnTimes(exhibit.Texts().invitation), shown ? 2 : 0);

    const PlanePoint button = TouchControls::TargetCentre({TargetKind::Stimulus1}, {});
    for (int i = 0; i < 100; ++i) exhibit.Network().Advance();
    exhibit.Touch({1, TouchPhase::Down, button});
    exhibit.Touch({1, TouchPhase::Up, button});
    const bool fired = exhibit.Network().lastStimulusTimes[0] == static_cast<float>(exhibit.Network().time);
    EXPECT_EQ(fired, !shown) << "while inviting, the first touch only wakes";
    EXPECT_FALSE(exhibit.IdleResetDone() || exhibit.Inviting());
    for (int i = 0; i < 100; ++i) exhibit.Network().Advance();
    exhibit.Touch({2, TouchPhase::Down, button});
    EXPECT_EQ(exhibit.Network().lastStimulusTimes[0], static_cast<float>(exhibit.Network().time)) << "the next one acts";
  }
}

TEST(Languages, TheLanguageButtonSwitchesEveryTextAtOnceAndRoundAgain) {
  const StatusTexts english{"stopped", "% 3i slower", "real", "Tap!", "Again in %i s", "English"};
  TestExhibit test(kStartMs, {}, {}, {StatusTexts{}, english});
  test.exhibit.TouchInUse();
  testing::FakeTextContext drawn;
  test.exhibit.DrawOverlays(drawn);
  EXPECT_EQ(drawn.texts.back(), "English") << "the button names the language it switches to";
  const PlanePoint button = TouchControls::TargetCentre({TargetKind::Language}, {});
  for (const StatusTexts& expected : {english, StatusTexts{}}) {
    test.exhibit.Touch({1, TouchPhase::Down, button});
    test.exhibit.Touch({1, TouchPhase::Up, button});
    const StatusTexts& texts = test.exhibit.Texts();
    EXPECT_EQ(std::vector({texts.standstill, texts.slower, texts.realTime, texts.invitation, texts.countdown}),
              std::vector({expected.standstill, expected.slower, expected.realTime, expected.invitation,
                           expected.countdown}));
  }
}

// The sharp context draws a stroke when the next one begins or the frame ends: the
// overlay's last stroke must not outlive its pen (the sanitized build sees it).
TEST(Overlays, EndTheirLastStrokeWhileItsPenExists) {
  TestExhibit test(kStartMs);
  test.exhibit.TouchInUse();
  DrawList list;
  SharpContext context({1.0, 0.0, 0.0}, list);
  test.exhibit.DrawOverlays(context);
  const std::size_t drawn = list.indices.size();
  context.Finish();
  EXPECT_GT(drawn, 0u);
  EXPECT_EQ(list.indices.size(), drawn) << "nothing left to draw at the frame's end";
}

TEST(ScreenPlacement, TurnsThePictureAndTouchesTogetherAtEveryRotation) {
  // Where the picture's first pixel shows on a screen driven at 1920 x 1080 or turned.
  const std::pair<int, PlanePoint> corners[] = {{0, {240, 0}}, {90, {1080, 240}}, {180, {1680, 1080}}, {270, {0, 1680}}};
  for (const auto& [rotation, corner] : corners) {
    const bool portrait = rotation % 180 != 0;
    const ScreenPlacement placement = FitPicture(portrait ? 1080 : 1920, portrait ? 1920 : 1080, rotation, 1024, 768);
    const PlanePoint shown = placement.ToOutput({0, 0}), back = placement.ToPicture(placement.ToOutput({253.5, 111.25}));
    EXPECT_NEAR(std::hypot(shown.x - corner.x, shown.y - corner.y), 0.0, 1e-9) << rotation;
    EXPECT_NEAR(std::hypot(back.x - 253.5, back.y - 111.25), 0.0, 1e-9) << rotation;
  }
}

}  // namespace
}  // namespace velmora
