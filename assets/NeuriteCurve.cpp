#include "assets/NeuriteCurve.h"

#include <algorithm>
#include <cmath>

namespace velmora {
namespace {

ScreenVector Plus(ScreenVector a, ScreenVector b) { return {a.x + b.x, a.y + b.y}; }
ScreenVector Minus(ScreenVector a, ScreenVector b) { return {a.x - b.x, a.y - b.y}; }
ScreenVector Times(double s, ScreenVector a) { return {s * a.x, s * a.y}; }
double Length(ScreenVector a) { return std::hypot(a.x, a.y); }
ScreenVector Unit(ScreenVector a) {
  const double length = Length(a);
  return length > 0.0 ? Times(1.0 / length, a) : ScreenVector{0.0, 0.0};
}
bool IsZero(ScreenVector v) { return v.x == 0.0 && v.y == 0.0; }

}  // namespace

ScreenVector NormalOf(ScreenVector direction, NormalSide side) {
  const ScreenVector left{direction.y, -direction.x};
  return side == NormalSide::kLeft ? left : Times(-1.0, left);
}

NeuriteCurve::NeuriteCurve(const NeuriteControl& control) {
  nodes.push_back({static_cast<double>(control.first.x), static_cast<double>(control.first.y)});
  for (const ScreenVector& via : control.via) nodes.push_back(via);
  nodes.push_back({static_cast<double>(control.last.x), static_cast<double>(control.last.y)});
  const std::size_t n = nodes.size();
  directions.resize(n);
  for (std::size_t i = 1; i + 1 < n; ++i) {
    directions[i] = Unit(Plus(Unit(Minus(nodes[i], nodes[i - 1])), Unit(Minus(nodes[i + 1], nodes[i]))));
  }
  directions[0] = IsZero(control.startDirection) ? Unit(Minus(nodes[1], nodes[0])) : Unit(control.startDirection);
  directions[n - 1] =
      IsZero(control.endDirection) ? Unit(Minus(nodes[n - 1], nodes[n - 2])) : Unit(control.endDirection);
}

double NeuriteCurve::Chord(std::size_t segment) const { return Length(Minus(nodes[segment + 1], nodes[segment])); }

ScreenVector NeuriteCurve::At(std::size_t segment, double u) const {
  const double u2 = u * u;
  const double u3 = u2 * u;
  const double chord = Chord(segment);
  // Summed in this order, so that the path tables come out bit for bit as ever.
  return Plus(Plus(Plus(Times(2 * u3 - 3 * u2 + 1, nodes[segment]), Times((u3 - 2 * u2 + u) * chord, directions[segment])),
                   Times(-2 * u3 + 3 * u2, nodes[segment + 1])),
              Times((u3 - u2) * chord, directions[segment + 1]));
}

ScreenVector NeuriteCurve::Tangent(std::size_t segment, double u) const {
  const double u2 = u * u;
  const double chord = Chord(segment);
  return Plus(Plus(Plus(Times(6 * u2 - 6 * u, nodes[segment]), Times((3 * u2 - 4 * u + 1) * chord, directions[segment])),
                   Times(-6 * u2 + 6 * u, nodes[segment + 1])),
              Times((3 * u2 - 2 * u) * chord, directions[segment + 1]));
}

std::vector<CurvePoint> NeuriteCurve::Samples(double perChordPixel) const {
  std::vector<CurvePoint> samples;
  for (std::size_t segment = 0; segment < SegmentCount(); ++segment) {
    const int count = static_cast<int>(std::ceil(Chord(segment) * perChordPixel)) + 1;
    for (int s = 0; s <= count; ++s) {
      const double u = static_cast<double>(s) / count;
      CurvePoint point{At(segment, u), Unit(Tangent(segment, u)), 0.0};
      if (!samples.empty()) point.arc = samples.back().arc + Length(Minus(point.at, samples.back().at));
      samples.push_back(point);
    }
  }
  return samples;
}

CurvePoint PointAtArc(const std::vector<CurvePoint>& samples, double arc) {
  const auto after = std::lower_bound(samples.begin(), samples.end(), arc,
                                      [](const CurvePoint& p, double value) { return p.arc < value; });
  if (after == samples.begin()) return samples.front();
  if (after == samples.end()) return samples.back();
  const CurvePoint& a = *(after - 1);
  const CurvePoint& b = *after;
  const double t = b.arc > a.arc ? (arc - a.arc) / (b.arc - a.arc) : 0.0;
  return {Plus(a.at, Times(t, Minus(b.at, a.at))), t < 0.5 ? a.tangent : b.tangent, arc};
}

}  // namespace velmora
