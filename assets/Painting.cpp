#include "assets/Painting.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <limits>
#include <thread>

#include "assets/NeuriteCurve.h"
#include "assets/NeuritePaths.h"

namespace velmora {

namespace {

// Fixed seed of all texture: the same picture on every build. Each use of the noise
// has its own layer number so that no two patterns repeat each other.
constexpr std::uint32_t kTextureSeed = 0x5e9a11c3u;
constexpr std::uint32_t kNeuriteLayers = 20;
constexpr std::uint32_t kSomaLayers = 100;

// Ground texture: brightness offsets of the sepia ground, in 8-bit levels, for
// three sizes of blotches (lattice spacing in pixels) and a per-pixel grain.
struct NoiseLayer {
  double spacingPixels;
  double amplitudeLevels;
};
constexpr NoiseLayer kGroundLayers[] = {{96.0, 6.0}, {28.0, 3.5}, {7.0, 2.0}};
constexpr double kGrainLevels = 1.5;
// How a brightness offset spreads over red, green and blue: sepia keeps its hue.
constexpr double kSepiaRed = 1.0, kSepiaGreen = 0.68, kSepiaBlue = 0.45;

// Neurites: the darkest core colour, the faint light rim outside the dark core, and
// the rim's peak strength and width (pixels) just outside the core's edge.
struct Colour {
  double r, g, b;
};
constexpr Colour kNeuriteCore{24, 14, 8};
constexpr Colour kNeuriteEdge{62, 38, 21};
constexpr Colour kNeuriteRim{222, 196, 160};
constexpr double kRimStrength = 0.32;
constexpr double kRimOffsetPixels = 1.4;
constexpr double kRimHalfWidthPixels = 1.3;
constexpr double kMinCoreRadiusPixels = 1.0;
// Thin end of a neurite as a share of its thickest width: dendrites thicken towards
// their cell body, axons thin out away from it.
constexpr double kDendriteTipShare = 0.45;
constexpr double kAxonTipShare = 0.6;
// Path points either side averaged into the painted centre line along the path.
constexpr int kCentreSmoothingPoints = 2;
// Along a smooth curve: its samples per pixel of chord (as the path tables are walked
// from it), and the spacing of the brush marks, picture pixels.
constexpr double kCurveSamplesPerChordPixel = 16.0;
constexpr double kDiscSpacingPixels = 0.5;
// An end run on beyond the picture's edge turns to head straight out within this
// many picture pixels.
constexpr double kEdgeRunBendPixels = 48.0;

// Cell bodies: the cream-white halo outside the outline, and the body's colours.
constexpr Colour kHalo{250, 241, 214};
constexpr double kHaloStrength = 0.9;
constexpr double kHaloPeakPixels = 1.6;   // outside the outline
constexpr double kHaloSigmaPixels = 2.0;
constexpr Colour kBodyEdge{58, 35, 19};
constexpr Colour kBodyMiddle{92, 58, 33};
constexpr Colour kBodyCentre{110, 72, 42};
constexpr Colour kNucleus{150, 108, 70};
constexpr Colour kNucleolus{58, 36, 20};
constexpr double kBodyEdgePixels = 3.5;    // dark border inside the outline
constexpr double kNucleusSigmaPixels = 5.5;
constexpr double kNucleusShare = 0.6;
constexpr double kNucleolusSigmaPixels = 1.3;
constexpr double kNucleolusShare = 0.85;
constexpr double kBodyGrainLevels = 5.0;
// The body looks lit from the upper left: brighter there, darker to the lower right.
constexpr double kReliefLevels = 11.0;
constexpr double kLightX = -0.6, kLightY = -0.8;
// Neurites are not drawn with a ruler: their width wanders a little along the path.
constexpr double kWidthWander = 0.14;       // share of the width
constexpr double kWidthWanderPoints = 23.0; // path points between wander lattice points
constexpr double kPathInBodyShare = 0.5;   // how strongly a path shows inside a body
constexpr int kCoverageSamples = 4;        // per pixel side, for smooth outlines
constexpr int kOutlineSamplesPerPoint = 24;

// A painted pixel counts as part of a neurite when it is this much darker than the
// ground (sum of the three channels); the ground texture never gets close.
constexpr int kNeuriteDarkeningLevels = 60;

// Canvas rows painted together: every layer of a band is held at once, so even a
// 3840 x 2160 canvas needs only a few megabytes of working layers per thread.
constexpr int kBandRows = 16;
// A neurite end this close (picture pixels) to the picture's left, right or top edge
// runs on straight to the canvas's edge when the canvas reaches beyond the design.
constexpr int kEdgeEndPixels = 5;
// Path points back from an end that give its direction when none was chosen.
constexpr int kEndChordPoints = 8;
// Side of the grid cells that sort the outline's edges for the distance search,
// picture pixels.
constexpr double kOutlineGridPixels = 4.0;
// Margin on the lower bounds that rule edges out of the distance search, far above
// rounding error, so the search finds exactly the full scan's minimum.
constexpr double kDistanceSlack = 1e-6;
constexpr double kFitSlackPixels = 1e-6;

struct Vec {
  double x = 0.0, y = 0.0;
};

std::uint32_t Hash(std::uint32_t x, std::uint32_t y, std::uint32_t layer) {
  std::uint32_t h = x * 0x8da6b343u ^ y * 0xd8163841u ^ layer * 0xcb1ab31fu ^ kTextureSeed;
  h ^= h >> 16;
  h *= 0x7feb352du;
  h ^= h >> 15;
  h *= 0x846ca68bu;
  h ^= h >> 16;
  return h;
}

// A deterministic value in -1 .. 1 per lattice point.
double Lattice(int x, int y, std::uint32_t layer) {
  return Hash(static_cast<std::uint32_t>(x), static_cast<std::uint32_t>(y), layer) / 2147483647.5 - 1.0;
}

double Smooth(double t) { return t * t * (3.0 - 2.0 * t); }

double ValueNoise(double x, double y, double spacing, std::uint32_t layer) {
  const double gx = x / spacing, gy = y / spacing;
  const int ix = static_cast<int>(std::floor(gx)), iy = static_cast<int>(std::floor(gy));
  const double fx = Smooth(gx - ix), fy = Smooth(gy - iy);
  const double top = Lattice(ix, iy, layer) * (1 - fx) + Lattice(ix + 1, iy, layer) * fx;
  const double bottom = Lattice(ix, iy + 1, layer) * (1 - fx) + Lattice(ix + 1, iy + 1, layer) * fx;
  return top * (1 - fy) + bottom * fy;
}

// ValueNoise along one row, for x rising: the four lattice values are looked up
// again only when x enters the next lattice cell. Same arithmetic, same values.
class RowNoise {
public:
  RowNoise(double y, double spacing, std::uint32_t layer) : spacing_(spacing), layer_(layer) {
    const double gy = y / spacing;
    iy_ = static_cast<int>(std::floor(gy));
    fy_ = Smooth(gy - iy_);
  }

