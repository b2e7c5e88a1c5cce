#pragma once
// The drawing context's default font: the built-in bold sans face about 16 pixels
// high, every glyph of Latin-1 rendered once into a 1-bit mask, so that writing text
// is only copying masks.

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct SDL_RWops;

namespace velmora {

// Point size at 72 dots per inch, i.e. pixels: lines come out 16 pixels high.
inline constexpr int kDefaultFontSizePoints = 13;
// The large font, for the few words that invite visitors from a distance: twice the
// default, lines 32 pixels high.
inline constexpr int kLargeFontSizePoints = 26;

struct GlyphMask {
  int widthPixels = 0;
  int heightPixels = 0;
  int advancePixels = 0;             // pen movement to the next glyph
  std::vector<std::uint8_t> covered; // row by row, 1 where the glyph is drawn
};

class GlyphCache {
public:
  // The built-in bold face rendered into masks; null only if the font renderer cannot
  // start, after one message to standard error.
  static std::unique_ptr<GlyphCache> Load(int sizePoints = kDefaultFontSizePoints);
  // The font at this path rendered into masks; null if it cannot be loaded, after
  // one message to standard error.
  static std::unique_ptr<GlyphCache> Load(const std::string& path, int sizePoints = kDefaultFontSizePoints);

  // The mask of a Latin-1 character code.
  const GlyphMask& Glyph(unsigned char code) const { return glyphs[code]; }
  int LineHeightPixels() const { return lineHeightPixels; }

private:
  // Takes the font's source (and closes it); `name` says which font in messages.
  static std::unique_ptr<GlyphCache> FromSource(SDL_RWops* source, const std::string& name, int sizePoints);

  std::array<GlyphMask, 256> glyphs{};
  int lineHeightPixels = 0;
};

}  // namespace velmora
