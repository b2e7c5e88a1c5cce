#include "display/SharpPictureCache.h"

#include "assets/Painting.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace velmora {
namespace {

constexpr char kMagic[8] = {'V', 'L', 'M', 'S', 'H', 'A', 'R', 'P'};
// Raised whenever what a file holds changes shape.
constexpr std::uint32_t kFormatVersion = 1;
// A body sprite spans its sprite cell at the pictures' scale, give or take a pixel.
constexpr int kSpriteSlackPixels = 2;
constexpr std::uint32_t kLongestBuildId = 256;  // bytes
constexpr std::uint64_t kChecksumStart = 0xcbf29ce484222325ull;
constexpr std::uint64_t kChecksumPrime = 0x100000001b3ull;

// A checksum over everything written or read, in the same pieces both ways: each
// piece taken in 8-byte words, its tail byte by byte.
void AddToChecksum(std::uint64_t& sum, const void* data, std::size_t bytes) {
  const auto* p = static_cast<const unsigned char*>(data);
  std::size_t i = 0;
  for (; i + 8 <= bytes; i += 8) {
    std::uint64_t word = 0;
    std::memcpy(&word, p + i, 8);
    sum = (sum ^ word) * kChecksumPrime;
  }
  for (; i < bytes; ++i) sum = (sum ^ p[i]) * kChecksumPrime;
}

class Writer {
public:
  explicit Writer(std::FILE* target) : file(target) {}
  void Bytes(const void* data, std::size_t bytes) {
    AddToChecksum(sum, data, bytes);
    ok = ok && std::fwrite(data, 1, bytes, file) == bytes;
  }
  template <typename T>
  void Value(T value) { Bytes(&value, sizeof value); }
  template <typename T>
  void All(const std::vector<T>& values) { Bytes(values.data(), values.size() * sizeof(T)); }
  bool Finish() {
    const std::uint64_t total = sum;
    ok = ok && std::fwrite(&total, 1, sizeof total, file) == sizeof total;
    return ok;
  }

private:
  std::FILE* file;
  std::uint64_t sum = kChecksumStart;
  bool ok = true;
};

class Reader {
public:
  explicit Reader(std::FILE* source) : file(source) {}
  bool Bytes(void* data, std::size_t bytes) {
    ok = ok && std::fread(data, 1, bytes, file) == bytes;
    if (ok) AddToChecksum(sum, data, bytes);
    return ok;
  }
  template <typename T>
  T Value() {
    T value{};
    Bytes(&value, sizeof value);
    return value;
  }
  template <typename T>
  bool All(std::vector<T>& values, std::size_t count) {
    values.resize(count);
    return Bytes(values.data(), count * sizeof(T));
  }
  // The stored checksum matches and nothing follows it.
  bool Finish() {
    std::uint64_t stored = 0;
    const std::uint64_t computed = sum;
    return ok && std::fread(&stored, 1, sizeof stored, file) == sizeof stored && stored == computed &&
           std::fgetc(file) == EOF;
  }
  bool Ok() const { return ok; }

private:
  std::FILE* file;
  std::uint64_t sum = kChecksumStart;
  bool ok = true;
};

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

}  // namespace

std::string DefaultPictureCacheFolder() {
  if (const char* cache = std::getenv("XDG_CACHE_HOME"); cache != nullptr && cache[0] == '/') {
    return std::string(cache) + "/velmora";
  }
  if (const char* home = std::getenv("HOME"); home != nullptr && home[0] != '\0') {
    return std::string(home) + "/.cache/velmora";
  }
  return {};
}

SharpPictureCache::SharpPictureCache(std::string folder_, std::string build_)
    : folder(std::move(folder_)), build(std::move(build_)) {}

std::string SharpPictureCache::PathFor(int width, int height, SharpFit fit) const {
  return folder + "/pictures-" + std::to_string(width) + "x" + std::to_string(height) +
         (fit == SharpFit::kFill ? "-fill" : "-letterbox") + ".bin";
}

