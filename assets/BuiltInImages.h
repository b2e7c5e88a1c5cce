#pragma once
// The three pictures built into the program (complete bitmap files, embedded at
// build time): "BACKGROUND", "LABELEDBACK" and "SOMAS".

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace velmora {

struct BuiltInImage {
  const char* name;           // upper case
  const std::uint8_t* data;   // the whole bitmap file
  std::size_t size;           // bytes
};

// The built-in image with this name, compared without regard to case; null if none.
const BuiltInImage* FindBuiltInImage(std::string_view name);

}  // namespace velmora
