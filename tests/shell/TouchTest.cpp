#include "shell/TouchControls.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "model/Synapse.h"
#include "shell/Exhibit.h"
#include "tests/support/TestExhibit.h"

namespace velmora {
namespace {

using testing::TestExhibit;

constexpr std::uint32_t kStartMs = 4'000'000;
constexpr double kPixelMm = 0.4;  // mm per design pixel: a 1920 x 1080 screen about 58 cm wide
constexpr double kReachPixels = kMinimumTargetMm / 2.0 / kPixelMm;

ExhibitOptions TouchOptions() {
  ExhibitOptions options;
  options.panelDevice = "none";
  return options;
}

// An exhibit whose screen takes touches, reset as at start-up, with a finger helper.
class TouchTest : public ::testing::Test {
protected:
  void SetUp() override {
    exhibit.TouchInUse();
    exhibit.SetPixelMm(kPixelMm);
    exhibit.ResetToDefaults();
  }
  TouchScene Scene(double pixelMm = kPixelMm) {
    TouchScene scene;
    scene.model = &exhibit.Network();
    scene.pixelMm = pixelMm;
    scene.buttonsShown = true;
    scene.nowMs = test.clock.nowMs;
    return scene;
  }
  PlanePoint Centre(TargetKind kind, std::size_t weight = 0) {
    return TouchControls::TargetCentre({kind, weight}, Scene());
  }
  void Finger(std::int64_t id, TouchPhase phase, PlanePoint at) { exhibit.Touch({id, phase, at}); }
  void Tap(std::int64_t id, PlanePoint at) {
    Finger(id, TouchPhase::Down, at);
    Finger(id, TouchPhase::Up, at);
  }
  std::uint64_t TouchInteractions() { return exhibit.Status().interactions[IndexOf(monitoring::InteractionSource::Touch)]; }

