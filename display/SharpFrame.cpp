#include "display/SharpFrame.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace velmora {
namespace {

constexpr std::uint32_t kOpaqueWhite = 0xFFFFFFFFu;

// 0x00BBGGRR to 0x00RRGGBB.
std::uint32_t FromColorRef(ColorRef color) {
  return (color & 0xFFu) << 16 | (color & 0xFF00u) | ((color >> 16) & 0xFFu);
}

PixelRect Intersect(const PixelRect& a, const PixelRect& b) {
  return {std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right), std::min(a.bottom, b.bottom)};
}
bool Empty(const PixelRect& r) { return r.left >= r.right || r.top >= r.bottom; }

PixelRect LabelRect(const LabelOverlay& label) {
  return {label.left, label.top, label.left + label.width, label.top + label.height};
}

}  // namespace

SharpFrame::SharpFrame(std::shared_ptr<const SharpPictures> pictures_)
    : pictures(std::move(pictures_)),
      width(pictures->Width()),
      height(pictures->Height()),
      tileColumns((width + kSharpTilePixels - 1) / kSharpTilePixels),
      tileRows((height + kSharpTilePixels - 1) / kSharpTilePixels),
      pixels(static_cast<std::size_t>(width) * static_cast<std::size_t>(height)),
      drawn(static_cast<std::size_t>(tileColumns) * static_cast<std::size_t>(tileRows), 0),
      changed(drawn.size(), 0) {}

std::size_t SharpFrame::HeldBytes() const {
  return pixels.size() * sizeof(std::uint32_t) + drawn.size() + changed.size();
}

PixelCanvas SharpFrame::Canvas() { return {pixels.data(), width, height, width}; }

void SharpFrame::SelectLabeled(bool labeled_) { labeled = labeled_; }

void SharpFrame::RepaintAll() { repaintAll = true; }

void SharpFrame::Touch(const PixelRect& rect) {
  const PixelRect r = Intersect(rect, {0, 0, width, height});
  if (Empty(r)) return;
  for (int ty = r.top / kSharpTilePixels; ty <= (r.bottom - 1) / kSharpTilePixels; ++ty) {
    for (int tx = r.left / kSharpTilePixels; tx <= (r.right - 1) / kSharpTilePixels; ++tx) {
      const std::size_t i = static_cast<std::size_t>(ty * tileColumns + tx);
      drawn[i] = 1;
      changed[i] = 1;
    }
  }
}

void SharpFrame::LayBackground(int tileX, int tileY) {
  const PixelRect tile = Intersect({tileX * kSharpTilePixels, tileY * kSharpTilePixels, (tileX + 1) * kSharpTilePixels,
                                    (tileY + 1) * kSharpTilePixels},
                                   {0, 0, width, height});
  const std::size_t rowBytes = static_cast<std::size_t>(tile.right - tile.left) * sizeof(std::uint32_t);
  for (int y = tile.top; y < tile.bottom; ++y) {
    const std::size_t at = static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(tile.left);
    std::memcpy(pixels.data() + at, pictures->background.pixels.data() + at, rowBytes);
  }
  if (!labeled) return;
  const PixelCanvas canvas = Canvas();
  for (const LabelOverlay& label : pictures->labels) {
    const PixelRect part = Intersect(tile, LabelRect(label));
    if (Empty(part)) continue;
    for (int y = part.top; y < part.bottom; ++y) {
      const std::uint8_t* coverage =
          label.alpha.data() + static_cast<std::ptrdiff_t>(y - label.top) * label.width + (part.left - label.left);
      BlendMask(canvas, part.left, y, part.right - part.left, 1, coverage, label.colour & 0x00FFFFFFu);
    }
  }
}

void SharpFrame::RestoreBackground() {
  // A change of background lays it again only where the labels are.
  std::vector<std::uint8_t> labelTiles;
  if (labeled != labeledShown && !repaintAll) {
    labelTiles.assign(drawn.size(), 0);
    for (const LabelOverlay& label : pictures->labels) {
      const PixelRect r = Intersect(LabelRect(label), {0, 0, width, height});
      if (Empty(r)) continue;
      for (int ty = r.top / kSharpTilePixels; ty <= (r.bottom - 1) / kSharpTilePixels; ++ty) {
        for (int tx = r.left / kSharpTilePixels; tx <= (r.right - 1) / kSharpTilePixels; ++tx) {
          labelTiles[static_cast<std::size_t>(ty * tileColumns + tx)] = 1;
        }
      }
    }
  }
  for (int ty = 0; ty < tileRows; ++ty) {
    for (int tx = 0; tx < tileColumns; ++tx) {
      const std::size_t i = static_cast<std::size_t>(ty * tileColumns + tx);
      if (repaintAll || drawn[i] != 0 || (!labelTiles.empty() && labelTiles[i] != 0)) {
        LayBackground(tx, ty);
        changed[i] = 1;
      }
      drawn[i] = 0;
    }
  }
  repaintAll = false;
  labeledShown = labeled;
}

