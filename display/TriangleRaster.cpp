#include "display/TriangleRaster.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace velmora {
namespace {

constexpr int kSubpixelBits = 8;
constexpr std::int64_t kSubpixels = std::int64_t{1} << kSubpixelBits;  // per pixel
constexpr std::int64_t kHalfPixel = kSubpixels / 2;
constexpr unsigned kOpaque = 255;

struct Fixed {
  std::int64_t x, y;  // 1/256 pixel
};

Fixed Snap(const SDL_FPoint& p) {
  return {std::llround(static_cast<double>(p.x) * kSubpixels), std::llround(static_cast<double>(p.y) * kSubpixels)};
}

std::int64_t FloorDiv(std::int64_t numerator, std::int64_t denominator) {
  std::int64_t quotient = numerator / denominator;
  if ((numerator % denominator != 0) && ((numerator < 0) != (denominator < 0))) --quotient;
  return quotient;
}
std::int64_t CeilDiv(std::int64_t numerator, std::int64_t denominator) { return -FloorDiv(-numerator, denominator); }

// The edge from a to b of a triangle whose corners run so its area is positive:
// value(p) > 0 inside. A centre on the edge (value 0) belongs to the triangle when
// the edge runs downwards, or to the left along a row; the neighbour across it runs
// it the other way and so does not take it.
struct Edge {
  std::int64_t stepX;      // change of the value per pixel to the right
  std::int64_t rowStart;   // value at column 0 of the current row
  std::int64_t stepY;      // change of rowStart per row down
  std::int64_t threshold;  // the value must reach this

  Edge(Fixed a, Fixed b, int firstRow) {
    const std::int64_t dx = b.x - a.x, dy = b.y - a.y;
    stepX = -dy * kSubpixels;
    stepY = dx * kSubpixels;
    const std::int64_t py = firstRow * kSubpixels + kHalfPixel;
    rowStart = dx * (py - a.y) - dy * (kHalfPixel - a.x);
    threshold = (dy > 0 || (dy == 0 && dx < 0)) ? 0 : 1;
  }
  // Narrows [from, to] to the columns where the value reaches the threshold.
  void Clip(std::int64_t& from, std::int64_t& to) const {
    const std::int64_t need = threshold - rowStart;
    if (stepX > 0) from = std::max(from, CeilDiv(need, stepX));
    else if (stepX < 0) to = std::min(to, FloorDiv(need, stepX));
    else if (need > 0) to = from - 1;
  }
  std::int64_t At(std::int64_t column) const { return rowStart + column * stepX; }
};

unsigned Channel(std::uint32_t c, int shift) { return (c >> shift) & 0xFFu; }

std::uint32_t Rgb(const SDL_Color& c) {
  return static_cast<std::uint32_t>(c.r) << 16 | static_cast<std::uint32_t>(c.g) << 8 | c.b;
}

void FillTriangle(const PixelCanvas& canvas, const SDL_Vertex& v0, const SDL_Vertex& v1, const SDL_Vertex& v2,
                  std::vector<PixelRect>& touched) {
  Fixed p[3] = {Snap(v0.position), Snap(v1.position), Snap(v2.position)};
  SDL_Color c[3] = {v0.color, v1.color, v2.color};
  std::int64_t area = (p[1].x - p[0].x) * (p[2].y - p[0].y) - (p[1].y - p[0].y) * (p[2].x - p[0].x);
  if (area == 0) return;
  if (area < 0) {
    std::swap(p[1], p[2]);
    std::swap(c[1], c[2]);
    area = -area;
  }
  // Columns and rows whose centres can lie inside.
  const std::int64_t minX = std::min({p[0].x, p[1].x, p[2].x}), maxX = std::max({p[0].x, p[1].x, p[2].x});
  const std::int64_t minY = std::min({p[0].y, p[1].y, p[2].y}), maxY = std::max({p[0].y, p[1].y, p[2].y});
  const std::int64_t left = std::max<std::int64_t>(0, CeilDiv(minX - kHalfPixel, kSubpixels));
  const std::int64_t right = std::min<std::int64_t>(canvas.width - 1, FloorDiv(maxX - kHalfPixel, kSubpixels));
  const std::int64_t top = std::max<std::int64_t>(0, CeilDiv(minY - kHalfPixel, kSubpixels));
  const std::int64_t bottom = std::min<std::int64_t>(canvas.height - 1, FloorDiv(maxY - kHalfPixel, kSubpixels));
  if (left > right || top > bottom) return;
  touched.push_back({static_cast<int>(left), static_cast<int>(top), static_cast<int>(right) + 1, static_cast<int>(bottom) + 1});

  // The value of edge k is the weight of the corner opposite it.
  Edge edges[3] = {Edge(p[1], p[2], static_cast<int>(top)), Edge(p[2], p[0], static_cast<int>(top)),
                   Edge(p[0], p[1], static_cast<int>(top))};
  const bool oneColour = Rgb(c[0]) == Rgb(c[1]) && Rgb(c[1]) == Rgb(c[2]);
  const bool oneAlpha = c[0].a == c[1].a && c[1].a == c[2].a;
  const double perArea = 1.0 / static_cast<double>(area);
  for (std::int64_t y = top; y <= bottom; ++y) {
    std::int64_t from = left, to = right;
    for (const Edge& edge : edges) edge.Clip(from, to);
    std::uint32_t* row = canvas.pixels + y * canvas.pitchPixels;
    for (std::int64_t x = from; x <= to; ++x) {
      std::uint32_t colour = Rgb(c[0]);
      unsigned alpha = c[0].a;
      if (!(oneColour && oneAlpha)) {
        const double w[3] = {static_cast<double>(edges[0].At(x)) * perArea, static_cast<double>(edges[1].At(x)) * perArea,
                             static_cast<double>(edges[2].At(x)) * perArea};
        const auto mix = [&](auto channel) {
          return static_cast<unsigned>(std::lround(w[0] * channel(c[0]) + w[1] * channel(c[1]) + w[2] * channel(c[2])));
        };
        alpha = std::min(kOpaque, mix([](const SDL_Color& k) { return static_cast<double>(k.a); }));
        if (!oneColour) {
          colour = std::min(kOpaque, mix([](const SDL_Color& k) { return static_cast<double>(k.r); })) << 16 |
                   std::min(kOpaque, mix([](const SDL_Color& k) { return static_cast<double>(k.g); })) << 8 |
                   std::min(kOpaque, mix([](const SDL_Color& k) { return static_cast<double>(k.b); }));
        }
      }
      if (alpha != 0) row[x] = BlendOver(row[x], colour, alpha);
    }
    for (Edge& edge : edges) edge.rowStart += edge.stepY;
  }
}

}  // namespace

