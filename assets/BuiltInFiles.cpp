#include "assets/BuiltInFiles.h"

// Bounds of the embedded files (assembled from the font files and the generated icon).
extern "C" {
extern const std::uint8_t velmora_font_regular_begin[];
extern const std::uint8_t velmora_font_regular_end[];
extern const std::uint8_t velmora_font_bold_begin[];
extern const std::uint8_t velmora_font_bold_end[];
extern const std::uint8_t velmora_window_icon_begin[];
extern const std::uint8_t velmora_window_icon_end[];
}

namespace velmora {

namespace {

BuiltInFile Between(const std::uint8_t* begin, const std::uint8_t* end) {
  return {begin, static_cast<std::size_t>(end - begin)};
}

}  // namespace

BuiltInFile BuiltInFont(FontFace face) {
  return face == FontFace::Bold ? Between(velmora_font_bold_begin, velmora_font_bold_end)
                                : Between(velmora_font_regular_begin, velmora_font_regular_end);
}

BuiltInFile BuiltInWindowIcon() { return Between(velmora_window_icon_begin, velmora_window_icon_end); }

}  // namespace velmora
