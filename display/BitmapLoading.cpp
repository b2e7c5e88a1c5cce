#include "display/BitmapLoading.h"

#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "display/DisplayConstants.h"

namespace velmora {
namespace {

// Layout of a bitmap file: a 14-byte file header, then the information header.
constexpr std::size_t kFileHeaderBytes = 14;
constexpr std::size_t kInfoHeaderBytes = 40;     // the classic information header
constexpr std::size_t kCoreHeaderBytes = 12;     // the oldest, 16-bit-size header
constexpr std::size_t kLargestInfoHeaderBytes = 124;
constexpr std::size_t kColorTableEntryBytes = 4;  // blue, green, red, reserved
constexpr std::size_t kBitfieldMaskBytes = 12;    // three masks after a 40-byte header
constexpr std::uint32_t kUncompressed = 0;
constexpr std::uint32_t kBitfields = 3;
// Larger images than any the exhibit uses are refused before decoding, so corrupt
// headers cannot ask for huge allocations.
constexpr std::int64_t kLargestSidePixels = 16384;
// A bitmap file is read whole; none of the exhibit's is near this size.
constexpr std::streamsize kLargestFileBytes = 64 * 1024 * 1024;
constexpr std::uint32_t kLargestPaletteFileReadBytes = kPaletteEntries * kColorTableEntryBytes;

std::uint32_t ReadU32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
         (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
std::uint16_t ReadU16(const std::uint8_t* p) {
  return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

// True if the headers describe an uncompressed image whose colour table and pixel
// rows all lie inside the data.
bool BitmapFileIsSound(const std::uint8_t* data, std::size_t size) {
  if (data == nullptr || size < kFileHeaderBytes + 4) return false;
  if (data[0] != 'B' || data[1] != 'M') return false;
  const std::uint64_t pixelOffset = ReadU32(data + 10);
  const std::uint64_t headerBytes = ReadU32(data + kFileHeaderBytes);
  if (headerBytes != kCoreHeaderBytes &&
      (headerBytes < kInfoHeaderBytes || headerBytes > kLargestInfoHeaderBytes)) {
    return false;
  }
  if (kFileHeaderBytes + headerBytes > size) return false;
  const std::uint8_t* info = data + kFileHeaderBytes;

  std::int64_t width = 0;
  std::int64_t height = 0;
  std::uint32_t bitCount = 0;
  std::uint32_t compression = kUncompressed;
  std::uint64_t colorsUsed = 0;
  if (headerBytes == kCoreHeaderBytes) {
    width = ReadU16(info + 4);
    height = ReadU16(info + 6);
    bitCount = ReadU16(info + 10);
  } else {
    width = static_cast<std::int32_t>(ReadU32(info + 4));
    height = static_cast<std::int32_t>(ReadU32(info + 8));
    bitCount = ReadU16(info + 14);
    compression = ReadU32(info + 16);
    colorsUsed = ReadU32(info + 32);
  }
  if (height < 0) height = -height;
  if (width <= 0 || height <= 0 || width > kLargestSidePixels || height > kLargestSidePixels) {
    return false;
  }
  switch (bitCount) {
    case 1: case 4: case 8: case 24:
      if (compression != kUncompressed) return false;
      break;
    case 16: case 32:
      if (compression != kUncompressed && compression != kBitfields) return false;
      break;
    default:
      return false;
  }

  std::uint64_t tableEnd = kFileHeaderBytes + headerBytes;
  if (compression == kBitfields && headerBytes == kInfoHeaderBytes) tableEnd += kBitfieldMaskBytes;
  if (bitCount <= 8) {
    const std::uint64_t colors = colorsUsed != 0 ? colorsUsed : (1u << bitCount);
    if (colors > (1u << bitCount)) return false;
    const std::uint64_t entryBytes = headerBytes == kCoreHeaderBytes ? 3 : kColorTableEntryBytes;
    tableEnd += colors * entryBytes;
  }
  if (tableEnd > size || pixelOffset < kFileHeaderBytes + headerBytes || pixelOffset > size) {
    return false;
  }
  const std::uint64_t rowBytes = ((static_cast<std::uint64_t>(width) * bitCount + 31) / 32) * 4;
  return rowBytes * static_cast<std::uint64_t>(height) <= size - pixelOffset;
}

std::vector<std::uint8_t> ReadWholeFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary | std::ios::ate);
  if (!file) return {};
  const std::streamsize size = file.tellg();
  if (size <= 0 || size > kLargestFileBytes) return {};
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size));
  file.seekg(0);
  if (!file.read(reinterpret_cast<char*>(bytes.data()), size)) return {};
  return bytes;
}

