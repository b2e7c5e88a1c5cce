#include "assets/Icon.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace velmora {
namespace {

// Shapes are laid out on a unit square (x right, y down) and scaled to the size asked.

struct Point {
  double x, y;
};

struct Colour {
  double r, g, b;  // 0 .. 255
};

Colour Mix(const Colour& a, const Colour& b, double t) {
  return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

// The tile: the exhibit's sepia ground, lighter in the middle, with a darker rim.
constexpr double kTileInset = 1.0 / 32.0;  // one pixel at 32 pixels
constexpr double kTileCornerRadius = 0.17;
constexpr Colour kTileMiddle{158, 101, 58};
constexpr Colour kTileEdge{112, 68, 37};
constexpr Colour kTileRim{70, 42, 22};
constexpr double kTileRimWidth = 0.03;

// The neurites: dark brown cores inside a cream halo, as on the exhibit's picture.
constexpr Colour kNeuriteCore{34, 20, 11};
constexpr Colour kHalo{250, 241, 214};
constexpr double kHaloWidth = 0.035;

// The cell body glows green, as a soma does with its input.
constexpr Point kSomaCentre{0.40, 0.40};
constexpr double kSomaRadius = 0.155;
constexpr Colour kSomaCentreColour{170, 250, 110};
constexpr Colour kSomaEdgeColour{52, 150, 30};
constexpr Colour kNucleolus{30, 70, 14};
constexpr double kNucleolusRadius = 0.035;

// A neurite: a quadratic curve from the cell body outwards, tapering from its root
// radius to its tip radius.
struct Neurite {
  Point root, bend, tip;
  double rootRadius, tipRadius;
};

constexpr std::array<Neurite, 7> kNeurites = {{
    // dendrites
    {{0.36, 0.35}, {0.27, 0.24}, {0.12, 0.15}, 0.060, 0.022},
    {{0.24, 0.22}, {0.22, 0.14}, {0.25, 0.07}, 0.030, 0.020},  // a branch of the first
    {{0.42, 0.33}, {0.44, 0.19}, {0.55, 0.08}, 0.055, 0.022},
    {{0.33, 0.42}, {0.21, 0.43}, {0.07, 0.52}, 0.058, 0.022},
    {{0.37, 0.48}, {0.29, 0.62}, {0.17, 0.74}, 0.055, 0.022},
    {{0.47, 0.37}, {0.60, 0.33}, {0.72, 0.21}, 0.050, 0.022},
    // the axon, long and even, towards the synapse
    {{0.47, 0.47}, {0.59, 0.76}, {0.79, 0.80}, 0.040, 0.034},
}};
constexpr int kCurveSegments = 24;

// The synapse at the axon's end: a triangle, as the exhibit draws synapses.
constexpr std::array<Point, 3> kSynapse = {{{0.76, 0.72}, {0.76, 0.89}, {0.93, 0.805}}};

constexpr int kSamplesPerSide = 4;  // per pixel, for smooth edges

Point CurveAt(const Neurite& n, double t) {
  const double u = 1.0 - t;
  return {u * u * n.root.x + 2 * u * t * n.bend.x + t * t * n.tip.x,
          u * u * n.root.y + 2 * u * t * n.bend.y + t * t * n.tip.y};
}

// Signed distance from p to a segment whose radius goes from ra at a to rb at b.
double TaperedSegmentDistance(Point p, Point a, Point b, double ra, double rb) {
  const double dx = b.x - a.x, dy = b.y - a.y;
  const double t = std::clamp(((p.x - a.x) * dx + (p.y - a.y) * dy) / (dx * dx + dy * dy), 0.0, 1.0);
  return std::hypot(p.x - (a.x + t * dx), p.y - (a.y + t * dy)) - (ra + (rb - ra) * t);
}

double NeuriteDistance(Point p, const Neurite& n) {
  double nearest = 1e9;
  Point from = n.root;
  for (int i = 1; i <= kCurveSegments; ++i) {
    const double t0 = static_cast<double>(i - 1) / kCurveSegments, t1 = static_cast<double>(i) / kCurveSegments;
    const Point to = CurveAt(n, t1);
    const double r0 = n.rootRadius + (n.tipRadius - n.rootRadius) * t0;
    const double r1 = n.rootRadius + (n.tipRadius - n.rootRadius) * t1;
    nearest = std::min(nearest, TaperedSegmentDistance(p, from, to, r0, r1));
    from = to;
  }
  return nearest;
}

// Signed distance to the triangle (negative inside).
double TriangleDistance(Point p) {
  double nearest = 1e9;
  int leftOf = 0;  // edges that have p on their left; inside, all three or none
  for (std::size_t i = 0; i < kSynapse.size(); ++i) {
    const Point a = kSynapse[i], b = kSynapse[(i + 1) % kSynapse.size()];
    nearest = std::min(nearest, TaperedSegmentDistance(p, a, b, 0.0, 0.0));
    if ((b.x - a.x) * (p.y - a.y) - (b.y - a.y) * (p.x - a.x) > 0.0) ++leftOf;
  }
  return leftOf == 0 || leftOf == 3 ? -nearest : nearest;
}

double TileDistance(Point p) {
  const double half = 0.5 - kTileInset, inner = half - kTileCornerRadius;
  const double qx = std::max(std::abs(p.x - 0.5) - inner, 0.0), qy = std::max(std::abs(p.y - 0.5) - inner, 0.0);
  return std::hypot(qx, qy) - kTileCornerRadius;
}

struct Sample {
  Colour colour;
  double alpha;
};

Sample ShadeAt(Point p) {
  const double tile = TileDistance(p);
  if (tile > 0.0) return {{0, 0, 0}, 0.0};
  const double fromMiddle = std::min(1.0, std::hypot(p.x - 0.5, p.y - 0.5) / 0.7);
  Colour colour = tile > -kTileRimWidth ? kTileRim : Mix(kTileMiddle, kTileEdge, fromMiddle);

  double neurites = TriangleDistance(p);
  for (const Neurite& n : kNeurites) neurites = std::min(neurites, NeuriteDistance(p, n));
  const double fromSoma = std::hypot(p.x - kSomaCentre.x, p.y - kSomaCentre.y);
  const double soma = fromSoma - kSomaRadius;
  if (std::min(neurites, soma) < kHaloWidth) colour = kHalo;
  if (neurites < 0.0) colour = kNeuriteCore;
  if (soma < 0.0) {
    colour = fromSoma < kNucleolusRadius ? kNucleolus
                                         : Mix(kSomaCentreColour, kSomaEdgeColour, fromSoma / kSomaRadius);
  }
  return {colour, 1.0};
}

std::uint8_t Channel(double value) { return static_cast<std::uint8_t>(std::lround(std::clamp(value, 0.0, 255.0))); }

}  // namespace

RgbaImage PaintIcon(int sizePixels) {
  RgbaImage icon;
  icon.width = icon.height = sizePixels;
  icon.rgba.resize(static_cast<std::size_t>(sizePixels) * static_cast<std::size_t>(sizePixels) * 4);
  constexpr double kSamples = kSamplesPerSide * kSamplesPerSide;
  for (int y = 0; y < sizePixels; ++y) {
    for (int x = 0; x < sizePixels; ++x) {
      // Premultiplied sums, so that partly covered edges keep their colour.
      double r = 0, g = 0, b = 0, a = 0;
      for (int sy = 0; sy < kSamplesPerSide; ++sy) {
        for (int sx = 0; sx < kSamplesPerSide; ++sx) {
          const Point p{(x + (sx + 0.5) / kSamplesPerSide) / sizePixels, (y + (sy + 0.5) / kSamplesPerSide) / sizePixels};
          const Sample s = ShadeAt(p);
          r += s.colour.r * s.alpha;
          g += s.colour.g * s.alpha;
          b += s.colour.b * s.alpha;
          a += s.alpha;
        }
      }
      std::uint8_t* pixel = &icon.rgba[(static_cast<std::size_t>(y) * static_cast<std::size_t>(sizePixels) +
                                        static_cast<std::size_t>(x)) * 4];
      pixel[0] = a > 0 ? Channel(r / a) : 0;
      pixel[1] = a > 0 ? Channel(g / a) : 0;
      pixel[2] = a > 0 ? Channel(b / a) : 0;
      pixel[3] = Channel(a / kSamples * 255.0);
    }
  }
  return icon;
}

}  // namespace velmora
