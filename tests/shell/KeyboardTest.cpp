#include "shell/Keyboard.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "model/SpeedRule.h"
#include "model/Synapse.h"
#include "shell/Exhibit.h"
#include "tests/support/TestExhibit.h"

namespace velmora {
namespace {

using testing::TestExhibit;

constexpr VirtualKey VK_NUMPAD1 = 0x61;
constexpr VirtualKey VK_RETURN = 0x0D;
constexpr VirtualKey VK_F3 = 0x72;
constexpr std::uint32_t kStartMs = 3'000'000;

class KeyboardTest : public ::testing::Test {
protected:
  void SetUp() override {
    test = std::make_unique<TestExhibit>(kStartMs);
    test->exhibit.ResetToDefaults();
  }

  KeyOutcome Press(VirtualKey key) { return ApplyVisitorKey(TheExhibit(), key); }
  Exhibit& TheExhibit() { return test->exhibit; }
  const VisitorParameters& Parameters() { return test->exhibit.Parameters(); }
  Model& Network() { return test->exhibit.Network(); }
  std::vector<Background>& Backgrounds() { return test->display.backgrounds; }
  // A value only the panel can set, as its knob sets it; then nothing seen yet.
  void PanelSets(const VisitorAction& action) {
    TheExhibit().Apply(action, monitoring::InteractionSource::Panel);
    Backgrounds().clear();
  }

