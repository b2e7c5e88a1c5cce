#include "model/Axon.h"

#include <gtest/gtest.h>

#include "model/DrawingStyle.h"
#include "tests/model/SpikeProbe.h"
#include "tests/support/RecordingDeviceContext.h"

namespace velmora {
namespace {

using testing::DrawCall;
using testing::RecordingDeviceContext;
using testing::SpikeProbe;
using testing::StraightPath;

// 12 points at 12 points per ms: one ms from the first point to the end.
constexpr std::int32_t kPoints = 12;

class AxonTest : public ::testing::Test {
protected:
  AxonTest() : path(StraightPath(kPoints, 0.3f, -0.7f)), axon(12.0f, path.data(), kPoints) {
    Connect(&axon, &probe);
  }
  std::vector<PathPoint> path;
  Axon axon;
  SpikeProbe probe;
};

TEST_F(AxonTest, DeliversAtTheFirstUpdateAtOrAfterTheTravelTimeWithThatUpdatesTime) {
  struct Case {
    float step;          // ms
    float deliveredAt;   // ms
  };
  // Received at 0 with a travel time of 1 ms.
  const Case cases[] = {{0.25f, 1.0f}, {0.3f, 1.2f}, {0.75f, 1.5f}};
  for (const Case& c : cases) {
    axon.Reset();
    probe.received.clear();
    axon.ReceiveSpike(0.0f, 1.0f, 0.0f);
    float time = 0.0f;
    while (probe.received.empty() && time < 10.0f) {
      time += c.step;
      axon.Update(time, c.step);
    }
    ASSERT_EQ(probe.received.size(), 1u);
    EXPECT_FLOAT_EQ(probe.received[0].time, c.deliveredAt);
    EXPECT_EQ(probe.received[0].entryPoint, 0.0f);
    EXPECT_EQ(axon.spikes.count, 0);
  }
}

TEST_F(AxonTest, PositionIsTheTruncatedFractionOfTheWay) {
  struct Case {
    float time;  // ms since receipt
    std::int32_t position;
  };
  // An update before the spike's stamp keeps it on the path instead of before its start.
  const Case cases[] = {{0.0f, 0}, {0.05f, 0}, {0.5f, 6}, {0.99f, 11}, {-1.0f, 0}};
  for (const Case& c : cases) {
    axon.Reset();
    axon.ReceiveSpike(0.0f, 1.0f, 0.0f);
    axon.Update(c.time, c.time);
    ASSERT_EQ(axon.spikes.count, 1);
    EXPECT_EQ(axon.spikes.head->position, c.position) << "at " << c.time;
  }
}

TEST_F(AxonTest, BranchesReceiveTheSpikeInTheSameUpdateInConnectionOrder) {
  std::vector<int> order;
  struct Branch : Object {
    Branch(std::vector<int>& log_, int id_) : log(log_), id(id_) {}
    void ReceiveSpike(float, float, float) override { log.push_back(id); }
    std::vector<int>& log;
    int id;
  };
  Branch first(order, 1), second(order, 2);
  Connect(&axon, &first);
  Connect(&axon, &second);
  axon.ReceiveSpike(0.0f, 1.0f, 0.0f);
  axon.Update(1.0f, 1.0f);
  EXPECT_EQ(probe.received.size(), 1u);
  EXPECT_EQ(order, (std::vector<int>{1, 2}));
}

TEST(Axon, WithoutOutputsDropsArrivingSpikes) {
  const auto path = StraightPath(kPoints, 0.0f, -1.0f);
  Axon axon(12.0f, path.data(), kPoints);
  axon.ReceiveSpike(0.0f, 1.0f, 0.0f);
  axon.Update(2.0f, 2.0f);
  EXPECT_EQ(axon.spikes.count, 0);
}

TEST_F(AxonTest, KeepsEarlierSpikesInFlightWhileDeliveringLaterOnes) {
  axon.ReceiveSpike(0.0f, 1.0f, 0.0f);
  axon.ReceiveSpike(0.5f, 1.0f, 0.0f);
  axon.ReceiveSpike(0.9f, 1.0f, 0.0f);
  axon.Update(1.0f, 0.1f);
  EXPECT_EQ(probe.received.size(), 1u);
  ASSERT_EQ(axon.spikes.count, 2);
  EXPECT_EQ(axon.spikes.head->position, 6);
  EXPECT_EQ(axon.spikes.Next(axon.spikes.head)->position, 1);
}

class AxonDrawTest : public AxonTest {
protected:
  const DrawingStyle style{Pen{PenStyle::Solid, 2, Rgb(200, 200, 200)}, Pen{}, Brush{}, Brush{}};
};

TEST_F(AxonDrawTest, DrawsOneTickPerSpikeAcrossThePathTruncatedTowardZero) {
  struct Case {
    float strength;
    int dx, dy;  // pixels from the point the spike has reached
  };
  // The unit normal (0.3, -0.7) scaled by 25 is (7.5, -17.5).
  const Case cases[] = {{1.0f, 7, -17}, {0.5f, 3, -8}, {-1.0f, -7, 17}};
  for (const Case& c : cases) {
    axon.Reset();
    axon.ReceiveSpike(0.0f, c.strength, 0.0f);
    axon.Update(0.5f, 0.5f);
    RecordingDeviceContext dc;
    axon.Draw(dc, style);
    const std::vector<DrawCall> expected = {
        {DrawCall::Kind::SelectPen, &style.axonPen, nullptr},
        {DrawCall::Kind::MoveTo, nullptr, nullptr, 106, 200},
        {DrawCall::Kind::LineTo, nullptr, nullptr, 106 + c.dx, 200 + c.dy},
    };
    EXPECT_EQ(dc.calls, expected) << "strength " << c.strength;
  }
}

TEST_F(AxonDrawTest, SpikesReceivedInTheSameStepCoincide) {
  axon.ReceiveSpike(0.0f, 1.0f, 0.0f);
  axon.ReceiveSpike(0.0f, 1.0f, 0.0f);
  axon.Update(0.25f, 0.25f);
  RecordingDeviceContext dc;
  axon.Draw(dc, style);
  const auto lines = dc.Only(DrawCall::Kind::LineTo);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0], lines[1]);
}

TEST_F(AxonDrawTest, AfterResetOnlySelectsItsPen) {
  axon.ReceiveSpike(0.0f, 1.0f, 0.0f);
  axon.Update(0.25f, 0.25f);
  axon.Reset();
  RecordingDeviceContext dc;
  axon.Draw(dc, style);
  EXPECT_EQ(dc.calls.size(), 1u);
  EXPECT_EQ(axon.spikes.count, 0);
}

TEST(Axon, ScalesNormalsOfItsOwnCopyToTickLength) {
  const auto table = StraightPath(3, 0.6f, -0.8f);
  const Axon axon(12.0f, table.data(), 3);
  EXPECT_EQ(table[1].nx, 0.6f);
  EXPECT_EQ(axon.path[1].x, table[1].x);
  EXPECT_EQ(axon.path[1].y, table[1].y);
  EXPECT_FLOAT_EQ(axon.path[1].nx, 15.0f);
  EXPECT_FLOAT_EQ(axon.path[1].ny, -20.0f);
  EXPECT_FLOAT_EQ(axon.travelTime, 0.25f);
}

}  // namespace
}  // namespace velmora
