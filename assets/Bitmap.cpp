#include "assets/Bitmap.h"

namespace velmora {

namespace {

constexpr std::uint32_t kFileHeaderBytes = 14;
constexpr std::uint32_t kInfoHeaderBytes = 40;
constexpr std::uint16_t kBitsPerPixel = 24;

void Put16(std::vector<std::uint8_t>& out, std::uint16_t v) {
  out.push_back(static_cast<std::uint8_t>(v));
  out.push_back(static_cast<std::uint8_t>(v >> 8));
}

void Put32(std::vector<std::uint8_t>& out, std::uint32_t v) {
  for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<std::uint8_t>(v >> shift));
}

}  // namespace

std::vector<std::uint8_t> EncodeBmp(const RgbImage& image, std::int32_t pixelsPerMetre) {
  const std::uint32_t rowBytes = (static_cast<std::uint32_t>(image.width) * 3u + 3u) & ~3u;
  const std::uint32_t imageBytes = rowBytes * static_cast<std::uint32_t>(image.height);
  const std::uint32_t offset = kFileHeaderBytes + kInfoHeaderBytes;

  std::vector<std::uint8_t> out;
  out.reserve(offset + imageBytes);
  out.push_back('B');
  out.push_back('M');
  Put32(out, offset + imageBytes);
  Put32(out, 0);  // two reserved words
  Put32(out, offset);

  Put32(out, kInfoHeaderBytes);
  Put32(out, static_cast<std::uint32_t>(image.width));
  Put32(out, static_cast<std::uint32_t>(image.height));  // positive: bottom-up
  Put16(out, 1);                                         // planes
  Put16(out, kBitsPerPixel);
  Put32(out, 0);  // no compression
  Put32(out, imageBytes);
  Put32(out, static_cast<std::uint32_t>(pixelsPerMetre));
  Put32(out, static_cast<std::uint32_t>(pixelsPerMetre));
  Put32(out, 0);  // colours used: no table
  Put32(out, 0);  // important colours

  for (int y = image.height - 1; y >= 0; --y) {
    for (int x = 0; x < image.width; ++x) {
      const Rgb& p = image.At(x, y);
      out.push_back(p.b);
      out.push_back(p.g);
      out.push_back(p.r);
    }
    for (std::uint32_t pad = static_cast<std::uint32_t>(image.width) * 3u; pad < rowBytes; ++pad) out.push_back(0);
  }
  return out;
}

}  // namespace velmora
