#pragma once
// The design scaled onto a canvas of any size, for a sharp screen: where it lies, the
// painting at that scale, the cell-body sprites and the labels. Made by the same
// code as the built-in pictures (assets/Painting.h, assets/Labels.h).

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "assets/BuiltInFiles.h"
#include "assets/NeuriteControlPoints.h"
#include "model/Object.h"

namespace velmora {

inline constexpr int kPictureWidth = 1024;  // pixels
inline constexpr int kPictureHeight = 768;  // pixels
inline constexpr int kStatusBandTop = 680;  // pixels: nothing is painted from this row down

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

// Where the painted neurites' centre lines run.
enum class NeuriteCentres {
  kPathPixels,    // through the path pixels, as the built-in picture: each pixel is a model point
  kSmoothCurves,  // on the smooth curves the paths are walked from: for canvases where a
                  // picture pixel spans several canvas pixels and the path's steps would show
};

// The same painting as the built-in picture at the placement's scale on its canvas,
// on `threads` threads (the result does not depend on their number). Along the path
// pixels at scale 1 on a 1024 x 768 canvas the picture equals the built-in one,
// pixel for pixel.
ScaledPainting PaintNetworkAt(const std::vector<std::vector<PathPoint>>& paths, const PaintPlacement& placement,
                              int threads, NeuriteCentres centres = NeuriteCentres::kPathPixels);

// The green a sprite pixel of this green gains per activity level (0 .. 31): the
// smallest whole step that carries it to at least 224 by the top level.
int GlowStep(std::uint8_t green);
// The highest activity level of the sprites.
inline constexpr int kTopGlowLevel = 31;
// The same ramp unrounded: what GlowStep gives on average over pixels of about that
// green. Each pixel of a grainy body then rises by a share of its own distance from
// one green, so the body brightens evenly; with whole steps, neighbours one level
// of green apart may rise by 4 and 5 a level and the grain grows into blotches.
double SmoothGlowStep(std::uint8_t green);

// One label set at a placement's scale: the share of each pixel of its box (on the
// placement's canvas) that takes the label colour.
struct LabelOverlay {
  int left = 0;    // canvas pixels: the box's top-left corner
  int top = 0;
  int width = 0;   // pixels
  int height = 0;  // pixels
  std::uint32_t colour = 0;         // 0xAARRGGBB, opaque
  std::vector<std::uint8_t> alpha;  // 0 .. 255, row by row
};

// The eight labels of the labelled picture, set as there with every size scaled.
// False with a reason in `error` if the font cannot be used.
bool MakeLabelOverlays(BuiltInFile font, const PaintPlacement& placement, std::vector<LabelOverlay>& overlays,
                       std::string& error);

}  // namespace velmora
