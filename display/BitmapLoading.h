#pragma once
// Moving bitmap images into RGB565 surfaces: load by name into a new surface, load
// again into an existing one after a loss, copy (stretching) a decoded bitmap into a
// surface, build a 256-entry palette from an image, find the raw pixel value of a
// colour in a surface, and set a surface's source colour key. Used at start-up and
// after a loss only, never per frame.
//
// A name finds a built-in image first (without regard to case), then a bitmap file
// of that name. The built-in images are looked up through the function given, the
// program's own unless a test or tool hands in another set.

#include <SDL.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>

#include "assets/BuiltInImages.h"
#include "display/FrameDisplay.h"
#include "model/DeviceContext.h"

namespace velmora {

// Finds a built-in image by name, or gives null.
using BuiltInImageLookup = const BuiltInImage* (*)(std::string_view name);

struct SurfaceDeleter {
  void operator()(SDL_Surface* surface) const { SDL_FreeSurface(surface); }
};
using SurfacePtr = std::unique_ptr<SDL_Surface, SurfaceDeleter>;

// A palette entry as red, green, blue, flags.
struct PaletteEntry {
  std::uint8_t red = 0;
  std::uint8_t green = 0;
  std::uint8_t blue = 0;
  std::uint8_t flags = 0;
};
inline constexpr std::size_t kPaletteEntries = 256;
using Palette = std::array<PaletteEntry, kPaletteEntries>;

// A new RGB565 surface of the given size in pixels.
SurfacePtr CreateDisplaySurface(int widthPixels, int heightPixels);

// The named image decoded into a new RGB565 surface. Width and height 0 keep the
// image's own size; other values scale the image to them. Null if the image is
// missing or cannot be decoded; nothing is written then.
SurfacePtr LoadBitmapSurface(std::string_view name, int widthPixels, int heightPixels,
                             BuiltInImageLookup images = &FindBuiltInImage);

// Loads the named image again and stretches it over the whole surface. Writes
// "bitmap reload: image not found\n" (image missing) or "bitmap reload: copy
// failed\n" (copy failed) to standard error and returns the failure.
DisplayResult ReloadBitmapSurface(SDL_Surface* surface, std::string_view name,
                                  BuiltInImageLookup images = &FindBuiltInImage);

// Stretches the rectangle (x, y, width, height) of the bitmap over the whole
// surface; a width or height of 0 stands for the bitmap's own. Failed without a
// surface or bitmap.
DisplayResult CopyBitmapToSurface(SDL_Surface* surface, const SDL_Surface* bitmap, int sourceX,
                                  int sourceY, int sourceWidthPixels, int sourceHeightPixels);

// The 256-entry palette of the named image: the colour table of an image with at
// most 8 bits per pixel, the 3-3-2 ramp for the other entries. A null name or a
// missing image gives the plain ramp.
std::unique_ptr<Palette> LoadBitmapPalette(const char* name, BuiltInImageLookup images = &FindBuiltInImage);

// The 3-3-2 ramp every palette starts from: index bits RRRGGGBB.
Palette DefaultRampPalette();

// The raw pixel value the colour takes in the surface (drawn into pixel 0, 0, read
// back, then the pixel put back as it was). kNoRawColor for colour kNoRawColor
// reads the present raw value of pixel 0, 0. kNoRawColor if the surface cannot be
// locked.
std::uint32_t MatchSurfaceColor(SDL_Surface* surface, ColorRef color);

// The colour's raw value becomes the surface's source colour key for keyed copies.
DisplayResult SetSurfaceColorKey(SDL_Surface* surface, ColorRef color);

// The source colour key of the surface as a raw value; kNoRawColor if none is set.
std::uint32_t SurfaceColorKey(const SDL_Surface* surface);

// Decodes complete bitmap-file bytes into a new RGB565 surface, or null. The headers
// are checked against the data first, so no read leaves [data, data + size).
SurfacePtr DecodeBitmapFile(const std::uint8_t* data, std::size_t size);

}  // namespace velmora
