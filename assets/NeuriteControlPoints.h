#pragma once
// The hand-chosen shape of every neurite and cell body. The path tables the model
// runs on and the painted pictures are both made from this one set of data.

#include <array>
#include <cstdint>
#include <span>

namespace velmora {

// A position or direction in screen pixels (x to the right, y downwards).
struct ScreenVector {
  double x;
  double y;
};

struct PixelPoint {
  std::int32_t x;  // pixels
  std::int32_t y;  // pixels
  friend bool operator==(const PixelPoint&, const PixelPoint&) = default;
};

// Smallest and largest x and y over all points of a path, pixels, inclusive.
struct PixelBox {
  std::int32_t xMin, xMax;
  std::int32_t yMin, yMax;
};

// Which side of the direction of travel the stored normals point to, as seen on
// the screen. Left turns the direction (dx, dy) into (dy, -dx).
enum class NormalSide { kLeft, kRight };

// One neurite: the table it must produce and the curve that shapes it.
struct NeuriteControl {
  const char* name;               // "A1" .. "A17", "D1" .. "D6"
  std::int32_t pointCount;        // path points, exactly
  PixelPoint first;               // first path point
  PixelPoint last;                // last path point
  PixelBox extent;                // exact extent of all path points
  NormalSide side;
  int parent;                     // index of the axon this one branches from; -1 if none
  // Interior points the curve passes through, pixels; the curve runs from `first`
  // through these to `last`. Values just outside `extent` make the path touch it.
  std::span<const ScreenVector> via;
  ScreenVector startDirection;    // direction of travel at `first`; (0, 0): along the first chord
  ScreenVector endDirection;      // direction of travel at `last`; (0, 0): along the last chord
  ScreenVector fixedNormal;       // used for every point when not (0, 0)
  double thicknessPixels;         // painted core width where the neurite is thickest
};

inline constexpr int kNeuriteCount = 23;  // A1 .. A17, then D1 .. D6
extern const std::array<NeuriteControl, kNeuriteCount> kNeuriteControls;

// Total of all point counts: the model reserves nothing, but the figure is fixed.
inline constexpr std::int32_t kTotalPathPoints = 5438;

}  // namespace velmora
