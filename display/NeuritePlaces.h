#pragma once
// Where the model's whole-pixel path points lie on the neurites' smooth curves, for a
// picture drawn finer than the design's pixels: each point of the network's path
// tables with its place on its curve (assets/NeuritePaths.h), and for a point near
// the neurites the shift that moves the nearest path point onto its curve.

#include <cstddef>
#include <vector>

#include "assets/NeuriteCurve.h"
#include "model/DeviceContext.h"
#include "model/Object.h"

namespace velmora {

class NeuritePlaces {
public:
  // The places of every point of the network's path tables.
  NeuritePlaces();

  // The place of a point of a path table; null for a point of no table.
  const CurvePoint* Find(const PathPoint* tablePoint) const;
  // The shift, design pixels, from the path point nearest `at` to its place on the
  // curve; none when no path point lies within kShiftReachPixels.
  ScreenVector ShiftNear(ExactPoint at) const;

private:
  struct Table {
    const PathPoint* first;          // the table's points
    std::size_t count;
    std::vector<CurvePoint> places;  // one per point
  };
  struct Entry {
    std::size_t table, point;
  };

  std::vector<Table> tables;
  // The path points sorted into square cells of the design, row by row.
  int columns = 0, rows = 0;
  std::vector<std::vector<Entry>> cells;
};

// How far from a path point a shape still moves with it, design pixels.
inline constexpr double kShiftReachPixels = 8.0;

}  // namespace velmora
