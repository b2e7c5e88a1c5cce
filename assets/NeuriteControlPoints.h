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

// Total of all point counts.
inline constexpr std::int32_t kTotalPathPoints = 5438;

// One cell body: where it sits, the outline it is painted with, and the 80 x 80 area
// of the picture its sprites are cut from.
struct SomaControl {
  const char* name;                     // "Soma1" .. "Soma3"
  ScreenVector centre;                  // pixels
  // Closed outline through these points, pixels relative to `centre`, clockwise on
  // the screen; the body is smoothed through them.
  std::span<const ScreenVector> outline;
  ScreenVector nucleus;                 // centre of the nucleus, pixels relative to `centre`
  PixelPoint cut;                       // top-left corner of the sprite area, pixels
  PixelBox cellBox;                     // the outline stays inside this, pixels within the cell
  std::span<const int> axons;           // indices of the neurites that leave the body
  std::span<const int> dendrites;       // indices of the neurites that end at the body
};

inline constexpr int kSomaCount = 3;
extern const std::array<SomaControl, kSomaCount> kSomaControls;

}  // namespace velmora
