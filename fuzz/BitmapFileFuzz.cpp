// Any bytes as a bitmap: decoded from memory, loaded from a file by name (with and
// without scaling), and read for a palette both from a file and as a built-in image.
// AddressSanitizer catches any read outside the bytes; the checks below catch
// surfaces and palettes that do not match what was asked for.

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

#include "assets/BuiltInImages.h"
#include "display/BitmapLoading.h"

namespace velmora {
namespace {

constexpr const char* kBuiltInName = "FUZZIMAGE";

// The bytes of the current input, handed out as the one built-in image.
BuiltInImage currentImage{kBuiltInName, nullptr, 0};

const BuiltInImage* FuzzLookup(std::string_view name) {
  return name == kBuiltInName ? &currentImage : nullptr;
}

void Check(bool condition, const char* what) {
  if (!condition) {
    std::fprintf(stderr, "bitmap loading invariant broken: %s\n", what);
    std::abort();
  }
}

const std::string& ScratchPath() {
  static const std::string path =
      "/tmp/velmora-fuzz-bitmap-" + std::to_string(static_cast<long>(getpid())) + ".bmp";
  return path;
}

bool WriteScratch(const std::uint8_t* data, std::size_t size) {
  std::FILE* file = std::fopen(ScratchPath().c_str(), "wb");
  if (file == nullptr) return false;
  const bool written = size == 0 || std::fwrite(data, 1, size, file) == size;
  return std::fclose(file) == 0 && written;
}

void CheckSurface(const SurfacePtr& surface, int width, int height) {
  if (!surface) return;
  Check(surface->format->format == SDL_PIXELFORMAT_RGB565, "a loaded surface is not RGB565");
  if (width != 0) Check(surface->w == width, "a scaled surface has the wrong width");
  if (height != 0) Check(surface->h == height, "a scaled surface has the wrong height");
}

}  // namespace
}  // namespace velmora

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace velmora;

  // Exactly the input's bytes in a buffer of their own, so any read past them is seen.
  std::uint8_t* copy = static_cast<std::uint8_t*>(std::malloc(size == 0 ? 1 : size));
  if (copy == nullptr) return 0;
  if (size != 0) std::memcpy(copy, data, size);

  SurfacePtr decoded = DecodeBitmapFile(copy, size);
  CheckSurface(decoded, 0, 0);

  currentImage.data = copy;
  currentImage.size = size;
  const std::unique_ptr<Palette> builtInPalette = LoadBitmapPalette(kBuiltInName, &FuzzLookup);
  Check(builtInPalette != nullptr, "no palette from a built-in image");
  SurfacePtr builtIn = LoadBitmapSurface(kBuiltInName, 0, 0, &FuzzLookup);
  Check(static_cast<bool>(builtIn) == static_cast<bool>(decoded),
        "a built-in image loads differently from its decoded bytes");
  CheckSurface(builtIn, 0, 0);

  if (WriteScratch(copy, size)) {
    const std::string& path = ScratchPath();
    const std::unique_ptr<Palette> filePalette = LoadBitmapPalette(path.c_str(), &FuzzLookup);
    Check(filePalette != nullptr, "no palette from a file");
    SurfacePtr fromFile = LoadBitmapSurface(path, 0, 0, &FuzzLookup);
    Check(static_cast<bool>(fromFile) == static_cast<bool>(decoded),
          "a bitmap file loads differently from its decoded bytes");
    CheckSurface(fromFile, 0, 0);
    // A scaled load, to a size taken from the input so shrinking and stretching both run.
    const int width = size > 0 ? 1 + copy[0] % 64 : 8;
    const int height = size > 1 ? 1 + copy[1] % 64 : 8;
    SurfacePtr scaled = LoadBitmapSurface(path, width, height, &FuzzLookup);
    CheckSurface(scaled, width, height);
    std::remove(path.c_str());
  }

  currentImage.data = nullptr;
  currentImage.size = 0;
  std::free(copy);
  return 0;
}
