#pragma once
// Anti-aliased drawing in memory: the sharp context's triangles filled into a 32-bit
// picture, as a GPU fills them, and coverage masks laid over it in one colour.
//
// Pixel rules, fixed so pictures are reproducible:
// - vertices are snapped to 1/256 of a pixel; a pixel belongs to a triangle when its
//   centre lies inside it, and a centre on an edge two triangles share belongs to
//   exactly one of them, so a mesh neither overlaps nor leaves gaps;
// - the vertices' colours and alphas are interpolated linearly at the centre, and
//   the colour is laid over the pixel by that alpha, in 8-bit steps rounded to
//   nearest.

#include <SDL.h>

#include <cstddef>
#include <cstdint>
#include <vector>

namespace velmora {

// A 32-bit picture in memory: 0xAARRGGBB pixels (the alpha byte is left as it is),
// rows `pitchPixels` apart.
struct PixelCanvas {
  std::uint32_t* pixels = nullptr;
  int width = 0;   // pixels
  int height = 0;  // pixels
  int pitchPixels = 0;
};

// Pixels from left to right - 1 and top to bottom - 1.
struct PixelRect {
  int left = 0, top = 0, right = 0, bottom = 0;
};

// Fills triangles indices[first .. last) (three per triangle), clipped to the
// canvas. Each triangle's clipped bounding box is added to `touched`.
void FillTriangles(const PixelCanvas& canvas, const std::vector<SDL_Vertex>& vertices, const std::vector<int>& indices,
                   std::size_t first, std::size_t last, std::vector<PixelRect>& touched);

// `color` (0x00RRGGBB) laid over the canvas through a coverage mask (0 .. 255 per
// pixel, `width` per row) with its top-left corner at (x, y), clipped to the canvas.
void BlendMask(const PixelCanvas& canvas, int x, int y, int width, int height, const std::uint8_t* mask,
               std::uint32_t color);

// Colour c laid over colour under by alpha (0 .. 255), per channel, rounded.
std::uint32_t BlendOver(std::uint32_t under, std::uint32_t c, unsigned alpha);

}  // namespace velmora