  TestExhibit test{kStartMs, TouchOptions()};
  Exhibit& exhibit = test.exhibit;
};

TEST_F(TouchTest, EveryHitAreaIsFifteenMmAcrossAndNeverSmallerThanItsDrawnElement) {
  // Screens from a small monitor's pixels to a video wall's, mm per design pixel.
  for (const double pixelMm : {0.15, 0.4, 1.2}) {
    SCOPED_TRACE(pixelMm);
    const TouchScene scene = Scene(pixelMm);
    const double reach = kMinimumTargetMm / 2.0 / pixelMm;
    TouchControls controls;
    // Elements with free ground around them: hit 1 % inside half of 15 mm (or the drawn
    // button) in every direction, missed 1 % beyond it.
    for (const TargetKind kind : {TargetKind::Slower, TargetKind::Reset, TargetKind::Faster}) {
      const PlanePoint centre = TouchControls::TargetCentre({kind}, scene);
      const double edge = std::max(reach, 13.0);
      for (const auto& [dx, dy] : {std::pair{0.0, -1.0}, std::pair{0.0, 1.0}, std::pair{-1.0, 0.0}, std::pair{1.0, 0.0}}) {
        if ((kind == TargetKind::Slower && dx > 0) || (kind == TargetKind::Faster && dx < 0)) continue;  // each other
        const PlanePoint inside{centre.x + dx * edge * 0.99, centre.y + dy * edge * 0.99};
        const PlanePoint outside{centre.x + dx * edge * 1.01, centre.y + dy * edge * 1.01};
        EXPECT_EQ(controls.HitTest(inside, scene).kind, kind) << static_cast<int>(kind) << " " << dx << "," << dy;
        if (inside.y < 760.0 && outside.x > 0.0) {
          EXPECT_NE(controls.HitTest(outside, scene).kind, kind) << static_cast<int>(kind) << " " << dx << "," << dy;
        }
      }
    }
    // A synapse as large as it grows is hit wherever its triangle is drawn, even where
    // that is wider than 15 mm.
    exhibit.Apply({VisitorActionKind::SetWeight, 5, false, 20}, monitoring::InteractionSource::Panel);
    const Synapse& big = *exhibit.Network().weightSynapses[5];
    const double size = 20 * kTriangleGrowthPerWeight + kTriangleBaseSize;
    const PlanePoint tip{big.shape.x2 + size * big.shape.dx2 * 0.95, big.shape.y2 + size * big.shape.dy2 * 0.95};
    EXPECT_EQ(controls.HitTest(tip, Scene(pixelMm)), (TouchTarget{TargetKind::Synapse, 5}));
  }
}

TEST_F(TouchTest, ATouchBetweenTwoTargetsGoesToTheNearerOne) {
  TouchControls controls;
  const struct {
    TouchTarget first, second;
  } pairs[] = {
      {{TargetKind::Synapse, 0}, {TargetKind::Synapse, 1}},  // 42 design pixels apart
      {{TargetKind::Slower}, {TargetKind::Faster}},
  };
  // On a screen of small pixels, where both areas reach the point between them.
  const TouchScene scene = Scene(0.2);
  for (const auto& pair : pairs) {
    const PlanePoint a = TouchControls::TargetCentre(pair.first, scene);
    const PlanePoint b = TouchControls::TargetCentre(pair.second, scene);
    const auto at = [&](double share) { return PlanePoint{a.x + (b.x - a.x) * share, a.y + (b.y - a.y) * share}; };
    EXPECT_EQ(controls.HitTest(at(0.45), scene), pair.first);
    EXPECT_EQ(controls.HitTest(at(0.55), scene), pair.second);
  }
}

TEST_F(TouchTest, TenFingersActAtOnceEachOnItsOwnTargetAndAnEleventhIsIgnored) {
  for (std::size_t k = 0; k < 6; ++k) Tap(static_cast<std::int64_t>(k), Centre(TargetKind::Synapse, k));
  for (std::size_t k = 0; k < 6; ++k) ASSERT_TRUE(exhibit.Controls().HandlesOpen(k)) << k;
  const std::uint64_t before = TouchInteractions();
  for (int i = 0; i < 100; ++i) exhibit.Network().Advance();

  std::vector<PlanePoint> fingers;
  for (std::size_t k = 0; k < 6; ++k) fingers.push_back(Centre(TargetKind::Raise, k));
  for (const TargetKind kind : {TargetKind::Stimulus1, TargetKind::Stimulus2, TargetKind::Faster, TargetKind::Slower}) {
    fingers.push_back(Centre(kind));
  }
  fingers.push_back(Centre(TargetKind::Faster));  // the eleventh
  for (std::size_t i = 0; i < fingers.size(); ++i) Finger(static_cast<std::int64_t>(i), TouchPhase::Down, fingers[i]);

  EXPECT_EQ(exhibit.Controls().FingersDown(), kMaxFingers);
  EXPECT_EQ(exhibit.Parameters().weights, (std::array<std::int32_t, 6>{7, 7, 7, 8, 7, 7}));
  EXPECT_EQ(exhibit.Parameters().speedSetting, 15.0f) << "faster and slower once each; the eleventh did nothing";
  const float now = static_cast<float>(exhibit.Network().time);
  EXPECT_EQ(exhibit.Network().lastStimulusTimes, (std::array<float, 2>{now, now})) << "fired within the step";
  EXPECT_EQ(TouchInteractions() - before, 10u);
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
  Finger(7, TouchPhase::Up, start);
  EXPECT_EQ(exhibit.Parameters().weights, (std::array<std::int32_t, 6>{6, 6, 6, 7, 6, 6}));
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
  Finger(2, TouchPhase::Up, Centre(TargetKind::Reset));
  Finger(3, TouchPhase::Down, Centre(TargetKind::Reset));
  test.clock.nowMs += kResetHoldMs - 100;
  exhibit.RunTimers();
  Finger(3, TouchPhase::Up, Centre(TargetKind::Reset));
  test.clock.nowMs += 1000;
  exhibit.RunTimers();
  EXPECT_EQ(exhibit.Resets(ResetCause::Touch), 1) << "a press let go early resets nothing";
}

// With the fake clock: the countdown shows over the last ten seconds before the idle
// reset and not before, the invitation from that reset on; the first touch after it
// only wakes the exhibit; --countdown off and --invitation off show neither.
TEST(IdleSigns, CountdownBeforeTheIdleResetInvitationAfterItAndAWakingFirstTouch) {
  for (const bool shown : {true, false}) {
    ExhibitOptions options = TouchOptions();
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
    testing::FakeTextContext drawn;
    exhibit.DrawOverlays(drawn);
    EXPECT_EQ(std::count(drawn.texts.begin(), drawn.texts.end(), "Neustart in 1 s"), shown ? 2 : 0) << "and its shadow";

    test.clock.nowMs = kStartMs + 60'100;
    exhibit.RunTimers();
    EXPECT_EQ(exhibit.Resets(ResetCause::Idle), 1);
    EXPECT_EQ(exhibit.CountdownSeconds(), std::nullopt);
    EXPECT_EQ(exhibit.Inviting(), shown);
    drawn.texts.clear();
    exhibit.DrawOverlays(drawn);
    EXPECT_EQ(std::count(drawn.texts.begin(), drawn.texts.end(), exhibit.Texts().invitation), shown ? 2 : 0);

    const PlanePoint button = TouchControls::TargetCentre({TargetKind::Stimulus1}, {});
    for (int i = 0; i < 100; ++i) exhibit.Network().Advance();
    exhibit.Touch({1, TouchPhase::Down, button});
    exhibit.Touch({1, TouchPhase::Up, button});
    const bool fired = exhibit.Network().lastStimulusTimes[0] == static_cast<float>(exhibit.Network().time);
    EXPECT_EQ(fired, !shown) << "while inviting, the first touch only wakes";
    EXPECT_FALSE(exhibit.IdleResetDone());
    EXPECT_FALSE(exhibit.Inviting());
    EXPECT_EQ(exhibit.Parameters().weights, (std::array<std::int32_t, 6>{6, 6, 6, 7, 6, 6}));
    EXPECT_EQ(exhibit.Parameters().speedSetting, 15.0f);
    for (int i = 0; i < 100; ++i) exhibit.Network().Advance();
    exhibit.Touch({2, TouchPhase::Down, button});
    EXPECT_EQ(exhibit.Network().lastStimulusTimes[0], static_cast<float>(exhibit.Network().time)) << "the next one acts";
  }
}

TEST(Languages, TheLanguageButtonSwitchesEveryTextAtOnceAndRoundAgain) {
  StatusTexts english{"Speed: stopped!", "Speed: % 3i times slower", "Speed: real", "Tap!", "Again in %i s", "English"};
  TestExhibit test(kStartMs, TouchOptions(), {}, {StatusTexts{}, english});
  test.exhibit.TouchInUse();
  const PlanePoint button = TouchControls::TargetCentre({TargetKind::Language}, {});
  testing::FakeTextContext drawn;
  test.exhibit.DrawOverlays(drawn);
  EXPECT_EQ(drawn.texts.back(), "English") << "the button names the language it switches to";
  for (const bool german : {false, true}) {
    test.exhibit.Touch({1, TouchPhase::Down, button});
    test.exhibit.Touch({1, TouchPhase::Up, button});
    const StatusTexts& texts = test.exhibit.Texts();
    const StatusTexts expected = german ? StatusTexts{} : english;
    EXPECT_EQ(std::vector({texts.standstill, texts.slower, texts.realTime, texts.invitation, texts.countdown}),
              std::vector({expected.standstill, expected.slower, expected.realTime, expected.invitation,
                           expected.countdown}));
  }
  EXPECT_EQ(test.exhibit.Status().interactions[IndexOf(monitoring::InteractionSource::Touch)], 2u);
}

TEST(ScreenPlacement, TurnsThePictureAndTouchesTogetherAtEveryRotation) {
  const struct {
    int outputWidth, outputHeight, rotation;
    PlanePoint pictureTopLeftOnOutput;  // where the picture's first pixel shows
  } cases[] = {{1920, 1080, 0, {240, 0}}, {1080, 1920, 90, {1080, 240}}, {1920, 1080, 180, {1680, 1080}},
               {1080, 1920, 270, {0, 1680}}};
  for (const auto& c : cases) {
    const ScreenPlacement placement = FitPicture(c.outputWidth, c.outputHeight, c.rotation, 1024, 768);
    EXPECT_DOUBLE_EQ(placement.scale, 1080.0 / 768.0) << c.rotation;
    const PlanePoint corner = placement.ToOutput({0, 0});
    EXPECT_NEAR(corner.x, c.pictureTopLeftOnOutput.x, 1e-9) << c.rotation;
    EXPECT_NEAR(corner.y, c.pictureTopLeftOnOutput.y, 1e-9) << c.rotation;
    const PlanePoint back = placement.ToPicture(placement.ToOutput({253.5, 111.25}));
    EXPECT_NEAR(back.x, 253.5, 1e-9) << c.rotation;
    EXPECT_NEAR(back.y, 111.25, 1e-9) << c.rotation;
  }
}

}  // namespace
}  // namespace velmora