  void ExpectInteraction() {
    EXPECT_FALSE(TheExhibit().IdleResetDone());
    EXPECT_FLOAT_EQ(TheExhibit().LastInteractionMinutes(), 3'000'000.0f / 60'000.0f);
    EXPECT_EQ(Backgrounds(), std::vector<Background>{Background::Labeled});
  }

  std::unique_ptr<TestExhibit> test;
};

TEST_F(KeyboardTest, ParameterKeysMoveOneParameterThenLimitIt) {
  struct Case {
    VirtualKey key;
    std::size_t parameter;
    std::int32_t before;
    std::int32_t after;
  };
  const Case cases[] = {
      {'1', 0, 6, 7},  {'2', 1, 6, 7},  {'3', 2, 6, 7},   {'4', 3, 7, 8},  {'5', 4, 6, 7},
      {'6', 5, 6, 7},  {'Q', 0, 6, 5},  {'W', 1, 6, 5},   {'E', 2, 6, 5},  {'R', 3, 7, 6},
      {'T', 4, 6, 5},  {'Z', 5, 6, 5},  {'1', 0, 20, 20}, {'Q', 0, 0, 0},
      {'1', 0, 25, 20},  // the panel set it out of range; the key brings it back
      {'Q', 0, -5, 0},   {'2', 1, -5, 0}, {'W', 1, 25, 20},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(VirtualKeyName(c.key) + " from " + std::to_string(c.before));
    SetUp();
    PanelSets({VisitorActionKind::SetWeight, c.parameter, false, c.before});
    const auto others = Parameters().weights;

    EXPECT_EQ(Press(c.key), KeyOutcome::Handled);

    for (std::size_t i = 0; i < others.size(); ++i) {
      const std::int32_t expected = i == c.parameter ? c.after : others[i];
      EXPECT_EQ(Parameters().weights[i], expected);
      EXPECT_EQ(Network().weightSynapses[i]->weight, static_cast<float>(expected));
    }
    ExpectInteraction();
  }
}

TEST_F(KeyboardTest, SpeedKeysChangeStepAtOnceWithoutResettingTheNetwork) {
  struct Case {
    VirtualKey key;
    float before;
    float after;
  };
  const Case cases[] = {{'F', 15, 16}, {'S', 15, 14}, {'F', 30, 30}, {'S', 0, 0},
                        {'F', 40, 30}, {'S', -3, 0},  {'S', 31, 30}};
  for (const Case& c : cases) {
    SCOPED_TRACE(VirtualKeyName(c.key) + " from " + std::to_string(c.before));
    SetUp();
    PanelSets({VisitorActionKind::SetSpeed, 0, false, static_cast<std::int32_t>(c.before)});
    for (int i = 0; i < 10; ++i) Network().Advance();
    const double timeBefore = Network().time;

    EXPECT_EQ(Press(c.key), KeyOutcome::Handled);

    EXPECT_EQ(Parameters().speedSetting, c.after);
    EXPECT_EQ(Parameters().stepFactor, StepFactorForSpeed(c.after));
    EXPECT_EQ(Network().step, Parameters().stepFactor);
    EXPECT_EQ(Network().time, timeBefore);
    EXPECT_EQ(Parameters().weights, (std::array<std::int32_t, 6>{6, 6, 6, 7, 6, 6}));
    ExpectInteraction();
  }
}

TEST_F(KeyboardTest, StimulusKeysSendOneManualSpikeIntoTheirInput) {
  struct Case {
    VirtualKey key;
    bool first;
  };
  for (const Case c : {Case{VK_F1, true}, Case{VK_F2, false}}) {
    SetUp();
    for (int i = 0; i < 100; ++i) Network().Advance();
    EXPECT_EQ(Press(c.key), KeyOutcome::Handled);
    const float now = static_cast<float>(Network().time);
    EXPECT_EQ(Network().lastStimulusTimes[0], c.first ? now : -10.0f);
    EXPECT_EQ(Network().lastStimulusTimes[1], c.first ? -10.0f : now);
    ExpectInteraction();
  }
}

TEST_F(KeyboardTest, ZeroKeyResetsEverythingWithoutCountingAsInteraction) {
  Press('1');
  Press('F');
  Backgrounds().clear();
  test->clock.nowMs += 5000;
  const float interaction = TheExhibit().LastInteractionMinutes();

  EXPECT_EQ(Press('0'), KeyOutcome::Handled);

  EXPECT_EQ(Parameters().weights[0], 6);
  EXPECT_EQ(Parameters().speedSetting, 15.0f);
  EXPECT_TRUE(TheExhibit().IdleResetDone());
  EXPECT_EQ(TheExhibit().LastInteractionMinutes(), interaction);
  EXPECT_TRUE(Backgrounds().empty());
}

TEST_F(KeyboardTest, EveryHandledKeyCountsAsAKeyboardInteractionForOperators) {
  for (const VirtualKey key : {VirtualKey{'1'}, VirtualKey{'Q'}, VirtualKey{'F'}, VirtualKey{'S'}, VK_F1, VK_F2,
                               VirtualKey{'0'}, VirtualKey{'A'}, VK_ESCAPE}) {
    Press(key);
  }
  const monitoring::ExhibitSnapshot& status = TheExhibit().Status();
  EXPECT_EQ(status.interactions[IndexOf(monitoring::InteractionSource::Keyboard)], 7u);
  EXPECT_EQ(status.interactions[IndexOf(monitoring::InteractionSource::Panel)], 0u);
  EXPECT_EQ(status.resets[IndexOf(monitoring::ResetCause::Key)], 1u);
  EXPECT_EQ(TheExhibit().Resets(ResetCause::Key), 1);
}

TEST_F(KeyboardTest, EscAndF12EndTheExhibit) {
  EXPECT_EQ(Press(VK_ESCAPE), KeyOutcome::EndExhibit);
  EXPECT_EQ(Press(VK_F12), KeyOutcome::EndExhibit);
  EXPECT_TRUE(Backgrounds().empty());
}

TEST_F(KeyboardTest, OtherKeysDoNothing) {
  for (const VirtualKey key : {VK_NONE, VK_NUMPAD1, VK_RETURN, VK_F3, VirtualKey{'A'}, VirtualKey{'Y'},
                               VirtualKey{'7'}, VirtualKey{'9'}}) {
    SCOPED_TRACE(VirtualKeyName(key));
    EXPECT_EQ(Press(key), KeyOutcome::Ignored);
    EXPECT_EQ(Parameters().weights, (std::array<std::int32_t, 6>{6, 6, 6, 7, 6, 6}));
    EXPECT_EQ(Parameters().speedSetting, 15.0f);
    EXPECT_TRUE(TheExhibit().IdleResetDone());
    EXPECT_TRUE(Backgrounds().empty());
  }
}

TEST_F(KeyboardTest, RepeatedPressesActEachTime) {
  for (int i = 0; i < 3; ++i) Press('3');
  EXPECT_EQ(Parameters().weights[2], 9);
}

}  // namespace
}  // namespace velmora
