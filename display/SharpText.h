#pragma once
// The drawing context's default font at the sharp screen's scale: lines of text set
// anti-aliased at the scaled size, each kept as a coverage mask until the text
// changes.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include <SDL_ttf.h>

#include "assets/BuiltInFiles.h"

namespace velmora {

// One line of text: how much of each pixel the glyphs cover.
struct TextMask {
  int width = 0;   // pixels, from the pen's start to its end
  int height = 0;  // pixels, the font's line height
  std::vector<std::uint8_t> alpha;  // 0 .. 255, row by row
};

class ScaledFont {
public:
  // The font at this path, `sizePoints` at 72 dots per inch times `scale`; null if
  // it cannot be loaded, after one message to standard error.
  static std::unique_ptr<ScaledFont> Open(BuiltInFile face, int sizePoints, double scale);
  ~ScaledFont();
  ScaledFont(const ScaledFont&) = delete;
  ScaledFont& operator=(const ScaledFont&) = delete;

  // The mask of a line of Latin-1 text; the same text again costs nothing. Glyphs
  // follow each other by their advances, without kerning, as the classic context
  // sets them.
  const TextMask& Render(std::string_view text);
  int LineHeightPixels() const { return lineHeightPixels; }

private:
  explicit ScaledFont(TTF_Font* opened);

  TTF_Font* font;
  int lineHeightPixels;
  std::string cachedText;
  TextMask cachedMask;
  bool cached = false;
};

}  // namespace velmora
