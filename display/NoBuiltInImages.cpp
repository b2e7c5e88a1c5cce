#include "assets/BuiltInImages.h"

namespace velmora {

// A build without built-in pictures: every image name is looked up as a file.
const BuiltInImage* FindBuiltInImage(std::string_view) { return nullptr; }

}  // namespace velmora
