#include "platform/PeakLimiter.h"

#include <algorithm>
#include <cmath>

namespace velmora {
namespace {

// 1 ms: long enough to glide down through a marimba's attack without a click, short
// against the other delays of a note (a few ms of audio buffers).
constexpr double kLookAheadSeconds = 0.001;
// After a peak the gain recovers with this time constant, so the ringing of loud notes
// is not pumped up and down with every cycle of their tone.
constexpr double kReleaseSeconds = 0.150;

}  // namespace

PeakLimiter::PeakLimiter(double sampleRateHz, float ceiling_)
    : ceiling(ceiling_),
      lookAhead(std::max<std::size_t>(2, static_cast<std::size_t>(std::lround(sampleRateHz * kLookAheadSeconds)))),
      releasePerFrame(static_cast<float>(1.0 - std::exp(-1.0 / (sampleRateHz * kReleaseSeconds)))),
      delayed(2 * lookAhead, 0.0f),
      needed(lookAhead, 1.0f),
      averaged(lookAhead, 1.0f),
      averageSum(static_cast<double>(lookAhead)) {}

void PeakLimiter::Process(std::span<float> stereoSamples) {
  for (std::size_t i = 0; i + 1 < stereoSamples.size(); i += 2) {
    const float left = stereoSamples[i];
    const float right = stereoSamples[i + 1];
    const float peak = std::max(std::fabs(left), std::fabs(right));
    needed[position] = peak > ceiling ? ceiling / peak : 1.0f;
    delayed[2 * position] = left;
    delayed[2 * position + 1] = right;

    const float least = *std::min_element(needed.begin(), needed.end());
    released = std::min(least, released + (1.0f - released) * releasePerFrame);
    averageSum += static_cast<double>(released) - averaged[position];
    averaged[position] = released;
    const float gain = std::min(1.0f, static_cast<float>(averageSum / static_cast<double>(lookAhead)));
    smallestGain = std::min(smallestGain, gain);

    // The oldest frame in the ring leaves now.
    const std::size_t oldest = (position + 1) % lookAhead;
    stereoSamples[i] = delayed[2 * oldest] * gain;
    stereoSamples[i + 1] = delayed[2 * oldest + 1] * gain;
    position = oldest;
  }
}

}  // namespace velmora
