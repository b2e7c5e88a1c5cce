#include "platform/PngWriter.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#ifdef VELMORA_HAVE_ZLIB
#include <zlib.h>
#endif

namespace velmora {
namespace {

struct Chunk {
  std::string type;
  std::vector<std::uint8_t> data;
  std::uint32_t storedCrc;
};

std::uint32_t ReadBigEndian32(const std::vector<std::uint8_t>& bytes, std::size_t at) {
  return (std::uint32_t{bytes[at]} << 24) | (std::uint32_t{bytes[at + 1]} << 16) |
         (std::uint32_t{bytes[at + 2]} << 8) | std::uint32_t{bytes[at + 3]};
}

// Splits a PNG file after its signature into chunks; fails the test on a bad layout.
std::vector<Chunk> SplitChunks(const std::vector<std::uint8_t>& file) {
  std::vector<Chunk> chunks;
  std::size_t at = 8;
  while (at + 12 <= file.size()) {
    const std::uint32_t length = ReadBigEndian32(file, at);
    EXPECT_LE(at + 12 + length, file.size());
    if (at + 12 + length > file.size()) break;
    Chunk chunk;
    chunk.type.assign(file.begin() + static_cast<std::ptrdiff_t>(at + 4), file.begin() + static_cast<std::ptrdiff_t>(at + 8));
    chunk.data.assign(file.begin() + static_cast<std::ptrdiff_t>(at + 8),
                      file.begin() + static_cast<std::ptrdiff_t>(at + 8 + length));
    chunk.storedCrc = ReadBigEndian32(file, at + 8 + length);
    chunks.push_back(chunk);
    at += 12 + length;
  }
  EXPECT_EQ(at, file.size()) << "trailing bytes after the last chunk";
  return chunks;
}

std::vector<std::uint8_t> Gradient(int width, int height, int bytesPerPixel) {
  std::vector<std::uint8_t> pixels(static_cast<std::size_t>(width) * height * bytesPerPixel);
  for (std::size_t i = 0; i < pixels.size(); ++i) pixels[i] = static_cast<std::uint8_t>(i * 7 + i / 13);
  return pixels;
}

TEST(PngWriterTest, ChecksumsMatchTheirPublishedCheckValues) {
  const std::string check = "123456789";
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(check.data());
  EXPECT_EQ(Crc32(bytes, check.size()), 0xCBF43926u);
  EXPECT_EQ(Adler32(bytes, check.size()), 0x091E01DEu);
  // Continuing a checksum over a split input gives the checksum of the whole.
  EXPECT_EQ(Crc32(bytes + 4, 5, Crc32(bytes, 4)), 0xCBF43926u);
  EXPECT_EQ(Adler32(bytes + 4, 5, Adler32(bytes, 4)), 0x091E01DEu);
}

TEST(PngWriterTest, FileHasSignatureHeaderFieldsAndValidChunkCrcs) {
  struct Case {
    PngPixelFormat format;
    int width, height, bytesPerPixel;
    std::uint8_t colourType;
  };
  for (const Case& c : {Case{PngPixelFormat::kRgb24, 7, 3, 3, 2}, Case{PngPixelFormat::kRgba32, 300, 260, 4, 6}}) {
    SCOPED_TRACE(c.width);
    const std::vector<std::uint8_t> pixels = Gradient(c.width, c.height, c.bytesPerPixel);
    const std::vector<std::uint8_t> file = EncodePng(c.width, c.height, c.format, pixels.data());
    ASSERT_GT(file.size(), 8u);
    EXPECT_EQ(std::vector<std::uint8_t>(file.begin(), file.begin() + 8),
              (std::vector<std::uint8_t>{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'}));
    const std::vector<Chunk> chunks = SplitChunks(file);
    ASSERT_EQ(chunks.size(), 3u);
    EXPECT_EQ(chunks[0].type, "IHDR");
    EXPECT_EQ(chunks[1].type, "IDAT");
    EXPECT_EQ(chunks[2].type, "IEND");
    const std::vector<std::uint8_t>& header = chunks[0].data;
    ASSERT_EQ(header.size(), 13u);
    EXPECT_EQ(ReadBigEndian32(header, 0), static_cast<std::uint32_t>(c.width));
    EXPECT_EQ(ReadBigEndian32(header, 4), static_cast<std::uint32_t>(c.height));
    EXPECT_EQ(header[8], 8);  // bit depth
    EXPECT_EQ(header[9], c.colourType);
    EXPECT_EQ(header[10] | header[11] | header[12], 0);
    for (const Chunk& chunk : chunks) {
      std::vector<std::uint8_t> covered(chunk.type.begin(), chunk.type.end());
      covered.insert(covered.end(), chunk.data.begin(), chunk.data.end());
      EXPECT_EQ(Crc32(covered.data(), covered.size()), chunk.storedCrc) << chunk.type;
    }
    // zlib header: deflate, and CMF * 256 + FLG a multiple of 31.
    EXPECT_EQ(chunks[1].data[0] & 0x0F, 8);
    EXPECT_EQ((chunks[1].data[0] * 256 + chunks[1].data[1]) % 31, 0);
  }
}

TEST(PngWriterTest, RefusesEmptyOversizedOrShortStrideImages) {
  const std::vector<std::uint8_t> pixels = Gradient(4, 4, 3);
  EXPECT_TRUE(EncodePng(0, 4, PngPixelFormat::kRgb24, pixels.data()).empty());
  EXPECT_TRUE(EncodePng(4, -1, PngPixelFormat::kRgb24, pixels.data()).empty());
  EXPECT_TRUE(EncodePng(4, 4, PngPixelFormat::kRgb24, nullptr).empty());
  EXPECT_TRUE(EncodePng(4, 4, PngPixelFormat::kRgb24, pixels.data(), 11).empty());
  EXPECT_TRUE(EncodePng(0x7FFFFFFF, 0x7FFFFFFF, PngPixelFormat::kRgb24, pixels.data()).empty());
}

// Undoes the PNG layer by hand and the zlib layer with zlib itself.
std::vector<std::uint8_t> InflatedImageData(const std::vector<std::uint8_t>& file) {
  std::vector<std::uint8_t> raw;
#ifdef VELMORA_HAVE_ZLIB
  const std::vector<Chunk> chunks = SplitChunks(file);
  std::vector<std::uint8_t> stream;
  for (const Chunk& chunk : chunks) {
    if (chunk.type == "IDAT") stream.insert(stream.end(), chunk.data.begin(), chunk.data.end());
  }
  raw.resize(ReadBigEndian32(chunks[0].data, 0) * 8 * ReadBigEndian32(chunks[0].data, 4) + 1024);
  uLongf rawSize = static_cast<uLongf>(raw.size());
  EXPECT_EQ(uncompress(raw.data(), &rawSize, stream.data(), static_cast<uLong>(stream.size())), Z_OK);
  raw.resize(rawSize);
#else
  (void)file;
#endif
  return raw;
}

TEST(PngWriterTest, ImageDataInflatesBackToFilteredRowsHonouringTheStride) {
#ifndef VELMORA_HAVE_ZLIB
  GTEST_SKIP() << "zlib not available";
#endif
  // 200 x 120 RGB rows of 600 bytes give more than one 65535-byte stored block; the
  // stride adds two padding bytes per row that must not reach the file.
  constexpr int kWidth = 200, kHeight = 120, kStride = kWidth * 3 + 2;
  std::vector<std::uint8_t> pixels = Gradient(kStride, kHeight, 1);
  const std::vector<std::uint8_t> raw =
      InflatedImageData(EncodePng(kWidth, kHeight, PngPixelFormat::kRgb24, pixels.data(), kStride));
  ASSERT_EQ(raw.size(), static_cast<std::size_t>(kHeight) * (kWidth * 3 + 1));
  for (int row = 0; row < kHeight; ++row) {
    const std::uint8_t* filtered = &raw[static_cast<std::size_t>(row) * (kWidth * 3 + 1)];
    ASSERT_EQ(filtered[0], 0) << "row " << row;
    ASSERT_EQ(std::vector<std::uint8_t>(filtered + 1, filtered + 1 + kWidth * 3),
              std::vector<std::uint8_t>(pixels.begin() + row * kStride, pixels.begin() + row * kStride + kWidth * 3))
        << "row " << row;
  }
}

TEST(PngWriterTest, ImageMagickReadsBackTheSamePixels) {
  if (std::system("command -v convert >/dev/null 2>&1") != 0) GTEST_SKIP() << "ImageMagick convert not found";
  constexpr int kWidth = 37, kHeight = 19;
  const std::vector<std::uint8_t> pixels = Gradient(kWidth, kHeight, 4);
  const std::filesystem::path dir = std::filesystem::temp_directory_path();
  const std::string png = (dir / "velmora_png_writer_test.png").string();
  const std::string rgba = (dir / "velmora_png_writer_test.rgba").string();
  ASSERT_TRUE(WritePng(png, kWidth, kHeight, PngPixelFormat::kRgba32, pixels.data()));
  ASSERT_EQ(std::system(("convert " + png + " -depth 8 rgba:" + rgba).c_str()), 0);
  std::FILE* in = std::fopen(rgba.c_str(), "rb");
  ASSERT_NE(in, nullptr);
  std::vector<std::uint8_t> decoded(pixels.size() + 1);
  const std::size_t read = std::fread(decoded.data(), 1, decoded.size(), in);
  std::fclose(in);
  decoded.resize(read);
  EXPECT_EQ(decoded, pixels);
  std::filesystem::remove(png);
  std::filesystem::remove(rgba);
}

TEST(PngWriterTest, WriteFailsForAnUnwritablePath) {
  const std::vector<std::uint8_t> pixels = Gradient(2, 2, 3);
  EXPECT_FALSE(WritePng("/nonexistent-dir/x.png", 2, 2, PngPixelFormat::kRgb24, pixels.data()));
}

}  // namespace
}  // namespace velmora
