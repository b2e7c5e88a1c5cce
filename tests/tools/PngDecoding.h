#pragma once
// Reading a PNG file back with libspng, for tests of what was written.

#include <spng.h>

#include <cstdint>
#include <memory>
#include <vector>

namespace velmora {

struct DecodedPng {
  std::uint32_t width = 0;   // pixels; 0 when the file could not be decoded
  std::uint32_t height = 0;  // pixels
  std::vector<std::uint8_t> pixels;  // rows top first, 8-bit RGB (or RGBA), no padding
};

inline DecodedPng DecodePng(const std::vector<std::uint8_t>& file, bool withAlpha) {
  DecodedPng decoded;
  const std::unique_ptr<spng_ctx, decltype(&spng_ctx_free)> context(spng_ctx_new(0), spng_ctx_free);
  spng_ihdr header{};
  const int format = withAlpha ? SPNG_FMT_RGBA8 : SPNG_FMT_RGB8;
  std::size_t size = 0;
  if (!context || spng_set_png_buffer(context.get(), file.data(), file.size()) != 0 ||
      spng_get_ihdr(context.get(), &header) != 0 || spng_decoded_image_size(context.get(), format, &size) != 0) {
    return decoded;
  }
  decoded.pixels.resize(size);
  if (spng_decode_image(context.get(), decoded.pixels.data(), size, format, 0) != 0) return {};
  decoded.width = header.width;
  decoded.height = header.height;
  return decoded;
}

}  // namespace velmora
