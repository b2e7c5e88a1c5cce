#include "assets/NeuritePaths.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "assets/NeuriteCurve.h"

namespace velmora {

namespace {

// Curve samples per pixel of chord: a Hermite segment moves at most about 1.5 chord
// lengths per unit parameter, so consecutive samples stay well under half a pixel
// apart and their rounded positions never skip a pixel.
constexpr double kSamplesPerChordPixel = 16.0;
// Half width of the moving average over neighbouring normals, path points.
constexpr int kNormalSmoothingPoints = 3;

struct Vec {
  double x = 0.0;
  double y = 0.0;
};

Vec operator+(Vec a, Vec b) { return {a.x + b.x, a.y + b.y}; }
Vec operator*(double s, Vec a) { return {s * a.x, s * a.y}; }
double Length(Vec a) { return std::hypot(a.x, a.y); }
Vec Unit(Vec a) {
  const double length = Length(a);
  return length > 0.0 ? (1.0 / length) * a : Vec{};
}
Vec FromScreen(ScreenVector v) { return {v.x, v.y}; }
bool IsZero(ScreenVector v) { return v.x == 0.0 && v.y == 0.0; }

// The normal on the given side of a direction of travel.
Vec NormalOf(Vec direction, NormalSide side) { return FromScreen(velmora::NormalOf({direction.x, direction.y}, side)); }

struct WalkPoint {
  PixelPoint pixel;
  Vec tangent;         // unit curve direction where the walk reached this pixel
  CurvePoint nearest;  // the sample nearest the pixel's centre while the walk was on it
};

double DistanceToPixel(const CurvePoint& point, PixelPoint pixel) {
  return std::hypot(point.at.x - pixel.x, point.at.y - pixel.y);
}

int Chebyshev(PixelPoint a, PixelPoint b) { return std::max(std::abs(a.x - b.x), std::abs(a.y - b.y)); }

bool TouchesExtent(PixelPoint p, const PixelBox& box) {
  return p.x == box.xMin || p.x == box.xMax || p.y == box.yMin || p.y == box.yMax;
}

// The curve rasterised into an 8-connected walk. Clamping into the extent box keeps
// the walk connected, because clamping never moves two points further apart.
std::vector<WalkPoint> DenseWalk(const NeuriteControl& control) {
  const PixelBox& box = control.extent;
  std::vector<WalkPoint> walk;
  for (const CurvePoint& sample : NeuriteCurve(control).Samples(kSamplesPerChordPixel)) {
    const PixelPoint pixel{std::clamp(static_cast<std::int32_t>(std::lround(sample.at.x)), box.xMin, box.xMax),
                           std::clamp(static_cast<std::int32_t>(std::lround(sample.at.y)), box.yMin, box.yMax)};
    if (!walk.empty() && walk.back().pixel == pixel) {
      if (DistanceToPixel(sample, pixel) < DistanceToPixel(walk.back().nearest, pixel)) walk.back().nearest = sample;
      continue;
    }
    walk.push_back({pixel, FromScreen(sample.tangent), sample});
  }
  return walk;
}

// Drops every point whose neighbours are already adjacent (staircase corners and
// back-steps), so the walk takes as few points as its shape allows. Points on the
// extent box stay, or the walk could lose the only point that reaches an edge.
std::vector<WalkPoint> Shortest(const std::vector<WalkPoint>& walk, const PixelBox& box) {
  std::vector<WalkPoint> out;
  for (const WalkPoint& point : walk) {
    while (out.size() >= 2 && Chebyshev(out[out.size() - 2].pixel, point.pixel) <= 1 &&
           !TouchesExtent(out.back().pixel, box)) {
      out.pop_back();
    }
    if (!out.empty() && out.back().pixel == point.pixel) continue;
    out.push_back(point);
  }
  return out;
}

// The walk's point for each path point: repeats spread evenly along the walk until
// it has the wanted length.
std::vector<std::size_t> PaddedIndices(std::size_t walkSize, std::size_t wanted) {
  std::vector<std::size_t> out;
  out.reserve(std::max(walkSize, wanted));
  const std::size_t extra = wanted > walkSize ? wanted - walkSize : 0;
  std::size_t added = 0;
  for (std::size_t i = 0; i < walkSize; ++i) {
    out.push_back(i);
    // Repeat k lands after point floor((k + 0.5) * size / extra).
    while (added < extra && (2 * added + 1) * walkSize / (2 * extra) == i) {
      out.push_back(i);
      ++added;
    }
  }
  return out;
}

// The shortest walk of the curve, one entry per path point.
struct TableWalk {
  std::vector<WalkPoint> walk;
  std::vector<std::size_t> pointOf;  // per path point, its walk point
};

TableWalk WalkForTable(const NeuriteControl& control) {
  TableWalk table;
  table.walk = Shortest(DenseWalk(control), control.extent);
  table.pointOf = PaddedIndices(table.walk.size(), static_cast<std::size_t>(control.pointCount));
  return table;
}

}  // namespace

int ChebyshevDistance(const PathPoint& a, const PathPoint& b) {
  return std::max(std::abs(a.x - b.x), std::abs(a.y - b.y));
}

std::vector<PathPoint> BuildNeuritePath(const NeuriteControl& control) {
  const TableWalk table = WalkForTable(control);
  std::vector<WalkPoint> walk;
  walk.reserve(table.pointOf.size());
  for (const std::size_t i : table.pointOf) walk.push_back(table.walk[i]);

  std::vector<Vec> raw(walk.size());
  for (std::size_t i = 0; i < walk.size(); ++i) raw[i] = NormalOf(walk[i].tangent, control.side);

  std::vector<PathPoint> path(walk.size());
  const int n = static_cast<int>(walk.size());
  for (int i = 0; i < n; ++i) {
    Vec normal;
    if (!IsZero(control.fixedNormal)) {
      normal = FromScreen(control.fixedNormal);
    } else {
      // The window shrinks symmetrically towards the ends, so the end normals stay
      // those of the chosen end directions.
      const int half = std::min({kNormalSmoothingPoints, i, n - 1 - i});
      Vec sum;
      for (int j = i - half; j <= i + half; ++j) {
        sum = sum + raw[static_cast<std::size_t>(j)];
      }
      normal = Unit(sum);
    }
    path[static_cast<std::size_t>(i)] = {walk[static_cast<std::size_t>(i)].pixel.x,
                                         walk[static_cast<std::size_t>(i)].pixel.y,
                                         static_cast<float>(normal.x), static_cast<float>(normal.y)};
  }
  return path;
}

std::size_t ShortestWalkLength(const NeuriteControl& control) {
  return Shortest(DenseWalk(control), control.extent).size();
}

std::vector<CurvePoint> PathPointsOnCurve(const NeuriteControl& control) {
  const TableWalk table = WalkForTable(control);
  const std::size_t n = table.pointOf.size();
  std::vector<CurvePoint> places(n);
  const std::vector<CurvePoint> samples = NeuriteCurve(control).Samples(kSamplesPerChordPixel);
  for (std::size_t i = 0; i < n;) {
    // A walk point and the repeats that follow it share the stretch of curve up to
    // the next walk point's place.
    std::size_t run = 1;
    while (i + run < n && table.pointOf[i + run] == table.pointOf[i]) ++run;
    const CurvePoint& here = table.walk[table.pointOf[i]].nearest;
    const double next = i + run < n ? table.walk[table.pointOf[i + run]].nearest.arc : here.arc;
    for (std::size_t k = 0; k < run; ++k) {
      places[i + k] = k == 0 ? here : PointAtArc(samples, here.arc + (next - here.arc) * static_cast<double>(k) / run);
    }
    i += run;
  }
  return places;
}

std::vector<std::vector<PathPoint>> BuildAllNeuritePaths() {
  std::vector<std::vector<PathPoint>> paths;
  paths.reserve(kNeuriteControls.size());
  for (const NeuriteControl& control : kNeuriteControls) paths.push_back(BuildNeuritePath(control));
  return paths;
}

std::vector<std::string> CheckNeuritePath(const NeuriteControl& control, const std::vector<PathPoint>& path,
                                          const std::vector<PathPoint>* parentPath) {
  std::vector<std::string> faults;
  auto fault = [&](const std::string& text) { faults.push_back(std::string(control.name) + ": " + text); };
  auto pixel = [](const PathPoint& p) { return "(" + std::to_string(p.x) + ", " + std::to_string(p.y) + ")"; };

  if (static_cast<std::int32_t>(path.size()) != control.pointCount) {
    fault("has " + std::to_string(path.size()) + " points, wants " + std::to_string(control.pointCount));
  }
  if (path.empty()) return faults;
  if (path.front().x != control.first.x || path.front().y != control.first.y) {
    fault("starts at " + pixel(path.front()));
  }
  if (path.back().x != control.last.x || path.back().y != control.last.y) fault("ends at " + pixel(path.back()));

  PixelBox box{path[0].x, path[0].x, path[0].y, path[0].y};
  for (const PathPoint& p : path) {
    box = {std::min(box.xMin, p.x), std::max(box.xMax, p.x), std::min(box.yMin, p.y), std::max(box.yMax, p.y)};
  }
  if (box.xMin != control.extent.xMin || box.xMax != control.extent.xMax || box.yMin != control.extent.yMin ||
      box.yMax != control.extent.yMax) {
    fault("spans x " + std::to_string(box.xMin) + ".." + std::to_string(box.xMax) + ", y " +
          std::to_string(box.yMin) + ".." + std::to_string(box.yMax));
  }

  const int n = static_cast<int>(path.size());
  for (int i = 0; i < n; ++i) {
    const PathPoint& p = path[static_cast<std::size_t>(i)];
    if (i > 0 && ChebyshevDistance(path[static_cast<std::size_t>(i - 1)], p) > 1) {
      fault("jumps at point " + std::to_string(i));
    }
    if (std::abs(std::hypot(p.nx, p.ny) - 1.0) > kUnitTolerance) {
      fault("normal at point " + std::to_string(i) + " is not a unit vector");
    }
    const PathPoint& ahead = path[static_cast<std::size_t>(std::min(n - 1, i + kSideWindowPoints))];
    const PathPoint& behind = path[static_cast<std::size_t>(std::max(0, i - kSideWindowPoints))];
    const Vec wanted = NormalOf(Vec{static_cast<double>(ahead.x - behind.x), static_cast<double>(ahead.y - behind.y)},
                                control.side);
    if (wanted.x * p.nx + wanted.y * p.ny <= 0.0) fault("normal at point " + std::to_string(i) + " on wrong side");
    if (i > 0) {
      const PathPoint& q = path[static_cast<std::size_t>(i - 1)];
      const double turn = std::acos(std::clamp(static_cast<double>(p.nx * q.nx + p.ny * q.ny), -1.0, 1.0));
      if (turn > kMaxNormalTurnRadians) fault("normal turns sharply at point " + std::to_string(i));
    }
  }

  // The chosen end directions are what the path shows at its ends.
  auto checkEnd = [&](ScreenVector direction, const PathPoint& p, const char* which) {
    if (IsZero(direction) || !IsZero(control.fixedNormal)) return;
    const Vec wanted = NormalOf(Unit(FromScreen(direction)), control.side);
    if (std::max(std::abs(wanted.x - p.nx), std::abs(wanted.y - p.ny)) > kEndNormalTolerance) {
      fault(std::string(which) + " normal strays from the chosen direction");
    }
  };
  checkEnd(control.startDirection, path.front(), "first");
  checkEnd(control.endDirection, path.back(), "last");

  if (parentPath != nullptr && !parentPath->empty() &&
      ChebyshevDistance(parentPath->back(), path.front()) > kBranchGapPixels) {
    fault("starts " + std::to_string(ChebyshevDistance(parentPath->back(), path.front())) +
          " px from its parent's end");
  }
  return faults;
}

std::string PathTablesSource(const std::vector<std::vector<PathPoint>>& paths) {
  std::string text =
      "// Generated by velmora-assetgen from assets/NeuriteControlPoints.cpp. Do not edit.\n"
      "#include \"model/NetworkTables.h\"\n\nnamespace velmora {\n\nnamespace {\n\n";
  char line[160];
  for (std::size_t k = 0; k < paths.size(); ++k) {
    text += "const PathPoint kPoints" + std::string(kNeuriteControls[k].name) + "[] = {\n";
    for (const PathPoint& p : paths[k]) {
      std::snprintf(line, sizeof line, "    {%d, %d, %.9ef, %.9ef},\n", p.x, p.y, static_cast<double>(p.nx),
                    static_cast<double>(p.ny));
      text += line;
    }
    text += "};\n\n";
  }
  text += "}  // namespace\n\nconst std::array<PathTable, kPathCount> kPathTables = {{\n";
  for (std::size_t k = 0; k < paths.size(); ++k) {
    const std::string name = kNeuriteControls[k].name;
    text += "    {\"" + name + "\", kPoints" + name + ", " + std::to_string(paths[k].size()) + "},\n";
  }
  text += "}};\n\n}  // namespace velmora\n";
  return text;
}

}  // namespace velmora
