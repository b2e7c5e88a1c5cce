#pragma once
// The painted picture of the network and the glowing cell-body sprites, made from
// the neurite paths and the cell-body outlines: at the picture's own 1024 x 768 for
// the built-in images, or scaled onto a canvas of any size for a sharp screen.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "assets/Bitmap.h"
#include "assets/NeuriteControlPoints.h"
#include "model/Object.h"

namespace velmora {

inline constexpr int kPictureWidth = 1024;           // pixels
inline constexpr int kPictureHeight = 768;           // pixels
inline constexpr int kStatusBandTop = 680;           // pixels: nothing is painted from this row down
inline constexpr std::int32_t kPictureResolution = 2834;  // pixels per metre (72 per inch)
inline constexpr std::int32_t kSheetResolution = 0;       // the sprite sheet states none
inline constexpr int kSpriteCellPixels = 80;         // width and height of one sprite cell
inline constexpr int kSpriteColumns = 32;            // activity levels
inline constexpr std::uint8_t kGlowGreenFloor = 224;  // column 31 reaches at least this green
inline constexpr Rgb kGroundColour{129, 80, 45};     // mean of the untouched ground

// Which pixels of a sprite cell belong to the cell body (row-major, 80 x 80).
using SomaMask = std::array<bool, kSpriteCellPixels * kSpriteCellPixels>;

struct Painting {
  RgbImage picture;                        // 1024 x 768, no labels
  std::array<SomaMask, kSomaCount> masks;  // cut at each soma's `cut` corner
};

// Where the 1024 x 768 design lies on a canvas: picture pixel centre p (whole
// numbers at pixel centres, as the picture's own pixels) falls on canvas pixel
// (p + 0.5) * scale + offset - 0.5. The built-in picture is scale 1, offset 0 on a
// 1024 x 768 canvas.
struct PaintPlacement {
  double scale = 1.0;           // canvas pixels per picture pixel
  int offsetX = 0;              // canvas pixels from the canvas's left edge to the design's
  int offsetY = 0;              // canvas pixels from the canvas's top edge to the design's
  int width = kPictureWidth;    // canvas, pixels
  int height = kPictureHeight;  // canvas, pixels
  // Beyond the design the ground goes on and the neurites that reach the picture's
  // edge run on to the canvas's; false: the canvas is black there.
  bool fillBeyondDesign = true;

  // The picture coordinate of a canvas pixel's centre, along either axis.
  double DesignX(int canvasX) const { return (canvasX + 0.5 - offsetX) / scale - 0.5; }
  double DesignY(int canvasY) const { return (canvasY + 0.5 - offsetY) / scale - 0.5; }
};

// The design scaled uniformly to fit a width x height canvas and centred on it.
PaintPlacement FitDesign(int width, int height, bool fillBeyondDesign);

// A canvas-sized picture, 0xAARRGGBB per pixel (alpha 255 throughout unless said
// otherwise), top row first.
struct PackedImage {
  int width = 0;   // pixels
  int height = 0;  // pixels
  std::vector<std::uint32_t> pixels;
};

// One cell body at the canvas's resolution, cut from where it is painted.
struct BodySprite {
  int left = 0;    // canvas pixels: the cut's top-left corner
  int top = 0;
  int width = 0;   // pixels
  int height = 0;  // pixels
  // 0xAARRGGBB: the body's colour as if the pixel were wholly covered by it; alpha is
  // the share of the pixel the body covers (0 outside it).
  std::vector<std::uint32_t> pixels;
};

struct ScaledPainting {
  PaintPlacement placement;
  PackedImage picture;                          // canvas-sized, no labels
  std::array<BodySprite, kSomaCount> bodies;    // Soma1 .. Soma3
};

// Paints ground, neurites along the given paths (table order) and the cell bodies.
Painting PaintNetwork(const std::vector<std::vector<PathPoint>>& paths);

// The same painting at the placement's scale on its canvas, on `threads` threads
// (the result does not depend on their number). At scale 1 on a 1024 x 768 canvas
// the picture equals PaintNetwork's, pixel for pixel.
ScaledPainting PaintNetworkAt(const std::vector<std::vector<PathPoint>>& paths, const PaintPlacement& placement,
                              int threads);

// 32 columns by 3 rows of 80 x 80 cells: each body cut out of the picture along its
// mask, on black, its green raised in 31 equal steps per pixel from column 0 (the
// painting itself) to column 31.
RgbImage MakeSomaSheet(const Painting& painting);

// The green a sprite pixel of this green gains per activity column: the smallest
// whole step that carries it to at least kGlowGreenFloor by column 31.
int GlowStep(std::uint8_t green);

// The ground alone at one pixel: the picture shows exactly this wherever nothing
// else is painted.
Rgb GroundAt(int x, int y);

// Rules the painting must keep; one line per broken rule, empty if all hold.
std::vector<std::string> CheckPainting(const Painting& painting, const std::vector<std::vector<PathPoint>>& paths);

}  // namespace velmora
