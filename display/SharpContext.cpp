#include "display/SharpContext.h"

#include <algorithm>
#include <cmath>

namespace velmora {
namespace {

// Design coordinates beyond this are clamped: far off any screen, and small enough
// that the rasteriser's fixed-point products stay exact.
constexpr int kCoordinateLimitPixels = 1 << 15;
// Pen widths are clamped to this, as the classic context does, design pixels.
constexpr int kWidestPenPixels = 64;
// Width of the alpha ramp along every edge, screen pixels: one pixel, the width over
// which an edge's coverage of the pixels it crosses goes from full to none.
constexpr double kFeatherPixels = 1.0;
// A stroke's mitre may reach this many half widths out; sharper joints are cut.
constexpr double kMiterLimit = 2.0;
// The outward mitre of a filled triangle's feather reaches at most this far, screen
// pixels, so needle-sharp corners do not grow spikes.
constexpr double kLongestFeatherMiterPixels = 2.0;
// Below this, lengths and areas count as none.
constexpr double kTiny = 1e-9;
// A smooth stroke's pieces leave the true curve by at most this, screen pixels.
constexpr double kCurveTolerancePixels = 0.1;
// ... and are at most this many per span between two given points.
constexpr int kMostPiecesPerSpan = 64;

struct Vector {
  double x, y;
};
Vector Minus(Vector a, Vector b) { return {a.x - b.x, a.y - b.y}; }
Vector Plus(Vector a, Vector b) { return {a.x + b.x, a.y + b.y}; }
double Length(Vector v) { return std::hypot(v.x, v.y); }
Vector Scaled(Vector v, double s) { return {v.x * s, v.y * s}; }
Vector Unit(Vector v) {
  const double length = Length(v);
  return length > kTiny ? Scaled(v, 1.0 / length) : Vector{0.0, 0.0};
}
Vector Normal(Vector direction) { return {-direction.y, direction.x}; }
double Dot(Vector a, Vector b) { return a.x * b.x + a.y * b.y; }
double Cross(Vector a, Vector b) { return a.x * b.y - a.y * b.x; }

int Clamp(int v) { return std::clamp(v, -kCoordinateLimitPixels, kCoordinateLimitPixels); }
double Clamp(double v) {
  return std::clamp(v, static_cast<double>(-kCoordinateLimitPixels), static_cast<double>(kCoordinateLimitPixels));
}

// The centripetal Catmull-Rom curve through p1 and p2 at t (t1 .. t2), its knots
// spaced by the square roots of the distances (no cusps or loops between close points).
Vector CatmullRom(const Vector (&p)[4], const double (&t)[4], double at) {
  const auto mix = [](Vector a, Vector b, double ta, double tb, double x) {
    return Plus(Scaled(a, (tb - x) / (tb - ta)), Scaled(b, (x - ta) / (tb - ta)));
  };
  const Vector a1 = mix(p[0], p[1], t[0], t[1], at), a2 = mix(p[1], p[2], t[1], t[2], at),
               a3 = mix(p[2], p[3], t[2], t[3], at);
  const Vector b1 = mix(a1, a2, t[0], t[2], at), b2 = mix(a2, a3, t[1], t[3], at);
  return mix(b1, b2, t[1], t[2], at);
}

// A smooth curve through the points, in pieces short enough that each leaves the
// curve by at most kCurveTolerancePixels: few where the points lie nearly straight.
std::vector<Vector> SmoothThrough(const std::vector<Vector>& points) {
  const std::size_t n = points.size();
  if (n < 3) return points;
  std::vector<Vector> out{points.front()};
  for (std::size_t i = 0; i + 1 < n; ++i) {
    // Beyond the ends the curve goes on straight.
    const Vector p[4] = {i > 0 ? points[i - 1] : Minus(Scaled(points[0], 2.0), points[1]), points[i], points[i + 1],
                         i + 2 < n ? points[i + 2] : Minus(Scaled(points[n - 1], 2.0), points[n - 2])};
    double t[4] = {0.0, 0.0, 0.0, 0.0};
    for (int k = 1; k < 4; ++k) t[k] = t[k - 1] + std::max(std::sqrt(Length(Minus(p[k], p[k - 1]))), kTiny);
    // A span bends about as far from its chord as its middle lies off the chord's
    // middle; n pieces leave a quarter of that over n squared.
    const Vector middle = CatmullRom(p, t, (t[1] + t[2]) / 2.0);
    const double bend = Length(Minus(middle, Scaled(Plus(p[1], p[2]), 0.5)));
    const int pieces = std::clamp(static_cast<int>(std::ceil(std::sqrt(bend / kCurveTolerancePixels))), 1, kMostPiecesPerSpan);
    for (int k = 1; k < pieces; ++k) out.push_back(CatmullRom(p, t, t[1] + (t[2] - t[1]) * k / pieces));
    out.push_back(p[2]);
  }
  return out;
}

}  // namespace

double ScreenTransform::Y(double y) const { return y * scale + offsetY + (y >= kStatusBandTop ? statusShiftY : 0.0); }

double ScreenTransform::ShiftOfShape(double row) const { return row >= kStatusBandTop * scale + offsetY ? statusShiftY : 0.0; }

ScreenTransform TransformOf(const PaintPlacement& placement) {
  const double belowDesign = placement.height - placement.offsetY - kPictureHeight * placement.scale;
  return {placement.scale, static_cast<double>(placement.offsetX), static_cast<double>(placement.offsetY),
          std::max(0.0, std::floor(belowDesign))};
}

void DrawList::Clear() {
  vertices.clear();
  indices.clear();
  texts.clear();
}

SharpContext::SharpContext(const ScreenTransform& transform_, DrawList& list_, const NeuritePlaces* places_)
    : transform(transform_), list(&list_), places(places_), current(LinePoint(0, 0)) {}

void SharpContext::ResetState() {
  stroke.clear();
  pen = nullptr;
  brush = nullptr;
  current = LinePoint(0, 0);
  currentOnPath = false;
  textColor = 0;
  transparentBackground = false;
  largeText = false;
}

void SharpContext::Finish() { EndStroke(); }

SharpContext::Point SharpContext::LinePoint(int x, int y) const {
  return {(Clamp(x) + 0.5) * transform.scale + transform.offsetX, (Clamp(y) + 0.5) * transform.scale + transform.offsetY};
}

SharpContext::Point SharpContext::LinePoint(double x, double y) const {
  return {(Clamp(x) + 0.5) * transform.scale + transform.offsetX, (Clamp(y) + 0.5) * transform.scale + transform.offsetY};
}

SharpContext::Point SharpContext::PlacePoint(const PathPlace& place) const {
  const CurvePoint* onCurve = places != nullptr ? places->Find(place.tablePoint) : nullptr;
  if (onCurve == nullptr) return LinePoint(place.x + static_cast<double>(place.offsetX), place.y + static_cast<double>(place.offsetY));
  // The offset keeps its length and side, across the curve.
  const Vector offset{place.offsetX, place.offsetY};
  Vector across = Normal({onCurve->tangent.x, onCurve->tangent.y});
  if (Dot(across, offset) < 0.0) across = Scaled(across, -1.0);
  const Vector at = Plus({onCurve->at.x, onCurve->at.y}, Scaled(across, Length(offset)));
  return LinePoint(at.x, at.y);
}

void SharpContext::SelectPen(const Pen* selected) {
  EndStroke();
  pen = selected;
}

void SharpContext::SelectBrush(const Brush* selected) { brush = selected; }

void SharpContext::MoveTo(int x, int y) {
  EndStroke();
  current = LinePoint(x, y);
  currentOnPath = false;
}

void SharpContext::MoveToOnPath(const PathPlace& place) {
  EndStroke();
  current = PlacePoint(place);
  currentOnPath = true;
}

void SharpContext::StrokeTo(Point point, bool onPath) {
  if (pen == nullptr || pen->style == PenStyle::Null) {
    EndStroke();
  } else {
    if (stroke.empty()) {
      stroke.push_back(current);
      strokeOnPath = currentOnPath;
    }
    stroke.push_back(point);
    strokeOnPath = strokeOnPath && onPath;
  }
  current = point;
  currentOnPath = onPath;
}

void SharpContext::LineTo(int x, int y) { StrokeTo(LinePoint(x, y), false); }

void SharpContext::LineToOnPath(const PathPlace& place) { StrokeTo(PlacePoint(place), true); }

void SharpContext::ShiftIntoBand(Point* points, std::size_t count) const {
  if (count == 0 || transform.statusShiftY == 0.0) return;
  double top = points[0].y, bottom = points[0].y;
  for (std::size_t k = 1; k < count; ++k) {
    top = std::min(top, points[k].y);
    bottom = std::max(bottom, points[k].y);
  }
  const double shift = transform.ShiftOfShape((top + bottom) / 2.0);
  for (std::size_t k = 0; k < count; ++k) points[k].y += shift;
}

void SharpContext::EndStroke() {
  if (stroke.size() >= 2 && pen != nullptr && pen->style != PenStyle::Null) {
    ShiftIntoBand(stroke.data(), stroke.size());
    if (strokeOnPath) {
      std::vector<Vector> points;
      for (const Point& p : stroke) {
        if (points.empty() || Length(Minus({p.x, p.y}, points.back())) > kTiny) points.push_back({p.x, p.y});
      }
      std::vector<Point> smooth;
      for (const Vector& v : SmoothThrough(points)) smooth.push_back({v.x, v.y});
      AddStroke(smooth, *pen);
    } else {
      AddStroke(stroke, *pen);
    }
  }
  stroke.clear();
}

int SharpContext::AddVertex(Point p, ColorRef color, double alpha) {
  SDL_Vertex vertex{};
  vertex.position = {static_cast<float>(p.x), static_cast<float>(p.y)};
  vertex.color = {static_cast<Uint8>(color & 0xFF), static_cast<Uint8>((color >> 8) & 0xFF),
                  static_cast<Uint8>((color >> 16) & 0xFF),
                  static_cast<Uint8>(std::lround(std::clamp(alpha, 0.0, 1.0) * 255.0))};
  list->vertices.push_back(vertex);
  return static_cast<int>(list->vertices.size()) - 1;
}

void SharpContext::AddTriangle(int a, int b, int c) {
  list->indices.push_back(a);
  list->indices.push_back(b);
  list->indices.push_back(c);
}

// The stroke is a strip of cross-sections, each four vertices across: the outer
// edge (alpha 0), the core's edge, the core's other edge (full alpha) and the other
// outer edge. A cross-section half a pixel beyond each end, all at alpha 0, feathers
// the butt ends.
void SharpContext::AddStroke(const std::vector<Point>& raw, const Pen& strokePen) {
  std::vector<Vector> points;
  for (const Point& p : raw) {
    if (points.empty() || Length(Minus({p.x, p.y}, points.back())) > kTiny) points.push_back({p.x, p.y});
  }
  if (points.size() < 2) return;
  const std::size_t n = points.size();
  const double half = std::clamp(strokePen.width, 1, kWidestPenPixels) * transform.scale / 2.0;
  const double outer = half + kFeatherPixels / 2.0;
  const double inner = std::abs(half - kFeatherPixels / 2.0);
  double peak = std::min(1.0, 2.0 * half / kFeatherPixels);

  std::vector<Vector> directions(n - 1);
  std::vector<double> lengths(n - 1);
  double total = 0.0;
  for (std::size_t i = 0; i + 1 < n; ++i) {
    lengths[i] = Length(Minus(points[i + 1], points[i]));
    directions[i] = Scaled(Minus(points[i + 1], points[i]), 1.0 / lengths[i]);
    total += lengths[i];
  }
  // A stroke shorter than the feather covers its pixels only partly.
  peak *= std::min(1.0, total / kFeatherPixels);

  struct Section {
    Vector centre;
    Vector across;  // unit normal, lengthened at a mitre
    double alpha;
  };
  std::vector<Section> sections;
  sections.reserve(n + 2);
  const Vector firstAcross = Normal(directions.front()), lastAcross = Normal(directions.back());
  const double startInset = std::min(kFeatherPixels / 2.0, lengths.front() / 2.0);
  const double endInset = std::min(kFeatherPixels / 2.0, lengths.back() / 2.0);
  sections.push_back({Minus(points.front(), Scaled(directions.front(), kFeatherPixels / 2.0)), firstAcross, 0.0});
  sections.push_back({Plus(points.front(), Scaled(directions.front(), startInset)), firstAcross, peak});
  for (std::size_t i = 1; i + 1 < n; ++i) {
    const Vector before = Normal(directions[i - 1]), after = Normal(directions[i]);
    Vector across = Unit(Plus(before, after));
    if (Length(across) <= kTiny) across = after;  // the stroke turns right back
    across = Scaled(across, 1.0 / std::max(Dot(across, after), 1.0 / kMiterLimit));
    sections.push_back({points[i], across, peak});
  }
  sections.push_back({Minus(points.back(), Scaled(directions.back(), endInset)), lastAcross, peak});
  sections.push_back({Plus(points.back(), Scaled(directions.back(), kFeatherPixels / 2.0)), lastAcross, 0.0});

  const ColorRef color = strokePen.color;
  int previous = -1;
  for (const Section& section : sections) {
    const double offsets[4] = {-outer, -inner, inner, outer};
    const double alphas[4] = {0.0, section.alpha, section.alpha, 0.0};
    int first = -1;
    for (int k = 0; k < 4; ++k) {
      const Vector at = Plus(section.centre, Scaled(section.across, offsets[k]));
      const int index = AddVertex({at.x, at.y}, color, alphas[k]);
      if (k == 0) first = index;
    }
    if (previous >= 0) {
      for (int k = 0; k < 3; ++k) {
        AddTriangle(previous + k, previous + k + 1, first + k + 1);
        AddTriangle(previous + k, first + k + 1, first + k);
      }
    }
    previous = first;
  }
}

// A core triangle inset half a pixel at full alpha inside a ring out to half a pixel
// beyond the edges at alpha 0. A triangle too thin to have a core keeps one at its
// centroid, as strong as the triangle is wide.
void SharpContext::AddFilledTriangle(const Point (&corners)[3], ColorRef color) {
  const Vector c[3] = {{corners[0].x, corners[0].y}, {corners[1].x, corners[1].y}, {corners[2].x, corners[2].y}};
  const double doubleArea = std::abs(Cross(Minus(c[1], c[0]), Minus(c[2], c[0])));
  if (doubleArea <= kTiny) return;
  const Vector centroid{(c[0].x + c[1].x + c[2].x) / 3.0, (c[0].y + c[1].y + c[2].y) / 3.0};
  Vector outward[3];  // of edge k, from corner k to corner k + 1
  double perimeter = 0.0;
  for (int k = 0; k < 3; ++k) {
    const Vector edge = Minus(c[(k + 1) % 3], c[k]);
    perimeter += Length(edge);
    outward[k] = Normal(Unit(edge));
    if (Dot(outward[k], Minus(centroid, c[k])) > 0.0) outward[k] = Scaled(outward[k], -1.0);
  }
  const double inradius = doubleArea / perimeter;
  const bool hasCore = inradius > kFeatherPixels / 2.0;
  const double coreAlpha = hasCore ? 1.0 : 2.0 * inradius / kFeatherPixels;
  int innerIndex[3], outerIndex[3];
  for (int k = 0; k < 3; ++k) {
    const Vector before = outward[(k + 2) % 3], after = outward[k];
    const double join = 1.0 + Dot(before, after);
    // Moving both edges out by d moves their meeting point by d times this.
    const Vector miter = join > kTiny ? Scaled(Plus(before, after), 1.0 / join) : after;
    Vector out = Scaled(miter, kFeatherPixels / 2.0);
    if (Length(out) > kLongestFeatherMiterPixels) out = Scaled(Unit(out), kLongestFeatherMiterPixels);
    const Vector in = hasCore ? Minus(c[k], Scaled(miter, kFeatherPixels / 2.0)) : centroid;
    innerIndex[k] = AddVertex({in.x, in.y}, color, coreAlpha);
    outerIndex[k] = AddVertex({c[k].x + out.x, c[k].y + out.y}, color, 0.0);
  }
  AddTriangle(innerIndex[0], innerIndex[1], innerIndex[2]);
  for (int k = 0; k < 3; ++k) {
    const int next = (k + 1) % 3;
    AddTriangle(outerIndex[k], outerIndex[next], innerIndex[next]);
    AddTriangle(outerIndex[k], innerIndex[next], innerIndex[k]);
  }
}

void SharpContext::AddPolygon(Point (&fillCorners)[3], Point (&lineCorners)[3]) {
  EndStroke();
  // The fill and its outline move together, by the fill's middle.
  const double shiftBefore = fillCorners[0].y;
  ShiftIntoBand(fillCorners, 3);
  for (Point& corner : lineCorners) corner.y += fillCorners[0].y - shiftBefore;
  if (brush != nullptr) AddFilledTriangle(fillCorners, brush->color);
  if (pen != nullptr && pen->style != PenStyle::Null) {
    // The outline does not move the current position.
    AddStroke({lineCorners[2], lineCorners[0], lineCorners[1], lineCorners[2]}, *pen);
  }
}

void SharpContext::Polygon(const ScreenPoint (&corners)[3]) {
  Point fill[3], line[3];
  for (int k = 0; k < 3; ++k) {
    fill[k] = {Clamp(corners[k].x) * transform.scale + transform.offsetX,
               Clamp(corners[k].y) * transform.scale + transform.offsetY};
    line[k] = LinePoint(corners[k].x, corners[k].y);
  }
  AddPolygon(fill, line);
}

void SharpContext::PolygonExact(const ExactPoint (&corners)[3]) {
  const ExactPoint centroid{(corners[0].x + corners[1].x + corners[2].x) / 3.0,
                            (corners[0].y + corners[1].y + corners[2].y) / 3.0};
  const ScreenVector shift = places != nullptr ? places->ShiftNear(centroid) : ScreenVector{0.0, 0.0};
  Point fill[3], line[3];
  for (int k = 0; k < 3; ++k) {
    const double x = corners[k].x + shift.x, y = corners[k].y + shift.y;
    fill[k] = {Clamp(x) * transform.scale + transform.offsetX, Clamp(y) * transform.scale + transform.offsetY};
    line[k] = LinePoint(x, y);
  }
  AddPolygon(fill, line);
}

void SharpContext::SetTextColor(ColorRef color) { textColor = color; }
void SharpContext::SetTransparentBackground() { transparentBackground = true; }

void SharpContext::TextOut(int x, int y, std::string_view text) {
  EndStroke();
  list->texts.push_back({list->indices.size(),
                         static_cast<int>(std::lround(Clamp(x) * transform.scale + transform.offsetX)),
                         static_cast<int>(std::lround(transform.Y(Clamp(y)))),
                         std::string(text), textColor, !transparentBackground, largeText});
}

int SharpContext::TextWidth(std::string_view text) {
  ScaledFont* font = largeText && measuringLargeFont != nullptr ? measuringLargeFont : measuringFont;
  if (font == nullptr || transform.scale <= 0.0) return 0;
  return static_cast<int>(std::lround(font->Render(text).width / transform.scale));
}

}  // namespace velmora
