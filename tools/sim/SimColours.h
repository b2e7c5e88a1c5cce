#pragma once
// Whether every eye can tell the synapses apart in the sharp picture: the two brushes
// against each other and against the painted ground around each triangle, and the
// second cue (the edge round the red ones) against both, as each kind of colour
// vision sees them, in CIEDE2000.

#include <string>
#include <vector>

#include "display/ColourVision.h"
#include "model/DrawingStyle.h"

namespace velmora::sim {

// Below this two small shapes are taken for one colour at a glance.
inline constexpr double kDistinctColourDifference = 20.0;

struct ColourRow {
  ColourVision vision = ColourVision::kTypical;
  double blueAgainstRed = 0.0;
  double blueAgainstGround = 0.0;  // the least over the ten synapses' grounds
  double redAgainstGround = 0.0;
  double edgeAgainstGround = 0.0;  // 0 without an edge
  double edgeAgainstRed = 0.0;
};

// For every kind of vision; the grounds are taken from the sharp picture painted at
// the design's size. Empty, with the reason in `error`, if it cannot be painted.
std::vector<ColourRow> MeasureSynapseColours(const DrawingStyle& style, std::string* error);

// True when every pair is at least kDistinctColourDifference apart, or, for the red
// triangles, when their edge is that far from both the ground and the red.
bool EveryEyeTellsThemApart(const std::vector<ColourRow>& rows, bool edged);

std::string FormatColourReport(const std::vector<ColourRow>& rows, bool edged);

}  // namespace velmora::sim
