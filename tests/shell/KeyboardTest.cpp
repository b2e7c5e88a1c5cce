#include "shell/Keyboard.h"

#include <gtest/gtest.h>

#include <vector>

#include "model/Synapse.h"
#include "shell/ExhibitModel.h"
#include "shell/Parameters.h"
#include "tests/support/FakeClock.h"

namespace velmora {
namespace {

using testing::FakeClock;
using testing::ScopedClock;

constexpr VirtualKey VK_NUMPAD1 = 0x61;
constexpr VirtualKey VK_RETURN = 0x0D;
constexpr VirtualKey VK_F3 = 0x72;

std::vector<Background> backgroundsSelected;
void RecordBackground(Background background) { backgroundsSelected.push_back(background); }

class KeyboardTest : public ::testing::Test {
protected:
  void SetUp() override {
    ResetToDefaults();
    lastInteractionMinutes = 0.0f;
    backgroundsSelected.clear();
    selectBackground = RecordBackground;
  }
  void TearDown() override { selectBackground = nullptr; }

  static void ExpectInteraction() {
    EXPECT_EQ(idleResetDone, 0);
    EXPECT_FLOAT_EQ(lastInteractionMinutes, 3'000'000.0f / 60'000.0f);
    EXPECT_EQ(backgroundsSelected, std::vector<Background>{Background::Labeled});
  }

  FakeClock clock{3'000'000};
  ScopedClock useClock{clock};
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
    userParams[c.parameter] = c.before;
    const auto others = userParams;

    EXPECT_EQ(ApplyVisitorKey(c.key), KeyOutcome::Handled);

    for (std::size_t i = 0; i < userParams.size(); ++i) {
      const std::int32_t expected = i == c.parameter ? c.after : others[i];
      EXPECT_EQ(userParams[i], expected);
      EXPECT_EQ(model.weightSynapses[i]->weight, static_cast<float>(expected));
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
    speedSetting = c.before;
    for (int i = 0; i < 10; ++i) model.Advance();
    const double timeBefore = model.time;

    EXPECT_EQ(ApplyVisitorKey(c.key), KeyOutcome::Handled);

    EXPECT_EQ(speedSetting, c.after);
    EXPECT_EQ(stepFactor, StepFactorForSpeed(c.after));
    EXPECT_EQ(model.step, stepFactor);
    EXPECT_EQ(model.time, timeBefore);
    EXPECT_EQ(userParams, (std::array<std::int32_t, 6>{6, 6, 6, 7, 6, 6}));
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
    for (int i = 0; i < 100; ++i) model.Advance();
    EXPECT_EQ(ApplyVisitorKey(c.key), KeyOutcome::Handled);
    const float now = static_cast<float>(model.time);
    EXPECT_EQ(model.lastStimulusTimes[0], c.first ? now : -10.0f);
    EXPECT_EQ(model.lastStimulusTimes[1], c.first ? -10.0f : now);
    ExpectInteraction();
  }
}

TEST_F(KeyboardTest, ZeroKeyResetsEverythingWithoutCountingAsInteraction) {
  ApplyVisitorKey('1');
  ApplyVisitorKey('F');
  backgroundsSelected.clear();
  clock.nowMs += 5000;
  const float interaction = lastInteractionMinutes;

  EXPECT_EQ(ApplyVisitorKey('0'), KeyOutcome::Handled);

  EXPECT_EQ(userParams[0], 6);
  EXPECT_EQ(speedSetting, 15.0f);
  EXPECT_EQ(idleResetDone, 1);
  EXPECT_EQ(lastInteractionMinutes, interaction);
  EXPECT_TRUE(backgroundsSelected.empty());
}

TEST_F(KeyboardTest, EscAndF12EndTheExhibit) {
  EXPECT_EQ(ApplyVisitorKey(VK_ESCAPE), KeyOutcome::EndExhibit);
  EXPECT_EQ(ApplyVisitorKey(VK_F12), KeyOutcome::EndExhibit);
  EXPECT_TRUE(backgroundsSelected.empty());
}

TEST_F(KeyboardTest, OtherKeysDoNothing) {
  for (const VirtualKey key : {VK_NONE, VK_NUMPAD1, VK_RETURN, VK_F3, VirtualKey{'A'}, VirtualKey{'Y'},
                               VirtualKey{'7'}, VirtualKey{'9'}}) {
    SCOPED_TRACE(VirtualKeyName(key));
    EXPECT_EQ(ApplyVisitorKey(key), KeyOutcome::Ignored);
    EXPECT_EQ(userParams, (std::array<std::int32_t, 6>{6, 6, 6, 7, 6, 6}));
    EXPECT_EQ(speedSetting, 15.0f);
    EXPECT_EQ(idleResetDone, 1);
    EXPECT_TRUE(backgroundsSelected.empty());
  }
}

TEST_F(KeyboardTest, RepeatedPressesActEachTime) {
  for (int i = 0; i < 3; ++i) ApplyVisitorKey('3');
  EXPECT_EQ(userParams[2], 9);
}

}  // namespace
}  // namespace velmora
