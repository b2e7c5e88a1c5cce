#pragma once
// The drawing surface the network elements paint their moving parts on. The model
// needs only these few operations; the display implements them on its back buffer
// and the tests implement them as a recorder.

#include <cstdint>

namespace velmora {

// Colour value 0x00BBGGRR: red in the low byte, 0 is black.
using ColorRef = std::uint32_t;

constexpr ColorRef Rgb(int red, int green, int blue) {
  return static_cast<ColorRef>(red & 0xFF) | (static_cast<ColorRef>(green & 0xFF) << 8) |
         (static_cast<ColorRef>(blue & 0xFF) << 16);
}

enum class PenStyle { Solid, Null };

// A pen strokes lines (and would outline polygons); the null pen draws nothing.
struct Pen {
  PenStyle style = PenStyle::Solid;
  int width = 1;  // pixels
  ColorRef color = 0;
};

// A solid brush fills polygons.
struct Brush {
  ColorRef color = 0;
};

struct ScreenPoint {
  int x = 0;  // pixels, to the right
  int y = 0;  // pixels, downwards
};

// The stock null pen: selected so that a filled polygon gets no outline.
const Pen* StockNullPen();

class DeviceContext {
public:
  virtual ~DeviceContext() = default;

  // Selecting a null pointer makes later drawing with that kind of object draw
  // nothing; a fresh context has neither selected.
  virtual void SelectPen(const Pen* pen) = 0;
  virtual void SelectBrush(const Brush* brush) = 0;

  virtual void MoveTo(int x, int y) = 0;
  // Draws from the current position to (x, y) with the selected pen and makes (x, y)
  // the current position.
  virtual void LineTo(int x, int y) = 0;
  // Fills the triangle with the selected brush and outlines it with the selected pen.
  virtual void Polygon(const ScreenPoint (&corners)[3]) = 0;
};

}  // namespace velmora
