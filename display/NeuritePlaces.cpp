#include "display/NeuritePlaces.h"

#include <algorithm>
#include <cmath>
#include <functional>

#include "assets/NeuritePaths.h"
#include "assets/ScaledPictures.h"
#include "model/NetworkTables.h"

namespace velmora {

NeuritePlaces::NeuritePlaces() {
  columns = static_cast<int>(std::ceil(kPictureWidth / kShiftReachPixels));
  rows = static_cast<int>(std::ceil(kPictureHeight / kShiftReachPixels));
  cells.resize(static_cast<std::size_t>(columns * rows));
  for (std::size_t k = 0; k < kPathTables.size(); ++k) {
    const PathTable& table = kPathTables[k];
    tables.push_back({table.points, static_cast<std::size_t>(table.count), PathPointsOnCurve(kNeuriteControls[k])});
    for (std::size_t i = 0; i < tables.back().count; ++i) {
      const int column = std::clamp(static_cast<int>(table.points[i].x / kShiftReachPixels), 0, columns - 1);
      const int row = std::clamp(static_cast<int>(table.points[i].y / kShiftReachPixels), 0, rows - 1);
      cells[static_cast<std::size_t>(row * columns + column)].push_back({k, i});
    }
  }
}

const CurvePoint* NeuritePlaces::Find(const PathPoint* tablePoint) const {
  const std::less<const PathPoint*> before;
  for (const Table& table : tables) {
    if (!before(tablePoint, table.first) && before(tablePoint, table.first + table.count)) {
      return &table.places[static_cast<std::size_t>(tablePoint - table.first)];
    }
  }
  return nullptr;
}

ScreenVector NeuritePlaces::ShiftNear(ExactPoint at) const {
  const int column = static_cast<int>(std::floor(at.x / kShiftReachPixels));
  const int row = static_cast<int>(std::floor(at.y / kShiftReachPixels));
  double nearest = kShiftReachPixels;
  ScreenVector shift{0.0, 0.0};
  for (int r = std::max(0, row - 1); r <= std::min(rows - 1, row + 1); ++r) {
    for (int c = std::max(0, column - 1); c <= std::min(columns - 1, column + 1); ++c) {
      for (const Entry& entry : cells[static_cast<std::size_t>(r * columns + c)]) {
        const Table& table = tables[entry.table];
        const PathPoint& point = table.first[entry.point];
        const double distance = std::hypot(point.x - at.x, point.y - at.y);
        if (distance >= nearest) continue;
        nearest = distance;
        const CurvePoint& place = table.places[entry.point];
        shift = {place.at.x - point.x, place.at.y - point.y};
      }
    }
  }
  return shift;
}

}  // namespace velmora
