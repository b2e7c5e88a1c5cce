#include "assets/BuiltInImages.h"

#include <algorithm>
#include <array>
#include <cctype>

// Bounds of the embedded bitmap files (assembled from the generated files).
extern "C" {
extern const std::uint8_t velmora_image_background_begin[];
extern const std::uint8_t velmora_image_background_end[];
extern const std::uint8_t velmora_image_labeledback_begin[];
extern const std::uint8_t velmora_image_labeledback_end[];
extern const std::uint8_t velmora_image_somas_begin[];
extern const std::uint8_t velmora_image_somas_end[];
}

namespace velmora {

namespace {

std::size_t Span(const std::uint8_t* begin, const std::uint8_t* end) { return static_cast<std::size_t>(end - begin); }

const std::array<BuiltInImage, 3>& Images() {
  static const std::array<BuiltInImage, 3> images = {{
      {"BACKGROUND", velmora_image_background_begin,
       Span(velmora_image_background_begin, velmora_image_background_end)},
      {"LABELEDBACK", velmora_image_labeledback_begin,
       Span(velmora_image_labeledback_begin, velmora_image_labeledback_end)},
      {"SOMAS", velmora_image_somas_begin, Span(velmora_image_somas_begin, velmora_image_somas_end)},
  }};
  return images;
}

bool SameLetters(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::toupper(static_cast<unsigned char>(x)) == std::toupper(static_cast<unsigned char>(y));
         });
}

}  // namespace

const BuiltInImage* FindBuiltInImage(std::string_view name) {
  for (const BuiltInImage& image : Images()) {
    if (SameLetters(image.name, name)) return &image;
  }
  return nullptr;
}

}  // namespace velmora
