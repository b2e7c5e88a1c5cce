#pragma once
// The sharp pictures kept on disk per screen size, so that a start on a screen the
// exhibit has shown before has its sharp picture from the first frame instead of
// painting it again. One file per size and fit in a folder of its own (by default
// $XDG_CACHE_HOME/velmora, else ~/.cache/velmora), stamped with the program's build
// and a checksum: a file another build wrote, or a damaged one, is ignored, and the
// pictures painted anew replace it. A file is written under a temporary name and
// renamed into place, so no reader ever sees half of one. A folder that cannot be
// written costs only the cache: the pictures are then painted at every start.
//
// A file holds what the painting makes (background and bodies, 4 bytes a screen
// pixel: 8 MB at 1920 x 1080, 33 MB at 3840 x 2160); the labels, set from the font
// on the thread that draws text, are set again after loading.

#include <memory>
#include <string>

#include "display/SharpPictures.h"

namespace velmora {

// $XDG_CACHE_HOME/velmora, or ~/.cache/velmora; empty if neither variable is set.
std::string DefaultPictureCacheFolder();

class SharpPictureCache {
public:
  // Files in `folder` for the program build `build`; an empty folder or build keeps
  // nothing.
  SharpPictureCache(std::string folder, std::string build);

  bool Enabled() const { return !folder.empty() && !build.empty(); }
  // The file for a size and fit.
  std::string PathFor(int width, int height, SharpFit fit) const;
  // The pictures of a size and fit (without labels) if a file of this build holds
  // them intact; null otherwise.
  std::unique_ptr<SharpPictures> Load(int width, int height, SharpFit fit) const;
  // Keeps the pictures; false with the reason in `error`.
  bool Store(const SharpPictures& pictures, SharpFit fit, std::string* error) const;

private:
  std::string folder;
  std::string build;
};

}  // namespace velmora