// The named image decoded (built-in first, then a file), scaled when a size is asked
// for; null if it is missing.
SurfacePtr LoadImage(std::string_view name, int widthPixels, int heightPixels, BuiltInImageLookup images) {
  SurfacePtr decoded;
  if (const BuiltInImage* image = images(name); image != nullptr) {
    decoded = DecodeBitmapFile(image->data, image->size);
  }
  if (!decoded) {
    const std::vector<std::uint8_t> bytes = ReadWholeFile(std::string(name));
    decoded = DecodeBitmapFile(bytes.data(), bytes.size());
  }
  if (!decoded) return nullptr;
  const bool keepWidth = widthPixels == 0 || widthPixels == decoded->w;
  const bool keepHeight = heightPixels == 0 || heightPixels == decoded->h;
  if (keepWidth && keepHeight) return decoded;
  SurfacePtr scaled = CreateDisplaySurface(keepWidth ? decoded->w : widthPixels,
                                           keepHeight ? decoded->h : heightPixels);
  if (!scaled || SDL_BlitScaled(decoded.get(), nullptr, scaled.get(), nullptr) != 0) return nullptr;
  return scaled;
}

void WriteDebugText(const char* text) { std::fputs(text, stderr); }

// The number of colour-table entries an information header promises, at most 256.
std::size_t PaletteColorCount(const std::uint8_t* info) {
  const std::uint32_t bitCount = ReadU16(info + 14);
  if (bitCount > 8) return 0;
  const std::uint32_t colorsUsed = ReadU32(info + 32);
  const std::uint64_t count = colorsUsed != 0 ? colorsUsed : (1u << bitCount);
  return count > kPaletteEntries ? kPaletteEntries : static_cast<std::size_t>(count);
}

void ReadPaletteFromBuiltIn(const BuiltInImage& image, Palette& palette) {
  if (image.data == nullptr || image.size == 0) {
    WriteDebugText("palette: the built-in image has no data\n");
    return;
  }
  if (image.size < kFileHeaderBytes + kInfoHeaderBytes) return;
  const std::uint8_t* info = image.data + kFileHeaderBytes;
  const std::size_t infoBytes = image.size - kFileHeaderBytes;
  const std::uint32_t headerBytes = ReadU32(info);
  if (headerBytes < kInfoHeaderBytes || headerBytes > infoBytes) return;
  std::size_t count = PaletteColorCount(info);
  const std::size_t available = (infoBytes - headerBytes) / kColorTableEntryBytes;
  if (count > available) count = available;
  const std::uint8_t* table = info + headerBytes;
  for (std::size_t i = 0; i < count; ++i) {
    const std::uint8_t* quad = table + i * kColorTableEntryBytes;
    palette[i] = PaletteEntry{quad[2], quad[1], quad[0], 0};
  }
}

