// velmora-assetgen: makes the neurite path tables and the three built-in pictures
// from the control points, checks every rule they must keep, and fails loudly if one
// is broken.
//
//   velmora-assetgen --path-tables OUT.cpp   write the generated tables
//   velmora-assetgen --images DIR            write BACKGROUND.bmp, LABELEDBACK.bmp, SOMAS.bmp
//   velmora-assetgen --icons DIR SIZE,...    write velmora-SIZE.png for each size and the
//                                            window's icon as raw pixels, window-icon.rgba
//   velmora-assetgen --report                print every path's length and padding

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "assets/BuiltInFiles.h"
#include "assets/Icon.h"
#include "assets/Labels.h"
#include "assets/NeuritePaths.h"
#include "assets/Painting.h"
#include "platform/PngWriter.h"

namespace {

using namespace velmora;

// Writes the file only when its text changes, so an unchanged generator run does
// not make everything that depends on the tables build again.
template <typename Text>
bool WriteIfChanged(const std::string& path, const Text& text) {
  {
    std::ifstream in(path, std::ios::binary);
    if (in) {
      std::ostringstream old;
      old << in.rdbuf();
      const std::string before = old.str();
      if (before.size() == text.size() && std::equal(before.begin(), before.end(), text.begin(),
                                                     [](char a, auto b) { return a == static_cast<char>(b); })) {
        return true;
      }
    }
  }
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(text.data()), static_cast<std::streamsize>(text.size()));
  return static_cast<bool>(out.flush());
}

int CheckAll(const std::vector<std::vector<PathPoint>>& paths, bool report) {
  int faults = 0;
  std::size_t total = 0;
  for (std::size_t k = 0; k < paths.size(); ++k) {
    const NeuriteControl& control = kNeuriteControls[k];
    const std::vector<PathPoint>* parent =
        control.parent >= 0 ? &paths[static_cast<std::size_t>(control.parent)] : nullptr;
    for (const std::string& fault : CheckNeuritePath(control, paths[k], parent)) {
      std::fprintf(stderr, "velmora-assetgen: %s\n", fault.c_str());
      ++faults;
    }
    total += paths[k].size();
    if (report) {
      const std::size_t walk = ShortestWalkLength(control);
      std::printf("%-4s %4d points: %4zu steps + %3lld repeats\n", control.name, control.pointCount, walk,
                  static_cast<long long>(control.pointCount) - static_cast<long long>(walk));
    }
  }
  if (total != static_cast<std::size_t>(kTotalPathPoints)) {
    std::fprintf(stderr, "velmora-assetgen: %zu path points in all, wants %d\n", total, kTotalPathPoints);
    ++faults;
  }
  if (report) std::printf("%zu points in all, %d broken rules\n", total, faults);
  return faults;
}

bool ReadWholeFile(const char* path, std::vector<std::uint8_t>& bytes) {
  std::ifstream in(path, std::ios::binary);
  bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return in.good() || in.eof();
}

int WriteImages(const std::vector<std::vector<PathPoint>>& paths, const std::string& folder, bool report) {
  const auto start = std::chrono::steady_clock::now();
  const Painting painting = PaintNetwork(paths);
  int faults = 0;
  for (const std::string& fault : CheckPainting(painting, paths)) {
    std::fprintf(stderr, "velmora-assetgen: %s\n", fault.c_str());
    ++faults;
  }
  RgbImage labelled;
  std::string error;
  // The generator reads the font from the system; the program carries its own copy.
  std::vector<std::uint8_t> font;
  if (!ReadWholeFile(kLabelFontPath, font)) {
    error = std::string("cannot read the labels' font ") + kLabelFontPath;
  } else {
    DrawLabels(painting.picture, BuiltInFile{font.data(), font.size()}, labelled, error);
  }
  if (!error.empty()) {
    std::fprintf(stderr, "velmora-assetgen: %s\n", error.c_str());
    ++faults;
  }
  if (faults != 0) return faults;
  const RgbImage sheet = MakeSomaSheet(painting);
  const struct {
    const char* file;
    const RgbImage* image;
    std::int32_t resolution;
  } outputs[] = {{"BACKGROUND.bmp", &painting.picture, kPictureResolution},
                 {"LABELEDBACK.bmp", &labelled, kPictureResolution},
                 {"SOMAS.bmp", &sheet, kSheetResolution}};
  for (const auto& output : outputs) {
    const std::string path = folder + "/" + output.file;
    if (!WriteIfChanged(path, EncodeBmp(*output.image, output.resolution))) {
      std::fprintf(stderr, "velmora-assetgen: cannot write %s\n", path.c_str());
      ++faults;
    }
  }
  if (report) {
    const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    std::printf("images painted and written in %.0f ms\n", ms);
  }
  return faults;
}

// The icon at each of the comma-separated sizes as a PNG file, and at the window
// icon's size as the raw pixels built into the program.
int WriteIcons(const std::string& folder, const std::string& sizes) {
  int faults = 0;
  std::istringstream list(sizes);
  for (std::string size; std::getline(list, size, ',');) {
    const int pixels = std::atoi(size.c_str());
    const std::string path = folder + "/velmora-" + size + ".png";
    const RgbaImage icon = PaintIcon(pixels);
    if (pixels <= 0 || !WritePng(path, icon.width, icon.height, PngPixelFormat::kRgba32, icon.rgba.data())) {
      std::fprintf(stderr, "velmora-assetgen: cannot write %s\n", path.c_str());
      ++faults;
    }
  }
  const std::string raw = folder + "/window-icon.rgba";
  if (!WriteIfChanged(raw, PaintIcon(kWindowIconPixels).rgba)) {
    std::fprintf(stderr, "velmora-assetgen: cannot write %s\n", raw.c_str());
    ++faults;
  }
  return faults;
}

}  // namespace

int main(int argc, char** argv) {
  std::string tablesPath;
  std::string imagesFolder;
  std::string iconsFolder;
  std::string iconSizes;
  bool report = false;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "--path-tables" && i + 1 < argc) {
      tablesPath = argv[++i];
    } else if (arg == "--images" && i + 1 < argc) {
      imagesFolder = argv[++i];
    } else if (arg == "--icons" && i + 2 < argc) {
      iconsFolder = argv[++i];
      iconSizes = argv[++i];
    } else if (arg == "--report") {
      report = true;
    } else {
      std::fprintf(stderr,
                   "usage: velmora-assetgen [--path-tables OUT.cpp] [--images DIR] [--icons DIR SIZE,...] [--report]\n");
      return 2;
    }
  }

  if (!iconsFolder.empty()) {
    if (WriteIcons(iconsFolder, iconSizes) != 0) return 1;
    if (tablesPath.empty() && imagesFolder.empty() && !report) return 0;
  }

  const std::vector<std::vector<PathPoint>> paths = BuildAllNeuritePaths();
  if (CheckAll(paths, report) != 0) {
    std::fprintf(stderr, "velmora-assetgen: the neurite control points break the rules above\n");
    return 1;
  }
  if (!tablesPath.empty() && !WriteIfChanged(tablesPath, PathTablesSource(paths))) {
    std::fprintf(stderr, "velmora-assetgen: cannot write %s\n", tablesPath.c_str());
    return 1;
  }
  if (!imagesFolder.empty() && WriteImages(paths, imagesFolder, report) != 0) {
    std::fprintf(stderr, "velmora-assetgen: the pictures break the rules above\n");
    return 1;
  }
  return 0;
}
