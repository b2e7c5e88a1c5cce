#pragma once
// The program's icon: a neuron in the exhibit's colours on a rounded tile of its
// sepia ground, a glowing green cell body with dendrites and an axon that ends in a
// synapse. Painted from shapes at each size, so that it stays legible at 32 pixels.

#include <cstdint>
#include <vector>

namespace velmora {

// Top row first, pixels left to right, 4 bytes each: red, green, blue, alpha
// (straight, not premultiplied).
struct RgbaImage {
  int width = 0;   // pixels
  int height = 0;  // pixels
  std::vector<std::uint8_t> rgba;
};

RgbaImage PaintIcon(int sizePixels);

}  // namespace velmora