  double At(double x) {
    const double gx = x / spacing_;
    if (!cached_ || gx < ix_ || gx >= ix_ + 1.0) {
      ix_ = static_cast<int>(std::floor(gx));
      cached_ = true;
      topLeft_ = Lattice(ix_, iy_, layer_);
      topRight_ = Lattice(ix_ + 1, iy_, layer_);
      bottomLeft_ = Lattice(ix_, iy_ + 1, layer_);
      bottomRight_ = Lattice(ix_ + 1, iy_ + 1, layer_);
    }
    const double fx = Smooth(gx - ix_);
    const double top = topLeft_ * (1 - fx) + topRight_ * fx;
    const double bottom = bottomLeft_ * (1 - fx) + bottomRight_ * fx;
    return top * (1 - fy_) + bottom * fy_;
  }

private:
  double spacing_;
  std::uint32_t layer_;
  int iy_ = 0;
  double fy_ = 0.0;
  bool cached_ = false;
  int ix_ = 0;
  double topLeft_ = 0.0, topRight_ = 0.0, bottomLeft_ = 0.0, bottomRight_ = 0.0;
};

Colour Mix(Colour a, Colour b, double t) { return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t}; }

// std::lround's rounding, half away from zero, without the library call: the
// painting rounds every channel of every pixel.
long RoundHalfAway(double v) {
  const auto whole = static_cast<long>(v);
  const double fraction = v - static_cast<double>(whole);
  return whole + static_cast<long>(fraction >= 0.5) - static_cast<long>(fraction <= -0.5);
}

std::uint8_t Level(double v) { return static_cast<std::uint8_t>(std::clamp(RoundHalfAway(v), 0L, 255L)); }

Colour ToColour(Rgb p) { return {static_cast<double>(p.r), static_cast<double>(p.g), static_cast<double>(p.b)}; }
Rgb ToRgb(Colour c) { return {Level(c.r), Level(c.g), Level(c.b)}; }

std::uint32_t Pack(Rgb p, std::uint8_t alpha) {
  return static_cast<std::uint32_t>(alpha) << 24 | static_cast<std::uint32_t>(p.r) << 16 |
         static_cast<std::uint32_t>(p.g) << 8 | p.b;
}
constexpr std::uint32_t kOpaqueBlack = 0xFF000000u;

// The ground's brightness offset from its grain (per canvas pixel) and its blotches
// (at the picture point), and the ground colour it makes.
Rgb GroundFromOffset(double offset) {
  return {Level(kGroundColour.r + offset * kSepiaRed), Level(kGroundColour.g + offset * kSepiaGreen),
          Level(kGroundColour.b + offset * kSepiaBlue)};
}

// One round brush mark of a neurite, picture pixels.
struct Disc {
  Vec centre;
  double radius;  // of the dark core
};

void AddSegment(std::vector<Disc>& discs, Vec a, Vec b, double radiusA, double radiusB) {
  const int steps = std::max(1, static_cast<int>(std::ceil(std::hypot(b.x - a.x, b.y - a.y) * 2.0)));
  for (int s = 0; s <= steps; ++s) {
    const double t = static_cast<double>(s) / steps;
    discs.push_back({{a.x + (b.x - a.x) * t, a.y + (b.y - a.y) * t}, radiusA + (radiusB - radiusA) * t});
  }
}

bool IsDendrite(const NeuriteControl& control) { return control.name[0] == 'D'; }

// Core radius at point i (possibly between two points) of n, pixels.
double CoreRadius(const NeuriteControl& control, double i, std::size_t n) {
  const double t = n > 1 ? i / static_cast<double>(n - 1) : 0.0;
  const double share = IsDendrite(control) ? kDendriteTipShare + (1.0 - kDendriteTipShare) * t
                                           : 1.0 - (1.0 - kAxonTipShare) * t;
  return std::max(kMinCoreRadiusPixels, 0.5 * control.thicknessPixels * share);
}

// The core radius at a (possibly fractional) point index: the taper times the
// wandering width.
double WanderingRadius(double coreRadius, double index, std::uint32_t layer) {
  return coreRadius * (1.0 + kWidthWander * ValueNoise(index, 0.0, kWidthWanderPoints, layer));
}

// The centre line through the path pixels, each averaged with its neighbours: the
// built-in picture's neurites, drawn pixel by pixel along the model's own points.
void AddNeuriteAlongPath(std::vector<Disc>& discs, const NeuriteControl& control, const std::vector<PathPoint>& path,
                         std::uint32_t layer) {
  const int n = static_cast<int>(path.size());
  std::vector<Vec> centre(path.size());
  for (int i = 0; i < n; ++i) {
    const int half = std::min({kCentreSmoothingPoints, i, n - 1 - i});
    Vec sum;
    for (int j = i - half; j <= i + half; ++j) {
      sum.x += path[static_cast<std::size_t>(j)].x;
      sum.y += path[static_cast<std::size_t>(j)].y;
    }
    centre[static_cast<std::size_t>(i)] = {sum.x / (2 * half + 1), sum.y / (2 * half + 1)};
  }
  for (std::size_t i = 0; i + 1 < centre.size(); ++i) {
    auto radius = [&](std::size_t j) {
      return WanderingRadius(CoreRadius(control, static_cast<double>(j), path.size()), static_cast<double>(j), layer);
    };
    AddSegment(discs, centre[i], centre[i + 1], radius(i), radius(i + 1));
  }
  // The exact path pixels are always neurite, whatever the smoothing did.
  for (std::size_t i = 0; i < path.size(); ++i) {
    discs.push_back({{static_cast<double>(path[i].x), static_cast<double>(path[i].y)}, kMinCoreRadiusPixels * 0.5});
  }
}

// The centre line on the neurite's smooth curve, for pictures larger than the
// design's pixels: no step of the whole-pixel path shows. The width tapers and
// wanders by the path point each stretch of curve belongs to, as along the path.
void AddNeuriteAlongCurve(std::vector<Disc>& discs, const NeuriteControl& control, std::uint32_t layer) {
  const std::vector<CurvePoint> places = PathPointsOnCurve(control);
  const std::vector<CurvePoint> samples = NeuriteCurve(control).Samples(kCurveSamplesPerChordPixel);
  const double length = samples.back().arc;
  const int steps = std::max(1, static_cast<int>(std::ceil(length / kDiscSpacingPixels)));
  std::size_t place = 0;
  for (int s = 0; s <= steps; ++s) {
    const double arc = length * s / steps;
    while (place + 1 < places.size() && places[place + 1].arc <= arc) ++place;
    double index = static_cast<double>(place);
    if (place + 1 < places.size() && places[place + 1].arc > places[place].arc) {
      index += std::clamp((arc - places[place].arc) / (places[place + 1].arc - places[place].arc), 0.0, 1.0);
    }
    const ScreenVector at = PointAtArc(samples, arc).at;
    discs.push_back({{at.x, at.y}, WanderingRadius(CoreRadius(control, index, places.size()), index, layer)});
  }
}

// Which edge of the picture a neurite's end reaches, if any: the direction away from
// the picture there.
bool OutwardsAtEdge(double x, double y, Vec& outwards) {
  if (x < kEdgeEndPixels) {
    outwards = {-1.0, 0.0};
  } else if (x >= kPictureWidth - kEdgeEndPixels) {
    outwards = {1.0, 0.0};
  } else if (y < kEdgeEndPixels) {
    outwards = {0.0, -1.0};
  } else {
    return false;
  }
  return true;
}

Vec Unit(Vec v) {
  const double length = std::hypot(v.x, v.y);
  return length > 0.0 ? Vec{v.x / length, v.y / length} : Vec{};
}

// An end at the picture's edge runs on to the canvas's edge for `length` picture
// pixels with its end's width: leaving along its end direction, it turns smoothly
// within kEdgeRunBendPixels to head straight away from the picture, so the runs
// from one edge run side by side and never cross, however far the canvas reaches.
void AddEdgeRuns(std::vector<Disc>& discs, const NeuriteControl& control, const std::vector<PathPoint>& path,
                 std::uint32_t layer, double length, NeuriteCentres centres) {
  const std::size_t n = path.size();
  if (n < 2) return;
  const std::size_t back = std::min<std::size_t>(n - 1, kEndChordPoints);
  const auto chord = [](const PathPoint& to, const PathPoint& from) {
    return Vec{static_cast<double>(to.x - from.x), static_cast<double>(to.y - from.y)};
  };
  const auto chosen = [](ScreenVector v) { return Vec{v.x, v.y}; };
  const bool autoStart = control.startDirection.x == 0.0 && control.startDirection.y == 0.0;
  const bool autoEnd = control.endDirection.x == 0.0 && control.endDirection.y == 0.0;
  struct End {
    Vec point;
    Vec leaving;
    std::size_t index;
    double indexStep;  // point index per picture pixel outwards
  };
  const Vec startOut = autoStart ? chord(path[0], path[back]) : chosen(control.startDirection);
  const Vec endOut = autoEnd ? chord(path[n - 1], path[n - 1 - back]) : chosen(control.endDirection);
  // The curve ends exactly at the first and last points; the path's centre line at
  // their pixels.
  const bool curve = centres == NeuriteCentres::kSmoothCurves;
  const Vec first = curve ? Vec{static_cast<double>(control.first.x), static_cast<double>(control.first.y)}
                          : Vec{static_cast<double>(path[0].x), static_cast<double>(path[0].y)};
  const Vec last = curve ? Vec{static_cast<double>(control.last.x), static_cast<double>(control.last.y)}
                         : Vec{static_cast<double>(path[n - 1].x), static_cast<double>(path[n - 1].y)};
  const End ends[] = {{first, Unit({autoStart ? startOut.x : -startOut.x, autoStart ? startOut.y : -startOut.y}), 0, -1.0},
                      {last, Unit(endOut), n - 1, 1.0}};
  const int steps = static_cast<int>(std::ceil(length / kDiscSpacingPixels));
  for (const End& end : ends) {
    Vec outwards;
    if (!OutwardsAtEdge(end.point.x, end.point.y, outwards)) continue;
    const double coreRadius = CoreRadius(control, static_cast<double>(end.index), n);
    Vec at = end.point;
    for (int s = 0; s <= steps; ++s) {
      const double t = s * kDiscSpacingPixels;
      discs.push_back({at, WanderingRadius(coreRadius, static_cast<double>(end.index) + end.indexStep * t, layer)});
      const double turned = Smooth(std::min(1.0, t / kEdgeRunBendPixels));
      const Vec heading = Unit({end.leaving.x + (outwards.x - end.leaving.x) * turned,
                                end.leaving.y + (outwards.y - end.leaving.y) * turned});
      at = {at.x + heading.x * kDiscSpacingPixels, at.y + heading.y * kDiscSpacingPixels};
    }
  }
}

// The brush marks of all neurites: those of the paths (whose darkness shows through
// the bodies) and the stems that join them to the middle of their cell bodies.
struct NeuriteDiscs {
  std::vector<Disc> paths;
  std::vector<Disc> stems;
};

NeuriteDiscs CollectDiscs(const std::vector<std::vector<PathPoint>>& paths, const PaintPlacement& placement,
                          NeuriteCentres centres) {
  NeuriteDiscs discs;
  const bool runOn = placement.fillBeyondDesign &&
                     (placement.width > kPictureWidth * placement.scale || placement.height > kPictureHeight * placement.scale);
  // Far enough to leave any canvas at this scale.
  const double runLength = (placement.width + placement.height) / placement.scale;
  for (std::size_t k = 0; k < paths.size(); ++k) {
    const std::uint32_t layer = kNeuriteLayers + static_cast<std::uint32_t>(k);
    if (centres == NeuriteCentres::kSmoothCurves) {
      AddNeuriteAlongCurve(discs.paths, kNeuriteControls[k], layer);
    } else {
      AddNeuriteAlongPath(discs.paths, kNeuriteControls[k], paths[k], layer);
    }
    if (runOn) AddEdgeRuns(discs.paths, kNeuriteControls[k], paths[k], layer, runLength, centres);
  }
  // The bodies cover most of the stems; what shows is the axon hillock or the
  // dendrite's root.
  for (const SomaControl& soma : kSomaControls) {
    const Vec centre{soma.centre.x, soma.centre.y};
    for (int a : soma.axons) {
      const auto& path = paths[static_cast<std::size_t>(a)];
      const double r = CoreRadius(kNeuriteControls[static_cast<std::size_t>(a)], 0.0, path.size());
      AddSegment(discs.stems, centre, {static_cast<double>(path.front().x), static_cast<double>(path.front().y)}, r * 1.6, r);
    }
    for (int d : soma.dendrites) {
      const auto& path = paths[static_cast<std::size_t>(d)];
      const double r = CoreRadius(kNeuriteControls[static_cast<std::size_t>(d)], static_cast<double>(path.size() - 1), path.size());
      AddSegment(discs.stems, {static_cast<double>(path.back().x), static_cast<double>(path.back().y)}, centre, r, r * 1.4);
    }
  }
  return discs;
}

// The closed outline of a cell body in screen pixels, densely sampled, with what
// makes the inside test and the distance to it fast: the inside test crosses each
// row once for all its pixels, and the distance search visits edges nearest first
// and stops when no further one can be closer. Both give exactly the results of
// testing and measuring every edge.
class Outline {
public:
  explicit Outline(const SomaControl& soma) : polygon_(Polygon(soma)) {
    gridLeft_ = soma.cut.x - 1.0;
    gridTop_ = soma.cut.y - 1.0;
    gridSide_ = static_cast<int>(std::ceil((kSpriteCellPixels + 2.0) / kOutlineGridPixels));
    const std::size_t n = polygon_.size();
    cells_.resize(static_cast<std::size_t>(gridSide_ * gridSide_));
    for (int gy = 0; gy < gridSide_; ++gy) {
      for (int gx = 0; gx < gridSide_; ++gx) {
        const double x0 = gridLeft_ + gx * kOutlineGridPixels, y0 = gridTop_ + gy * kOutlineGridPixels;
        const double x1 = x0 + kOutlineGridPixels, y1 = y0 + kOutlineGridPixels;
        auto& cell = cells_[static_cast<std::size_t>(gy * gridSide_ + gx)];
        for (std::size_t i = 0, j = n - 1; i < n; j = i++) {
          const Vec a = polygon_[j], b = polygon_[i];
          const double dx = std::max({0.0, std::min(a.x, b.x) - x1, x0 - std::max(a.x, b.x)});
          const double dy = std::max({0.0, std::min(a.y, b.y) - y1, y0 - std::max(a.y, b.y)});
          cell.push_back({std::sqrt(dx * dx + dy * dy), i});
        }
        std::sort(cell.begin(), cell.end(), [](const Bound& p, const Bound& q) { return p.lower < q.lower; });
      }
    }
  }

