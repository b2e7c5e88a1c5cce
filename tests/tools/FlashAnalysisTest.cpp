#include "tools/sim/FlashAnalysis.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace velmora::sim {
namespace {

constexpr int kWidth = 1024;
constexpr int kHeight = 768;
constexpr int kRate = 50;

// Two seconds of frames on a mid-grey ground, a patch of `side` x `side` pixels at the
// centre switching between two colours every `framesPerState` frames.
FlashCounts Alternate(int side, std::uint32_t first, std::uint32_t second, int framesPerState) {
  FlashAnalyser analyser(kWidth, kHeight, FieldFor(ViewingGeometry{}, 1.0), kRate);
  std::vector<std::uint32_t> frame(static_cast<std::size_t>(kWidth) * kHeight, 0x404040);
  for (int n = 0; n < 2 * kRate; ++n) {
    const std::uint32_t colour = (n / framesPerState) % 2 == 0 ? first : second;
    for (int y = (kHeight - side) / 2; y < (kHeight + side) / 2; ++y) {
      for (int x = (kWidth - side) / 2; x < (kWidth + side) / 2; ++x) frame[static_cast<std::size_t>(y) * kWidth + x] = colour;
    }
    analyser.AddFrame(frame.data(), kWidth);
  }
  return analyser.Counts();
}

TEST(FlashAnalysisTest, OnlyLargeEnoughAndStrongEnoughAlternationsCountAsFlashes) {
  struct Case {
    const char* what;
    int side;
    std::uint32_t first, second;
    int framesPerState;
    double general, red;
  } cases[] = {
      // 5 frames each way at 50 frames a second: 5 flashes a second over 200 x 200
      // pixels, more than the 21,824 that count.
      {"black and white, 5 a second", 200, 0x000000, 0xFFFFFF, 5, 5.0, 0.0},
      {"black and white, 12.5 a second", 200, 0x000000, 0xFFFFFF, 2, 12.5, 0.0},
      {"below the counting area (140 x 140)", 140, 0x000000, 0xFFFFFF, 5, 0.0, 0.0},
      {"too small a change of luminance", 200, 0x606060, 0x6A6A6A, 5, 0.0, 0.0},
      {"both states lighter than 0.8", 200, 0xEAEAEA, 0xFFFFFF, 5, 0.0, 0.0},
      // Saturated red against a grey of about the same luminance: only a red flash.
      {"red and a grey as light", 200, 0xFF0000, 0x7F7F7F, 5, 0.0, 5.0},
      {"red and black", 200, 0xC80000, 0x000000, 5, 5.0, 5.0},
      {"a blue as saturated is no red flash", 200, 0x0000FF, 0x4C4C4C, 5, 0.0, 0.0},
  };
  for (const Case& c : cases) {
    const FlashCounts counts = Alternate(c.side, c.first, c.second, c.framesPerState);
    EXPECT_EQ(counts.generalPerSecond, c.general) << c.what;
    EXPECT_EQ(counts.redPerSecond, c.red) << c.what;
    EXPECT_EQ(counts.frames, 2 * kRate) << c.what;
  }
}

TEST(FlashAnalysisTest, ASlowRampIsOneTransitionNotMany) {
  FlashAnalyser analyser(kWidth, kHeight, FieldFor(ViewingGeometry{}, 1.0), kRate);
  std::vector<std::uint32_t> frame(static_cast<std::size_t>(kWidth) * kHeight, 0);
  // Black to white in steps of 5 levels a frame: one lighter transition, half a flash.
  for (int level = 0; level <= 255; level += 5) {
    std::fill(frame.begin(), frame.end(), static_cast<std::uint32_t>(level * 0x010101));
    analyser.AddFrame(frame.data(), kWidth);
  }
  EXPECT_EQ(analyser.Counts().generalPerSecond, 0.5);
  EXPECT_GE(analyser.Counts().largestAreaShare, 1.0);
}

TEST(FlashAnalysisTest, TheFieldScalesWithTheScreenTheDistanceAndThePicturesScale) {
  const FlashField reference = FieldFor(ViewingGeometry{}, 1.0);
  EXPECT_EQ(reference.widthPixels, 341);
  EXPECT_EQ(reference.heightPixels, 256);
  EXPECT_NEAR(reference.countingAreaPixels, 21824.0, 1.0);

  // Twice as far: the same angle spans twice the pixels.
  ViewingGeometry far;
  far.viewingDistanceCm = 2 * kReferenceViewingDistanceCm;
  EXPECT_EQ(FieldFor(far, 1.0).widthPixels, 682);

  // A 55-inch 3840 x 2160 screen has about the reference's pixel size, so from 150 cm
  // the field spans 150 / 61 times as many pixels; the classic picture scaled up 2.8125
  // times covers it with that many fewer of its own.
  const ViewingGeometry large{3840, 2160, 55.0, 150.0};
  EXPECT_NEAR(FieldFor(large, 1.0).widthPixels, 840, 2);
  EXPECT_NEAR(FieldFor(large, 2.8125).widthPixels, 840 / 2.8125, 1);
}

}  // namespace
}  // namespace velmora::sim
