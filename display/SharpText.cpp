#include "display/SharpText.h"

#include <cmath>
#include <cstdio>

namespace velmora {
namespace {

// Dots per inch at which a point is a pixel.
constexpr double kPointsPerInch = 72.0;

}  // namespace

std::unique_ptr<ScaledFont> ScaledFont::Open(BuiltInFile face, int sizePoints, double scale) {
  if (TTF_Init() != 0) {
    std::fprintf(stderr, "Text is not drawn: the font renderer cannot start (%s)\n", TTF_GetError());
    return nullptr;
  }
  const auto dpi = static_cast<unsigned int>(std::lround(kPointsPerInch * scale));
  TTF_Font* font = TTF_OpenFontDPIRW(SDL_RWFromConstMem(face.data, static_cast<int>(face.size)), 1, sizePoints, dpi, dpi);
  if (font == nullptr) {
    std::fprintf(stderr, "Text is not drawn: the font cannot be loaded (%s)\n", TTF_GetError());
    TTF_Quit();
    return nullptr;
  }
  TTF_SetFontKerning(font, 0);
  return std::unique_ptr<ScaledFont>(new ScaledFont(font));
}

ScaledFont::ScaledFont(TTF_Font* opened) : font(opened), lineHeightPixels(TTF_FontHeight(opened)) {}

ScaledFont::~ScaledFont() {
  TTF_CloseFont(font);
  TTF_Quit();
}

const TextMask& ScaledFont::Render(std::string_view text) {
  if (cached && text == cachedText) return cachedMask;
  cached = true;
  cachedText = text;
  cachedMask = TextMask{};
  cachedMask.height = lineHeightPixels;
  if (text.empty()) return cachedMask;
  SDL_Surface* rendered = TTF_RenderText_Blended(font, cachedText.c_str(), SDL_Color{255, 255, 255, 255});
  if (rendered == nullptr) return cachedMask;
  SDL_Surface* argb = SDL_ConvertSurfaceFormat(rendered, SDL_PIXELFORMAT_ARGB8888, 0);
  SDL_FreeSurface(rendered);
  if (argb == nullptr) return cachedMask;
  cachedMask.width = argb->w;
  cachedMask.height = argb->h;
  cachedMask.alpha.resize(static_cast<std::size_t>(argb->w) * static_cast<std::size_t>(argb->h));
  for (int y = 0; y < argb->h; ++y) {
    const auto* row = reinterpret_cast<const std::uint32_t*>(static_cast<const std::uint8_t*>(argb->pixels) +
                                                             static_cast<std::ptrdiff_t>(y) * argb->pitch);
    for (int x = 0; x < argb->w; ++x) {
      cachedMask.alpha[static_cast<std::size_t>(y) * static_cast<std::size_t>(argb->w) + static_cast<std::size_t>(x)] =
          static_cast<std::uint8_t>(row[x] >> 24);
    }
  }
  SDL_FreeSurface(argb);
  return cachedMask;
}

}  // namespace velmora