  // Where the edges cross the row at y, sorted.
  std::vector<double> Crossings(double y) const {
    std::vector<double> crossings;
    for (std::size_t i = 0, j = polygon_.size() - 1; i < polygon_.size(); j = i++) {
      const Vec a = polygon_[i], b = polygon_[j];
      if ((a.y > y) != (b.y > y)) crossings.push_back((b.x - a.x) * (y - a.y) / (b.y - a.y) + a.x);
    }
    std::sort(crossings.begin(), crossings.end());
    return crossings;
  }
  // Inside: an odd number of the row's crossings lie to the right of x.
  static bool InsideRow(const std::vector<double>& crossings, double x) {
    return ((crossings.end() - std::upper_bound(crossings.begin(), crossings.end(), x)) & 1) != 0;
  }
  bool Inside(double x, double y) const { return InsideRow(Crossings(y), x); }

  double Distance(double x, double y) const {
    const int gx = static_cast<int>(std::floor((x - gridLeft_) / kOutlineGridPixels));
    const int gy = static_cast<int>(std::floor((y - gridTop_) / kOutlineGridPixels));
    double best = 1e9;
    if (gx < 0 || gy < 0 || gx >= gridSide_ || gy >= gridSide_) {
      for (std::size_t i = 0; i < polygon_.size(); ++i) best = std::min(best, EdgeDistance(i, x, y));
      return best;
    }
    for (const Bound& bound : cells_[static_cast<std::size_t>(gy * gridSide_ + gx)]) {
      if (bound.lower > best + kDistanceSlack) break;
      best = std::min(best, EdgeDistance(bound.edge, x, y));
    }
    return best;
  }

private:
  struct Bound {
    double lower;      // no point of the grid cell is nearer the edge than this
    std::size_t edge;  // runs from the point before `edge` to `edge`
  };

