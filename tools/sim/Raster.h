#pragma once
// The spike raster of a run: one row per input source and per neuron, a tick for
// every spike at its simulated time, a time axis and the timed actions, so that the
// network's rhythm shows at a glance. Drawn as SVG text or as an RGB image for PNG.

#include <cstdint>
#include <string>
#include <vector>

#include "tools/sim/SimRun.h"

namespace velmora::sim {

// Row labels, top to bottom: the two sources, then the three neurons.
inline constexpr int kRasterRowCount = kSourceCount + kSomaCount;
extern const char* const kRasterRowLabels[kRasterRowCount];

struct RgbImage {
  std::int32_t widthPixels = 0;
  std::int32_t heightPixels = 0;
  std::vector<std::uint8_t> rgb;  // rows top first, 3 bytes per pixel, no padding
};

// The raster as a complete SVG document.
std::string BuildRasterSvg(const RunRecord& record);

// The same raster as pixels.
RgbImage BuildRasterImage(const RunRecord& record);

// Evenly spaced axis marks from 0 up to `endMs`: a step of 1, 2 or 5 times a power of
// ten, the smallest that gives at most `maxIntervals` intervals. Always holds 0.
std::vector<double> AxisMarksMs(double endMs, int maxIntervals);

}  // namespace velmora::sim