// A bitmap file's table is read straight after a 40-byte header, over all 256
// entries whatever the header promises; only the promised entries are turned from
// blue-green-red into red-green-blue, and later entries keep whatever bytes followed.
void ReadPaletteFromFile(const char* path, Palette& palette) {
  std::FILE* file = std::fopen(path, "rb");
  if (file == nullptr) return;
  std::uint8_t fileHeader[kFileHeaderBytes] = {};
  std::uint8_t info[kInfoHeaderBytes] = {};
  std::uint8_t table[kLargestPaletteFileReadBytes] = {};
  const std::size_t headerRead = std::fread(fileHeader, 1, sizeof fileHeader, file);
  const std::size_t infoRead = headerRead == sizeof fileHeader ? std::fread(info, 1, sizeof info, file) : 0;
  const std::size_t tableRead = infoRead == sizeof info ? std::fread(table, 1, sizeof table, file) : 0;
  std::fclose(file);

  for (std::size_t byte = 0; byte < tableRead; ++byte) {
    PaletteEntry& entry = palette[byte / kColorTableEntryBytes];
    std::uint8_t* fields[kColorTableEntryBytes] = {&entry.red, &entry.green, &entry.blue, &entry.flags};
    *fields[byte % kColorTableEntryBytes] = table[byte];
  }
  const std::size_t count = ReadU32(info) == kInfoHeaderBytes ? PaletteColorCount(info) : 0;
  for (std::size_t i = 0; i < count; ++i) std::swap(palette[i].red, palette[i].blue);
}

std::uint32_t ReadRawPixel(const SDL_Surface* surface) {
  std::uint32_t raw = 0;
  std::memcpy(&raw, surface->pixels, surface->format->BytesPerPixel);
  return raw;
}
void WriteRawPixel(SDL_Surface* surface, std::uint32_t raw) {
  std::memcpy(surface->pixels, &raw, surface->format->BytesPerPixel);
}

}  // namespace

SurfacePtr CreateDisplaySurface(int widthPixels, int heightPixels) {
  if (widthPixels <= 0 || heightPixels <= 0) return nullptr;
  return SurfacePtr(
      SDL_CreateRGBSurfaceWithFormat(0, widthPixels, heightPixels, 16, SDL_PIXELFORMAT_RGB565));
}

SurfacePtr DecodeBitmapFile(const std::uint8_t* data, std::size_t size) {
  if (!BitmapFileIsSound(data, size)) return nullptr;
  SDL_RWops* stream = SDL_RWFromConstMem(data, static_cast<int>(size));
  if (stream == nullptr) return nullptr;
  SurfacePtr decoded(SDL_LoadBMP_RW(stream, 1));
  if (!decoded) return nullptr;
  SurfacePtr converted(SDL_ConvertSurfaceFormat(decoded.get(), SDL_PIXELFORMAT_RGB565, 0));
  if (converted) SDL_SetSurfaceBlendMode(converted.get(), SDL_BLENDMODE_NONE);
  return converted;
}

SurfacePtr LoadBitmapSurface(std::string_view name, int widthPixels, int heightPixels,
                             BuiltInImageLookup images) {
  SurfacePtr image = LoadImage(name, widthPixels, heightPixels, images);
  if (!image) return nullptr;
  SurfacePtr surface = CreateDisplaySurface(image->w, image->h);
  if (!surface) return nullptr;
  CopyBitmapToSurface(surface.get(), image.get(), 0, 0, 0, 0);
  return surface;
}

DisplayResult ReloadBitmapSurface(SDL_Surface* surface, std::string_view name, BuiltInImageLookup images) {
  SurfacePtr image = LoadImage(name, 0, 0, images);
  if (!image) {
    WriteDebugText("bitmap reload: image not found\n");
    return DisplayResult::Failed;
  }
  const DisplayResult result = CopyBitmapToSurface(surface, image.get(), 0, 0, 0, 0);
  if (result != DisplayResult::Ok) WriteDebugText("bitmap reload: copy failed\n");
  return result;
}

