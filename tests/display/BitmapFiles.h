#pragma once
// Bitmap files made in memory for the display tests: 24-bit and 8-bit, bottom-up,
// uncompressed, laid out as the classic file format.

#include <cstdint>
#include <functional>
#include <vector>

#include "model/DeviceContext.h"

namespace velmora::testing {

inline void PutU16(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint32_t value) {
  bytes[at] = static_cast<std::uint8_t>(value);
  bytes[at + 1] = static_cast<std::uint8_t>(value >> 8);
}
inline void PutU32(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint32_t value) {
  PutU16(bytes, at, value & 0xFFFF);
  PutU16(bytes, at + 2, value >> 16);
}

// Offsets of the header fields the tests alter.
inline constexpr std::size_t kPixelOffsetField = 10;
inline constexpr std::size_t kHeaderSizeField = 14;
inline constexpr std::size_t kWidthField = 18;
inline constexpr std::size_t kHeightField = 22;
inline constexpr std::size_t kBitCountField = 28;
inline constexpr std::size_t kCompressionField = 30;
inline constexpr std::size_t kColorsUsedField = 46;
inline constexpr std::size_t kHeadersBytes = 54;

// A 24-bit image; `color(x, y)` gives each pixel with y counted from the top.
inline std::vector<std::uint8_t> MakeBmp24(int width, int height,
                                           const std::function<ColorRef(int, int)>& color) {
  const std::size_t rowBytes = (static_cast<std::size_t>(width) * 3 + 3) / 4 * 4;
  std::vector<std::uint8_t> bytes(kHeadersBytes + rowBytes * height, 0);
  bytes[0] = 'B';
  bytes[1] = 'M';
  PutU32(bytes, 2, static_cast<std::uint32_t>(bytes.size()));
  PutU32(bytes, kPixelOffsetField, kHeadersBytes);
  PutU32(bytes, kHeaderSizeField, 40);
  PutU32(bytes, kWidthField, static_cast<std::uint32_t>(width));
  PutU32(bytes, kHeightField, static_cast<std::uint32_t>(height));
  PutU16(bytes, 26, 1);
  PutU16(bytes, kBitCountField, 24);
  for (int y = 0; y < height; ++y) {
    std::uint8_t* row = bytes.data() + kHeadersBytes + rowBytes * (height - 1 - y);
    for (int x = 0; x < width; ++x) {
      const ColorRef c = color(x, y);
      row[x * 3] = static_cast<std::uint8_t>(c >> 16);
      row[x * 3 + 1] = static_cast<std::uint8_t>(c >> 8);
      row[x * 3 + 2] = static_cast<std::uint8_t>(c);
    }
  }
  return bytes;
}

// An 8-bit image with the given colour table (biClrUsed = its size) and every pixel
// index 0.
inline std::vector<std::uint8_t> MakeBmp8(int width, int height, const std::vector<ColorRef>& table) {
  const std::size_t rowBytes = (static_cast<std::size_t>(width) + 3) / 4 * 4;
  const std::size_t tableBytes = table.size() * 4;
  std::vector<std::uint8_t> bytes(kHeadersBytes + tableBytes + rowBytes * height, 0);
  bytes[0] = 'B';
  bytes[1] = 'M';
  PutU32(bytes, 2, static_cast<std::uint32_t>(bytes.size()));
  PutU32(bytes, kPixelOffsetField, static_cast<std::uint32_t>(kHeadersBytes + tableBytes));
  PutU32(bytes, kHeaderSizeField, 40);
  PutU32(bytes, kWidthField, static_cast<std::uint32_t>(width));
  PutU32(bytes, kHeightField, static_cast<std::uint32_t>(height));
  PutU16(bytes, 26, 1);
  PutU16(bytes, kBitCountField, 8);
  PutU32(bytes, kColorsUsedField, static_cast<std::uint32_t>(table.size()));
  for (std::size_t i = 0; i < table.size(); ++i) {
    bytes[kHeadersBytes + i * 4] = static_cast<std::uint8_t>(table[i] >> 16);
    bytes[kHeadersBytes + i * 4 + 1] = static_cast<std::uint8_t>(table[i] >> 8);
    bytes[kHeadersBytes + i * 4 + 2] = static_cast<std::uint8_t>(table[i]);
  }
  return bytes;
}

// The raw RGB565 value of a colour, as the display's surfaces store it.
constexpr std::uint16_t Rgb565(ColorRef color) {
  return static_cast<std::uint16_t>((((color & 0xFF) >> 3) << 11) | (((color >> 8 & 0xFF) >> 2) << 5) |
                                    ((color >> 16 & 0xFF) >> 3));
}

}  // namespace velmora::testing
