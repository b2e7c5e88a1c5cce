#include "model/SpeedRule.h"

#include <gtest/gtest.h>

namespace velmora {
namespace {

TEST(SpeedRule, StepFactorFollowsTheSpeedCurve) {
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

}  // namespace
}  // namespace velmora