DisplayResult CopyBitmapToSurface(SDL_Surface* surface, const SDL_Surface* bitmap, int sourceX,
                                  int sourceY, int sourceWidthPixels, int sourceHeightPixels) {
  if (surface == nullptr || bitmap == nullptr) return DisplayResult::Failed;
  SurfacePtr source(SDL_ConvertSurface(const_cast<SDL_Surface*>(bitmap), surface->format, 0));
  if (!source) WriteDebugText("bitmap copy: cannot convert to the surface's format\n");
  if (sourceWidthPixels == 0) sourceWidthPixels = bitmap->w;
  if (sourceHeightPixels == 0) sourceHeightPixels = bitmap->h;
  if (surface->pixels == nullptr) return DisplayResult::Failed;
  if (!source) return DisplayResult::Ok;

  // A plain copy: neither blending nor a colour key of the source may filter it.
  SDL_SetSurfaceBlendMode(source.get(), SDL_BLENDMODE_NONE);
  SDL_SetColorKey(source.get(), SDL_FALSE, 0);
  SDL_Rect from{sourceX, sourceY, sourceWidthPixels, sourceHeightPixels};
  SDL_Rect to{0, 0, surface->w, surface->h};
  const bool sameSize = from.w == to.w && from.h == to.h;
  const int copied = sameSize ? SDL_BlitSurface(source.get(), &from, surface, &to)
                              : SDL_BlitScaled(source.get(), &from, surface, &to);
  return copied == 0 ? DisplayResult::Ok : DisplayResult::Failed;
}

Palette DefaultRampPalette() {
  Palette palette{};
  for (std::size_t index = 0; index < kPaletteEntries; ++index) {
    palette[index].red = static_cast<std::uint8_t>(((index >> 5) & 7) * 255 / 7);
    palette[index].green = static_cast<std::uint8_t>(((index >> 2) & 7) * 255 / 7);
    palette[index].blue = static_cast<std::uint8_t>((index & 3) * 255 / 3);
    palette[index].flags = 0;
  }
  return palette;
}

std::unique_ptr<Palette> LoadBitmapPalette(const char* name, BuiltInImageLookup images) {
  auto palette = std::make_unique<Palette>(DefaultRampPalette());
  if (name == nullptr) return palette;
  if (const BuiltInImage* image = images(name); image != nullptr) {
    ReadPaletteFromBuiltIn(*image, *palette);
  } else {
    ReadPaletteFromFile(name, *palette);
  }
  return palette;
}

std::uint32_t MatchSurfaceColor(SDL_Surface* surface, ColorRef color) {
  std::uint32_t result = kNoRawColor;
  if (surface == nullptr || surface->pixels == nullptr || surface->w <= 0 || surface->h <= 0) {
    return result;
  }
  std::uint32_t savedRaw = 0;
  const bool probed = color != kNoRawColor;
  if (probed) {
    savedRaw = ReadRawPixel(surface);
    WriteRawPixel(surface, SDL_MapRGB(surface->format, color & 0xFF, (color >> 8) & 0xFF,
                                      (color >> 16) & 0xFF));
  }
  if (SDL_LockSurface(surface) == 0) {
    // The first four bytes of the surface, as far as the surface has them.
    const std::size_t surfaceBytes = static_cast<std::size_t>(surface->pitch) * surface->h;
    std::uint8_t bytes[4] = {};
    std::memcpy(bytes, surface->pixels, surfaceBytes < sizeof bytes ? surfaceBytes : sizeof bytes);
    result = ReadU32(bytes);
    const int bitCount = surface->format->BitsPerPixel;
    if (bitCount < 32) result &= (1u << bitCount) - 1;
    SDL_UnlockSurface(surface);
  }
  if (probed) WriteRawPixel(surface, savedRaw);
  return result;
}

DisplayResult SetSurfaceColorKey(SDL_Surface* surface, ColorRef color) {
  if (surface == nullptr) return DisplayResult::Failed;
  const std::uint32_t raw = MatchSurfaceColor(surface, color);
  return SDL_SetColorKey(surface, SDL_TRUE, raw) == 0 ? DisplayResult::Ok : DisplayResult::Failed;
}

std::uint32_t SurfaceColorKey(const SDL_Surface* surface) {
  std::uint32_t key = 0;
  if (surface == nullptr || SDL_GetColorKey(const_cast<SDL_Surface*>(surface), &key) != 0) {
    return kNoRawColor;
  }
  return key;
}

}  // namespace velmora
