#pragma once
// Puts finished 1024 x 768 RGB565 frames on the screen through an SDL renderer:
// full screen on whatever monitor is attached (scaled up, aspect kept, black bars),
// a 1024 x 768 window, or a true 1024 x 768 mode switch. The renderer is
// accelerated where possible, software otherwise, and never waits for vertical sync
// (the frame cycle paces itself).

#include <SDL.h>

#include <cstdint>
#include <memory>
#include <string>

#include "platform/ScreenMode.h"

namespace velmora {

// Before SDL_Init: a headless run uses SDL's dummy video driver.
void SelectHeadlessVideoDriver();

// True if SDL is running on one of its drivers that show nothing ("offscreen",
// "dummy"), which SDL picks silently when no display is found.
bool VideoDriverShowsNothing();

class Presenter {
public:
  // A presenter for the window: the window's own renderer if it has one (left to its
  // creator), otherwise a new one. Null, with the reason in `error`, on failure.
  static std::unique_ptr<Presenter> Create(SDL_Window* window, std::string* error);
  ~Presenter();
  Presenter(const Presenter&) = delete;
  Presenter& operator=(const Presenter&) = delete;

  // Brings the window to the mode; false if the screen refuses it.
  bool EnterScreenMode(ScreenMode mode, int widthPixels, int heightPixels);
  // The texture frames are presented from, with the renderer's logical size set to it.
  bool CreateFrameTexture(int widthPixels, int heightPixels);
  void ReleaseFrameTexture();
  bool HasFrameTexture() const { return texture != nullptr; }
  // The texture again (and the renderer, after a device reset); false if not possible.
  bool Restore();
  void NoteDeviceReset() { deviceReset = true; }

  // Uploads the frame and presents it; false if any step failed.
  bool Present(const SDL_Surface* frame);

  const char* RendererName() const;
  bool Accelerated() const;

private:
  explicit Presenter(SDL_Window* window);
  bool CreateRenderer(std::string* error);

  // Parameters
  SDL_Window* window;
  // State
  SDL_Renderer* renderer = nullptr;
  bool ownsRenderer = false;
  SDL_Texture* texture = nullptr;
  int textureWidthPixels = 0;
  int textureHeightPixels = 0;
  ScreenMode screenMode = ScreenMode::Windowed;
  bool modeSwitched = false;
  bool deviceReset = false;
};

}  // namespace velmora
