#pragma once
// An RGB picture in memory and its encoding as an uncompressed 24-bit bitmap file.

#include <cstdint>
#include <vector>

namespace velmora {

struct Rgb {
  std::uint8_t r, g, b;
  friend bool operator==(const Rgb&, const Rgb&) = default;
};

// Top row first, pixels left to right.
struct RgbImage {
  int width = 0;   // pixels
  int height = 0;  // pixels
  std::vector<Rgb> pixels;

  RgbImage() = default;
  RgbImage(int w, int h) : width(w), height(h), pixels(static_cast<std::size_t>(w) * static_cast<std::size_t>(h)) {}
  Rgb& At(int x, int y) { return pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x)]; }
  const Rgb& At(int x, int y) const {
    return pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x)];
  }
};

// The whole file: file header, 40-byte info header, no colour table, rows bottom-up
// in blue-green-red order, each padded to four bytes.
std::vector<std::uint8_t> EncodeBmp(const RgbImage& image, std::int32_t pixelsPerMetre);

}  // namespace velmora
