#pragma once
// Pictures of a run for people to look at: the exhibit's screen as a frame would
// show the network's final state, composed on a headless display, and the built-in
// images written out as bitmap files.

#include <memory>
#include <string>

#include "display/Display.h"
#include "display/FrameDisplay.h"
#include "display/SharpPictures.h"
#include "display/StatusTexts.h"
#include "platform/MessageBoxes.h"

namespace velmora {
class Model;
}

namespace velmora::sim {

enum class PictureBackground { kPlain, kLabeled };

// How a picture of a frame is drawn.
struct PictureStyle {
  PictureBackground background = PictureBackground::kPlain;
  int screenWidthPixels = 0;  // the sharp picture for a screen of this size; 0: the classic 1024 x 768 one
  int screenHeightPixels = 0;
  SharpFit fit = SharpFit::kFill;
  StatusTexts texts;          // the status line's language
};

// The three built-in images, each written as <name>.bmp.
inline constexpr const char* kBuiltInImageNames[] = {"BACKGROUND", "LABELEDBACK", "SOMAS"};

// A display with no screen behind it: SDL's dummy video driver, a hidden window and
// a Display set up on it, its messages on standard error. SDL's video is started by
// Open and shut down with the object, so runs without a picture never touch SDL.
class HeadlessDisplay {
public:
  // Null, with the reason in `error`, when any step fails.
  static std::unique_ptr<HeadlessDisplay> Open(std::string* error);
  ~HeadlessDisplay();
  HeadlessDisplay(const HeadlessDisplay&) = delete;
  HeadlessDisplay& operator=(const HeadlessDisplay&) = delete;

  Display& Screen() { return display; }

private:
  HeadlessDisplay() = default;

  StandardErrorMessageBoxes boxes;
  SDL_Window* window = nullptr;
  Display display{boxes};  // declared after the window, released before it goes
};

// Composes one frame on the display as the exhibit's frame does, without stepping
// the model: background, the three soma sprites by the model's activity, the status
// line for a steady 50 frames per second at the model's step, and the model's own
// drawing in the exhibit's style. False if a copy failed.
bool ComposeFrame(FrameDisplay& display, Model& model, PictureBackground background, const StatusTexts& texts = {});

// Composes the frame on a headless display (or, for the sharp picture, one composing
// in memory at the screen's size) and writes it as a PNG file. False, with the
// reason in `error`, on failure.
bool WriteFramePicture(Model& model, const PictureStyle& style, const std::string& path, std::string* error);
bool WriteFramePicture(Model& model, PictureBackground background, const std::string& path, std::string* error);

// Writes the built-in images, their embedded bytes unchanged, into `directory`
// (created if missing). False, with the reason in `error`, on failure.
bool WriteBuiltInImages(const std::string& directory, std::string* error);

}  // namespace velmora::sim
