#include "model/Spikesource.h"

#include <gtest/gtest.h>

#include "model/NetworkData.h"
#include "tests/model/SpikeProbe.h"

namespace velmora {
namespace {

using testing::SpikeProbe;

struct SourceRig {
  explicit SourceRig(const float* table, std::int32_t count) : source(table, count) {
    Connect(&source, &probe);
  }
  SpikeSource source;
  SpikeProbe probe;
};

TEST(SpikeSource, FirstSpikesOfTheNetworkTablesFallAtTheirScaledTimes) {
  struct Case {
    const float* table;
    std::int32_t count;
    float lastSilentTime;  // ms
    float firstSpikeTime;  // ms
  };
  const Case cases[] = {
      {network::kSpikeTimesT1.data(), 55, 8.3f, 8.4f},
      {network::kSpikeTimesT2.data(), 47, 67.1f, 67.2f},
  };
  for (const Case& c : cases) {
    SourceRig rig(c.table, c.count);
    rig.source.Update(c.lastSilentTime, 0.1f);
    EXPECT_TRUE(rig.probe.received.empty());
    rig.source.Update(c.firstSpikeTime, 0.1f);
    ASSERT_EQ(rig.probe.received.size(), 1u) << "an entry exactly at the update's time is due";
    EXPECT_EQ(rig.probe.received[0].time, c.firstSpikeTime);
    EXPECT_EQ(rig.probe.received[0].strength, 1.0f);
    EXPECT_EQ(rig.probe.received[0].entryPoint, 0.0f);
  }
}

TEST(SpikeSource, AllEntriesDueInOneStepLeaveWithTheStepsTime) {
  const float table[] = {1.0f, 2.0f, 3.0f, 100.0f};  // 0.6, 1.2, 1.8, 60 ms
  SourceRig rig(table, 4);
  SpikeProbe second;
  Connect(&rig.source, &second);
  rig.source.Update(2.0f, 2.0f);
  ASSERT_EQ(rig.probe.received.size(), 3u);
  for (const auto& spike : rig.probe.received) EXPECT_EQ(spike.time, 2.0f);
  EXPECT_EQ(second.received.size(), 3u);
  EXPECT_EQ(rig.source.nextIndex, 3);
}

TEST(SpikeSource, NextPassBeginsTenMillisecondsAfterTheLastEntry) {
  SourceRig rig(network::kSpikeTimesT1.data(), 55);
  rig.source.Update(2363.4f, 1.0f);  // the last entry, 3939 x 0.6
  EXPECT_EQ(rig.probe.received.size(), 55u);
  EXPECT_EQ(rig.source.nextIndex, 0);
  EXPECT_NEAR(rig.source.cycleOffset, 2373.4f, 1e-3f);
  rig.source.Update(2381.75f, 1.0f);
  EXPECT_EQ(rig.probe.received.size(), 55u);
  rig.source.Update(2381.85f, 1.0f);  // second pass's first spike, due at 2381.8
  EXPECT_EQ(rig.probe.received.size(), 56u);
}

TEST(SpikeSource, WithoutOutputsStillAdvancesThroughItsTable) {
  const float table[] = {1.0f, 2.0f, 3.0f};
  SpikeSource source(table, 3);
  source.Update(1.5f, 1.5f);
  EXPECT_EQ(source.nextIndex, 2);
}

TEST(SpikeSource, IgnoresSpikesSentToIt) {
  const float table[] = {1.0f, 2.0f};
  SourceRig rig(table, 2);
  rig.source.ReceiveSpike(0.0f, 1.0f, 0.0f);
  rig.source.Update(0.5f, 0.5f);
  EXPECT_TRUE(rig.probe.received.empty());
  EXPECT_EQ(rig.source.nextIndex, 0);
}

// Each source scales a copy: building the network again must not scale the stored
// table a second time.
TEST(SpikeSource, ScalesItsOwnCopyAndLeavesTheTable) {
  const float table[] = {14.0f, 63.0f};
  SpikeSource first(table, 2);
  SpikeSource second(table, 2);
  EXPECT_EQ(table[0], 14.0f);
  EXPECT_EQ(first.spikeTimes, second.spikeTimes);
  EXPECT_EQ(first.spikeTimes[0], static_cast<float>(14.0 * 0.6));
}

}  // namespace
}  // namespace velmora
