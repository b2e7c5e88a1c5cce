#pragma once
// A look-ahead peak limiter for the synthesiser's stereo output: however many notes
// overlap, no sample leaves it beyond the ceiling, and below the ceiling the sound
// passes unchanged (only delayed by the look-ahead).
//
// The gain each frame needs (ceiling / its peak, at most 1) is taken as the least
// over the last look-ahead's frames, let back up towards 1 only at the release rate,
// and smoothed by a moving average over the same length. The output lags the input by
// one frame less than the look-ahead, so every value in the average already covers
// the frame then leaving the delay line: the gain applied to a frame is never more
// than it needs, and it glides down before a peak instead of jumping.

#include <cstddef>
#include <span>
#include <vector>

namespace velmora {

class PeakLimiter {
public:
  // `ceiling` is the largest magnitude let through (1.0 is full scale).
  PeakLimiter(double sampleRateHz, float ceiling);

  // Limits interleaved stereo samples in place. The output lags the input by
  // LookAheadFrames() - 1 frames; the first ones are silence.
  void Process(std::span<float> stereoSamples);

  std::size_t LookAheadFrames() const { return lookAhead; }
  // The smallest gain applied so far (1.0: the limiter never had to act).
  float SmallestGain() const { return smallestGain; }

private:
  // Parameters
  float ceiling;
  std::size_t lookAhead;    // frames
  float releasePerFrame;    // share of the way back to 1 the gain may go per frame

  // State: the last look-ahead's input frames, the gains they need, the released
  // gains of the moving average and its running sum; all rings share one position.
  std::vector<float> delayed;   // stereo frames
  std::vector<float> needed;
  std::vector<float> averaged;
  std::size_t position = 0;
  float released = 1.0f;
  double averageSum = 0.0;
  float smallestGain = 1.0f;
};

}  // namespace velmora
