#include "shell/Parameters.h"

#include <gtest/gtest.h>

#include <vector>

#include "model/Synapse.h"
#include "shell/ExhibitModel.h"
#include "tests/support/FakeClock.h"

namespace velmora {
namespace {

using testing::FakeClock;
using testing::ScopedClock;

std::vector<Background> backgroundsSelected;
void RecordBackground(Background background) { backgroundsSelected.push_back(background); }

class ParametersTest : public ::testing::Test {
protected:
  void SetUp() override {
    backgroundsSelected.clear();
    selectBackground = RecordBackground;
  }
  void TearDown() override { selectBackground = nullptr; }

  FakeClock clock{2'000'000};
  ScopedClock useClock{clock};
};

TEST_F(ParametersTest, StepFactorFollowsTheSpeedCurve) {
  struct Case {
    float speed;
    float stepFactor;
  };
  const Case cases[] = {{0.0f, 0.02f}, {7.0f, 0.0201904f}, {15.0f, 0.0384375f}, {20.0f, 0.123594f},
                        {25.0f, 0.415180f}, {30.0f, 1.2f}};
  for (const Case& c : cases) {
    EXPECT_NEAR(StepFactorForSpeed(c.speed), c.stepFactor, 1e-6f) << "speed " << c.speed;
  }
  EXPECT_EQ(StepFactorForSpeed(30.0f), 1.2f);
  EXPECT_EQ(StepFactorForSpeed(0.0f), 0.02f);
}

TEST_F(ParametersTest, ResetReturnsParametersSpeedAndNetworkToDefaults) {
  userParams = {0, 20, 25, -5, 1, 2};
  model.SetWeights(userParams);
  speedSetting = 30.0f;
  stepFactor = 1.2f;
  model.step = 1.2f;
  for (int i = 0; i < 50; ++i) model.Advance();

  ResetToDefaults();

  EXPECT_EQ(userParams, (std::array<std::int32_t, 6>{6, 6, 6, 7, 6, 6}));
  EXPECT_EQ(speedSetting, 15.0f);
  EXPECT_EQ(stepFactor, 0.0384375f);
  EXPECT_EQ(model.step, stepFactor);
  EXPECT_EQ(model.time, 0.0);
  const float expectedWeights[6] = {6, 6, 6, 7, 6, 6};
  for (std::size_t i = 0; i < 6; ++i) EXPECT_EQ(model.weightSynapses[i]->weight, expectedWeights[i]);
  EXPECT_EQ(idleResetDone, 1);
}

TEST_F(ParametersTest, ResetIsNoInteraction) {
  lastInteractionMinutes = 12.5f;
  idleResetDone = 0;
  ResetToDefaults();
  EXPECT_EQ(lastInteractionMinutes, 12.5f);
  EXPECT_TRUE(backgroundsSelected.empty());
}

TEST_F(ParametersTest, InteractionRestartsIdleTimeAndShowsLabels) {
  idleResetDone = 1;
  NoteInteraction();
  EXPECT_FLOAT_EQ(lastInteractionMinutes, 2'000'000.0f / 60'000.0f);
  EXPECT_EQ(idleResetDone, 0);
  EXPECT_EQ(backgroundsSelected, std::vector<Background>{Background::Labeled});
}

TEST_F(ParametersTest, MinutesSinceSpansTheTickWrapButNotRoundingError) {
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
  for (const Case& c : cases) {
    clock.nowMs = c.storedMs;
    const auto stored = static_cast<float>(CurrentMinutes());
    clock.nowMs = c.nowMs;
    EXPECT_NEAR(MinutesSince(stored), c.minutes, 0.01) << c.storedMs << " -> " << c.nowMs;
  }
  // A float reading rounded up past the present is no wrap.
  clock.nowMs = 0xFFFFFF00u;
  EXPECT_LT(std::abs(MinutesSince(static_cast<float>(CurrentMinutes()))), 0.01);
}

}  // namespace
}  // namespace velmora
