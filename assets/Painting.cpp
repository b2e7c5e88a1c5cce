#include "assets/Painting.h"

#include <algorithm>
#include <cmath>

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
// Path points either side averaged into the painted centre line.
constexpr int kCentreSmoothingPoints = 2;

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

Colour Mix(Colour a, Colour b, double t) { return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t}; }

std::uint8_t Level(double v) { return static_cast<std::uint8_t>(std::clamp(std::lround(v), 0L, 255L)); }

Colour ToColour(Rgb p) { return {static_cast<double>(p.r), static_cast<double>(p.g), static_cast<double>(p.b)}; }
Rgb ToRgb(Colour c) { return {Level(c.r), Level(c.g), Level(c.b)}; }

// A working canvas in floating point. Neurites, halos and bodies are gathered in
// layers first and composed at the end, so crossing neurites merge instead of
// stacking and a neurite stays dark where it crosses a halo.
struct Canvas {
  std::vector<Colour> colour;     // the ground, then the composed picture
  std::vector<double> darkness;   // 0 .. 1: share of neurite core colour
  std::vector<double> coreDepth;  // 0 at the core's edge .. 1 on its centre line
  std::vector<double> rim;        // 0 .. 1: share of rim colour
  std::vector<double> pathDarkness;  // darkness of the paths alone, without the stems
  std::vector<double> halo;       // 0 .. 1: share of halo colour
  std::vector<double> body;       // 0 .. 1: coverage by a cell body
  std::vector<Colour> bodyColour;

  Canvas()
      : colour(kPictureWidth * kPictureHeight), darkness(colour.size()), coreDepth(colour.size()),
        rim(colour.size()), pathDarkness(colour.size()), halo(colour.size()), body(colour.size()),
        bodyColour(colour.size()) {}
  static std::size_t Index(int x, int y) { return static_cast<std::size_t>(y) * kPictureWidth + static_cast<std::size_t>(x); }
};

// One round brush mark of a neurite centred at c with the given core radius.
void Stamp(Canvas& canvas, Vec c, double radius) {
  const double reach = radius + kRimOffsetPixels + kRimHalfWidthPixels + 1.0;
  const int x0 = std::max(0, static_cast<int>(std::floor(c.x - reach)));
  const int x1 = std::min(kPictureWidth - 1, static_cast<int>(std::ceil(c.x + reach)));
  const int y0 = std::max(0, static_cast<int>(std::floor(c.y - reach)));
  const int y1 = std::min(kStatusBandTop - 1, static_cast<int>(std::ceil(c.y + reach)));
  for (int y = y0; y <= y1; ++y) {
    for (int x = x0; x <= x1; ++x) {
      const double d = std::hypot(x - c.x, y - c.y);
      const std::size_t i = Canvas::Index(x, y);
      const double core = std::clamp(radius + 0.5 - d, 0.0, 1.0);
      canvas.darkness[i] = std::max(canvas.darkness[i], core);
      canvas.coreDepth[i] = std::max(canvas.coreDepth[i], std::clamp(1.0 - d / (radius + 0.5), 0.0, 1.0));
      const double rim = 1.0 - std::abs(d - (radius + kRimOffsetPixels)) / kRimHalfWidthPixels;
      canvas.rim[i] = std::max(canvas.rim[i], std::clamp(rim, 0.0, 1.0));
    }
  }
}

void StampSegment(Canvas& canvas, Vec a, Vec b, double radiusA, double radiusB) {
  const int steps = std::max(1, static_cast<int>(std::ceil(std::hypot(b.x - a.x, b.y - a.y) * 2.0)));
  for (int s = 0; s <= steps; ++s) {
    const double t = static_cast<double>(s) / steps;
    Stamp(canvas, {a.x + (b.x - a.x) * t, a.y + (b.y - a.y) * t}, radiusA + (radiusB - radiusA) * t);
  }
}

bool IsDendrite(const NeuriteControl& control) { return control.name[0] == 'D'; }

// Core radius at point i of n, pixels.
double CoreRadius(const NeuriteControl& control, std::size_t i, std::size_t n) {
  const double t = n > 1 ? static_cast<double>(i) / static_cast<double>(n - 1) : 0.0;
  const double share = IsDendrite(control) ? kDendriteTipShare + (1.0 - kDendriteTipShare) * t
                                           : 1.0 - (1.0 - kAxonTipShare) * t;
  return std::max(kMinCoreRadiusPixels, 0.5 * control.thicknessPixels * share);
}

void PaintNeurite(Canvas& canvas, const NeuriteControl& control, const std::vector<PathPoint>& path,
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
      return CoreRadius(control, j, path.size()) *
             (1.0 + kWidthWander * ValueNoise(static_cast<double>(j), 0.0, kWidthWanderPoints, layer));
    };
    StampSegment(canvas, centre[i], centre[i + 1], radius(i), radius(i + 1));
  }
  // The exact path pixels are always neurite, whatever the smoothing did.
  for (std::size_t i = 0; i < path.size(); ++i) {
    Stamp(canvas, {static_cast<double>(path[i].x), static_cast<double>(path[i].y)},
          kMinCoreRadiusPixels * 0.5);
  }
}

