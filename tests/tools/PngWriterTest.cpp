#include "platform/PngWriter.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "tests/tools/PngDecoding.h"

namespace velmora {
namespace {

std::vector<std::uint8_t> Gradient(std::size_t bytes) {
  std::vector<std::uint8_t> pixels(bytes);
  for (std::size_t i = 0; i < pixels.size(); ++i) pixels[i] = static_cast<std::uint8_t>(i * 7 + i / 13);
  return pixels;
}

TEST(PngWriterTest, FileReadsBackAsTheSamePixelsLeavingOutTheRowPadding) {
  struct Case {
    PngPixelFormat format;
    int width, height, bytesPerPixel, paddingBytes;
    PngCompression compression;
  };
  for (const Case& c : {Case{PngPixelFormat::kRgb24, 200, 120, 3, 2, PngCompression::kSmallest},
                        Case{PngPixelFormat::kRgba32, 37, 19, 4, 0, PngCompression::kSmallest},
                        Case{PngPixelFormat::kRgb24, 200, 120, 3, 2, PngCompression::kFast}}) {
    SCOPED_TRACE(std::to_string(c.width) + (c.compression == PngCompression::kFast ? " fast" : ""));
    const std::size_t rowBytes = static_cast<std::size_t>(c.width) * c.bytesPerPixel;
    const std::size_t stride = rowBytes + c.paddingBytes;
    const std::vector<std::uint8_t> pixels = Gradient(stride * c.height);
    const DecodedPng decoded = DecodePng(EncodePng(c.width, c.height, c.format, pixels.data(), stride, c.compression),
                                         c.bytesPerPixel == 4);
    ASSERT_EQ(decoded.width, static_cast<std::uint32_t>(c.width));
    ASSERT_EQ(decoded.height, static_cast<std::uint32_t>(c.height));
    for (int row = 0; row < c.height; ++row) {
      ASSERT_TRUE(std::equal(pixels.begin() + row * stride, pixels.begin() + row * stride + rowBytes,
                             decoded.pixels.begin() + row * rowBytes))
          << "row " << row;
    }
  }
}

TEST(PngWriterTest, RefusesEmptyOversizedOrShortStrideImages) {
  const std::vector<std::uint8_t> pixels = Gradient(4 * 4 * 3);
  EXPECT_TRUE(EncodePng(0, 4, PngPixelFormat::kRgb24, pixels.data()).empty());
  EXPECT_TRUE(EncodePng(4, -1, PngPixelFormat::kRgb24, pixels.data()).empty());
  EXPECT_TRUE(EncodePng(4, 4, PngPixelFormat::kRgb24, nullptr).empty());
  EXPECT_TRUE(EncodePng(4, 4, PngPixelFormat::kRgb24, pixels.data(), 11).empty());
  EXPECT_FALSE(WritePng("/nonexistent-dir/x.png", 2, 2, PngPixelFormat::kRgb24, pixels.data()));
}

}  // namespace
}  // namespace velmora
