#pragma once
// A small, dependency-free PNG encoder: 8-bit RGB or RGBA pixel rows in, a valid PNG
// file out. The image data is kept in stored (uncompressed) deflate blocks, which
// every decoder reads; files are larger than a compressing encoder's but the writer
// stays tiny and its output is byte-for-byte deterministic.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace velmora {

enum class PngPixelFormat {
  kRgb24,   // 3 bytes per pixel: red, green, blue
  kRgba32,  // 4 bytes per pixel: red, green, blue, alpha (straight, not premultiplied)
};

// The whole PNG file for `height` rows of `width` pixels. Row r starts at
// pixels + r * rowStrideBytes; a stride of 0 means tightly packed rows. Gives an
// empty vector when the size is zero, larger than PNG allows, or the stride is
// shorter than a row.
std::vector<std::uint8_t> EncodePng(std::int32_t width, std::int32_t height, PngPixelFormat format,
                                    const std::uint8_t* pixels, std::size_t rowStrideBytes = 0);

// Encodes as above and writes the file; false when encoding or writing failed
// (a partly written file is removed).
bool WritePng(const std::string& path, std::int32_t width, std::int32_t height, PngPixelFormat format,
              const std::uint8_t* pixels, std::size_t rowStrideBytes = 0);

// The checksums PNG uses: CRC-32 of the chunks (polynomial 0xEDB88320) and
// Adler-32 of the zlib stream, each over `size` bytes starting from `previous`.
std::uint32_t Crc32(const std::uint8_t* data, std::size_t size, std::uint32_t previous = 0);
std::uint32_t Adler32(const std::uint8_t* data, std::size_t size, std::uint32_t previous = 1);

}  // namespace velmora