std::uint32_t BlendOver(std::uint32_t under, std::uint32_t c, unsigned alpha) {
  if (alpha >= kOpaque) return (under & 0xFF000000u) | (c & 0x00FFFFFFu);
  const auto mix = [&](int shift) {
    return ((Channel(c, shift) * alpha + Channel(under, shift) * (kOpaque - alpha) + kOpaque / 2) / kOpaque) << shift;
  };
  return (under & 0xFF000000u) | mix(16) | mix(8) | mix(0);
}

void FillTriangles(const PixelCanvas& canvas, const std::vector<SDL_Vertex>& vertices, const std::vector<int>& indices,
                   std::size_t first, std::size_t last, std::vector<PixelRect>& touched) {
  for (std::size_t i = first; i + 3 <= last && i + 3 <= indices.size(); i += 3) {
    FillTriangle(canvas, vertices[static_cast<std::size_t>(indices[i])], vertices[static_cast<std::size_t>(indices[i + 1])],
                 vertices[static_cast<std::size_t>(indices[i + 2])], touched);
  }
}

void BlendMask(const PixelCanvas& canvas, int x, int y, int width, int height, const std::uint8_t* mask,
               std::uint32_t color) {
  const int fromRow = std::max(0, -y), toRow = std::min(height, canvas.height - y);
  const int fromCol = std::max(0, -x), toCol = std::min(width, canvas.width - x);
  for (int row = fromRow; row < toRow; ++row) {
    std::uint32_t* target = canvas.pixels + static_cast<std::ptrdiff_t>(y + row) * canvas.pitchPixels + x;
    const std::uint8_t* coverage = mask + static_cast<std::ptrdiff_t>(row) * width;
    for (int col = fromCol; col < toCol; ++col) {
      if (coverage[col] != 0) target[col] = BlendOver(target[col], color, coverage[col]);
    }
  }
}

}  // namespace velmora
