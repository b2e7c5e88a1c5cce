#pragma once
// The spike raster of a run: one row per input source and per neuron, a tick for
// every spike at its simulated time, a time axis and the timed actions, so that the
// network's rhythm shows at a glance. Laid out once as shapes, written as SVG or drawn
// into pixels for PNG.

#include <string>
#include <vector>

#include "tools/sim/ShapeList.h"
#include "tools/sim/SimRun.h"


namespace velmora::sim {

// Row labels, top to bottom: the two sources, then the three neurons.
inline constexpr int kRasterRowCount = kSourceCount + kSomaCount;
extern const char* const kRasterRowLabels[kRasterRowCount];

// The raster's layout.
ShapeList BuildRasterShapes(const RunRecord& record);

// The raster as a complete SVG document.
std::string BuildRasterSvg(const RunRecord& record);

// The same raster as pixels, its texts set in `font` (left out when it is null).
RgbImage BuildRasterImage(const RunRecord& record, const GlyphCache* font);

// The pixels written as a PNG file; false when it cannot be written.
bool WriteRasterPng(const RunRecord& record, const GlyphCache* font, const std::string& path);

// Evenly spaced axis marks from 0 up to `endMs`: a step of 1, 2 or 5 times a power of
// ten, the smallest that gives at most `maxIntervals` intervals. Always holds 0.
std::vector<double> AxisMarksMs(double endMs, int maxIntervals);

}  // namespace velmora::sim
