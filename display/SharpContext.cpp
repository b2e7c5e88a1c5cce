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

}  // namespace

void DrawList::Clear() {
  vertices.clear();
  indices.clear();
  texts.clear();
}

SharpContext::SharpContext(const ScreenTransform& transform_, DrawList& list_) : transform(transform_), list(&list_) {}

void SharpContext::ResetState() {
  stroke.clear();
  pen = nullptr;
  brush = nullptr;
  currentX = 0;
  currentY = 0;
  textColor = 0;
  transparentBackground = false;
  largeText = false;
}

void SharpContext::Finish() { EndStroke(); }

SharpContext::Point SharpContext::LinePoint(int x, int y) const {
  return {(Clamp(x) + 0.5) * transform.scale + transform.offsetX, (Clamp(y) + 0.5) * transform.scale + transform.offsetY};
}

void SharpContext::SelectPen(const Pen* selected) {
  EndStroke();
  pen = selected;
}

void SharpContext::SelectBrush(const Brush* selected) { brush = selected; }

void SharpContext::MoveTo(int x, int y) {
  EndStroke();
  currentX = x;
  currentY = y;
}

void SharpContext::LineTo(int x, int y) {
  if (pen == nullptr || pen->style == PenStyle::Null) {
    MoveTo(x, y);
    return;
  }
  if (stroke.empty()) stroke.push_back(LinePoint(currentX, currentY));
  stroke.push_back(LinePoint(x, y));
  currentX = x;
  currentY = y;
}

void SharpContext::EndStroke() {
  if (stroke.size() >= 2 && pen != nullptr && pen->style != PenStyle::Null) AddStroke(stroke, *pen);
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

void SharpContext::Polygon(const ScreenPoint (&corners)[3]) {
  EndStroke();
  if (brush != nullptr) {
    Point points[3];
    for (int k = 0; k < 3; ++k) {
      points[k] = {Clamp(corners[k].x) * transform.scale + transform.offsetX,
                   Clamp(corners[k].y) * transform.scale + transform.offsetY};
    }
    AddFilledTriangle(points, brush->color);
  }
  if (pen != nullptr && pen->style != PenStyle::Null) {
    // The outline does not move the current position.
    AddStroke({LinePoint(corners[2].x, corners[2].y), LinePoint(corners[0].x, corners[0].y),
               LinePoint(corners[1].x, corners[1].y), LinePoint(corners[2].x, corners[2].y)},
              *pen);
  }
}

void SharpContext::SetTextColor(ColorRef color) { textColor = color; }
void SharpContext::SetTransparentBackground() { transparentBackground = true; }

void SharpContext::TextOut(int x, int y, std::string_view text) {
  EndStroke();
  list->texts.push_back({list->indices.size(),
                         static_cast<int>(std::lround(Clamp(x) * transform.scale + transform.offsetX)),
                         static_cast<int>(std::lround(Clamp(y) * transform.scale + transform.offsetY)),
                         std::string(text), textColor, !transparentBackground, largeText});
}

int SharpContext::TextWidth(std::string_view text) {
  ScaledFont* font = largeText && measuringLargeFont != nullptr ? measuringLargeFont : measuringFont;
  if (font == nullptr || transform.scale <= 0.0) return 0;
  return static_cast<int>(std::lround(font->Render(text).width / transform.scale));
}

}  // namespace velmora
