#pragma once
// The drawing context lent by the display: pens, brushes, lines, filled triangles
// and text, drawn straight into an RGB565 surface and clipped to it.
//
// Pixel rules, fixed so pictures are reproducible:
// - A line from the current position to (x, y) steps along its major axis and
//   leaves out its last pixel, as the classic LineTo; the minor coordinate of step i
//   is i * minor / major rounded half up. A pen w pixels wide repeats each pixel at
//   offsets -(w - 1) / 2 .. w / 2 across the major axis (a 2-pixel pen: 0 and +1).
// - A triangle covers the pixels whose centres lie inside it; a centre exactly on an
//   edge belongs to the triangle on one side of that edge only, so triangles that
//   share an edge neither overlap nor leave a gap. Triangles have no outline.
// - Coordinates are clamped to +-2^26 pixels, inside which all arithmetic is exact.

#include <SDL.h>

#include <cstdint>
#include <string_view>

#include "display/FrameDisplay.h"
#include "display/GlyphCache.h"

namespace velmora {

class BackBufferContext final : public TextDeviceContext {
public:
  // Draws into `surface` (RGB565, not owned); `glyphs` may be null: text is skipped;
  // `largeGlyphs` null: large text is set in `glyphs`.
  BackBufferContext(SDL_Surface* surface, const GlyphCache* glyphs, const GlyphCache* largeGlyphs = nullptr);

  // Back to the fresh state of a newly lent context: no pen or brush, current
  // position 0, 0, black text on an opaque white background.
  void ResetState();

  void SelectPen(const Pen* pen) override;
  void SelectBrush(const Brush* brush) override;
  void MoveTo(int x, int y) override;
  void LineTo(int x, int y) override;
  void Polygon(const ScreenPoint (&corners)[3]) override;

  void SetTextColor(ColorRef color) override;
  void SetTransparentBackground() override;
  void TextOut(int x, int y, std::string_view text) override;
  void SetLargeText(bool large) override { largeText = large; }
  int TextWidth(std::string_view text) override;

private:
  std::uint16_t RawColor(ColorRef color) const;
  const GlyphCache* Font() const { return largeText && largeGlyphs != nullptr ? largeGlyphs : glyphs; }
  void FillSpan(int y, int xFrom, int xTo, std::uint16_t raw);

  // Parameters: where the drawing lands.
  SDL_Surface* surface;
  const GlyphCache* glyphs;
  const GlyphCache* largeGlyphs;
  int widthPixels;
  int heightPixels;

  // State: the selections and the current position.
  const Pen* pen = nullptr;
  const Brush* brush = nullptr;
  int currentX = 0;  // pixels
  int currentY = 0;  // pixels
  ColorRef textColor = 0;
  bool transparentBackground = false;
  bool largeText = false;

  // Derived: the raw value of the colour converted last.
  mutable ColorRef cachedColor = 0xFFFFFFFFu;
  mutable std::uint16_t cachedRaw = 0;
};

// Background of text on an opaque background, as a fresh context has it.
inline constexpr ColorRef kDefaultTextBackground = 0x00FFFFFFu;

}  // namespace velmora
