#include "platform/PngWriter.h"

#include <algorithm>
#include <array>
#include <cstdio>

namespace velmora {
namespace {

constexpr std::array<std::uint8_t, 8> kPngSignature = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
// PNG limits width and height to 2^31 - 1.
constexpr std::int64_t kMaxDimensionPixels = 0x7FFFFFFF;
// A stored deflate block carries at most 65535 bytes (its length field is 16 bits).
constexpr std::size_t kMaxStoredBlockBytes = 65535;
// Modulus of Adler-32: the largest prime below 2^16.
constexpr std::uint32_t kAdlerModulus = 65521;
constexpr std::uint8_t kBitDepth = 8;
constexpr std::uint8_t kColourTypeRgb = 2;
constexpr std::uint8_t kColourTypeRgba = 6;
constexpr std::uint8_t kFilterNone = 0;

constexpr std::array<std::uint32_t, 256> MakeCrcTable() {
  std::array<std::uint32_t, 256> table{};
  for (std::uint32_t n = 0; n < 256; ++n) {
    std::uint32_t c = n;
    for (int bit = 0; bit < 8; ++bit) c = (c & 1u) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
    table[n] = c;
  }
  return table;
}
constexpr std::array<std::uint32_t, 256> kCrcTable = MakeCrcTable();

void PutBigEndian32(std::vector<std::uint8_t>& out, std::uint32_t value) {
  out.push_back(static_cast<std::uint8_t>(value >> 24));
  out.push_back(static_cast<std::uint8_t>(value >> 16));
  out.push_back(static_cast<std::uint8_t>(value >> 8));
  out.push_back(static_cast<std::uint8_t>(value));
}

// Length, type, data and a CRC over type and data.
void PutChunk(std::vector<std::uint8_t>& out, const char (&type)[5], const std::vector<std::uint8_t>& data) {
  PutBigEndian32(out, static_cast<std::uint32_t>(data.size()));
  const std::size_t typeStart = out.size();
  out.insert(out.end(), type, type + 4);
  out.insert(out.end(), data.begin(), data.end());
  PutBigEndian32(out, Crc32(out.data() + typeStart, out.size() - typeStart));
}

// zlib header, the filtered rows in stored deflate blocks, Adler-32 of the rows.
std::vector<std::uint8_t> StoredZlibStream(const std::vector<std::uint8_t>& raw) {
  std::vector<std::uint8_t> out;
  const std::size_t blockCount = raw.empty() ? 1 : (raw.size() + kMaxStoredBlockBytes - 1) / kMaxStoredBlockBytes;
  out.reserve(raw.size() + blockCount * 5 + 6);
  // CMF 0x78: deflate with a 32 KiB window; FLG 0x01 makes CMF * 256 + FLG a multiple of 31.
  out.push_back(0x78);
  out.push_back(0x01);
  std::size_t offset = 0;
  do {
    const std::size_t length = std::min(kMaxStoredBlockBytes, raw.size() - offset);
    const bool last = offset + length == raw.size();
    out.push_back(last ? 1 : 0);  // BFINAL bit, BTYPE 00 (stored)
    const auto len16 = static_cast<std::uint16_t>(length);
    const auto nlen16 = static_cast<std::uint16_t>(~len16);
    out.push_back(static_cast<std::uint8_t>(len16 & 0xFF));
    out.push_back(static_cast<std::uint8_t>(len16 >> 8));
    out.push_back(static_cast<std::uint8_t>(nlen16 & 0xFF));
    out.push_back(static_cast<std::uint8_t>(nlen16 >> 8));
    out.insert(out.end(), raw.begin() + static_cast<std::ptrdiff_t>(offset),
               raw.begin() + static_cast<std::ptrdiff_t>(offset + length));
    offset += length;
  } while (offset < raw.size());
  PutBigEndian32(out, Adler32(raw.data(), raw.size()));
  return out;
}

}  // namespace

std::uint32_t Crc32(const std::uint8_t* data, std::size_t size, std::uint32_t previous) {
  std::uint32_t c = previous ^ 0xFFFFFFFFu;
  for (std::size_t i = 0; i < size; ++i) c = kCrcTable[(c ^ data[i]) & 0xFFu] ^ (c >> 8);
  return c ^ 0xFFFFFFFFu;
}

std::uint32_t Adler32(const std::uint8_t* data, std::size_t size, std::uint32_t previous) {
  std::uint32_t a = previous & 0xFFFFu;
  std::uint32_t b = previous >> 16;
  // 5552 is the longest run whose sums cannot overflow 32 bits before the modulo.
  constexpr std::size_t kRunBytes = 5552;
  while (size > 0) {
    const std::size_t run = std::min(size, kRunBytes);
    for (std::size_t i = 0; i < run; ++i) {
      a += data[i];
      b += a;
    }
    a %= kAdlerModulus;
    b %= kAdlerModulus;
    data += run;
    size -= run;
  }
  return (b << 16) | a;
}

std::vector<std::uint8_t> EncodePng(std::int32_t width, std::int32_t height, PngPixelFormat format,
                                    const std::uint8_t* pixels, std::size_t rowStrideBytes) {
  if (width <= 0 || height <= 0 || width > kMaxDimensionPixels || height > kMaxDimensionPixels ||
      pixels == nullptr) {
    return {};
  }
  const std::size_t bytesPerPixel = format == PngPixelFormat::kRgb24 ? 3 : 4;
  const std::size_t rowBytes = static_cast<std::size_t>(width) * bytesPerPixel;
  if (rowStrideBytes == 0) rowStrideBytes = rowBytes;
  if (rowStrideBytes < rowBytes) return {};
  // The image data goes into one IDAT chunk, whose length field must stay below 2^31;
  // halving the limit leaves ample room for the few bytes each stored block adds.
  constexpr std::size_t kMaxChunkBytes = 0x7FFFFFFF;
  if (rowBytes + 1 > kMaxChunkBytes / 2 / static_cast<std::size_t>(height)) return {};

  // Every row is preceded by its filter byte; no filtering is applied.
  std::vector<std::uint8_t> raw;
  raw.reserve((rowBytes + 1) * static_cast<std::size_t>(height));
  for (std::int32_t row = 0; row < height; ++row) {
    raw.push_back(kFilterNone);
    const std::uint8_t* start = pixels + static_cast<std::size_t>(row) * rowStrideBytes;
    raw.insert(raw.end(), start, start + rowBytes);
  }

  std::vector<std::uint8_t> header;
  PutBigEndian32(header, static_cast<std::uint32_t>(width));
  PutBigEndian32(header, static_cast<std::uint32_t>(height));
  header.push_back(kBitDepth);
  header.push_back(format == PngPixelFormat::kRgb24 ? kColourTypeRgb : kColourTypeRgba);
  header.push_back(0);  // compression method: deflate
  header.push_back(0);  // filter method: adaptive (only "none" is used)
  header.push_back(0);  // no interlace

  std::vector<std::uint8_t> file(kPngSignature.begin(), kPngSignature.end());
  PutChunk(file, "IHDR", header);
  PutChunk(file, "IDAT", StoredZlibStream(raw));
  PutChunk(file, "IEND", {});
  return file;
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