// The darkness of the paths so far, before the stems are added.
void KeepPathDarkness(Canvas& canvas) { canvas.pathDarkness = canvas.darkness; }

// The closed outline of a cell body in screen pixels, densely sampled.
std::vector<Vec> OutlinePolygon(const SomaControl& soma) {
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

bool Inside(const std::vector<Vec>& polygon, double x, double y) {
  bool inside = false;
  for (std::size_t i = 0, j = polygon.size() - 1; i < polygon.size(); j = i++) {
    const Vec a = polygon[i], b = polygon[j];
    if ((a.y > y) != (b.y > y) && x < (b.x - a.x) * (y - a.y) / (b.y - a.y) + a.x) inside = !inside;
  }
  return inside;
}

double DistanceToOutline(const std::vector<Vec>& polygon, double x, double y) {
  double best = 1e9;
  for (std::size_t i = 0, j = polygon.size() - 1; i < polygon.size(); j = i++) {
    const Vec a = polygon[j], b = polygon[i];
    const double ex = b.x - a.x, ey = b.y - a.y;
    const double len2 = ex * ex + ey * ey;
    const double t = len2 > 0 ? std::clamp(((x - a.x) * ex + (y - a.y) * ey) / len2, 0.0, 1.0) : 0.0;
    best = std::min(best, std::hypot(x - (a.x + t * ex), y - (a.y + t * ey)));
  }
  return best;
}

void PaintSoma(Canvas& canvas, SomaMask& mask, const SomaControl& soma, std::uint32_t layer) {
  const std::vector<Vec> polygon = OutlinePolygon(soma);
  double depthMax = 0.0;
  for (int y = 0; y < kSpriteCellPixels; ++y) {
    for (int x = 0; x < kSpriteCellPixels; ++x) {
      const double sx = soma.cut.x + x, sy = soma.cut.y + y;
      if (Inside(polygon, sx, sy)) depthMax = std::max(depthMax, DistanceToOutline(polygon, sx, sy));
    }
  }
  const Vec nucleus{soma.centre.x + soma.nucleus.x, soma.centre.y + soma.nucleus.y};
  for (int y = 0; y < kSpriteCellPixels; ++y) {
    for (int x = 0; x < kSpriteCellPixels; ++x) {
      const int sx = soma.cut.x + x, sy = soma.cut.y + y;
      int hits = 0;
      for (int a = 0; a < kCoverageSamples; ++a) {
        for (int b = 0; b < kCoverageSamples; ++b) {
          if (Inside(polygon, sx + (a + 0.5) / kCoverageSamples - 0.5, sy + (b + 0.5) / kCoverageSamples - 0.5)) ++hits;
        }
      }
      const double coverage = static_cast<double>(hits) / (kCoverageSamples * kCoverageSamples);
      const bool inside = Inside(polygon, sx, sy);
      const double distance = DistanceToOutline(polygon, sx, sy);
      const std::size_t i = Canvas::Index(sx, sy);

      if (!inside) {
        const double z = (distance - kHaloPeakPixels) / kHaloSigmaPixels;
        canvas.halo[i] = std::max(canvas.halo[i], kHaloStrength * std::exp(-0.5 * z * z));
      }
      if (coverage <= 0.0) continue;

      const double depth = inside ? distance : 0.0;
      const double inner = std::min(1.0, std::max(0.0, depth - kBodyEdgePixels) / std::max(1.0, depthMax - kBodyEdgePixels));
      Colour body = Mix(Mix(kBodyEdge, kBodyMiddle, Smooth(std::min(1.0, depth / kBodyEdgePixels))), kBodyCentre, inner);
      const double toNucleus = std::hypot(sx - nucleus.x, sy - nucleus.y);
      const double nucleusWeight = std::exp(-0.5 * std::pow(toNucleus / kNucleusSigmaPixels, 2.0));
      const double nucleolusWeight = std::exp(-0.5 * std::pow(toNucleus / kNucleolusSigmaPixels, 2.0));
      body = Mix(body, kNucleus, kNucleusShare * nucleusWeight);
      body = Mix(body, kNucleolus, kNucleolusShare * nucleolusWeight);
      const double reach = std::max(1.0, depthMax * 2.0);
      const double relief = kReliefLevels * ((sx - soma.centre.x) * kLightX + (sy - soma.centre.y) * kLightY) / reach;
      const double grain = relief + kBodyGrainLevels * (0.5 * ValueNoise(sx, sy, 2.5, layer) +
                                                        0.3 * ValueNoise(sx, sy, 6.0, layer + 1) +
                                                        0.2 * Lattice(sx, sy, layer + 2));
      body = {body.r + grain * kSepiaRed, body.g + grain * kSepiaGreen, body.b + grain * kSepiaBlue};
      canvas.body[i] = coverage;
      canvas.bodyColour[i] = body;
      mask[static_cast<std::size_t>(y * kSpriteCellPixels + x)] = coverage >= 0.5;
    }
  }
}

}  // namespace

