#pragma once
// The exhibit's display: a 1024 x 768 RGB565 back buffer composed every frame from
// three image surfaces (plain and labelled background, soma sprite sheet), a drawing
// context on it for the status line and the model, and a presenter that puts the
// finished frame on the screen. The program makes one and hands it to the exhibit.
//
// Life: InitDisplay at the first paint; frames call the FrameDisplay operations;
// Release at the exhibit's shutdown (or the destructor). A frame that sees
// SurfaceLost calls RestoreSurfaces and gives the frame up.

#include <SDL.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "display/BackBufferContext.h"
#include "display/BitmapLoading.h"
#include "display/FrameDisplay.h"
#include "display/GlyphCache.h"
#include "platform/MessageBoxes.h"
#include "platform/Presenter.h"

namespace velmora {

class Display final : public FrameDisplay {
public:
  // Failures of the set-up are shown through `boxes`; the images are looked up
  // through `images` (the program's built-in ones unless a test hands in others).
  explicit Display(MessageBoxes& boxes, BuiltInImageLookup images = &FindBuiltInImage);
  ~Display() override;
  Display(const Display&) = delete;
  Display& operator=(const Display&) = delete;

  // Takes over the main window (made by the shell), brings it to the requested
  // screen mode and loads the three images. Any fatal step ends in
  // ShowDisplayFailure; InitFailed() then tells the shell not to run frames.
  // Headless runs must have selected SDL's dummy video driver before SDL_Init
  // (SelectHeadlessVideoDriver in platform/Presenter.h); without headless, SDL's
  // silent no-display drivers are refused as a failure.
  // If the window already has a renderer (the start-up banner's), it is reused and
  // left to its creator to destroy. A `refreshHz` asks full screen for a display mode
  // of that refresh rate (Presenter::EnterScreenMode); `rotationDegrees` turns the
  // picture on the screen (Presenter::SetRotation).
  void InitDisplay(SDL_Window* window, ScreenMode mode, bool headless, int refreshHz = 0, int rotationDegrees = 0);
  // Where the picture lies on the screen's output; the design's size before InitDisplay.
  ScreenPlacement Placement() const;

  // The message box "DirectDraw Init FAILED" (caption "Velmora"), then a close
  // request for the window (an SDL_WINDOWEVENT_CLOSE event for it is queued).
  void ShowDisplayFailure(SDL_Window* window);

  // True after a fatal step of InitDisplay: no frame may be drawn.
  bool InitFailed() const { return initFailed; }
  // True once InitDisplay completed every step.
  bool Ready() const { return ready; }

  // FrameDisplay
  DisplayResult BlitBackground() override;
  DisplayResult BlitSomaCell(int x, int y, const SourceRect& source) override;
  TextDeviceContext* GetBackBufferDC() override;
  void ReleaseBackBufferDC(TextDeviceContext* dc) override;
  DisplayResult FlipBuffers() override;
  DisplayResult RestoreSurfaces() override;
  // The shell's interaction handling selects the labelled background, its label
  // timer the plain one; InitDisplay starts with the plain one.
  void SelectBackground(Background background) override;
  // Releases, in order: the presented texture with the back buffer, the plain
  // background, the labelled background, the sprite sheet, the palette, the
  // presenter. Only when the presenter exists; each field is null afterwards.
  void Release() override;

  bool LabeledBackgroundSelected() const { return currentBackground == &labeledBackgroundSurface; }

  // The shell passes every window and render event here; those that can take the
  // presented picture away (size or display changes, render target or device
  // resets) make the next copy or flip report SurfaceLost. The size change
  // InitDisplay itself makes (events stamped up to its end) is no loss.
  void HandleEvent(const SDL_Event& event);

  // For tests: the next copy or flip reports SurfaceLost, and the next
  // `failingRestores` calls of RestoreSurfaces fail at their first step.
  void InjectSurfaceLoss(int failingRestores = 0);

  // For tests: the name of each field as it is released, in order.
  void RecordReleases(std::vector<std::string>* record) { releaseRecord = record; }

  // The composed back buffer (RGB565, 1024 x 768), or null before InitDisplay.
  const SDL_Surface* BackBuffer() const { return backBuffer.get(); }
  // Writes the composed back buffer as a 24-bit PNG file; false if there is none or
  // writing failed.
  bool SaveBackBufferPng(const std::string& path) const;
  // Times a lost picture was restored.
  std::uint64_t RestoresDone() const { return restoresDone; }

  // For tests and tools: the image surfaces and the palette as loaded.
  const SDL_Surface* BackgroundSurface() const { return backgroundSurface.get(); }
  const SDL_Surface* LabeledBackgroundSurface() const { return labeledBackgroundSurface.get(); }
  const SDL_Surface* SomaSurface() const { return somaSurface.get(); }
  const Palette* GetPalette() const { return palette.get(); }
  const Presenter* GetPresenter() const { return presenter.get(); }

private:
  bool Lost() const { return surfacesLost; }
  void RecordRelease(const char* field);

  // Where failures are shown and images found.
  MessageBoxes& boxes;
  BuiltInImageLookup images;

  // Display fields of the main window, in their order of creation.
  std::unique_ptr<Presenter> presenter;    // renderer and window mode
  bool frameTextureExists = false;         // the presenter holds the texture frames are presented from
  SurfacePtr backBuffer;                   // 1024 x 768, goes with the primary
  SurfacePtr backgroundSurface;            // "BackGround"
  SurfacePtr labeledBackgroundSurface;     // "LabeledBack"
  SurfacePtr* currentBackground = &backgroundSurface;  // the field, so it survives a restore
  SurfacePtr somaSurface;                  // "Somas", 2560 x 240
  std::unique_ptr<Palette> palette;        // from "BackGround"; no effect at 16 bits per pixel

  // Drawing on the back buffer.
  std::unique_ptr<GlyphCache> glyphs;      // the default font, loaded once
  std::unique_ptr<GlyphCache> largeGlyphs; // the large font, loaded once
  std::unique_ptr<BackBufferContext> backBufferContext;
  bool contextLent = false;

  // State of the display.
  bool ready = false;
  bool initFailed = false;
  bool surfacesLost = false;
  int failingRestoresLeft = 0;
  std::uint64_t restoresDone = 0;
  // SDL tick (ms) at the end of InitDisplay: window events stamped up to it come from
  // the display's own change of the window and are no loss.
  Uint32 ownResizeEndTicks = 0;
  std::vector<std::string>* releaseRecord = nullptr;
};

}  // namespace velmora
