#include "tools/sim/ShapeList.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <utility>

#include "assets/Bitmap.h"
#include "display/GlyphCache.h"
#include "platform/XmlText.h"

namespace velmora::sim {
namespace {

// The SVG's text: the face the pixels are drawn with, at about the height its glyph
// masks have.
constexpr const char* kSvgFont = "font-family=\"DejaVu Sans, sans-serif\" font-weight=\"bold\" font-size=\"13\"";
// Dashes, in pixels: this many drawn, then as many left out.
constexpr int kDashPixels = 3;

std::string Number(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.2f", value);
  std::string number = text;
  number.erase(number.find_last_not_of('0') + 1);
  if (number.back() == '.') number.pop_back();
  return number == "-0" ? "0" : number;
}

std::string Colour(ShapeColour colour) {
  char text[8];
  std::snprintf(text, sizeof text, "#%06x", static_cast<unsigned>(colour & 0xFFFFFF));
  return text;
}

Rgb Pixel(ShapeColour colour) {
  return {static_cast<std::uint8_t>(colour >> 16), static_cast<std::uint8_t>(colour >> 8),
          static_cast<std::uint8_t>(colour)};
}

bool SameStroke(const Shape& a, const Shape& b) { return a.colour == b.colour && a.dashed == b.dashed; }

std::string PathStep(const Shape& line) {
  const std::string start = "M" + Number(line.x1) + " " + Number(line.y1);
  return line.x1 == line.x2 ? start + "V" + Number(line.y2) : start + "H" + Number(line.x2);
}

class Canvas {
public:
  explicit Canvas(RgbImage& image) : image_(image) {}

  // The pixels from column x0 up to x1 and row y0 up to y1, cut to the picture.
  void Fill(long x0, long y0, long x1, long y1, ShapeColour colour) {
    x0 = std::max(x0, 0L);
    y0 = std::max(y0, 0L);
    x1 = std::min(x1, static_cast<long>(image_.width));
    const Rgb pixel = Pixel(colour);
    y1 = std::min(y1, static_cast<long>(image_.height));
    for (long y = y0; y < y1; ++y) {
      for (long x = x0; x < x1; ++x) image_.At(static_cast<int>(x), static_cast<int>(y)) = pixel;
    }
  }

  void DrawLine(const Shape& line) {
    const bool vertical = line.x1 == line.x2;
    const double from = vertical ? std::min(line.y1, line.y2) : std::min(line.x1, line.x2);
    const double to = vertical ? std::max(line.y1, line.y2) : std::max(line.x1, line.x2);
    const long across = std::lround(std::floor(vertical ? line.x1 : line.y1));
    const long step = line.dashed ? 2 * kDashPixels : std::lround(to - from) + 1;
    const long length = line.dashed ? kDashPixels : step;
    for (long at = std::lround(from); at < std::lround(to); at += step) {
      const long end = std::min(at + length, std::lround(to));
      if (vertical) {
        Fill(across, at, across + 1, end, line.colour);
      } else {
        Fill(at, across, end, across + 1, line.colour);
      }
    }
  }

  void DrawText(const Shape& text, const GlyphCache& font) {
    long width = 0;
    for (char c : text.text) width += font.Glyph(static_cast<unsigned char>(c)).advancePixels;
    long penX = std::lround(text.x1);
    if (text.anchor == TextAnchor::kMiddle) penX -= width / 2;
    if (text.anchor == TextAnchor::kEnd) penX -= width;
    const long top = std::lround(text.y1) - font.LineHeightPixels() / 2;
    for (char c : text.text) {
      const GlyphMask& glyph = font.Glyph(static_cast<unsigned char>(c));
      for (int row = 0; row < glyph.heightPixels; ++row) {
        for (int column = 0; column < glyph.widthPixels; ++column) {
          if (glyph.covered[static_cast<std::size_t>(row) * glyph.widthPixels + column] != 0) {
            Fill(penX + column, top + row, penX + column + 1, top + row + 1, text.colour);
          }
        }
      }
      penX += glyph.advancePixels;
    }
  }

private:
  RgbImage& image_;
};

}  // namespace

Shape Line(double x1, double y1, double x2, double y2, ShapeColour colour, bool dashed) {
  Shape shape;
  shape.kind = Shape::Kind::kLine;
  shape.x1 = x1, shape.y1 = y1, shape.x2 = x2, shape.y2 = y2;
  shape.colour = colour;
  shape.dashed = dashed;
  return shape;
}

Shape Rect(double left, double top, double right, double bottom, ShapeColour colour) {
  Shape shape = Line(left, top, right, bottom, colour);
  shape.kind = Shape::Kind::kRect;
  return shape;
}

Shape Text(double x, double middleY, std::string text, ShapeColour colour, TextAnchor anchor) {
  Shape shape = Line(x, middleY, x, middleY, colour);
  shape.kind = Shape::Kind::kText;
  shape.text = std::move(text);
  shape.anchor = anchor;
  return shape;
}

std::string WriteSvg(const ShapeList& list) {
  const std::string width = std::to_string(list.widthPixels);
  const std::string height = std::to_string(list.heightPixels);
  std::string svg = "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + width + "\" height=\"" + height +
                    "\" viewBox=\"0 0 " + width + " " + height + "\" " + kSvgFont + ">\n";
  for (std::size_t i = 0; i < list.shapes.size(); ++i) {
    const Shape& shape = list.shapes[i];
    switch (shape.kind) {
      case Shape::Kind::kLine:
        svg += "<path stroke=\"" + Colour(shape.colour) + "\"" + (shape.dashed ? " stroke-dasharray=\"3 3\"" : "") +
               " d=\"" + PathStep(shape);
        for (; i + 1 < list.shapes.size(); ++i) {
          const Shape& next = list.shapes[i + 1];
          if (next.kind != Shape::Kind::kLine || !SameStroke(shape, next)) break;
          svg += PathStep(next);
        }
        svg += "\"/>\n";
        break;
      case Shape::Kind::kRect:
        svg += "<rect x=\"" + Number(shape.x1) + "\" y=\"" + Number(shape.y1) + "\" width=\"" +
               Number(shape.x2 - shape.x1) + "\" height=\"" + Number(shape.y2 - shape.y1) + "\" fill=\"" +
               Colour(shape.colour) + "\"/>\n";
        break;
      case Shape::Kind::kText: {
        const char* anchor = shape.anchor == TextAnchor::kStart    ? "start"
                             : shape.anchor == TextAnchor::kMiddle ? "middle"
                                                                   : "end";
        svg += "<text x=\"" + Number(shape.x1) + "\" y=\"" + Number(shape.y1) + "\" text-anchor=\"" + anchor +
               "\" dominant-baseline=\"central\" fill=\"" + Colour(shape.colour) + "\">" + EscapeXml(shape.text) +
               "</text>\n";
        break;
      }
    }
  }
  return svg + "</svg>\n";
}

RgbImage RenderShapes(const ShapeList& list, const GlyphCache* font) {
  RgbImage image(list.widthPixels, list.heightPixels);
  Canvas canvas(image);
  for (const Shape& shape : list.shapes) {
    switch (shape.kind) {
      case Shape::Kind::kLine:
        canvas.DrawLine(shape);
        break;
      case Shape::Kind::kRect:
        canvas.Fill(std::lround(shape.x1), std::lround(shape.y1), std::lround(shape.x2), std::lround(shape.y2),
                    shape.colour);
        break;
      case Shape::Kind::kText:
        if (font != nullptr) canvas.DrawText(shape, *font);
        break;
    }
  }
  return image;
}

}  // namespace velmora::sim