Rgb GroundAt(int x, int y) {
  double offset = kGrainLevels * Lattice(x, y, 0);
  std::uint32_t layer = 1;
  for (const NoiseLayer& noise : kGroundLayers) {
    offset += noise.amplitudeLevels * ValueNoise(x, y, noise.spacingPixels, layer++);
  }
  return {Level(kGroundColour.r + offset * kSepiaRed), Level(kGroundColour.g + offset * kSepiaGreen),
          Level(kGroundColour.b + offset * kSepiaBlue)};
}

Painting PaintNetwork(const std::vector<std::vector<PathPoint>>& paths) {
  Canvas canvas;
  for (int y = 0; y < kPictureHeight; ++y) {
    for (int x = 0; x < kPictureWidth; ++x) canvas.colour[Canvas::Index(x, y)] = ToColour(GroundAt(x, y));
  }

  for (std::size_t k = 0; k < paths.size(); ++k) {
    PaintNeurite(canvas, kNeuriteControls[k], paths[k], kNeuriteLayers + static_cast<std::uint32_t>(k));
  }
  KeepPathDarkness(canvas);
  // The stems that join the neurites to the middle of their cell bodies; the bodies
  // cover most of them, what shows is the axon hillock or the dendrite's root.
  for (const SomaControl& soma : kSomaControls) {
    const Vec centre{soma.centre.x, soma.centre.y};
    for (int a : soma.axons) {
      const auto& path = paths[static_cast<std::size_t>(a)];
      const double r = CoreRadius(kNeuriteControls[static_cast<std::size_t>(a)], 0, path.size());
      StampSegment(canvas, centre, {static_cast<double>(path.front().x), static_cast<double>(path.front().y)}, r * 1.6, r);
    }
    for (int d : soma.dendrites) {
      const auto& path = paths[static_cast<std::size_t>(d)];
      const double r = CoreRadius(kNeuriteControls[static_cast<std::size_t>(d)], path.size() - 1, path.size());
      StampSegment(canvas, {static_cast<double>(path.back().x), static_cast<double>(path.back().y)}, centre, r, r * 1.4);
    }
  }

  Painting painting;
  std::uint32_t layer = kSomaLayers;
  for (std::size_t s = 0; s < kSomaControls.size(); ++s) {
    painting.masks[s].fill(false);
    PaintSoma(canvas, painting.masks[s], kSomaControls[s], layer);
    layer += 3;
  }

  // Ground, then the neurites' light rims and the halos, then the dark neurite
  // cores over both, then the bodies, through which the paths that reach into them
  // still show faintly.
  for (std::size_t i = 0; i < canvas.colour.size(); ++i) {
    Colour& c = canvas.colour[i];
    const double dark = canvas.darkness[i];
    const Colour neurite = Mix(kNeuriteEdge, kNeuriteCore, canvas.coreDepth[i]);
    c = Mix(c, kNeuriteRim, kRimStrength * canvas.rim[i] * (1.0 - dark) * (1.0 - canvas.halo[i]));
    c = Mix(c, kHalo, canvas.halo[i] * (1.0 - dark));
    c = Mix(c, neurite, dark);
    if (canvas.body[i] > 0.0) {
      c = Mix(c, Mix(canvas.bodyColour[i], neurite, kPathInBodyShare * canvas.pathDarkness[i]), canvas.body[i]);
    }
  }

  painting.picture = RgbImage(kPictureWidth, kPictureHeight);
  for (std::size_t i = 0; i < canvas.colour.size(); ++i) painting.picture.pixels[i] = ToRgb(canvas.colour[i]);
  return painting;
}

RgbImage MakeSomaSheet(const Painting& painting) {
  RgbImage sheet(kSpriteCellPixels * kSpriteColumns, kSpriteCellPixels * kSomaCount);
  for (std::size_t row = 0; row < kSomaControls.size(); ++row) {
    const SomaControl& soma = kSomaControls[row];
    for (int y = 0; y < kSpriteCellPixels; ++y) {
      for (int x = 0; x < kSpriteCellPixels; ++x) {
        if (!painting.masks[row][static_cast<std::size_t>(y * kSpriteCellPixels + x)]) continue;
        const Rgb painted = painting.picture.At(soma.cut.x + x, soma.cut.y + y);
        // Whole equal steps that carry this pixel's green to at least the floor.
        const int step = std::max(1, (kGlowGreenFloor - painted.g + kSpriteColumns - 2) / (kSpriteColumns - 1));
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
