#include "model/Dendrite.h"

#include <gtest/gtest.h>

#include <cmath>

#include "model/DrawingStyle.h"
#include "tests/model/SpikeProbe.h"
#include "tests/support/RecordingDeviceContext.h"

namespace velmora {
namespace {

using testing::DrawCall;
using testing::RecordingDeviceContext;
using testing::SpikeProbe;
using testing::StraightPath;

Dendrite MakeDendrite(const std::vector<PathPoint>& path) {
  return Dendrite(8.0f, 700.0f, 10.0f, path.data(), static_cast<std::int32_t>(path.size()));
}

TEST(Dendrite, ResetDerivesTheWaveShape) {
  const auto path = StraightPath(90, 0.0f, -1.0f);
  const Dendrite dendrite = MakeDendrite(path);
  EXPECT_EQ(dendrite.decayConstant, 20.0f);
  EXPECT_EQ(dendrite.riseConstant, 10.0f);
  EXPECT_NEAR(dendrite.peakTime, 13.862944f, 1e-5f);
  EXPECT_NEAR(dendrite.peakScale, 40.0f, 1e-4f);
  EXPECT_FLOAT_EQ(dendrite.travelTime, 11.25f);
}

TEST(Dendrite, WaveIsOneAtItsPeakZeroAheadOfItsFrontAndDecaysBehind) {
  const auto path = StraightPath(90, 0.0f, -1.0f);
  const Dendrite dendrite = MakeDendrite(path);
  SpikeEvent event;
  event.position = 40;
  struct Case {
    std::int32_t i;
    float height;
    float tolerance;
  };
  const Case cases[] = {
      {40, 1.0f, 1e-6f},
      {20, 0.600f, 0.001f},   // twenty points behind the peak
      {53, 0.1619f, 0.001f},  // just behind the front, 13.86 points ahead of the peak
      {54, 0.0f, 0.0f},       // beyond the front
      {60, 0.0f, 0.0f},
      {89, 0.0f, 0.0f},
  };
  for (const Case& c : cases) {
    EXPECT_NEAR(dendrite.EvaluateWave(event, c.i), c.height, c.tolerance) << "at point " << c.i;
  }
}

// v = 1 is one point behind the front: 4 x (exp(-1/20) - exp(-1/10)).
TEST(Dendrite, WaveOnePointBehindItsFrontIsAboutAFifth) {
  const auto path = StraightPath(90, 0.0f, -1.0f);
  Dendrite dendrite = MakeDendrite(path);
  dendrite.peakTime = 14.0f;
  SpikeEvent event;
  event.position = 40;
  EXPECT_NEAR(dendrite.EvaluateWave(event, 53), 0.186f, 0.001f);
}

TEST(Dendrite, WaveReachesTheSomaEndAttenuatedByDistanceFromTheFirstPoint) {
  const auto path = StraightPath(90, 0.0f, -1.0f);
  Dendrite dendrite = MakeDendrite(path);
  SpikeProbe soma;
  Connect(&dendrite, &soma);
  dendrite.ReceiveSpike(0.0f, 2.4f, 20.0f);
  float peak = 0.0f;
  float time = 0.0f;
  while (soma.received.empty() && time < 20.0f) {
    time += 0.125f;
    dendrite.Update(time, 0.125f);
    peak = std::max(peak, dendrite.outputValue);
    if (time < 8.75f) {
      EXPECT_TRUE(soma.received.empty()) << "delivered early at " << time;
    }
  }
  EXPECT_FLOAT_EQ(time, 8.75f);
  EXPECT_NEAR(peak, 2.4f * std::exp(-89.0f / 700.0f), 1e-4f);
  EXPECT_NEAR(peak, 2.11f, 0.005f);
  EXPECT_EQ(dendrite.outputValue, 0.0f) << "nothing left in flight";
}

TEST(Dendrite, UpdateBeforeAWavesStartKeepsItOnThePath) {
  const auto path = StraightPath(90, 0.0f, -1.0f);
  Dendrite dendrite = MakeDendrite(path);
  dendrite.ReceiveSpike(10.0f, 1.0f, 0.0f);
  dendrite.Update(5.0f, 0.0f);
  ASSERT_EQ(dendrite.spikes.count, 1);
  EXPECT_EQ(dendrite.spikes.head->position, 0);
}

TEST(Dendrite, NegativeWaveLowersTheOutput) {
  const auto path = StraightPath(90, 0.0f, -1.0f);
  Dendrite dendrite = MakeDendrite(path);
  dendrite.ReceiveSpike(0.0f, -2.0f, 89.0f);
  dendrite.Update(0.0f, 0.0f);
  EXPECT_LT(dendrite.outputValue, -1.5f);
}

class DendriteDrawTest : public ::testing::Test {
protected:
  DendriteDrawTest()
      : path(StraightPath(42, 0.6f, -0.8f)), dendrite(MakeDendrite(path)) {}

