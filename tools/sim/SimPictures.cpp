#include "tools/sim/SimPictures.h"

#include <cstdio>
#include <filesystem>
#include <system_error>

#include "assets/BuiltInImages.h"
#include "display/DisplayConstants.h"
#include "display/FrameComposition.h"
#include "display/SharpDisplay.h"
#include "model/Model.h"
#include "platform/Presenter.h"

namespace velmora::sim {
namespace {

// The exhibit's frame rate when every frame keeps its 20 ms period; the status line
// of a picture is the one such steady running shows.
constexpr int kSteadyFramesPerSecond = 50;
constexpr const char* kWindowTitle = "Velmora";

// The relative speed the frame cycle works out at a steady frame rate, by its own
// arithmetic (whole milliseconds per frame, single precision).
float SteadyRelativeSpeed(float stepMs) {
  return RelativeSimSpeed(stepMs, static_cast<float>(1000 / kSteadyFramesPerSecond));
}

bool WriteFile(const std::filesystem::path& path, const std::uint8_t* data, std::size_t size) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return false;
  const bool written = std::fwrite(data, 1, size, file) == size;
  return std::fclose(file) == 0 && written;
}

}  // namespace

std::unique_ptr<HeadlessDisplay> HeadlessDisplay::Open(std::string* error) {
  SelectHeadlessVideoDriver();
  if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
    *error = std::string("cannot start SDL video: ") + SDL_GetError();
    return nullptr;
  }
  std::unique_ptr<HeadlessDisplay> headless(new HeadlessDisplay);
  headless->window = SDL_CreateWindow(kWindowTitle, SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED,
                                      kScreenWidthPixels, kScreenHeightPixels, SDL_WINDOW_HIDDEN);
  if (headless->window == nullptr) {
    *error = std::string("cannot make a window: ") + SDL_GetError();
    return nullptr;
  }
  headless->display.InitDisplay(headless->window, ScreenMode::Windowed, true);
  if (!headless->display.Ready()) {
    *error = "cannot set up the display or load the built-in images";
    return nullptr;
  }
  return headless;
}

HeadlessDisplay::~HeadlessDisplay() {
  display.Release();
  if (window != nullptr) SDL_DestroyWindow(window);
  SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

bool ComposeFrame(FrameDisplay& display, Model& model, PictureBackground background, const StatusTexts& texts) {
  display.SelectBackground(background == PictureBackground::kLabeled ? Background::Labeled : Background::Plain);
  return velmora::ComposeFrame(display, model, SteadyRelativeSpeed(model.step), texts);
}

bool WriteFramePicture(Model& model, const PictureStyle& style, const std::string& path, std::string* error) {
  if (style.screenWidthPixels > 0) {
    std::shared_ptr<SharpPictures> pictures =
        PaintSharpPictures(style.screenWidthPixels, style.screenHeightPixels, style.fit, kSharpPaintThreads);
    if (!AddSharpLabels(*pictures, error)) return false;
    const std::unique_ptr<SharpDisplay> sharp = SharpDisplay::CreateOffscreen(pictures);
    if (!ComposeFrame(*sharp, model, style.background, style.texts)) {
      *error = "cannot compose the picture";
      return false;
    }
    if (!sharp->SaveScreenshotPng(path)) {
      *error = "cannot write " + path;
      return false;
    }
    return true;
  }
  const std::unique_ptr<HeadlessDisplay> headless = HeadlessDisplay::Open(error);
  if (!headless) return false;
  if (!ComposeFrame(headless->Screen(), model, style.background, style.texts)) {
    *error = "cannot compose the picture";
    return false;
  }
  if (!headless->Screen().SaveBackBufferPng(path)) {
    *error = "cannot write " + path;
    return false;
  }
  return true;
}

bool WriteFramePicture(Model& model, PictureBackground background, const std::string& path, std::string* error) {
  PictureStyle style;
  style.background = background;
  return WriteFramePicture(model, style, path, error);
}

bool WriteBuiltInImages(const std::string& directory, std::string* error) {
  std::error_code created;
  std::filesystem::create_directories(directory, created);
  if (created) {
    *error = "cannot make the folder " + directory + ": " + created.message();
    return false;
  }
  for (const char* name : kBuiltInImageNames) {
    const BuiltInImage* image = FindBuiltInImage(name);
    if (image == nullptr) {
      *error = std::string("the program has no built-in image ") + name;
      return false;
    }
    const std::filesystem::path path = std::filesystem::path(directory) / (std::string(name) + ".bmp");
    if (!WriteFile(path, image->data, image->size)) {
      *error = "cannot write " + path.string();
      return false;
    }
  }
  return true;
}

}  // namespace velmora::sim
