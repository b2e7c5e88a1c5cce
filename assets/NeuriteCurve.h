#pragma once
// The smooth curve that shapes one neurite: a chain of cubic Hermite segments from
// its first point through its interior points to its last. The path table the model
// runs on is this curve walked in whole pixels (assets/NeuritePaths.h); the sharp
// picture paints the curve itself and places what the model draws on it.

#include <cstddef>
#include <vector>

#include "assets/NeuriteControlPoints.h"

namespace velmora {

// One point of a neurite's curve.
struct CurvePoint {
  ScreenVector at;       // picture pixels (whole numbers at pixel centres)
  ScreenVector tangent;  // unit direction of travel
  double arc = 0.0;      // picture pixels along the curve from its first point
};

class NeuriteCurve {
public:
  // Interior tangents bisect the chords on either side; each segment scales its end
  // tangents by its own chord, so short segments do not overshoot and loops cannot form.
  explicit NeuriteCurve(const NeuriteControl& control);

  std::size_t SegmentCount() const { return nodes.size() - 1; }
  // Picture pixels from the segment's start node to its end node.
  double Chord(std::size_t segment) const;
  // The point at parameter u (0 .. 1) of a segment.
  ScreenVector At(std::size_t segment, double u) const;
  // The derivative there (not of unit length).
  ScreenVector Tangent(std::size_t segment, double u) const;

  // The curve sampled `perChordPixel` times per pixel of each segment's chord, both
  // ends of every segment included, with unit tangents and arc lengths.
  std::vector<CurvePoint> Samples(double perChordPixel) const;

private:
  std::vector<ScreenVector> nodes;       // pixels: first point, interior points, last point
  std::vector<ScreenVector> directions;  // unit direction of travel at each node
};

// The unit normal on the given side of a direction of travel.
ScreenVector NormalOf(ScreenVector direction, NormalSide side);

// The point at `arc` pixels along sampled curve points (clamped to its ends), its
// tangent that of the nearer sample.
CurvePoint PointAtArc(const std::vector<CurvePoint>& samples, double arc);

}  // namespace velmora