void SharpFrame::DrawBody(int soma, int level, int x, int y) {
  if (soma < 0 || soma >= static_cast<int>(pictures->bodies.size())) return;
  const SharpBody& body = pictures->bodies[static_cast<std::size_t>(soma)];
  const BodySprite& sprite = body.sprite;
  const double scale = pictures->placement.scale;
  const int left = sprite.left + static_cast<int>(std::lround((x - body.cut.x) * scale));
  const int top = sprite.top + static_cast<int>(std::lround((y - body.cut.y) * scale));
  const unsigned glow = static_cast<unsigned>(std::clamp(level, 0, kTopGlowLevel));
  const PixelRect area = Intersect({left, top, left + sprite.width, top + sprite.height}, {0, 0, width, height});
  if (Empty(area)) return;
  for (int py = area.top; py < area.bottom; ++py) {
    std::uint32_t* target = pixels.data() + static_cast<std::size_t>(py) * static_cast<std::size_t>(width);
    const std::size_t from = static_cast<std::size_t>(py - top) * static_cast<std::size_t>(sprite.width);
    for (int px = area.left; px < area.right; ++px) {
      const std::size_t i = from + static_cast<std::size_t>(px - left);
      const std::uint32_t source = sprite.pixels[i];
      const unsigned alpha = source >> 24;
      if (alpha == 0) continue;
      const unsigned green = std::min(255u, ((source >> 8) & 0xFFu) + body.GlowAt(i, glow));
      target[px] = BlendOver(target[px], (source & 0x00FF00FFu) | green << 8, alpha);
    }
  }
  Touch(area);
}

void SharpFrame::DrawText(const DrawList::Text& text, ScaledFont& font) {
  const TextMask& mask = font.Render(text.text);
  if (mask.width <= 0 || mask.height <= 0) return;
  const PixelRect box = Intersect({text.x, text.y, text.x + mask.width, text.y + mask.height}, {0, 0, width, height});
  if (Empty(box)) return;
  if (text.opaqueBackground) {
    for (int y = box.top; y < box.bottom; ++y) {
      std::uint32_t* row = pixels.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(width);
      std::fill(row + box.left, row + box.right, kOpaqueWhite);
    }
  }
  BlendMask(Canvas(), text.x, text.y, mask.width, mask.height, mask.alpha.data(), FromColorRef(text.color));
  Touch(box);
}

void SharpFrame::Draw(const DrawList& list, ScaledFont* font, ScaledFont* largeFont) {
  const PixelCanvas canvas = Canvas();
  std::size_t at = 0;
  for (const DrawList::Text& text : list.texts) {
    FillTriangles(canvas, list.vertices, list.indices, at, text.atIndex, touched);
    at = text.atIndex;
    ScaledFont* textFont = text.large && largeFont != nullptr ? largeFont : font;
    if (textFont != nullptr) DrawText(text, *textFont);
  }
  FillTriangles(canvas, list.vertices, list.indices, at, list.indices.size(), touched);
  for (const PixelRect& rect : touched) Touch(rect);
  touched.clear();
}

void SharpFrame::TakeChanged(std::vector<SDL_Rect>& rects) {
  rects.clear();
  for (int ty = 0; ty < tileRows; ++ty) {
    for (int tx = 0; tx < tileColumns;) {
      if (changed[static_cast<std::size_t>(ty * tileColumns + tx)] == 0) {
        ++tx;
        continue;
      }
      const int first = tx;
      while (tx < tileColumns && changed[static_cast<std::size_t>(ty * tileColumns + tx)] != 0) {
        changed[static_cast<std::size_t>(ty * tileColumns + tx)] = 0;
        ++tx;
      }
      const int left = first * kSharpTilePixels, top = ty * kSharpTilePixels;
      rects.push_back({left, top, std::min(width, tx * kSharpTilePixels) - left, std::min(height, top + kSharpTilePixels) - top});
    }
  }
}

}  // namespace velmora
