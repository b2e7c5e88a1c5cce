#include "model/Soma.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "model/Midi.h"
#include "tests/model/SpikeProbe.h"
#include "tests/support/RecordingMidiOutput.h"

namespace velmora {
namespace {

using testing::RecordingMidiOutput;
using testing::SpikeProbe;

constexpr PathPoint kCentre{242, 225, 0.0f, 1.0f};

class SomaTest : public ::testing::Test {
protected:
  SomaTest() : soma(1.5f, 2.0f, &kCentre, 0, 120, 4) {
    Connect(&dendriteA, &soma);
    Connect(&dendriteB, &soma);
    Connect(&soma, &axon);
    soma.noteOutput = &midi;
  }
  void Input(float a, float b = 0.0f) {
    dendriteA.outputValue = a;
    dendriteB.outputValue = b;
  }

  RecordingMidiOutput midi;
  Object dendriteA, dendriteB;
  Soma soma;
  SpikeProbe axon;
};

TEST_F(SomaTest, FiresOnlyAboveTheThreshold) {
  struct Case {
    float a, b;
    bool fires;
  };
  const Case cases[] = {
      {1.5f, 0.0f, false},
      {std::nextafter(1.5f, 2.0f), 0.0f, true},
      {1.0f, 0.5f, false},
      {1.0f, 0.75f, true},  // the dendrites add up
      {3.0f, -1.6f, false},
  };
  for (const Case& c : cases) {
    soma.Reset();
    axon.received.clear();
    Input(c.a, c.b);
    soma.Update(5.0f, 1.0f);
    EXPECT_EQ(axon.received.size(), c.fires ? 1u : 0u) << c.a << " + " << c.b;
    EXPECT_EQ(soma.summedInput, c.a + c.b) << "shown whether or not it fires";
  }
}

TEST_F(SomaTest, EachFiringSendsOneNoteOnAndOneSpikeToEachOutput) {
  SpikeProbe secondAxon;
  Connect(&soma, &secondAxon);
  Input(2.0f);
  soma.Update(5.0f, 1.0f);
  ASSERT_EQ(midi.messages.size(), 1u);
  EXPECT_EQ(midi.messages[0], 0x00780490u);  // note on, channel 0, note 4, velocity 120
  ASSERT_EQ(axon.received.size(), 1u);
  EXPECT_EQ(axon.received[0].time, 5.0f);
  EXPECT_EQ(axon.received[0].strength, 1.0f);
  EXPECT_EQ(axon.received[0].entryPoint, 0.0f);
  EXPECT_EQ(secondAxon.received.size(), 1u);
  EXPECT_EQ(soma.lastSpikeTime, 5.0f);
}

TEST_F(SomaTest, RefractoryPeriodHidesThenBlocksThenAllows) {
  struct Case {
    float time;  // ms; the soma fired at 10.0
    bool inputShown;
    bool fires;
  };
  const Case cases[] = {
      {10.5f, false, false},
      {10.999f, false, false},
      {11.0f, true, false},   // half the period: shown again
      {12.0f, true, false},   // exactly one period: not yet
      {12.001f, true, true},
  };
  for (const Case& c : cases) {
    soma.Reset();
    Input(2.0f);
    soma.Update(10.0f, 1.0f);
    axon.received.clear();
    soma.Update(c.time, 1.0f);
    EXPECT_EQ(soma.summedInput, c.inputShown ? 2.0f : 0.0f) << "at " << c.time;
    EXPECT_EQ(axon.received.size(), c.fires ? 1u : 0u) << "at " << c.time;
  }
}

TEST_F(SomaTest, CannotFireAtTimeZeroRightAfterResetButCanJustAfter) {
  Input(2.0f);
  soma.Update(0.0f, 0.0f);
  EXPECT_TRUE(axon.received.empty());
  soma.Update(0.001f, 0.001f);
  EXPECT_EQ(axon.received.size(), 1u);
}

TEST_F(SomaTest, IgnoresSpikesSentToIt) {
  soma.ReceiveSpike(1.0f, 5.0f, 0.0f);
  soma.Update(1.0f, 1.0f);
  EXPECT_EQ(soma.summedInput, 0.0f);
  EXPECT_TRUE(axon.received.empty());
  EXPECT_TRUE(midi.messages.empty());
}

TEST_F(SomaTest, FiresSilentlyWithoutAMidiOutput) {
  soma.noteOutput = nullptr;
  Input(2.0f);
  soma.Update(1.0f, 1.0f);
  EXPECT_EQ(axon.received.size(), 1u);
  EXPECT_TRUE(midi.messages.empty());
}

}  // namespace
}  // namespace velmora