std::unique_ptr<SharpPictures> SharpPictureCache::Load(int width, int height, SharpFit fit) const {
  if (!Enabled()) return nullptr;
  const File file(std::fopen(PathFor(width, height, fit).c_str(), "rbe"));
  if (!file) return nullptr;
  Reader in(file.get());
  char magic[sizeof kMagic] = {};
  in.Bytes(magic, sizeof magic);
  if (!in.Ok() || std::memcmp(magic, kMagic, sizeof kMagic) != 0 || in.Value<std::uint32_t>() != kFormatVersion) {
    return nullptr;
  }
  const auto buildBytes = in.Value<std::uint32_t>();
  if (buildBytes != build.size() || buildBytes > kLongestBuildId) return nullptr;
  std::string stored(buildBytes, '\0');
  if (!in.Bytes(stored.data(), stored.size()) || stored != build) return nullptr;
  if (in.Value<std::int32_t>() != width || in.Value<std::int32_t>() != height ||
      in.Value<std::int32_t>() != static_cast<std::int32_t>(fit)) {
    return nullptr;
  }
  auto pictures = std::make_unique<SharpPictures>();
  PaintPlacement& placement = pictures->placement;
  placement.scale = in.Value<double>();
  placement.offsetX = in.Value<std::int32_t>();
  placement.offsetY = in.Value<std::int32_t>();
  placement.width = in.Value<std::int32_t>();
  placement.height = in.Value<std::int32_t>();
  placement.fillBeyondDesign = in.Value<std::uint8_t>() != 0;
  pictures->sheetCellPixels = in.Value<std::int32_t>();
  // The placement is the one this size and fit always get; a body's sprite is its
  // sprite cell at that scale. Checked before anything is allocated by the sizes read.
  const PaintPlacement wanted = FitDesign(width, height, fit == SharpFit::kFill);
  if (!in.Ok() || placement.width != width || placement.height != height || placement.scale != wanted.scale ||
      placement.offsetX != wanted.offsetX || placement.offsetY != wanted.offsetY ||
      placement.fillBeyondDesign != wanted.fillBeyondDesign || pictures->sheetCellPixels != kSpriteCellPixels) {
    return nullptr;
  }
  const int largestSpriteSide = static_cast<int>(std::ceil(kSpriteCellPixels * wanted.scale)) + kSpriteSlackPixels;
  for (SharpBody& body : pictures->bodies) {
    BodySprite& sprite = body.sprite;
    sprite.left = in.Value<std::int32_t>();
    sprite.top = in.Value<std::int32_t>();
    sprite.width = in.Value<std::int32_t>();
    sprite.height = in.Value<std::int32_t>();
    body.cut.x = in.Value<std::int32_t>();
    body.cut.y = in.Value<std::int32_t>();
    if (!in.Ok() || sprite.width < 0 || sprite.height < 0 || sprite.width > largestSpriteSide ||
        sprite.height > largestSpriteSide) {
      return nullptr;
    }
  }
  pictures->background.width = width;
  pictures->background.height = height;
  if (!in.All(pictures->background.pixels, static_cast<std::size_t>(width) * static_cast<std::size_t>(height))) {
    return nullptr;
  }
  for (SharpBody& body : pictures->bodies) {
    const std::size_t count = static_cast<std::size_t>(body.sprite.width) * static_cast<std::size_t>(body.sprite.height);
    if (!in.All(body.sprite.pixels, count) || !in.All(body.glowStep, count) || !in.All(body.glowStepFraction, count)) {
      return nullptr;
    }
  }
  if (!in.Finish()) return nullptr;
  return pictures;
}

bool SharpPictureCache::Store(const SharpPictures& pictures, SharpFit fit, std::string* error) const {
  const auto fail = [&](const std::string& what) {
    if (error != nullptr) *error = what;
    return false;
  };
  if (!Enabled()) return fail("no folder to keep them in");
  std::error_code made;
  std::filesystem::create_directories(folder, made);
  if (made) return fail("cannot make " + folder + ": " + made.message());
  const std::string path = PathFor(pictures.Width(), pictures.Height(), fit);
  std::string temporary = path + ".XXXXXX";
  const int descriptor = mkostemp(temporary.data(), O_CLOEXEC);
  if (descriptor < 0) return fail("cannot write in " + folder + ": " + std::strerror(errno));
  File file(fdopen(descriptor, "wb"));
  if (!file) {
    close(descriptor);
    std::remove(temporary.c_str());
    return fail("cannot write " + temporary);
  }
  Writer out(file.get());
  out.Bytes(kMagic, sizeof kMagic);
  out.Value(kFormatVersion);
  out.Value(static_cast<std::uint32_t>(build.size()));
  out.Bytes(build.data(), build.size());
  out.Value(static_cast<std::int32_t>(pictures.Width()));
  out.Value(static_cast<std::int32_t>(pictures.Height()));
  out.Value(static_cast<std::int32_t>(fit));
  const PaintPlacement& placement = pictures.placement;
  out.Value(placement.scale);
  out.Value(static_cast<std::int32_t>(placement.offsetX));
  out.Value(static_cast<std::int32_t>(placement.offsetY));
  out.Value(static_cast<std::int32_t>(placement.width));
  out.Value(static_cast<std::int32_t>(placement.height));
  out.Value(static_cast<std::uint8_t>(placement.fillBeyondDesign ? 1 : 0));
  out.Value(static_cast<std::int32_t>(pictures.sheetCellPixels));
  for (const SharpBody& body : pictures.bodies) {
    for (const int value : {body.sprite.left, body.sprite.top, body.sprite.width, body.sprite.height, body.cut.x, body.cut.y}) {
      out.Value(static_cast<std::int32_t>(value));
    }
  }
  out.All(pictures.background.pixels);
  for (const SharpBody& body : pictures.bodies) {
    // A body painted without the fraction keeps whole steps.
    std::vector<std::uint8_t> fraction = body.glowStepFraction;
    fraction.resize(body.sprite.pixels.size(), 0);
    out.All(body.sprite.pixels);
    out.All(body.glowStep);
    out.All(fraction);
  }
  const bool written = out.Finish() && std::fflush(file.get()) == 0;
  file.reset();
  if (!written || std::rename(temporary.c_str(), path.c_str()) != 0) {
    const std::string reason = std::strerror(errno);
    std::remove(temporary.c_str());
    return fail("cannot write " + path + ": " + reason);
  }
  return true;
}

}  // namespace velmora
