#pragma once
// The loudness operators choose for the built-in synthesiser, in percent of its full
// level: the amplitude scales with it (50 is 6 dB quieter); 100 is the exhibit's level
// as ever.

namespace velmora {

inline constexpr int kMinVolumePercent = 0;
inline constexpr int kMaxVolumePercent = 100;
inline constexpr int kFullVolumePercent = 100;

}  // namespace velmora
