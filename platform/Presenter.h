#pragma once
// Puts finished 1024 x 768 RGB565 frames on the screen: full screen on whatever
// monitor is attached (scaled up, aspect kept, black bars), a 1024 x 768 window, or a
// true 1024 x 768 mode switch. Through an SDL renderer, accelerated where possible;
// whether its present waits for the vertical blank is the window's choice
// (platform/Window.h). On a window that presents through its framebuffer (no GPU:
// platform/WindowFramebuffer.h) it scales, turns and converts only the parts of each
// frame that changed since the last one straight into the window's surface, and hands
// the window just those.

#include <SDL.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/ScreenMode.h"
#include "platform/ScreenPlacement.h"
#include "platform/WindowFramebuffer.h"

namespace velmora {

// Before SDL_Init: a headless run uses SDL's dummy video driver.
void SelectHeadlessVideoDriver();

// True if SDL is running on one of its drivers that show nothing ("offscreen",
// "dummy"), which SDL picks silently when no display is found.
bool VideoDriverShowsNothing();

// True if the renderer draws with OpenGL that only the processor runs (Mesa's
// llvmpipe, softpipe or swrast): it is then slower than SDL's software renderer at
// drawing a large picture.
bool OpenGlIsEmulated(SDL_Renderer* renderer);
// True for SDL's software renderer: its present copies into the window's surface and
// cannot wait for the vertical blank (SDL would only sleep a refresh's time instead).
bool IsSoftwareRenderer(SDL_Renderer* renderer);

// The outcome of looking for a display mode of a refresh rate at a size.
struct RefreshModeChoice {
  bool found = false;
  SDL_DisplayMode mode{};  // when found
  std::string message;     // when not: what the screen offers at that size instead
};

// Among the display's `modes`, the one of `width` x `height` pixels refreshing
// `refreshHz` times a second.
RefreshModeChoice ChooseRefreshMode(const std::vector<SDL_DisplayMode>& modes, int width, int height, int refreshHz);

// Where a frame shows on a larger output: scaled up uniformly with its aspect kept,
// centred, black bars beside it; each output pixel shows the frame pixel its
// position falls on (nearest neighbour).
struct Letterbox {
  int left = 0, top = 0;        // output pixels: where the frame's picture starts
  int width = 0, height = 0;    // output pixels the picture covers
  int frameWidth = 0, frameHeight = 0;

  // The frame column (row) that output column x (row y) of the picture shows, x from 0 to width - 1.
  int FrameColumn(int x) const { return static_cast<int>(static_cast<long long>(x) * frameWidth / width); }
  int FrameRow(int y) const { return static_cast<int>(static_cast<long long>(y) * frameHeight / height); }
  // The first picture column (row) that shows frame column (row) `at` or a later one.
  int FirstColumnShowing(int at) const {
    return static_cast<int>((static_cast<long long>(at) * width + frameWidth - 1) / frameWidth);
  }
  int FirstRowShowing(int at) const {
    return static_cast<int>((static_cast<long long>(at) * height + frameHeight - 1) / frameHeight);
  }
};
Letterbox LetterboxOn(int frameWidth, int frameHeight, int outputWidth, int outputHeight);

class Presenter {
public:
  // A presenter for the window: its framebuffer if the window is marked for it and
  // has no renderer; else the window's own renderer if it has one (left to its
  // creator), otherwise a new one. Null, with the reason in `error`, on failure.
  static std::unique_ptr<Presenter> Create(SDL_Window* window, std::string* error);
  ~Presenter();
  Presenter(const Presenter&) = delete;
  Presenter& operator=(const Presenter&) = delete;

  // Brings the window to the mode; false if the screen refuses it. With a
  // `refreshHz`, full screen and the mode switch use a display mode of that refresh
  // rate (full screen at the screen's own size) where the screen offers one, and
  // say on standard error when it does not.
  bool EnterScreenMode(ScreenMode mode, int widthPixels, int heightPixels, int refreshHz = 0);
  // The texture frames are presented from (on the framebuffer: the frames' size).
  // Each frame is scaled to fit the output with its aspect kept, centred and turned
  // as SetRotation says; the renderer's own logical size stays unset, so SDL leaves
  // the positions of touches and clicks in the window's pixels.
  bool CreateFrameTexture(int widthPixels, int heightPixels);
  // Clockwise, 0, 90, 180 or 270 degrees: for a screen mounted turned.
  void SetRotation(int degrees) { rotationDegrees = degrees; }
  // Where the frame lies on the output now.
  ScreenPlacement Placement() const;
  void ReleaseFrameTexture();
  bool HasFrameTexture() const { return texture != nullptr || (framebuffer && textureWidthPixels > 0); }
  // The texture again (and the renderer, after a device reset); false if not possible.
  bool Restore();
  void NoteDeviceReset() { deviceReset = true; }

  // Uploads the frame and presents it; false if any step failed.
  bool Present(const SDL_Surface* frame);
  // True while frames are converted to 32 bits here rather than by the renderer.
  bool ConvertsFrames() const { return !windowPixelOfRgb565.empty(); }
  // True while frames go through the window's framebuffer.
  bool OnFramebuffer() const { return framebuffer != nullptr; }
  // Bytes of the window's pixels the last present handed on (the framebuffer's only).
  std::size_t ShownBytes() const { return framebuffer ? framebuffer->ShownBytes() : 0; }

  const char* RendererName() const;
  bool Accelerated() const;

private:
  explicit Presenter(SDL_Window* window);
  bool CreateRenderer(std::string* error);
  bool MakeConversionTable(Uint32 windowFormat);
  bool PresentOnFramebuffer(const SDL_Surface& frame);

  // Parameters
  SDL_Window* window;
  // State
  SDL_Renderer* renderer = nullptr;
  bool ownsRenderer = false;
  SDL_Texture* texture = nullptr;
  int textureWidthPixels = 0;
  int textureHeightPixels = 0;
  // On SDL's software renderer: the window's 32-bit pixel for each RGB565 value, as
  // SDL itself converts it, and the frame texture in the window's format. SDL's own conversion of the
  // frame in every present is most of a frame's processor time; a table look-up per
  // pixel takes a fraction of it. Empty: the texture is RGB565 (a GPU converts it).
  std::vector<std::uint32_t> windowPixelOfRgb565;
  Uint32 tableFormat = SDL_PIXELFORMAT_UNKNOWN;  // the window format the table was made for
  // On the framebuffer: the frame last shown, and where it shows on the window
  // (`shown` in the upright frame, turned onto the window's surface by `turn`).
  std::unique_ptr<WindowFramebuffer> framebuffer;
  std::vector<std::uint16_t> shownFrame;
  Letterbox shown;
  SurfaceTurn turn;                // how the upright letterbox lies on the window's surface
  std::vector<int> frameColumnOf;  // per picture column, Letterbox::FrameColumn
  std::vector<int> frameRowOf;     // per picture row, Letterbox::FrameRow
  std::vector<std::uint32_t> scratchRow;  // one row in the table's format, for a window of another depth
  ScreenMode screenMode = ScreenMode::Windowed;
  int rotationDegrees = 0;
  bool modeSwitched = false;
  bool deviceReset = false;
};

}  // namespace velmora
