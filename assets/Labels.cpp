#include "assets/Labels.h"

#include <SDL.h>
#include <SDL_ttf.h>

#include <algorithm>
#include <cmath>
#include <vector>

namespace velmora {

const std::array<LabelSpec, kLabelCount> kLabels = {{
    {"1", {224, 233, 103, 124}, 22},
    {"2", {230, 244, 144, 165}, 22},
    {"3", {361, 375, 413, 435}, 22},
    {"4", {244, 259, 491, 512}, 22},
    {"5", {323, 337, 511, 533}, 22},
    {"6", {568, 582, 261, 283}, 22},
    {"Velmora I", {3, 111, 226, 244}, 15},
    {"Velmora II", {8, 122, 620, 638}, 15},
}};

namespace {

// Point sizes tried go down from this multiple of the wanted glyph height; a bold
// capital or numeral is about three quarters of the point size tall.
constexpr int kLargestSizePerPixel = 2;

// The rendered text's coverage (0 .. 1), cut to its ink.
struct Coverage {
  int width = 0, height = 0;
  std::vector<double> alpha;
  double At(int x, int y) const { return alpha[static_cast<std::size_t>(y * width + x)]; }
};

bool Render(const char* fontPath, int size, const char* text, Coverage& out, std::string& error) {
  TTF_Font* font = TTF_OpenFont(fontPath, size);
  if (font == nullptr) {
    error = std::string("cannot open font ") + fontPath + ": " + TTF_GetError();
    return false;
  }
  SDL_Surface* rendered = TTF_RenderUTF8_Blended(font, text, SDL_Color{255, 255, 255, 255});
  TTF_CloseFont(font);
  if (rendered == nullptr) {
    error = std::string("cannot render \"") + text + "\": " + TTF_GetError();
    return false;
  }
  SDL_Surface* argb = SDL_ConvertSurfaceFormat(rendered, SDL_PIXELFORMAT_ARGB8888, 0);
  SDL_FreeSurface(rendered);
  if (argb == nullptr) {
    error = SDL_GetError();
    return false;
  }
  int x0 = argb->w, x1 = -1, y0 = argb->h, y1 = -1;
  auto alphaAt = [&](int x, int y) {
    const auto* row = static_cast<const std::uint8_t*>(argb->pixels) + y * argb->pitch;
    return static_cast<int>(reinterpret_cast<const std::uint32_t*>(row)[x] >> 24);
  };
  for (int y = 0; y < argb->h; ++y) {
    for (int x = 0; x < argb->w; ++x) {
      if (alphaAt(x, y) == 0) continue;
      x0 = std::min(x0, x), x1 = std::max(x1, x), y0 = std::min(y0, y), y1 = std::max(y1, y);
    }
  }
  out = {};
  if (x1 >= x0) {
    out.width = x1 - x0 + 1;
    out.height = y1 - y0 + 1;
    out.alpha.resize(static_cast<std::size_t>(out.width * out.height));
    for (int y = 0; y < out.height; ++y) {
      for (int x = 0; x < out.width; ++x) out.alpha[static_cast<std::size_t>(y * out.width + x)] = alphaAt(x0 + x, y0 + y) / 255.0;
    }
  }
  SDL_FreeSurface(argb);
  return true;
}

// Narrows the coverage to the given width by averaging over the columns it spans,
// for labels whose box is narrower than the font sets them.
Coverage Narrowed(const Coverage& in, int width) {
  Coverage out;
  out.width = width;
  out.height = in.height;
  out.alpha.assign(static_cast<std::size_t>(width * in.height), 0.0);
  const double scale = static_cast<double>(in.width) / width;
  for (int y = 0; y < in.height; ++y) {
    for (int x = 0; x < width; ++x) {
      const double from = x * scale, to = (x + 1) * scale;
      double sum = 0.0;
      for (int sx = static_cast<int>(std::floor(from)); sx < static_cast<int>(std::ceil(to)) && sx < in.width; ++sx) {
        const double overlap = std::min(to, sx + 1.0) - std::max(from, static_cast<double>(sx));
        if (overlap > 0) sum += overlap * in.At(sx, y);
      }
      out.alpha[static_cast<std::size_t>(y * width + x)] = std::min(1.0, sum / scale);
    }
  }
  return out;
}

}  // namespace

bool DrawLabels(const RgbImage& picture, const char* fontPath, RgbImage& labelled, std::string& error) {
  if (TTF_Init() != 0) {
    error = std::string("cannot start the font renderer: ") + TTF_GetError();
    return false;
  }
  labelled = picture;
  bool ok = true;
  for (const LabelSpec& label : kLabels) {
    const int boxWidth = label.box.xMax - label.box.xMin + 1;
    const int boxHeight = label.box.yMax - label.box.yMin + 1;
    const int wantedHeight = std::min(label.glyphHeightPixels, boxHeight);
    // The largest size whose ink is no taller than wanted.
    Coverage ink;
    for (int size = kLargestSizePerPixel * wantedHeight; size > 0; --size) {
      if (!Render(fontPath, size, label.text, ink, error)) {
        ok = false;
        break;
      }
      if (ink.height <= wantedHeight) break;
    }
    if (!ok) break;
    if (ink.width > boxWidth) ink = Narrowed(ink, boxWidth);
    // Centred across the box, and down within the height the glyphs stand in, so
    // descender room stays at the bottom of the caption boxes.
    const int left = label.box.xMin + (boxWidth - ink.width) / 2;
    const int top = label.box.yMin + (wantedHeight - ink.height) / 2;
    for (int y = 0; y < ink.height; ++y) {
      for (int x = 0; x < ink.width; ++x) {
        const int px = left + x, py = top + y;
        if (px < label.box.xMin || px > label.box.xMax || py < label.box.yMin || py > label.box.yMax) continue;
        const double a = ink.At(x, y);
        Rgb& p = labelled.At(px, py);
        auto blend = [a](std::uint8_t under, std::uint8_t over) {
          return static_cast<std::uint8_t>(std::lround(under + (over - under) * a));
        };
        p = {blend(p.r, kLabelColour.r), blend(p.g, kLabelColour.g), blend(p.b, kLabelColour.b)};
      }
    }
  }
  TTF_Quit();
  return ok;
}

}  // namespace velmora
