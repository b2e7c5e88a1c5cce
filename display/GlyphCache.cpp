#include "display/GlyphCache.h"

#include <SDL_ttf.h>

#include <cstdio>

#include "assets/BuiltInFiles.h"

namespace velmora {
namespace {

// Character codes below this are control codes: no glyph, no advance.
constexpr int kFirstPrintableCode = 32;

}  // namespace

std::unique_ptr<GlyphCache> GlyphCache::Load(int sizePoints) {
  const BuiltInFile face = BuiltInFont(FontFace::Bold);
  return FromSource(SDL_RWFromConstMem(face.data, static_cast<int>(face.size)), "built in", sizePoints);
}

std::unique_ptr<GlyphCache> GlyphCache::Load(const std::string& path, int sizePoints) {
  return FromSource(SDL_RWFromFile(path.c_str(), "rb"), path, sizePoints);
}

std::unique_ptr<GlyphCache> GlyphCache::FromSource(SDL_RWops* source, const std::string& name, int sizePoints) {
  if (TTF_Init() != 0) {
    std::fprintf(stderr, "Text is not drawn: the font renderer cannot start (%s)\n", TTF_GetError());
    if (source != nullptr) SDL_RWclose(source);
    return nullptr;
  }
  TTF_Font* font = source != nullptr ? TTF_OpenFontRW(source, 1, sizePoints) : nullptr;
  if (font == nullptr) {
    std::fprintf(stderr, "Text is not drawn: font %s cannot be loaded (%s)\n", name.c_str(), TTF_GetError());
    TTF_Quit();
    return nullptr;
  }
  auto cache = std::unique_ptr<GlyphCache>(new GlyphCache());
  cache->lineHeightPixels = TTF_FontHeight(font);
  const SDL_Color white{255, 255, 255, 255};
  for (int code = kFirstPrintableCode; code < 256; ++code) {
    const auto character = static_cast<Uint16>(code);
    GlyphMask& glyph = cache->glyphs[static_cast<std::size_t>(code)];
    int minX = 0, maxX = 0, minY = 0, maxY = 0, advance = 0;
    if (!TTF_GlyphIsProvided(font, character) ||
        TTF_GlyphMetrics(font, character, &minX, &maxX, &minY, &maxY, &advance) != 0) {
      continue;
    }
    glyph.advancePixels = advance;
    SDL_Surface* rendered = TTF_RenderGlyph_Solid(font, character, white);
    if (rendered == nullptr) continue;
    // Solid rendering gives 8-bit pixels: index 0 is the background.
    glyph.widthPixels = rendered->w;
    glyph.heightPixels = rendered->h;
    glyph.covered.assign(static_cast<std::size_t>(rendered->w) * rendered->h, 0);
    for (int y = 0; y < rendered->h; ++y) {
      const auto* row = static_cast<const std::uint8_t*>(rendered->pixels) + y * rendered->pitch;
      for (int x = 0; x < rendered->w; ++x) {
        glyph.covered[static_cast<std::size_t>(y) * rendered->w + x] = row[x] != 0 ? 1 : 0;
      }
    }
    SDL_FreeSurface(rendered);
  }
  TTF_CloseFont(font);
  TTF_Quit();
  return cache;
}

}  // namespace velmora