  static std::vector<Vec> Polygon(const SomaControl& soma) {
    const std::size_t n = soma.outline.size();
    std::vector<Vec> nodes(n);
    for (std::size_t i = 0; i < n; ++i) nodes[i] = {soma.centre.x + soma.outline[i].x, soma.centre.y + soma.outline[i].y};
    // Closed Catmull-Rom curve through the nodes.
    std::vector<Vec> polygon;
    for (std::size_t i = 0; i < n; ++i) {
      const Vec p0 = nodes[(i + n - 1) % n], p1 = nodes[i], p2 = nodes[(i + 1) % n], p3 = nodes[(i + 2) % n];
      for (int s = 0; s < kOutlineSamplesPerPoint; ++s) {
        const double t = static_cast<double>(s) / kOutlineSamplesPerPoint, t2 = t * t, t3 = t2 * t;
        auto axis = [&](double a, double b, double c, double d) {
          return 0.5 * (2 * b + (-a + c) * t + (2 * a - 5 * b + 4 * c - d) * t2 + (-a + 3 * b - 3 * c + d) * t3);
        };
        polygon.push_back({axis(p0.x, p1.x, p2.x, p3.x), axis(p0.y, p1.y, p2.y, p3.y)});
      }
    }
    return polygon;
  }

  double EdgeDistance(std::size_t i, double x, double y) const {
    const Vec a = polygon_[i == 0 ? polygon_.size() - 1 : i - 1], b = polygon_[i];
    const double ex = b.x - a.x, ey = b.y - a.y;
    const double len2 = ex * ex + ey * ey;
    const double t = len2 > 0 ? std::clamp(((x - a.x) * ex + (y - a.y) * ey) / len2, 0.0, 1.0) : 0.0;
    return std::hypot(x - (a.x + t * ex), y - (a.y + t * ey));
  }

