#pragma once
// Files built into the program besides the pictures, embedded at build time: the text
// font's two faces, so that the exhibit needs no font installed where it runs, and
// the window's icon.

#include <cstddef>
#include <cstdint>

namespace velmora {

struct BuiltInFile {
  const std::uint8_t* data;
  std::size_t size;  // bytes
};

enum class FontFace { Regular, Bold };

// The whole TrueType file of a face of the sans-serif font.
BuiltInFile BuiltInFont(FontFace face);

// Width and height of the window's icon, pixels.
inline constexpr int kWindowIconPixels = 64;

// The window's icon: kWindowIconPixels rows of kWindowIconPixels pixels, top row
// first, 4 bytes each: red, green, blue, alpha (straight).
BuiltInFile BuiltInWindowIcon();

}  // namespace velmora
