#pragma once
// The painted picture of the network and the glowing cell-body sprites at the
// picture's own 1024 x 768, made from the neurite paths and the cell-body outlines
// (the same painting at other scales: assets/ScaledPictures.h).

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "assets/Bitmap.h"
#include "assets/NeuriteControlPoints.h"
#include "assets/ScaledPictures.h"
#include "model/Object.h"

namespace velmora {

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

// Paints ground, neurites along the given paths (table order) and the cell bodies.
Painting PaintNetwork(const std::vector<std::vector<PathPoint>>& paths);

// 32 columns by 3 rows of 80 x 80 cells: each body cut out of the picture along its
// mask, on black, its green raised in 31 equal steps per pixel from column 0 (the
// painting itself) to column 31.
RgbImage MakeSomaSheet(const Painting& painting);

// The ground alone at one pixel: the picture shows exactly this wherever nothing
// else is painted.
Rgb GroundAt(int x, int y);

// Rules the painting must keep; one line per broken rule, empty if all hold.
std::vector<std::string> CheckPainting(const Painting& painting, const std::vector<std::vector<PathPoint>>& paths);

}  // namespace velmora