  std::vector<Vec> polygon_;
  double gridLeft_ = 0.0, gridTop_ = 0.0;  // picture pixels
  int gridSide_ = 0;                       // cells per side
  std::vector<std::vector<Bound>> cells_;
};

// Where a canvas pixel's centre lies in the picture, per canvas column and row.
struct DesignGrid {
  std::vector<double> x, y;
  explicit DesignGrid(const PaintPlacement& placement) : x(static_cast<std::size_t>(placement.width)), y(static_cast<std::size_t>(placement.height)) {
    for (int i = 0; i < placement.width; ++i) x[static_cast<std::size_t>(i)] = placement.DesignX(i);
    for (int i = 0; i < placement.height; ++i) y[static_cast<std::size_t>(i)] = placement.DesignY(i);
  }
  bool InDesignX(double px) const { return px >= -0.5 && px < kPictureWidth - 0.5; }
  bool InDesignY(double py) const { return py >= -0.5 && py < kPictureHeight - 0.5; }
};

// The canvas pixels (inclusive, clamped to the canvas) whose centres lie in the
// picture interval [from, to) along one axis.
struct Span {
  int first, last;
};
Span CanvasSpan(const std::vector<double>& design, double from, double to) {
  const auto begin = std::lower_bound(design.begin(), design.end(), from);
  const auto end = std::lower_bound(design.begin(), design.end(), to);
  return {static_cast<int>(begin - design.begin()), static_cast<int>(end - design.begin()) - 1};
}

struct SomaPlan {
  const SomaControl* soma;
  Outline outline;
  double depthMax = 0.0;
  Span columns, rows;  // canvas pixels of the 80 x 80 cell
  std::uint32_t layer;
};

std::vector<SomaPlan> PlanSomas(const DesignGrid& grid) {
  std::vector<SomaPlan> plans;
  std::uint32_t layer = kSomaLayers;
  for (const SomaControl& soma : kSomaControls) {
    SomaPlan plan{&soma, Outline(soma), 0.0, {}, {}, layer};
    for (int y = 0; y < kSpriteCellPixels; ++y) {
      for (int x = 0; x < kSpriteCellPixels; ++x) {
        const double sx = soma.cut.x + x, sy = soma.cut.y + y;
        if (plan.outline.Inside(sx, sy)) plan.depthMax = std::max(plan.depthMax, plan.outline.Distance(sx, sy));
      }
    }
    plan.columns = CanvasSpan(grid.x, soma.cut.x - 0.5, soma.cut.x + kSpriteCellPixels - 0.5);
    plan.rows = CanvasSpan(grid.y, soma.cut.y - 0.5, soma.cut.y + kSpriteCellPixels - 0.5);
    plans.push_back(std::move(plan));
    layer += 3;
  }
  return plans;
}

// What one painting run writes: the canvas, and either the body sprites or the
// 80 x 80 masks of the built-in sheet.
struct PaintOutput {
  PackedImage* picture = nullptr;
  std::array<BodySprite, kSomaCount>* bodies = nullptr;
  std::array<SomaMask, kSomaCount>* masks = nullptr;
};

// The working layers of one band of rows. Neurites, halos and bodies are gathered in
// layers first and composed at the end, so crossing neurites merge instead of
// stacking and a neurite stays dark where it crosses a halo.
struct Band {
  int top = 0, rows = 0, width = 0;  // canvas pixels
  std::vector<double> darkness;      // 0 .. 1: share of neurite core colour
  std::vector<double> coreDepth;     // 0 at the core's edge .. 1 on its centre line
  std::vector<double> rim;           // 0 .. 1: share of rim colour
  std::vector<double> pathDarkness;  // darkness of the paths alone, without the stems
  std::vector<double> halo;          // 0 .. 1: share of halo colour
  std::vector<double> body;          // 0 .. 1: coverage by a cell body
  std::vector<Colour> bodyColour;
  // Per row, the columns any mark or body reached; every layer is 0 outside them.
  std::vector<Span> touched;

  explicit Band(int canvasWidth)
      : width(canvasWidth), darkness(static_cast<std::size_t>(canvasWidth) * kBandRows), coreDepth(darkness.size()),
        rim(darkness.size()), pathDarkness(darkness.size()), halo(darkness.size()), body(darkness.size()),
        bodyColour(darkness.size()), touched(kBandRows, kUntouched) {}

  // Clears what the last band left and starts the next one.
  void Start(int firstRow, int rowCount) {
    for (int r = 0; r < kBandRows; ++r) {
      const Span span = touched[static_cast<std::size_t>(r)];
      if (span.first > span.last) continue;
      const std::size_t from = static_cast<std::size_t>(r * width + span.first);
      const std::size_t count = static_cast<std::size_t>(span.last - span.first + 1);
      for (auto* layer : {&darkness, &coreDepth, &rim, &pathDarkness, &halo, &body}) std::fill_n(layer->begin() + static_cast<std::ptrdiff_t>(from), count, 0.0);
      std::fill_n(bodyColour.begin() + static_cast<std::ptrdiff_t>(from), count, Colour{0, 0, 0});
      touched[static_cast<std::size_t>(r)] = kUntouched;
    }
    top = firstRow;
    rows = rowCount;
  }
  void Touch(int y, Span columns) {
    Span& span = touched[static_cast<std::size_t>(y - top)];
    span = {std::min(span.first, columns.first), std::max(span.last, columns.last)};
  }
  // The darkness of the paths so far, before the stems are added.
  void KeepPathDarkness() {
    for (int r = 0; r < rows; ++r) {
      const Span span = touched[static_cast<std::size_t>(r)];
      if (span.first > span.last) continue;
      const std::size_t from = static_cast<std::size_t>(r * width + span.first);
      std::copy_n(darkness.begin() + static_cast<std::ptrdiff_t>(from), span.last - span.first + 1,
                  pathDarkness.begin() + static_cast<std::ptrdiff_t>(from));
    }
  }
  std::size_t Index(int x, int y) const {
    return static_cast<std::size_t>(y - top) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x);
  }

  static constexpr Span kUntouched{std::numeric_limits<int>::max(), std::numeric_limits<int>::min()};
};

