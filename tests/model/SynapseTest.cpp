#include "model/Synapse.h"

#include <gtest/gtest.h>

#include "model/DrawingStyle.h"
#include "tests/model/SpikeProbe.h"
#include "tests/support/RecordingDeviceContext.h"

namespace velmora {
namespace {

using testing::DrawCall;
using testing::RecordingDeviceContext;
using testing::SpikeProbe;

// Base along x at (100, 200), tip at (110, 190) growing upwards; stored not normalised.
constexpr SynapseShape kShape{100, 200, 2.0f, 0.0f, 110, 190, 0.0f, -3.0f};

struct SynapseRig {
  SynapseRig(float facilitation, float recovery, float baseUse, float weight)
      : synapse(facilitation, recovery, baseUse, weight, &kShape, 42.0f) {
    Connect(&synapse, &probe);
  }
  // One spike received and transmitted in the same step.
  void Spike(float time) {
    synapse.ReceiveSpike(time, 1.0f, 0.0f);
    synapse.Update(time, 1.0f);
  }
  Synapse synapse;
  SpikeProbe probe;
};

TEST(Synapse, DepressesUnderARunOfSpikes) {
  struct Expected {
    float time, amplitude, resources, use;
  };
  const Expected expected[] = {
      {0.0f, 2.4f, 1.0f, 0.4f},
      {10.0f, 2.34f, 0.713f, 0.546f},
      {20.0f, 1.85f, 0.516f, 0.599f},
  };
  SynapseRig rig(20.0f, 30.0f, 0.4f, 6.0f);
  for (const Expected& e : expected) {
    rig.Spike(e.time);
    EXPECT_NEAR(rig.synapse.lastAmplitude, e.amplitude, 0.005f) << "at " << e.time;
    EXPECT_NEAR(rig.synapse.resources, e.resources, 0.0005f);
    EXPECT_NEAR(rig.synapse.use, e.use, 0.0005f);
  }
  ASSERT_EQ(rig.probe.received.size(), 3u);
  EXPECT_EQ(rig.probe.received[2].strength, rig.synapse.lastAmplitude);
}

TEST(Synapse, FirstSpikeAfterResetMeetsLeftoverSlowFacilitation) {
  SynapseRig rig(1700.0f, 30.0f, 0.1f, 6.0f);
  rig.Spike(0.0f);
  EXPECT_NEAR(rig.synapse.use, 0.15f, 0.001f);
  EXPECT_NEAR(rig.synapse.lastAmplitude, 0.90f, 0.005f);
}

TEST(Synapse, ZeroWeightTransmitsNothingButStillUsesResources) {
  SynapseRig rig(20.0f, 30.0f, 0.4f, 0.0f);
  rig.Spike(0.0f);
  rig.Spike(10.0f);
  EXPECT_EQ(rig.synapse.lastAmplitude, 0.0f);
  EXPECT_NEAR(rig.synapse.resources, 0.713f, 0.0005f);
  EXPECT_NEAR(rig.synapse.use, 0.546f, 0.0005f);
}

TEST(Synapse, TransmitsWithTheArrivalStampAndItsDendritePosition) {
  SynapseRig rig(20.0f, 30.0f, 0.4f, 6.0f);
  rig.synapse.ReceiveSpike(3.0f, 1.0f, 0.0f);
  rig.synapse.Update(5.0f, 1.0f);
  ASSERT_EQ(rig.probe.received.size(), 1u);
  EXPECT_EQ(rig.probe.received[0].time, 3.0f);
  EXPECT_EQ(rig.probe.received[0].entryPoint, 42.0f);
  EXPECT_EQ(rig.synapse.lastSpikeTime, 3.0f);
}

TEST(Synapse, TwoSpikesInOneStepTransmitOnceWithTheLaterStamp) {
  SynapseRig rig(20.0f, 30.0f, 0.4f, 6.0f);
  rig.synapse.ReceiveSpike(4.0f, 1.0f, 0.0f);
  rig.synapse.ReceiveSpike(4.5f, 1.0f, 0.0f);
  rig.synapse.Update(5.0f, 1.0f);
  rig.synapse.Update(6.0f, 1.0f);
  ASSERT_EQ(rig.probe.received.size(), 1u);
  EXPECT_EQ(rig.probe.received[0].time, 4.5f);
}

TEST(Synapse, SpikeStampedZeroIsTransmittedAndClearsThePending) {
  SynapseRig rig(20.0f, 30.0f, 0.4f, 6.0f);
  rig.synapse.Update(0.0f, 1.0f);
  EXPECT_TRUE(rig.probe.received.empty()) << "nothing pending after a reset";
  rig.synapse.ReceiveSpike(0.0f, 1.0f, 0.0f);
  rig.synapse.Update(0.0f, 1.0f);
  EXPECT_EQ(rig.probe.received.size(), 1u);
  EXPECT_EQ(rig.synapse.pendingSpikeTime, -1.0f);
}

TEST(Synapse, ResetReturnsToTheConstructedState) {
  SynapseRig rig(20.0f, 30.0f, 0.4f, 6.0f);
  const SynapseShape shapeBefore = rig.synapse.shape;
  rig.Spike(0.0f);
  rig.synapse.weight = -3.0f;
  rig.synapse.ReceiveSpike(7.0f, 1.0f, 0.0f);
  rig.synapse.Reset();
  rig.synapse.Reset();
  EXPECT_EQ(rig.synapse.weight, 6.0f);
  EXPECT_EQ(rig.synapse.resources, 1.0f);
  EXPECT_EQ(rig.synapse.use, 0.4f);
  EXPECT_EQ(rig.synapse.pendingSpikeTime, -1.0f);
  EXPECT_EQ(rig.synapse.lastSpikeTime, -1000.0f);
  EXPECT_EQ(rig.synapse.lastAmplitude, 0.0f);
  EXPECT_EQ(rig.synapse.shape.dx1, shapeBefore.dx1);
  EXPECT_EQ(rig.synapse.shape.dy2, shapeBefore.dy2);
}

TEST(Synapse, NormalisesTheDirectionsOfItsOwnShape) {
  const SynapseRig rig(20.0f, 30.0f, 0.4f, 6.0f);
  EXPECT_EQ(rig.synapse.shape.dx1, 1.0f);
  EXPECT_EQ(rig.synapse.shape.dy2, -1.0f);
  EXPECT_EQ(kShape.dx1, 2.0f);
}

class SynapseDrawTest : public ::testing::Test {
protected:
  const DrawingStyle style{Pen{}, Pen{}, Brush{Rgb(0, 0, 200)}, Brush{Rgb(200, 0, 0)}};
};

TEST_F(SynapseDrawTest, TriangleGrowsWithTheWeightsMagnitudeAndTakesItsSignsBrush) {
  struct Case {
    float weight;
    bool negative;
    int left, right, tipY;  // s = |weight| x 1.2 + 5: base from 100 - s to 100 + s, tip at 190 - s
  };
  const Case cases[] = {
      {0.0f, false, 95, 105, 185},     // s = 5
      {6.0f, false, 87, 112, 177},     // s = 12.2
      {-9.0f, true, 84, 115, 174},     // s = 15.8
      {20.0f, false, 71, 129, 161},    // s = 29
      {-0.5f, true, 94, 105, 184},     // s = 5.6
  };
  for (const Case& c : cases) {
    SynapseRig rig(20.0f, 30.0f, 0.4f, c.weight);
    RecordingDeviceContext dc;
    rig.synapse.Draw(dc, style);
    DrawCall polygon{DrawCall::Kind::Polygon};
    polygon.corners = {{{c.left, 200}, {c.right, 200}, {110, c.tipY}}};
    const std::vector<DrawCall> expected = {
        {DrawCall::Kind::SelectBrush, nullptr, c.negative ? &style.negativeSynapseBrush : &style.positiveSynapseBrush},
        {DrawCall::Kind::SelectPen, StockNullPen(), nullptr},
        polygon,
    };
    EXPECT_EQ(dc.calls, expected) << "weight " << c.weight;
  }
}

}  // namespace
}  // namespace velmora
