#include "platform/PngWriter.h"

#include <spng.h>

#include <cstdio>
#include <cstdlib>
#include <memory>

// libspng rather than libpng or SDL2_image: one small C library whose encoder takes
// rows with any stride and returns the file in memory, with no longjmp error handling
// and no SDL surface in between.

namespace velmora {
namespace {

constexpr std::uint8_t kBitDepth = 8;
constexpr int kFastCompressionLevel = 1;

struct ContextDeleter {
  void operator()(spng_ctx* context) const { spng_ctx_free(context); }
};
struct BufferDeleter {
  void operator()(void* buffer) const { std::free(buffer); }
};

}  // namespace

std::vector<std::uint8_t> EncodePng(std::int32_t width, std::int32_t height, PngPixelFormat format,
                                    const std::uint8_t* pixels, std::size_t rowStrideBytes,
                                    PngCompression compression) {
  if (width <= 0 || height <= 0 || pixels == nullptr) return {};
  const std::size_t bytesPerPixel = format == PngPixelFormat::kRgb24 ? 3 : 4;
  const std::size_t rowBytes = static_cast<std::size_t>(width) * bytesPerPixel;
  if (rowStrideBytes == 0) rowStrideBytes = rowBytes;
  if (rowStrideBytes < rowBytes) return {};

  const std::unique_ptr<spng_ctx, ContextDeleter> context(spng_ctx_new(SPNG_CTX_ENCODER));
  if (!context || spng_set_option(context.get(), SPNG_ENCODE_TO_BUFFER, 1) != 0) return {};
  // The "up" filter alone: on the exhibit's pictures nearly as good as choosing per row.
  if (compression == PngCompression::kFast &&
      (spng_set_option(context.get(), SPNG_IMG_COMPRESSION_LEVEL, kFastCompressionLevel) != 0 ||
       spng_set_option(context.get(), SPNG_FILTER_CHOICE, SPNG_FILTER_CHOICE_UP) != 0)) {
    return {};
  }
  spng_ihdr header{};
  header.width = static_cast<std::uint32_t>(width);
  header.height = static_cast<std::uint32_t>(height);
  header.bit_depth = kBitDepth;
  header.color_type = format == PngPixelFormat::kRgb24 ? SPNG_COLOR_TYPE_TRUECOLOR : SPNG_COLOR_TYPE_TRUECOLOR_ALPHA;
  if (spng_set_ihdr(context.get(), &header) != 0) return {};
  if (spng_encode_image(context.get(), nullptr, 0, SPNG_FMT_PNG, SPNG_ENCODE_PROGRESSIVE | SPNG_ENCODE_FINALIZE) !=
      0) {
    return {};
  }
  // Each row but the last gives 0; the last one ends the image.
  for (std::int32_t row = 0; row < height; ++row) {
    const int status =
        spng_encode_row(context.get(), pixels + static_cast<std::size_t>(row) * rowStrideBytes, rowBytes);
    if (status != (row + 1 == height ? SPNG_EOI : 0)) return {};
  }
  std::size_t size = 0;
  int error = 0;
  const std::unique_ptr<void, BufferDeleter> buffer(spng_get_png_buffer(context.get(), &size, &error));
  if (!buffer || error != 0) return {};
  const auto* bytes = static_cast<const std::uint8_t*>(buffer.get());
  return std::vector<std::uint8_t>(bytes, bytes + size);
}

bool WritePng(const std::string& path, std::int32_t width, std::int32_t height, PngPixelFormat format,
              const std::uint8_t* pixels, std::size_t rowStrideBytes) {
  const std::vector<std::uint8_t> file = EncodePng(width, height, format, pixels, rowStrideBytes);
  if (file.empty()) return false;
  std::FILE* out = std::fopen(path.c_str(), "wb");
  if (out == nullptr) return false;
  const bool written = std::fwrite(file.data(), 1, file.size(), out) == file.size();
  const bool closed = std::fclose(out) == 0;
  if (!(written && closed)) {
    std::remove(path.c_str());
    return false;
  }
  return true;
}

}  // namespace velmora