class Painter {
public:
  Painter(const std::vector<std::vector<PathPoint>>& paths, const PaintPlacement& placement, NeuriteCentres centres)
      : placement_(placement), grid_(placement), somas_(PlanSomas(grid_)) {
    const NeuriteDiscs discs = CollectDiscs(paths, placement, centres);
    pathMarks_ = Marks(discs.paths);
    stemMarks_ = Marks(discs.stems);
    for (int a = 0; a < kCoverageSamples; ++a) {
      sampleOffsets_[static_cast<std::size_t>(a)] = ((a + 0.5) / kCoverageSamples - 0.5) / placement.scale;
    }
  }

  // Transparent sprites the size of each body's cell on the canvas, placed on it.
  std::array<BodySprite, kSomaCount> EmptyBodies() const {
    std::array<BodySprite, kSomaCount> bodies;
    for (std::size_t s = 0; s < somas_.size(); ++s) {
      BodySprite& sprite = bodies[s];
      sprite.left = somas_[s].columns.first;
      sprite.top = somas_[s].rows.first;
      sprite.width = std::max(0, somas_[s].columns.last - somas_[s].columns.first + 1);
      sprite.height = std::max(0, somas_[s].rows.last - somas_[s].rows.first + 1);
      sprite.pixels.assign(static_cast<std::size_t>(sprite.width) * static_cast<std::size_t>(sprite.height), 0u);
    }
    return bodies;
  }

  // Bands are handed out in order to the threads; each writes only its own rows.
  void Paint(const PaintOutput& out, int threads) const {
    const int bands = (placement_.height + kBandRows - 1) / kBandRows;
    std::atomic<int> next{0};
    const auto work = [&] {
      Band band(placement_.width);
      for (int b = next++; b < bands; b = next++) {
        const int top = b * kBandRows;
        PaintBand(band, top, std::min(kBandRows, placement_.height - top), out);
      }
    };
    std::vector<std::thread> helpers;
    for (int t = 1; t < std::max(1, threads); ++t) helpers.emplace_back(work);
    work();
    for (std::thread& helper : helpers) helper.join();
  }

private:
  void PaintBand(Band& band, int firstRow, int rowCount, const PaintOutput& out) const {
    band.Start(firstRow, rowCount);
    for (const Mark& mark : pathMarks_) Stamp(band, mark);
    band.KeepPathDarkness();
    for (const Mark& mark : stemMarks_) Stamp(band, mark);
    for (std::size_t s = 0; s < somas_.size(); ++s) PaintSoma(band, s, out);
    Compose(band, out);
  }

  // The canvas pixel span whose centres lie within `reach` picture pixels of a
  // centre coordinate, one pixel wider either side: pixels in the widening get
  // nothing from a mark.
  Span Reach(const std::vector<double>& design, double centre, double reach) const {
    const Span span = CanvasSpan(design, centre - reach, centre + reach);
    return {std::max(0, span.first - 1), std::min(static_cast<int>(design.size()) - 1, span.last + 1)};
  }

  // A disc with the canvas pixels it can reach.
  struct Mark {
    Disc disc;
    double marked;  // picture pixels from the centre beyond which it adds nothing
    Span columns, rows;
  };

  std::vector<Mark> Marks(const std::vector<Disc>& discs) const {
    std::vector<Mark> marks;
    marks.reserve(discs.size());
    for (const Disc& disc : discs) {
      // No core, no depth and no rim beyond this.
      const double marked =
          disc.radius + std::max(kRimOffsetPixels + kRimHalfWidthPixels, 0.5 / placement_.scale) + kDistanceSlack;
      const Span rows = Reach(grid_.y, disc.centre.y, marked + 1.0);
      const Span columns = Reach(grid_.x, disc.centre.x, marked + 1.0);
      if (rows.first <= rows.last && columns.first <= columns.last) marks.push_back({disc, marked, columns, rows});
    }
    return marks;
  }

  void Stamp(Band& band, const Mark& mark) const {
    const int y0 = std::max(mark.rows.first, band.top), y1 = std::min(mark.rows.last, band.top + band.rows - 1);
    if (y0 > y1) return;
    const Vec c = mark.disc.centre;
    const double radius = mark.disc.radius;
    const double scale = placement_.scale;
    const double marked = mark.marked;
    const Span columns = mark.columns;
    for (int y = y0; y <= y1; ++y) {
      band.Touch(y, columns);
      const double py = grid_.y[static_cast<std::size_t>(y)];
      // The status band stays plain ground within the design.
      const bool statusBand = py >= kStatusBandTop - 0.5;
      for (int x = columns.first; x <= columns.last; ++x) {
        const double px = grid_.x[static_cast<std::size_t>(x)];
        if (statusBand && grid_.InDesignX(px)) continue;
        const double dx = px - c.x, dy = py - c.y;
        if (dx * dx + dy * dy > marked * marked) continue;
        const double d = std::hypot(dx, dy);
        const std::size_t i = band.Index(x, y);
        // A one-canvas-pixel edge whatever the scale.
        const double core = std::clamp((radius + 0.5 / scale - d) * scale, 0.0, 1.0);
        band.darkness[i] = std::max(band.darkness[i], core);
        band.coreDepth[i] = std::max(band.coreDepth[i], std::clamp(1.0 - d / (radius + 0.5 / scale), 0.0, 1.0));
        const double rim = 1.0 - std::abs(d - (radius + kRimOffsetPixels)) / kRimHalfWidthPixels;
        band.rim[i] = std::max(band.rim[i], std::clamp(rim, 0.0, 1.0));
      }
    }
  }

