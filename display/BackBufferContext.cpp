#include "display/BackBufferContext.h"

#include <algorithm>
#include <utility>

namespace velmora {
namespace {

// Coordinates beyond this many pixels are clamped; inside it every product of the
// line and triangle arithmetic fits in 64 bits.
constexpr std::int64_t kCoordinateLimitPixels = std::int64_t{1} << 26;
// Wider pens are drawn at this width: nothing in the exhibit comes near it.
constexpr int kWidestPenPixels = 64;

std::int64_t Clamp(int value) {
  return std::clamp<std::int64_t>(value, -kCoordinateLimitPixels, kCoordinateLimitPixels);
}

std::int64_t FloorDiv(std::int64_t numerator, std::int64_t denominator) {
  std::int64_t quotient = numerator / denominator;
  if ((numerator % denominator != 0) && ((numerator < 0) != (denominator < 0))) --quotient;
  return quotient;
}
std::int64_t CeilDiv(std::int64_t numerator, std::int64_t denominator) {
  return -FloorDiv(-numerator, denominator);
}

std::uint16_t* PixelRow(SDL_Surface* surface, std::int64_t y) {
  return reinterpret_cast<std::uint16_t*>(static_cast<std::uint8_t*>(surface->pixels) +
                                          y * surface->pitch);
}

}  // namespace

BackBufferContext::BackBufferContext(SDL_Surface* target, const GlyphCache* font, const GlyphCache* largeFont)
    : surface(target), glyphs(font), largeGlyphs(largeFont), widthPixels(target->w), heightPixels(target->h) {}

void BackBufferContext::ResetState() {
  pen = nullptr;
  brush = nullptr;
  currentX = 0;
  currentY = 0;
  textColor = 0;
  transparentBackground = false;
  largeText = false;
}

std::uint16_t BackBufferContext::RawColor(ColorRef color) const {
  // The model draws with the same four colours every frame: remember the last one.
  if (color != cachedColor) {
    cachedColor = color;
    cachedRaw = static_cast<std::uint16_t>(
        SDL_MapRGB(surface->format, color & 0xFF, (color >> 8) & 0xFF, (color >> 16) & 0xFF));
  }
  return cachedRaw;
}

void BackBufferContext::SelectPen(const Pen* selected) { pen = selected; }
void BackBufferContext::SelectBrush(const Brush* selected) { brush = selected; }

void BackBufferContext::MoveTo(int x, int y) {
  currentX = x;
  currentY = y;
}

void BackBufferContext::LineTo(int x, int y) {
  const std::int64_t x0 = Clamp(currentX), y0 = Clamp(currentY);
  const std::int64_t x1 = Clamp(x), y1 = Clamp(y);
  currentX = x;
  currentY = y;
  if (pen == nullptr || pen->style == PenStyle::Null) return;

  const std::int64_t dx = x1 - x0, dy = y1 - y0;
  const std::int64_t adx = dx < 0 ? -dx : dx, ady = dy < 0 ? -dy : dy;
  if (adx == 0 && ady == 0) return;
  const bool xMajor = adx >= ady;
  const std::int64_t major = xMajor ? adx : ady;
  const std::int64_t minor = xMajor ? ady : adx;
  const std::int64_t majorStep = (xMajor ? dx : dy) < 0 ? -1 : 1;
  const std::int64_t minorStep = (xMajor ? dy : dx) < 0 ? -1 : 1;
  const std::int64_t majorStart = xMajor ? x0 : y0;
  const std::int64_t minorStart = xMajor ? y0 : x0;
  const std::int64_t majorSize = xMajor ? widthPixels : heightPixels;
  const std::int64_t minorSize = xMajor ? heightPixels : widthPixels;
  const int width = std::clamp(pen->width, 1, kWidestPenPixels);
  const std::int64_t offsetLow = -(width - 1) / 2, offsetHigh = width / 2;

  const std::uint16_t raw = RawColor(pen->color);
  const std::int64_t twiceMajor = 2 * major;

  // Most lines lie wholly on the surface: no clipping, no per-pixel bounds.
  const std::int64_t minorEnd = xMajor ? y1 : x1;
  if (std::min(majorStart, xMajor ? x1 : y1) >= 0 && std::max(majorStart, xMajor ? x1 : y1) < majorSize &&
      std::min(minorStart, minorEnd) + offsetLow >= 0 && std::max(minorStart, minorEnd) + offsetHigh < minorSize) {
    std::int64_t offset = 0, remainder = major;
    for (std::int64_t i = 0; i < major; ++i) {
      const std::int64_t majorCoord = majorStart + majorStep * i;
      const std::int64_t minorCoord = minorStart + minorStep * offset;
      for (std::int64_t across = offsetLow; across <= offsetHigh; ++across) {
        if (xMajor) PixelRow(surface, minorCoord + across)[majorCoord] = raw;
        else PixelRow(surface, majorCoord)[minorCoord + across] = raw;
      }
      remainder += 2 * minor;
      if (remainder >= twiceMajor) {
        remainder -= twiceMajor;
        ++offset;
      }
    }
    return;
  }

  // Steps i in [0, major) whose major coordinate lies on the surface.
  std::int64_t first = 0, last = major - 1;
  if (majorStep > 0) {
    first = std::max(first, -majorStart);
    last = std::min(last, majorSize - 1 - majorStart);
  } else {
    first = std::max(first, majorStart - (majorSize - 1));
    last = std::min(last, majorStart);
  }
  if (first > last) return;

  // The minor offset of step i, i * minor / major rounded half up; it never falls
  // as i grows, so the steps that reach the surface across the minor axis form one
  // range, found by bisection.
  const auto minorOffset = [&](std::int64_t i) { return (2 * i * minor + major) / (2 * major); };
  std::int64_t lowestOffset = 0, highestOffset = 0;
  if (minorStep > 0) {
    lowestOffset = -offsetHigh - minorStart;
    highestOffset = minorSize - 1 - offsetLow - minorStart;
  } else {
    lowestOffset = minorStart - (minorSize - 1 - offsetLow);
    highestOffset = minorStart + offsetHigh;
  }
  std::int64_t low = first, high = last + 1;
  while (low < high) {
    const std::int64_t middle = low + (high - low) / 2;
    if (minorOffset(middle) >= lowestOffset) high = middle; else low = middle + 1;
  }
  first = low;
  low = first, high = last + 1;
  while (low < high) {
    const std::int64_t middle = low + (high - low) / 2;
    if (minorOffset(middle) > highestOffset) high = middle; else low = middle + 1;
  }
  last = low - 1;
  if (first > last) return;

  std::int64_t numerator = 2 * first * minor + major;
  std::int64_t offset = numerator / twiceMajor;
  std::int64_t remainder = numerator % twiceMajor;
  for (std::int64_t i = first; i <= last; ++i) {
    const std::int64_t majorCoord = majorStart + majorStep * i;
    const std::int64_t minorCoord = minorStart + minorStep * offset;
    for (std::int64_t across = offsetLow; across <= offsetHigh; ++across) {
      const std::int64_t m = minorCoord + across;
      if (m < 0 || m >= minorSize) continue;
      if (xMajor) PixelRow(surface, m)[majorCoord] = raw;
      else PixelRow(surface, majorCoord)[m] = raw;
    }
    remainder += 2 * minor;
    if (remainder >= twiceMajor) {
      remainder -= twiceMajor;
      ++offset;
    }
  }
}

void BackBufferContext::FillSpan(int y, int xFrom, int xTo, std::uint16_t raw) {
  std::uint16_t* row = PixelRow(surface, y);
  std::fill(row + xFrom, row + xTo + 1, raw);
}

void BackBufferContext::Polygon(const ScreenPoint (&corners)[3]) {
  if (brush != nullptr) {
    // Doubled coordinates, so pixel centres (x + 0.5, y + 0.5) become odd integers.
    std::int64_t vx[3], vy[3];
    for (int k = 0; k < 3; ++k) {
      vx[k] = 2 * Clamp(corners[k].x);
      vy[k] = 2 * Clamp(corners[k].y);
    }
    const std::int64_t area = (vx[1] - vx[0]) * (vy[2] - vy[0]) - (vy[1] - vy[0]) * (vx[2] - vx[0]);
    if (area != 0) {
      if (area < 0) {
        std::swap(vx[1], vx[2]);
        std::swap(vy[1], vy[2]);
      }
      // Edge k runs from corner k to corner k + 1; a centre is inside where every
      // edge function a * px + b * py + c reaches its threshold. A centre on an edge
      // counts only for the edge's one side (threshold 0), so neighbours share it out.
      std::int64_t a[3], b[3], c[3], threshold[3];
      for (int k = 0; k < 3; ++k) {
        const int next = (k + 1) % 3;
        a[k] = vy[k] - vy[next];
        b[k] = vx[next] - vx[k];
        c[k] = -(a[k] * vx[k] + b[k] * vy[k]);
        threshold[k] = (a[k] > 0 || (a[k] == 0 && b[k] > 0)) ? 0 : 1;
      }
      const std::int64_t top = std::max<std::int64_t>(0, std::min({vy[0], vy[1], vy[2]}) / 2);
      const std::int64_t bottom =
          std::min<std::int64_t>(heightPixels - 1, std::max({vy[0], vy[1], vy[2]}) / 2 - 1);
      const std::int64_t left = std::max<std::int64_t>(0, std::min({vx[0], vx[1], vx[2]}) / 2);
      const std::int64_t right =
          std::min<std::int64_t>(widthPixels - 1, std::max({vx[0], vx[1], vx[2]}) / 2 - 1);
      const std::uint16_t raw = RawColor(brush->color);
      for (std::int64_t y = top; y <= bottom; ++y) {
        const std::int64_t py = 2 * y + 1;
        std::int64_t from = left, to = right;
        for (int k = 0; k < 3 && from <= to; ++k) {
          // a * (2x + 1) + b * py + c >= threshold, solved for x.
          const std::int64_t rest = threshold[k] - b[k] * py - c[k] - a[k];
          if (a[k] > 0) from = std::max(from, CeilDiv(rest, 2 * a[k]));
          else if (a[k] < 0) to = std::min(to, FloorDiv(rest, 2 * a[k]));
          else if (rest > 0) to = from - 1;
        }
        if (from <= to) FillSpan(static_cast<int>(y), static_cast<int>(from), static_cast<int>(to), raw);
      }
    }
  }
  if (pen != nullptr && pen->style != PenStyle::Null) {
    // The outline does not move the current position.
    const int savedX = currentX, savedY = currentY;
    MoveTo(corners[2].x, corners[2].y);
    for (const ScreenPoint& corner : corners) LineTo(corner.x, corner.y);
    MoveTo(savedX, savedY);
  }
}

void BackBufferContext::SetTextColor(ColorRef color) { textColor = color; }
void BackBufferContext::SetTransparentBackground() { transparentBackground = true; }

int BackBufferContext::TextWidth(std::string_view text) {
  const GlyphCache* font = Font();
  if (font == nullptr) return 0;
  int width = 0;
  for (const char character : text) width += font->Glyph(static_cast<unsigned char>(character)).advancePixels;
  return width;
}

void BackBufferContext::TextOut(int x, int y, std::string_view text) {
  const GlyphCache* font = Font();
  if (font == nullptr) return;
  const std::int64_t left = Clamp(x), top = Clamp(y);
  const std::int64_t lineHeight = font->LineHeightPixels();
  if (top >= heightPixels || top + lineHeight <= 0 || left >= widthPixels) return;

  if (!transparentBackground) {
    std::int64_t textWidth = 0;
    for (const char character : text) textWidth += font->Glyph(static_cast<unsigned char>(character)).advancePixels;
    const std::int64_t fromX = std::max<std::int64_t>(left, 0);
    const std::int64_t toX = std::min<std::int64_t>(left + textWidth, widthPixels) - 1;
    const std::uint16_t background = RawColor(kDefaultTextBackground);
    for (std::int64_t row = std::max<std::int64_t>(top, 0);
         row < std::min<std::int64_t>(top + lineHeight, heightPixels) && fromX <= toX; ++row) {
      FillSpan(static_cast<int>(row), static_cast<int>(fromX), static_cast<int>(toX), background);
    }
  }

  const std::uint16_t raw = RawColor(textColor);
  std::int64_t penX = left;
  for (const char character : text) {
    if (penX >= widthPixels) break;
    const GlyphMask& glyph = font->Glyph(static_cast<unsigned char>(character));
    const std::int64_t fromCol = std::max<std::int64_t>(0, -penX);
    const std::int64_t toCol = std::min<std::int64_t>(glyph.widthPixels, widthPixels - penX);
    const std::int64_t fromRow = std::max<std::int64_t>(0, -top);
    const std::int64_t toRow = std::min<std::int64_t>(glyph.heightPixels, heightPixels - top);
    for (std::int64_t row = fromRow; row < toRow; ++row) {
      std::uint16_t* target = PixelRow(surface, top + row) + penX;
      const std::uint8_t* mask = glyph.covered.data() + row * glyph.widthPixels;
      for (std::int64_t col = fromCol; col < toCol; ++col) {
        if (mask[col] != 0) target[col] = raw;
      }
    }
    penX += glyph.advancePixels;
  }
}

}  // namespace velmora
