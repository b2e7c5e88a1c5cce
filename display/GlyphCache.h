#pragma once
// The drawing context's default font: a bold sans face about 16 pixels high, every
// glyph of Latin-1 rendered once into a 1-bit mask, so that writing text is only
// copying masks.

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace velmora {

// The face used when none is named.
inline constexpr const char* kDefaultFontPath = "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf";
// Point size at 72 dots per inch, i.e. pixels: lines come out 16 pixels high.
inline constexpr int kDefaultFontSizePoints = 13;

struct GlyphMask {
  int widthPixels = 0;
  int heightPixels = 0;
  int advancePixels = 0;             // pen movement to the next glyph
  std::vector<std::uint8_t> covered; // row by row, 1 where the glyph is drawn
};

class GlyphCache {
public:
  // The font at this path rendered into masks; null if it cannot be loaded, after
  // one message to standard error.
  static std::unique_ptr<GlyphCache> Load(const std::string& path = kDefaultFontPath,
                                          int sizePoints = kDefaultFontSizePoints);

  // The mask of a Latin-1 character code.
  const GlyphMask& Glyph(unsigned char code) const { return glyphs[code]; }
  int LineHeightPixels() const { return lineHeightPixels; }

private:
  std::array<GlyphMask, 256> glyphs{};
  int lineHeightPixels = 0;
};

}  // namespace velmora
