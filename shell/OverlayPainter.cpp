#include "shell/OverlayPainter.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace velmora {
namespace {

// Segments of a whole circle: smooth at the sizes drawn here, a few hundred lines a frame.
constexpr int kCircleSegments = 40;

int Round(double value) { return static_cast<int>(std::lround(value)); }

int Channel(ColorRef color, int shift) { return static_cast<int>((color >> shift) & 0xFFu); }

}  // namespace

ColorRef MixColor(ColorRef from, ColorRef to, double share) {
  const double t = std::clamp(share, 0.0, 1.0);
  const auto mix = [&](int shift) { return Round(Channel(from, shift) + (Channel(to, shift) - Channel(from, shift)) * t); };
  return Rgb(mix(0), mix(8), mix(16));
}

const Pen* OverlayPainter::PenOf(int widthPixels, ColorRef color) {
  pens.push_back(Pen{PenStyle::Solid, widthPixels, color});
  return &pens.back();
}

void OverlayPainter::Ring(PlanePoint centre, double radius, int widthPixels, ColorRef color, double fromTurn,
                          double toTurn) {
  if (!(toTurn > fromTurn) || radius <= 0.0) return;
  dc.SelectPen(PenOf(widthPixels, color));
  const int segments = std::max(2, static_cast<int>(std::ceil(kCircleSegments * (toTurn - fromTurn))));
  for (int i = 0; i <= segments; ++i) {
    const double angle = 2.0 * std::numbers::pi * (fromTurn + (toTurn - fromTurn) * i / segments);
    const int x = Round(centre.x + radius * std::sin(angle));
    const int y = Round(centre.y - radius * std::cos(angle));
    if (i == 0) {
      dc.MoveTo(x, y);
    } else {
      dc.LineTo(x, y);
    }
  }
}

void OverlayPainter::Line(PlanePoint from, PlanePoint to, int widthPixels, ColorRef color) {
  dc.SelectPen(PenOf(widthPixels, color));
  dc.MoveTo(Round(from.x), Round(from.y));
  dc.LineTo(Round(to.x), Round(to.y));
}

void OverlayPainter::Text(double x, double y, std::string_view text, ColorRef color, bool large) {
  dc.SetLargeText(large);
  dc.SetTextColor(color);
  dc.SetTransparentBackground();
  dc.TextOut(Round(x), Round(y), text);
  dc.SetLargeText(false);
}

int OverlayPainter::TextWidth(std::string_view text, bool large) {
  dc.SetLargeText(large);
  const int width = dc.TextWidth(text);
  dc.SetLargeText(false);
  return width;
}

}  // namespace velmora
