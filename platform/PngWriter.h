#pragma once
// PNG files from 8-bit RGB or RGBA pixel rows, compressed (zlib through libspng, with
// its adaptive row filters). The same pixels always give the same bytes.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace velmora {

enum class PngPixelFormat {
  kRgb24,   // 3 bytes per pixel: red, green, blue
  kRgba32,  // 4 bytes per pixel: red, green, blue, alpha (straight, not premultiplied)
};

// How hard the encoder works.
enum class PngCompression {
  kSmallest,  // zlib's default level with adaptive row filters: files to keep
  kFast,      // zlib's fastest level, one row filter: about a third more bytes in a
              // fraction of the time, for pictures made again and again
};

// The whole PNG file for `height` rows of `width` pixels. Row r starts at
// pixels + r * rowStrideBytes; a stride of 0 means tightly packed rows. Gives an
// empty vector when a size is not positive, the stride is shorter than a row, or the
// encoder fails.
std::vector<std::uint8_t> EncodePng(std::int32_t width, std::int32_t height, PngPixelFormat format,
                                    const std::uint8_t* pixels, std::size_t rowStrideBytes = 0,
                                    PngCompression compression = PngCompression::kSmallest);

// Encodes as above and writes the file; false when encoding or writing failed
// (a partly written file is removed).
bool WritePng(const std::string& path, std::int32_t width, std::int32_t height, PngPixelFormat format,
              const std::uint8_t* pixels, std::size_t rowStrideBytes = 0);

}  // namespace velmora
