#pragma once
// A sharp frame composed in memory: the background, the cell bodies, the model's
// drawing and the text laid into one 32-bit screen-sized picture that is kept from
// frame to frame. Only what the last frame drew over is laid again from the
// background, and only what changed is handed on to be shown, in rectangles.

#include <cstdint>
#include <memory>
#include <vector>

#include <SDL.h>

#include "display/SharpContext.h"
#include "display/SharpPictures.h"
#include "display/SharpText.h"
#include "display/TriangleRaster.h"

namespace velmora {

class SharpFrame {
public:
  explicit SharpFrame(std::shared_ptr<const SharpPictures> pictures);

  int Width() const { return width; }
  int Height() const { return height; }
  // Row by row, Width() pixels each, 0xFFRRGGBB.
  const std::uint32_t* Pixels() const { return pixels.data(); }
  std::size_t HeldBytes() const;

  // The background the next RestoreBackground lays: plain or labelled.
  void SelectLabeled(bool labeled);
  bool Labeled() const { return labeled; }
  // The next RestoreBackground lays the whole background (after a loss).
  void RepaintAll();
  // The background wherever anything was drawn since the last call.
  void RestoreBackground();
  // Body `soma` at activity level `level` (0 .. kTopGlowLevel), its classic sheet
  // cell's top-left corner at design pixel (x, y).
  void DrawBody(int soma, int level, int x, int y);
  // The list's triangles and texts in their order; texts are skipped without a font,
  // large ones are set in `font` without a large font.
  void Draw(const DrawList& list, ScaledFont* font, ScaledFont* largeFont = nullptr);
  // The areas changed since the last call, each a row of whole tiles, and forgets
  // them.
  void TakeChanged(std::vector<SDL_Rect>& rects);

private:
  PixelCanvas Canvas();
  void Touch(const PixelRect& rect);
  void LayBackground(int tileX, int tileY);
  void DrawText(const DrawList::Text& text, ScaledFont& font);

  // Parameters
  std::shared_ptr<const SharpPictures> pictures;
  int width, height;           // pixels
  int tileColumns, tileRows;   // tiles across and down

  // State
  std::vector<std::uint32_t> pixels;
  std::vector<std::uint8_t> drawn;    // per tile: drawn on since the background was laid
  std::vector<std::uint8_t> changed;  // per tile: changed since TakeChanged
  bool labeled = false;
  bool labeledShown = false;          // which background the picture holds
  bool repaintAll = true;
  std::vector<PixelRect> touched;     // scratch for the rasteriser
};

// Side of the square tiles the frame tracks its changes in, pixels.
inline constexpr int kSharpTilePixels = 32;

}  // namespace velmora
