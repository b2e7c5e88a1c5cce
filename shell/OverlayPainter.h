#pragma once
// Drawing what lies over the picture (the touch controls, the invitation, the
// countdown) with the back buffer's drawing context, in the design's pixels, so the
// same calls draw it pixel-exact on the classic picture and anti-aliased on the sharp
// one, and it lands in the frame's changed area like the model's own drawing. Shapes
// are strokes only: filled fans would show their seams on the sharp picture.
//
// The context keeps the pens it is handed while a stroke is drawn: the painter ends
// its last stroke when it goes.

#include <deque>
#include <string_view>

#include "display/FrameDisplay.h"
#include "platform/ScreenPlacement.h"

namespace velmora {

// A colour between two, `share` (0 .. 1) of the way from `from` to `to`.
ColorRef MixColor(ColorRef from, ColorRef to, double share);

class OverlayPainter {
public:
  explicit OverlayPainter(TextDeviceContext& context) : dc(context) {}
  // Ends the stroke being drawn and selects no pen, so the context keeps no pointer to
  // the painter's pens once it is gone.
  ~OverlayPainter() { dc.SelectPen(nullptr); }
  OverlayPainter(const OverlayPainter&) = delete;
  OverlayPainter& operator=(const OverlayPainter&) = delete;

  // A circle's outline, or the part of it from `fromTurn` to `toTurn` (turns clockwise
  // from the top, 0 .. 1).
  void Ring(PlanePoint centre, double radius, int widthPixels, ColorRef color, double fromTurn = 0.0,
            double toTurn = 1.0);
  void Line(PlanePoint from, PlanePoint to, int widthPixels, ColorRef color);
  // Text with its top-left corner at (x, y), without a background.
  void Text(double x, double y, std::string_view text, ColorRef color, bool large = false);
  int TextWidth(std::string_view text, bool large = false);

private:
  const Pen* PenOf(int widthPixels, ColorRef color);

  TextDeviceContext& dc;
  std::deque<Pen> pens;  // stable addresses, as the context keeps them
};

}  // namespace velmora
