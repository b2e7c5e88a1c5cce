// The exhibit's sound kept within what speakers and visitors need: notes moved up by
// the transposition on their way to every output, and the synthesiser's level limited
// so that overlapping notes never clip.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "platform/MidiSynth.h"
#include "platform/MidiTranspose.h"
#include "platform/PeakLimiter.h"
#include "tests/support/RecordingMidiOutput.h"

namespace velmora {
namespace {

TEST(TransposingOutput, MovesTheKeyOfNotesOnlyAndDropsNotesMovedOutOfRange) {
  struct Case {
    int semitones;
    std::uint32_t in;
    std::vector<std::uint32_t> out;
  } cases[] = {
      {36, 0x7F0490, {0x7F2890}},  // note on, key 4 to 40, velocity kept
      {36, 0x000C82, {0x003082}},  // note off on channel 2
      {12, 0x4008A1, {0x4014A1}},  // key pressure
      {36, 0x007BB0, {0x007BB0}},  // all notes off: no key in it
      {36, 0x000CC0, {0x000CC0}},  // program change 12 stays the marimba
      {-24, 0x7F0490, {}},         // key 4 two octaves down: no such note
      {60, 0x7F4490, {}},          // key 68 five octaves up: beyond 127
      {60, 0x7F4390, {0x7F7F90}},  // key 67 becomes 127, the highest
  };
  for (const Case& c : cases) {
    testing::RecordingMidiOutput log;
    TransposingOutput transposer(&log, c.semitones);
    EXPECT_EQ(transposer.ShortMessage(c.in), MidiSendResult::Accepted);
    EXPECT_EQ(log.messages, c.out) << std::hex << c.in << " by " << std::dec << c.semitones;
  }
  TransposingOutput nowhere(nullptr, 12);
  EXPECT_EQ(nowhere.ShortMessage(0x7F0490), MidiSendResult::NoOutput);
}

TEST(PeakLimiter, PassesQuietSoundUnchangedAndHoldsLoudSoundBelowTheCeiling) {
  constexpr double kRate = 48000.0;
  constexpr float kCeiling = 0.98f;
  PeakLimiter limiter(kRate, kCeiling);
  const std::size_t delay = limiter.LookAheadFrames() - 1;
  // A second of a 440 Hz tone at half scale, then one of bursts up to four times full
  // scale, each starting abruptly.
  std::vector<float> input;
  for (int n = 0; n < 2 * 48000; ++n) {
    const double tone = std::sin(2.0 * 3.14159265 * 440.0 * n / kRate);
    const double level = n < 48000 ? 0.5 : ((n / 4800) % 2 == 0 ? 4.0 : 0.3);
    input.push_back(static_cast<float>(level * tone));
    input.push_back(static_cast<float>(-level * tone));
  }
  std::vector<float> output = input;
  limiter.Process(output);
  for (std::size_t frame = delay; frame < 48000; ++frame) {
    ASSERT_EQ(output[2 * frame], input[2 * (frame - delay)]) << "quiet frame " << frame;
  }
  float loudest = 0.0f;
  for (float sample : output) loudest = std::max(loudest, std::fabs(sample));
  EXPECT_LE(loudest, kCeiling);
  EXPECT_GT(loudest, 0.9f * kCeiling);
  EXPECT_LT(limiter.SmallestGain(), 0.3f);
}

TEST(SoundfontSynth, ThirtyNotesAtOnceStayBelowFullScaleAtEveryVolume) {
  for (int volume : {kFullVolumePercent, 50, 0}) {
    std::string error;
    auto synth = SoundfontSynth::Create(FindDefaultSoundfont(), kSynthSampleRateHz, error, volume);
    ASSERT_NE(synth, nullptr) << error;
    for (std::uint32_t channel = 0; channel < 3; ++channel) synth->Apply(0x000CC0u | channel);
    // Thirty marimba notes at full velocity, struck together, low and loud.
    for (std::uint32_t key = 24; key < 54; ++key) synth->Apply(0x7F0090u | (key % 3) | (key << 8));
    std::vector<std::int16_t> samples(2 * kSynthSampleRateHz);
    synth->Render(samples);
    int loudest = 0;
    for (std::int16_t s : samples) loudest = std::max(loudest, std::abs(static_cast<int>(s)));
    EXPECT_LT(loudest, 32767) << "volume " << volume;
    // At full volume the notes together exceed full scale: the limiter had to act.
    if (volume == kFullVolumePercent) {
      EXPECT_LT(synth->SmallestLimiterGain(), 0.9f);
    }
    if (volume == 0) {
      EXPECT_EQ(loudest, 0);
    } else {
      EXPECT_GT(loudest, 32767 * volume / 100 / 4) << "volume " << volume;
    }
  }
}

}  // namespace
}  // namespace velmora
