#pragma once
// A tiny built-in 5 x 7 pixel font for the labels of the PNG raster: digits, a few
// punctuation marks and the letters of the row, axis and action labels.

#include <cstdint>
#include <string_view>

namespace velmora::sim {

inline constexpr int kGlyphWidthPixels = 5;
inline constexpr int kGlyphHeightPixels = 7;
// Horizontal distance between the left edges of two neighbouring glyphs, in font pixels.
inline constexpr int kGlyphAdvancePixels = kGlyphWidthPixels + 1;

// Seven rows of the glyph, top first; bit 4 of each row is the leftmost pixel.
// Characters the font lacks come out blank.
const std::uint8_t* GlyphRows(char character);

// True when every character of the text has a glyph (space counts as one).
bool FontCovers(std::string_view text);

// Width in font pixels of the text set in one line.
inline int TextWidthPixels(std::string_view text) {
  return text.empty() ? 0 : static_cast<int>(text.size()) * kGlyphAdvancePixels - 1;
}

}  // namespace velmora::sim
