#pragma once
// A plot as a short list of shapes (lines, filled rectangles, one-line texts) that is
// laid out once and then written as SVG or drawn into pixels, so both show the same.

#include <cstdint>
#include <string>
#include <vector>

namespace velmora {
class GlyphCache;
struct RgbImage;
}

namespace velmora::sim {

// A colour as 0xRRGGBB.
using ShapeColour = std::uint32_t;

// Which point of a text its x gives.
enum class TextAnchor { kStart, kMiddle, kEnd };

// One shape; coordinates in pixels.
struct Shape {
  enum class Kind {
    kLine,  // horizontal or vertical, one pixel wide: from (x1, y1) to (x2, y2); a vertical
            // line covers the column of x1, a horizontal one the row of y1
    kRect,  // filled, from the corner (x1, y1) to the corner (x2, y2)
    kText,  // one line of ASCII text: x1 is where `anchor` puts it, y1 the line's middle
  };
  Kind kind = Kind::kLine;
  double x1 = 0.0, y1 = 0.0, x2 = 0.0, y2 = 0.0;
  ShapeColour colour = 0;
  bool dashed = false;  // a line: 3 pixels drawn, 3 left out
  std::string text;
  TextAnchor anchor = TextAnchor::kStart;
};

Shape Line(double x1, double y1, double x2, double y2, ShapeColour colour, bool dashed = false);
Shape Rect(double left, double top, double right, double bottom, ShapeColour colour);
Shape Text(double x, double middleY, std::string text, ShapeColour colour, TextAnchor anchor);

struct ShapeList {
  int widthPixels = 0;
  int heightPixels = 0;
  std::vector<Shape> shapes;  // painted in this order
};

// A complete SVG document. Neighbouring lines of the same colour and dash share one
// path, which keeps a plot of many thousand ticks small.
std::string WriteSvg(const ShapeList& list);

// The shapes drawn into a picture that starts black. Texts are set with the font's
// glyph masks; without a font (null) they are left out.
RgbImage RenderShapes(const ShapeList& list, const GlyphCache* font);

}  // namespace velmora::sim
