#pragma once
// The yellow labels of the labelled picture, set in a real bold sans-serif font.

#include <array>
#include <string>

#include "assets/Bitmap.h"
#include "assets/NeuriteControlPoints.h"
#include "assets/ScaledPictures.h"

namespace velmora {

struct LabelSpec {
  const char* text;
  PixelBox box;          // the label's ink stays inside, pixels, inclusive
  int glyphHeightPixels; // height of the tallest glyph without descenders
};

inline constexpr int kLabelCount = 8;
extern const std::array<LabelSpec, kLabelCount> kLabels;

inline constexpr Rgb kLabelColour{255, 255, 0};
inline constexpr const char* kLabelFontPath = "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf";

// The picture with the labels blended in; pixels outside the label boxes keep their
// values. False with a reason in `error` if the font cannot be used.
bool DrawLabels(const RgbImage& picture, BuiltInFile font, RgbImage& labelled, std::string& error);

}  // namespace velmora