  void PaintSoma(Band& band, std::size_t index, const PaintOutput& out) const {
    const SomaPlan& plan = somas_[index];
    const SomaControl& soma = *plan.soma;
    const int y0 = std::max(plan.rows.first, band.top), y1 = std::min(plan.rows.last, band.top + band.rows - 1);
    const Vec nucleus{soma.centre.x + soma.nucleus.x, soma.centre.y + soma.nucleus.y};
    std::array<std::vector<double>, kCoverageSamples> sampleRows;
    for (int y = y0; y <= y1; ++y) {
      band.Touch(y, plan.columns);
      const double sy = grid_.y[static_cast<std::size_t>(y)];
      const std::vector<double> centreRow = plan.outline.Crossings(sy);
      for (int b = 0; b < kCoverageSamples; ++b) {
        sampleRows[static_cast<std::size_t>(b)] = plan.outline.Crossings(sy + sampleOffsets_[static_cast<std::size_t>(b)]);
      }
      for (int x = plan.columns.first; x <= plan.columns.last; ++x) {
        const double sx = grid_.x[static_cast<std::size_t>(x)];
        int hits = 0;
        for (int a = 0; a < kCoverageSamples; ++a) {
          for (int b = 0; b < kCoverageSamples; ++b) {
            if (Outline::InsideRow(sampleRows[static_cast<std::size_t>(b)], sx + sampleOffsets_[static_cast<std::size_t>(a)])) ++hits;
          }
        }
        const double coverage = static_cast<double>(hits) / (kCoverageSamples * kCoverageSamples);
        const bool inside = Outline::InsideRow(centreRow, sx);
        const double distance = plan.outline.Distance(sx, sy);
        const std::size_t i = band.Index(x, y);

        if (!inside) {
          const double z = (distance - kHaloPeakPixels) / kHaloSigmaPixels;
          band.halo[i] = std::max(band.halo[i], kHaloStrength * std::exp(-0.5 * z * z));
        }
        if (coverage <= 0.0) continue;

        const double depth = inside ? distance : 0.0;
        const double inner =
            std::min(1.0, std::max(0.0, depth - kBodyEdgePixels) / std::max(1.0, plan.depthMax - kBodyEdgePixels));
        Colour body = Mix(Mix(kBodyEdge, kBodyMiddle, Smooth(std::min(1.0, depth / kBodyEdgePixels))), kBodyCentre, inner);
        const double toNucleus = std::hypot(sx - nucleus.x, sy - nucleus.y);
        const double nucleusWeight = std::exp(-0.5 * std::pow(toNucleus / kNucleusSigmaPixels, 2.0));
        const double nucleolusWeight = std::exp(-0.5 * std::pow(toNucleus / kNucleolusSigmaPixels, 2.0));
        body = Mix(body, kNucleus, kNucleusShare * nucleusWeight);
        body = Mix(body, kNucleolus, kNucleolusShare * nucleolusWeight);
        const double reach = std::max(1.0, plan.depthMax * 2.0);
        const double relief = kReliefLevels * ((sx - soma.centre.x) * kLightX + (sy - soma.centre.y) * kLightY) / reach;
        const double grain = relief + kBodyGrainLevels * (0.5 * ValueNoise(sx, sy, 2.5, plan.layer) +
                                                          0.3 * ValueNoise(sx, sy, 6.0, plan.layer + 1) +
                                                          0.2 * Lattice(x, y, plan.layer + 2));
        body = {body.r + grain * kSepiaRed, body.g + grain * kSepiaGreen, body.b + grain * kSepiaBlue};
        band.body[i] = coverage;
        band.bodyColour[i] = body;
        if (out.masks != nullptr) {
          (*out.masks)[index][static_cast<std::size_t>((y - plan.rows.first) * kSpriteCellPixels + (x - plan.columns.first))] =
              coverage >= 0.5;
        }
      }
    }
  }

  // Ground, then the neurites' light rims and the halos, then the dark neurite cores
  // over both, then the bodies, through which the paths that reach into them still
  // show faintly.
  void Compose(const Band& band, const PaintOutput& out) const {
    for (int y = band.top; y < band.top + band.rows; ++y) {
      const double py = grid_.y[static_cast<std::size_t>(y)];
      std::vector<RowNoise> blotches;
      std::uint32_t layer = 1;
      for (const NoiseLayer& noise : kGroundLayers) blotches.emplace_back(py, noise.spacingPixels, layer++);
      std::uint32_t* row = out.picture->pixels.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(band.width);
      const bool rowInDesign = grid_.InDesignY(py);
      const Span touched = band.touched[static_cast<std::size_t>(y - band.top)];
      for (int x = 0; x < band.width; ++x) {
        const double px = grid_.x[static_cast<std::size_t>(x)];
        if (!placement_.fillBeyondDesign && !(rowInDesign && grid_.InDesignX(px))) {
          row[x] = kOpaqueBlack;
          continue;
        }
        double offset = kGrainLevels * Lattice(x, y, 0);
        for (std::size_t l = 0; l < std::size(kGroundLayers); ++l) offset += kGroundLayers[l].amplitudeLevels * blotches[l].At(px);
        const Rgb ground = GroundFromOffset(offset);
        if (x < touched.first || x > touched.last) {
          row[x] = Pack(ground, 0xFF);  // every layer mixes in nothing here
          continue;
        }
        Colour c = ToColour(ground);
        const std::size_t i = band.Index(x, y);
        const double dark = band.darkness[i];
        const Colour neurite = Mix(kNeuriteEdge, kNeuriteCore, band.coreDepth[i]);
        c = Mix(c, kNeuriteRim, kRimStrength * band.rim[i] * (1.0 - dark) * (1.0 - band.halo[i]));
        c = Mix(c, kHalo, band.halo[i] * (1.0 - dark));
        c = Mix(c, neurite, dark);
        if (band.body[i] > 0.0) {
          const Colour whole = Mix(band.bodyColour[i], neurite, kPathInBodyShare * band.pathDarkness[i]);
          c = Mix(c, whole, band.body[i]);
          if (out.bodies != nullptr) KeepBodyPixel(*out.bodies, x, y, ToRgb(whole), band.body[i]);
        }
        row[x] = Pack(ToRgb(c), 0xFF);
      }
    }
  }

  void KeepBodyPixel(std::array<BodySprite, kSomaCount>& bodies, int x, int y, Rgb colour, double coverage) const {
    for (BodySprite& sprite : bodies) {
      if (x < sprite.left || y < sprite.top || x >= sprite.left + sprite.width || y >= sprite.top + sprite.height) continue;
      sprite.pixels[static_cast<std::size_t>((y - sprite.top) * sprite.width + (x - sprite.left))] =
          Pack(colour, Level(coverage * 255.0));
      return;
    }
  }

  PaintPlacement placement_;
  DesignGrid grid_;
  std::vector<SomaPlan> somas_;
  std::vector<Mark> pathMarks_, stemMarks_;
  std::array<double, kCoverageSamples> sampleOffsets_{};  // picture pixels from a pixel's centre
};

}  // namespace