  // The drawn line's points, after the pen selection.
  std::vector<DrawCall> Line() {
    RecordingDeviceContext dc;
    dendrite.Draw(dc, style);
    EXPECT_EQ(dc.calls.front(), (DrawCall{DrawCall::Kind::SelectPen, &style.dendritePen, nullptr}));
    return {dc.calls.begin() + 1, dc.calls.end()};
  }
  void AddWave(std::int32_t position, float strength) {
    dendrite.spikes.Append(new SpikeEvent{0.0f, strength, strength, position, nullptr, nullptr});
  }

  std::vector<PathPoint> path;
  Dendrite dendrite;
  const DrawingStyle style{Pen{}, Pen{PenStyle::Solid, 2, Rgb(0, 200, 0)}, Brush{}, Brush{}};
};

TEST_F(DendriteDrawTest, WithoutWavesDrawsEveryFourthPointOfThePath) {
  const auto line = Line();
  ASSERT_EQ(line.size(), 11u) << "points 0, 4, .. 40 of 42";
  EXPECT_EQ(line[0], (DrawCall{DrawCall::Kind::MoveTo, nullptr, nullptr, 100, 200}));
  for (std::size_t k = 1; k < line.size(); ++k) {
    EXPECT_EQ(line[k], (DrawCall{DrawCall::Kind::LineTo, nullptr, nullptr, 100 + 4 * static_cast<int>(k), 200}));
  }
}

TEST_F(DendriteDrawTest, WavePeakOnADrawnPointMovesItAlongTheNormalTruncatedTowardZero) {
  struct Case {
    float strength;
    int dx, dy;  // 14 x (0.6, -0.8) = (8.4, -11.2), either way
  };
  const Case cases[] = {{2.0f, 8, -11}, {-2.0f, -8, 11}};
  for (const Case& c : cases) {
    dendrite.Reset();
    AddWave(8, c.strength);
    const auto line = Line();
    EXPECT_EQ(line[2], (DrawCall{DrawCall::Kind::LineTo, nullptr, nullptr, 108 + c.dx, 200 + c.dy}));
    EXPECT_EQ(line[6], (DrawCall{DrawCall::Kind::LineTo, nullptr, nullptr, 124, 200})) << "ahead of the front";
  }
}

TEST_F(DendriteDrawTest, PeakBetweenDrawnPointsShowsOnlyThroughItsNeighbours) {
  AddWave(10, 2.0f);
  const auto line = Line();
  EXPECT_NE(line[2].y, 200);  // point 8, behind the peak
  EXPECT_NE(line[3].y, 200);  // point 12, ahead of the peak but behind the front
  EXPECT_EQ(line[6].y, 200);  // point 24, ahead of the front
}

TEST_F(DendriteDrawTest, SamePictureTwiceAndStraightAgainAfterReset) {
  const auto straight = Line();
  dendrite.ReceiveSpike(0.0f, 2.0f, 20.0f);
  dendrite.Update(0.0f, 0.0f);
  const auto first = Line();
  EXPECT_NE(first, straight);
  EXPECT_EQ(Line(), first);
  dendrite.Reset();
  EXPECT_EQ(Line(), straight);
}

TEST(Dendrite, ScalesNormalsOfItsOwnCopyToTheBulge) {
  const auto table = StraightPath(3, 0.6f, -0.8f);
  const Dendrite dendrite = MakeDendrite(table);
  EXPECT_EQ(table[0].nx, 0.6f);
  EXPECT_FLOAT_EQ(dendrite.path[0].nx, 4.2f);
  EXPECT_FLOAT_EQ(dendrite.path[0].ny, -5.6f);
  EXPECT_EQ(dendrite.path[2].x, table[2].x);
}

}  // namespace
}  // namespace velmora
