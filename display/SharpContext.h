#pragma once
// The drawing context of the sharp screen: the model's pens, brushes, lines and
// triangles and the status line's text, given in the 1024 x 768 design's pixels,
// turned into anti-aliased shapes on the screen at the design's scale and offset.
//
// Shapes are triangles with feathered edges: each stroke or filled triangle has a
// core at full colour and a one-screen-pixel rim whose alpha falls from the core's to
// 0, so the edge covers each pixel about as much as the shape does. The same list
// goes to the GPU (SDL_RenderGeometry) or to the rasteriser in memory.
//
// Where the design's pixels land, fixed so the drawing lies on the painting:
// - a line runs between the centres of its end pixels, (x + 0.5, y + 0.5) scaled,
//   butt-ended, as wide as the pen times the scale; a run of LineTo calls with one
//   pen is one stroke, mitred at its joints;
// - a point on a neurite lies where its path point lies on the neurite's smooth
//   curve (display/NeuritePlaces.h), its offset unrounded and turned to the curve's
//   normal; a stroke of such points is drawn as a smooth curve through them, so
//   the dendrites' waves bulge smoothly and lie on the painted neurites;
// - a triangle's corners are the corner points (x, y) scaled, as the classic fill
//   takes pixel centres inside the corners; given exactly, they move with the
//   nearest path point onto its curve;
// - text has its top-left corner at (x, y) scaled; in the status band at the design's
//   foot it stands as far above the screen's bottom edge as above the design's, so
//   on a tall screen the status line sits at the bottom, not in the middle; lines and
//   triangles whose middle lies in the band (the controls beside the status line)
//   move with it.

#include <SDL.h>

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "display/FrameDisplay.h"
#include "assets/ScaledPictures.h"
#include "display/NeuritePlaces.h"
#include "display/SharpText.h"

namespace velmora {

// What one frame draws over its pictures, in screen pixels and in drawing order.
struct DrawList {
  std::vector<SDL_Vertex> vertices;
  std::vector<int> indices;  // three per triangle
  struct Text {
    std::size_t atIndex;  // drawn after the triangles before this index
    int x, y;             // screen pixels: top-left corner
    std::string text;     // Latin-1
    ColorRef color;
    bool opaqueBackground;  // on a white box the size of the text
    bool large = false;     // in the large font
  };
  std::vector<Text> texts;

  void Clear();
};

// Where the design lies on the screen: design point p shows at p * scale + offset;
// the status band's rows (from kStatusBandTop down) statusShiftY further down.
struct ScreenTransform {
  double scale = 1.0;    // screen pixels per design pixel
  double offsetX = 0.0;  // screen pixels
  double offsetY = 0.0;
  double statusShiftY = 0.0;

  // The screen row of design row y.
  double Y(double y) const;
  // How much further down a shape goes whose middle, placed without the shift, lies
  // at screen row `row`: statusShiftY in the status band, else none. A shape moves
  // whole, so one that reaches over the band's top edge is not torn apart.
  double ShiftOfShape(double row) const;
};

// The transform of a placement: the status band anchored to the screen's bottom edge.
ScreenTransform TransformOf(const PaintPlacement& placement);

class SharpContext final : public TextDeviceContext {
public:
  // `places` may be null: points on a neurite then lie at their pixels' centres.
  SharpContext(const ScreenTransform& transform, DrawList& list, const NeuritePlaces* places = nullptr);

  // Back to the fresh state of a newly lent context: no pen or brush, current
  // position 0, 0, black text on an opaque white background.
  void ResetState();
  // Ends the stroke being drawn; call before the list is used.
  void Finish();

  void SelectPen(const Pen* pen) override;
  void SelectBrush(const Brush* brush) override;
  void MoveTo(int x, int y) override;
  void LineTo(int x, int y) override;
  void Polygon(const ScreenPoint (&corners)[3]) override;
  void MoveToOnPath(const PathPlace& place) override;
  void LineToOnPath(const PathPlace& place) override;
  void PolygonExact(const ExactPoint (&corners)[3]) override;

  void SetTextColor(ColorRef color) override;
  void SetTransparentBackground() override;
  void TextOut(int x, int y, std::string_view text) override;
  void SetLargeText(bool large) override { largeText = large; }
  // In design pixels, from the fonts set at the design's scale; 0 without them.
  int TextWidth(std::string_view text) override;
  // The fonts text is measured with, at the screen's scale; either may be null.
  void MeasureWith(ScaledFont* font, ScaledFont* largeFont) {
    measuringFont = font;
    measuringLargeFont = largeFont;
  }

private:
  struct Point {
    double x, y;  // screen pixels
  };
  Point LinePoint(int x, int y) const;
  Point LinePoint(double x, double y) const;
  Point PlacePoint(const PathPlace& place) const;
  void StrokeTo(Point point, bool onPath);
  void EndStroke();
  void AddStroke(const std::vector<Point>& points, const Pen& strokePen);
  void AddFilledTriangle(const Point (&corners)[3], ColorRef color);
  void AddPolygon(Point (&fillCorners)[3], Point (&lineCorners)[3]);
  // Moves a shape's points down with the status band if its middle lies in it.
  void ShiftIntoBand(Point* points, std::size_t count) const;
  int AddVertex(Point p, ColorRef color, double alpha);
  void AddTriangle(int a, int b, int c);

  // Parameters
  ScreenTransform transform;
  DrawList* list;
  const NeuritePlaces* places;

  // State: the selections, the current position and the stroke being drawn.
  const Pen* pen = nullptr;
  const Brush* brush = nullptr;
  Point current{};             // screen pixels
  bool currentOnPath = false;  // the current position is a point on a neurite
  std::vector<Point> stroke;   // screen pixels; the current position ends it
  bool strokeOnPath = false;   // every point of the stroke lies on a neurite
  ColorRef textColor = 0;
  bool transparentBackground = false;
  bool largeText = false;
  ScaledFont* measuringFont = nullptr;
  ScaledFont* measuringLargeFont = nullptr;
};

}  // namespace velmora
