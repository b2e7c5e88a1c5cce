#pragma once
// The drawing surface the network elements paint their moving parts on. The model
// needs only these few operations; the display implements them on its back buffer
// and the tests implement them as a recorder.

#include <cstdint>

namespace velmora {

struct PathPoint;

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

// A point the model draws on a neurite: one point of the network's path tables and
// the offset from it, as computed, not yet rounded to whole pixels. A context that
// draws finer than the design's pixels places it where that point lies on the
// neurite's smooth curve.
struct PathPlace {
  const PathPoint* tablePoint = nullptr;  // the point's entry in its path table; compared, never read
  int x = 0;                              // the point, pixels
  int y = 0;
  float offsetX = 0.0f;                   // pixels from the point
  float offsetY = 0.0f;
};

// A point given exactly, pixels.
struct ExactPoint {
  double x = 0.0;
  double y = 0.0;
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

  // The same on a neurite, at whole pixels: the offset is truncated towards zero, as
  // the classic picture has always drawn it.
  virtual void MoveToOnPath(const PathPlace& place) {
    MoveTo(place.x + static_cast<int>(place.offsetX), place.y + static_cast<int>(place.offsetY));
  }
  virtual void LineToOnPath(const PathPlace& place) {
    LineTo(place.x + static_cast<int>(place.offsetX), place.y + static_cast<int>(place.offsetY));
  }
  // A triangle whose corners are known exactly; at whole pixels each is truncated
  // towards zero.
  virtual void PolygonExact(const ExactPoint (&corners)[3]) {
    const ScreenPoint whole[3] = {{static_cast<int>(corners[0].x), static_cast<int>(corners[0].y)},
                                  {static_cast<int>(corners[1].x), static_cast<int>(corners[1].y)},
                                  {static_cast<int>(corners[2].x), static_cast<int>(corners[2].y)}};
    Polygon(whole);
  }
};

}  // namespace velmora
