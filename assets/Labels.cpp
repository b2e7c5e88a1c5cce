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

bool Render(TTF_Font* font, int size, const char* text, Coverage& out, std::string& error) {
  if (TTF_SetFontSize(font, size) != 0) {
    error = std::string("cannot size the font: ") + TTF_GetError();
    return false;
  }
  SDL_Surface* rendered = TTF_RenderUTF8_Blended(font, text, SDL_Color{255, 255, 255, 255});
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

// The canvas pixels whose centres lie in the picture pixels first .. last, inclusive,
// along one axis.
struct CanvasRange {
  int first, last;
};
CanvasRange ScaledRange(int first, int last, double scale, int offset) {
  const auto design = [&](int canvas) { return (canvas + 0.5 - offset) / scale - 0.5; };
  int from = static_cast<int>(std::floor(first * scale + offset)) - 1;
  while (design(from) < first - 0.5) ++from;
  int to = static_cast<int>(std::ceil((last + 1) * scale + offset)) + 1;
  while (design(to) >= last + 0.5) --to;
  return {from, to};
}

// A label's ink and where it goes: the largest size whose ink is no taller than
// wanted, narrowed to the box if need be, centred across the box and down within the
// height the glyphs stand in, so descender room stays at the bottom of the caption
// boxes.
struct PlacedInk {
  Coverage ink;
  int left = 0, top = 0;  // canvas pixels of the ink's top-left corner
  PixelBox box;           // canvas pixels, inclusive
};

bool PlaceLabel(TTF_Font* font, const LabelSpec& label, const PaintPlacement& placement, PlacedInk& placed,
                std::string& error) {
  const CanvasRange columns = ScaledRange(label.box.xMin, label.box.xMax, placement.scale, placement.offsetX);
  const CanvasRange rows = ScaledRange(label.box.yMin, label.box.yMax, placement.scale, placement.offsetY);
  placed.box = {columns.first, columns.last, rows.first, rows.last};
  const int boxWidth = columns.last - columns.first + 1;
  const int boxHeight = rows.last - rows.first + 1;
  const int wantedHeight =
      std::min(static_cast<int>(std::lround(label.glyphHeightPixels * placement.scale)), boxHeight);
  // Ink grows with the size, so the sizes are bisected: `fits` is a size whose ink
  // is no taller than wanted, `tooTall` one whose ink is taller.
  int fits = 0, tooTall = kLargestSizePerPixel * wantedHeight + 1;
  Coverage fitting;
  while (tooTall - fits > 1) {
    const int size = fits + (tooTall - fits) / 2;
    if (!Render(font, size, label.text, placed.ink, error)) return false;
    if (placed.ink.height <= wantedHeight) {
      fits = size;
      fitting = std::move(placed.ink);
    } else {
      tooTall = size;
    }
  }
  placed.ink = std::move(fitting);
  if (placed.ink.width > boxWidth) placed.ink = Narrowed(placed.ink, boxWidth);
  placed.left = columns.first + (boxWidth - placed.ink.width) / 2;
  placed.top = rows.first + (wantedHeight - placed.ink.height) / 2;
  return true;
}

// Runs `use` on every label placed at the placement, with the font open.
template <typename Use>
bool ForEachPlacedLabel(BuiltInFile face, const PaintPlacement& placement, std::string& error, Use use) {
  if (TTF_Init() != 0) {
    error = std::string("cannot start the font renderer: ") + TTF_GetError();
    return false;
  }
  TTF_Font* font = TTF_OpenFontRW(SDL_RWFromConstMem(face.data, static_cast<int>(face.size)), 1, kLargestSizePerPixel);
  bool ok = font != nullptr;
  if (!ok) error = std::string("cannot open the labels' font: ") + TTF_GetError();
  for (std::size_t k = 0; ok && k < kLabels.size(); ++k) {
    PlacedInk placed;
    ok = PlaceLabel(font, kLabels[k], placement, placed, error);
    if (ok) use(placed);
  }
  if (font != nullptr) TTF_CloseFont(font);
  TTF_Quit();
  return ok;
}

}  // namespace

bool DrawLabels(const RgbImage& picture, BuiltInFile font, RgbImage& labelled, std::string& error) {
  labelled = picture;
  return ForEachPlacedLabel(font, PaintPlacement{}, error, [&](const PlacedInk& placed) {
    const PixelBox& box = placed.box;
    for (int y = 0; y < placed.ink.height; ++y) {
      for (int x = 0; x < placed.ink.width; ++x) {
        const int px = placed.left + x, py = placed.top + y;
        if (px < box.xMin || px > box.xMax || py < box.yMin || py > box.yMax) continue;
        const double a = placed.ink.At(x, y);
        Rgb& p = labelled.At(px, py);
        auto blend = [a](std::uint8_t under, std::uint8_t over) {
          return static_cast<std::uint8_t>(std::lround(under + (over - under) * a));
        };
        p = {blend(p.r, kLabelColour.r), blend(p.g, kLabelColour.g), blend(p.b, kLabelColour.b)};
      }
    }
  });
}

bool MakeLabelOverlays(BuiltInFile font, const PaintPlacement& placement, std::vector<LabelOverlay>& overlays,
                       std::string& error) {
  overlays.clear();
  return ForEachPlacedLabel(font, placement, error, [&](const PlacedInk& placed) {
    LabelOverlay overlay;
    overlay.left = placed.box.xMin;
    overlay.top = placed.box.yMin;
    overlay.width = placed.box.xMax - placed.box.xMin + 1;
    overlay.height = placed.box.yMax - placed.box.yMin + 1;
    overlay.colour = 0xFF000000u | static_cast<std::uint32_t>(kLabelColour.r) << 16 |
                     static_cast<std::uint32_t>(kLabelColour.g) << 8 | kLabelColour.b;
    overlay.alpha.assign(static_cast<std::size_t>(overlay.width) * static_cast<std::size_t>(overlay.height), 0);
    for (int y = 0; y < placed.ink.height; ++y) {
      for (int x = 0; x < placed.ink.width; ++x) {
        const int cx = placed.left + x - overlay.left, cy = placed.top + y - overlay.top;
        if (cx < 0 || cx >= overlay.width || cy < 0 || cy >= overlay.height) continue;
        overlay.alpha[static_cast<std::size_t>(cy * overlay.width + cx)] =
            static_cast<std::uint8_t>(std::lround(placed.ink.At(x, y) * 255.0));
      }
    }
    overlays.push_back(std::move(overlay));
  });
}

}  // namespace velmora