PaintPlacement FitDesign(int width, int height, bool fillBeyondDesign) {
  PaintPlacement placement;
  placement.scale = std::min(static_cast<double>(width) / kPictureWidth, static_cast<double>(height) / kPictureHeight);
  placement.width = width;
  placement.height = height;
  // Half the spare room, rounded down; the slack keeps a whole number that the
  // division left a hair below it from losing a pixel.
  placement.offsetX = static_cast<int>(std::floor((width - kPictureWidth * placement.scale) / 2.0 + kFitSlackPixels));
  placement.offsetY = static_cast<int>(std::floor((height - kPictureHeight * placement.scale) / 2.0 + kFitSlackPixels));
  placement.fillBeyondDesign = fillBeyondDesign;
  return placement;
}

Rgb GroundAt(int x, int y) {
  double offset = kGrainLevels * Lattice(x, y, 0);
  std::uint32_t layer = 1;
  for (const NoiseLayer& noise : kGroundLayers) {
    offset += noise.amplitudeLevels * ValueNoise(x, y, noise.spacingPixels, layer++);
  }
  return GroundFromOffset(offset);
}

Painting PaintNetwork(const std::vector<std::vector<PathPoint>>& paths) {
  const PaintPlacement classic;
  PackedImage picture{kPictureWidth, kPictureHeight, std::vector<std::uint32_t>(static_cast<std::size_t>(kPictureWidth) * kPictureHeight)};
  Painting painting;
  for (SomaMask& mask : painting.masks) mask.fill(false);
  PaintOutput out;
  out.picture = &picture;
  out.masks = &painting.masks;
  Painter(paths, classic, NeuriteCentres::kPathPixels).Paint(out, 1);
  painting.picture = RgbImage(kPictureWidth, kPictureHeight);
  for (std::size_t i = 0; i < picture.pixels.size(); ++i) {
    const std::uint32_t p = picture.pixels[i];
    painting.picture.pixels[i] = {static_cast<std::uint8_t>(p >> 16), static_cast<std::uint8_t>(p >> 8), static_cast<std::uint8_t>(p)};
  }
  return painting;
}

ScaledPainting PaintNetworkAt(const std::vector<std::vector<PathPoint>>& paths, const PaintPlacement& placement,
                              int threads, NeuriteCentres centres) {
  const Painter painter(paths, placement, centres);
  ScaledPainting painting;
  painting.placement = placement;
  painting.picture = {placement.width, placement.height,
                      std::vector<std::uint32_t>(static_cast<std::size_t>(placement.width) * static_cast<std::size_t>(placement.height))};
  painting.bodies = painter.EmptyBodies();
  PaintOutput out;
  out.picture = &painting.picture;
  out.bodies = &painting.bodies;
  painter.Paint(out, threads);
  return painting;
}

int GlowStep(std::uint8_t green) {
  static_assert(kTopGlowLevel == kSpriteColumns - 1);
  return std::max(1, (kGlowGreenFloor - green + kSpriteColumns - 2) / (kSpriteColumns - 1));
}

double SmoothGlowStep(std::uint8_t green) {
  // GlowStep rounds (floor + kSpriteColumns - 2) / (kSpriteColumns - 1) down: half
  // the added columns' worth is the mean it keeps.
  constexpr double kMeanKept = (kSpriteColumns - 2) / 2.0;
  return std::max(1.0, (kGlowGreenFloor + kMeanKept - green) / (kSpriteColumns - 1));
}

RgbImage MakeSomaSheet(const Painting& painting) {
  RgbImage sheet(kSpriteCellPixels * kSpriteColumns, kSpriteCellPixels * kSomaCount);
  for (std::size_t row = 0; row < kSomaControls.size(); ++row) {
    const SomaControl& soma = kSomaControls[row];
    for (int y = 0; y < kSpriteCellPixels; ++y) {
      for (int x = 0; x < kSpriteCellPixels; ++x) {
        if (!painting.masks[row][static_cast<std::size_t>(y * kSpriteCellPixels + x)]) continue;
        const Rgb painted = painting.picture.At(soma.cut.x + x, soma.cut.y + y);
        const int step = GlowStep(painted.g);
        for (int column = 0; column < kSpriteColumns; ++column) {
          sheet.At(column * kSpriteCellPixels + x, static_cast<int>(row) * kSpriteCellPixels + y) = {
              painted.r, static_cast<std::uint8_t>(std::min(255, painted.g + column * step)), painted.b};
        }
      }
    }
  }
  return sheet;
}

std::vector<std::string> CheckPainting(const Painting& painting, const std::vector<std::vector<PathPoint>>& paths) {
  std::vector<std::string> faults;
  for (int y = kStatusBandTop; y < kPictureHeight; ++y) {
    for (int x = 0; x < kPictureWidth; ++x) {
      if (!(painting.picture.At(x, y) == GroundAt(x, y))) {
        faults.push_back("painted in the status band at (" + std::to_string(x) + ", " + std::to_string(y) + ")");
        return faults;
      }
    }
  }
  for (std::size_t k = 0; k < paths.size(); ++k) {
    for (const PathPoint& p : paths[k]) {
      const Rgb painted = painting.picture.At(p.x, p.y);
      const Rgb ground = GroundAt(p.x, p.y);
      if (painted.r + painted.g + painted.b + kNeuriteDarkeningLevels > ground.r + ground.g + ground.b) {
        faults.push_back(std::string(kNeuriteControls[k].name) + " point (" + std::to_string(p.x) + ", " +
                         std::to_string(p.y) + ") is not on a painted neurite");
        break;
      }
    }
  }
  for (std::size_t s = 0; s < kSomaControls.size(); ++s) {
    const SomaControl& soma = kSomaControls[s];
    bool any = false;
    for (int y = 0; y < kSpriteCellPixels; ++y) {
      for (int x = 0; x < kSpriteCellPixels; ++x) {
        if (!painting.masks[s][static_cast<std::size_t>(y * kSpriteCellPixels + x)]) continue;
        any = true;
        const Rgb p = painting.picture.At(soma.cut.x + x, soma.cut.y + y);
        if (x < soma.cellBox.xMin || x > soma.cellBox.xMax || y < soma.cellBox.yMin || y > soma.cellBox.yMax) {
          faults.push_back(std::string(soma.name) + " outline leaves its box at cell (" + std::to_string(x) + ", " +
                           std::to_string(y) + ")");
          break;
        }
        if (p.r == 0 && p.g == 0 && p.b == 0) faults.push_back(std::string(soma.name) + " has a black pixel");
      }
    }
    if (!any) faults.push_back(std::string(soma.name) + " has no body");
  }
  return faults;
}

}  // namespace velmora
