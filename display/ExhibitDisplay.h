#pragma once
// The exhibit's screen: the classic picture, or the sharp one drawn at the screen's
// own resolution. The program makes one and hands it to the exhibit as its
// FrameDisplay; every frame goes to whichever of the two shows.
//
// The sharp pictures take a while to paint (most of a second at 3840 x 2160), so
// painted pictures are kept on disk per screen size (display/SharpPictureCache.h):
// on a screen the exhibit has shown before, they are read before the first frame,
// which is sharp. Where there are none yet, the classic picture shows first: the
// painting, on other threads, begins once the first frame is shown, the pictures
// are kept, and the sharp picture takes over at the start of the first frame after
// it is done, fading in from the classic one over a few frames. A headless run waits
// for the pictures instead, so that its first frame is sharp and every screenshot
// the same.
// The sharp display shows only pictures painted for the screen's present size: when
// the size changes, the classic picture (which fits any size) shows again until
// pictures for the new size are painted.
//
// The classic display sets up the window and its renderer and keeps them; once the
// sharp display has set the renderer up its own way, the classic one presents again
// only after it has been restored.

#include <SDL.h>

#include <cstdint>
#include <memory>
#include <string>

#include "display/Display.h"
#include "display/FrameDisplay.h"
#include "display/SharpDisplay.h"
#include "display/SharpPictureCache.h"
#include "display/SharpPictures.h"
#include "platform/MessageBoxes.h"

namespace velmora {

// What the exhibit's screen shows, and how.
struct PictureChoice {
  bool sharp = false;               // the sharp picture; false: the classic one
  SharpFit fit = SharpFit::kFill;
  int pretendWidthPixels = 0;       // headless: the screen the sharp picture is drawn for
  int pretendHeightPixels = 0;
  int refreshHz = 0;                // full screen in a display mode of this refresh rate; 0: the screen's own
  int rotationDegrees = 0;          // clockwise turn of the picture on a screen mounted turned: 0, 90, 180, 270
  std::string cacheFolder;          // where painted pictures are kept; empty: nowhere
};

// Frames the sharp picture takes to fade in over the classic one: 0.4 s, long enough
// to read as a transition, short enough not to hold the first visitors' attention.
inline constexpr int kCrossFadeFrames = 20;

class ExhibitDisplay final : public FrameDisplay {
public:
  // `images` as for Display.
  ExhibitDisplay(MessageBoxes& boxes, const PictureChoice& choice, BuiltInImageLookup images = &FindBuiltInImage);
  ~ExhibitDisplay() override;
  ExhibitDisplay(const ExhibitDisplay&) = delete;
  ExhibitDisplay& operator=(const ExhibitDisplay&) = delete;

  // Sets up the classic display on the window (Display::InitDisplay); for the sharp
  // picture a headless run then sizes the window to the pretend screen and paints
  // the pictures for it.
  void InitDisplay(SDL_Window* window, ScreenMode mode, bool headless);
  bool InitFailed() const { return classic.InitFailed(); }
  bool Ready() const { return classic.Ready(); }

  // FrameDisplay. The background, a frame's first copy, first takes up the sharp
  // pictures once they are painted for the present size.
  DisplayResult BlitBackground() override;
  DisplayResult BlitSomaCell(int x, int y, const SourceRect& source) override;
  TextDeviceContext* GetBackBufferDC() override;
  void ReleaseBackBufferDC(TextDeviceContext* dc) override;
  DisplayResult FlipBuffers() override;
  DisplayResult RestoreSurfaces() override;
  void SelectBackground(Background background) override;
  // The look of the picture the frame shows.
  const DrawingStyle& NetworkStyle() const override;
  // The sharp display's textures, the painting (waited for), then the classic display.
  void Release() override;

  // Every window and render event: the displays' losses, and the screen's size.
  void HandleEvent(const SDL_Event& event);

  // The picture the last frame composed, screen-sized when sharp, as a 24-bit PNG
  // file; false if there is none or writing failed.
  bool SaveScreenshotPng(const std::string& path);

  // Times a lost picture (classic or sharp) was restored for the frames; a change
  // between the two pictures is no loss.
  std::uint64_t RestoresDone() const { return restoresDone; }
  // True while the sharp picture shows.
  bool SharpShown() const { return sharp != nullptr; }
  // Where the design's picture that shows lies on the screen's output.
  ScreenPlacement Placement() const;
  // True while sharp pictures are being painted.
  bool Painting() const { return painter != nullptr; }
  // True if the sharp pictures shown were read from the cache, not painted.
  bool PicturesFromCache() const { return picturesFromCache; }

  Display& Classic() { return classic; }
  SharpDisplay* Sharp() { return sharp.get(); }

private:
  FrameDisplay& Shown();
  // The renderer's output size, or the window's where it has none (its framebuffer).
  bool OutputSize(int& width, int& height) const;
  // At a frame's start: back to the classic picture when the sharp one no longer
  // fits, the painted pictures taken up, a painting begun for the present size.
  void FollowScreen();
  void ShowPictures(std::shared_ptr<SharpPictures> pictures);
  // The pictures for the present size from the cache, shown at once; false if it has none.
  bool ShowKeptPictures();
  void StartPainting();
  // The pictures' size for a screen output of this size.
  void Want(int outputWidth, int outputHeight);
  // The painted pictures once done (waited for), with the painting's and the cache's
  // failures told on standard error; null if they could not be painted.
  std::shared_ptr<SharpPictures> TakePainting();
  // The classic picture as it shows on the sharp display's screen, upright.
  PackedImage ClassicPictureOnScreen() const;

  const PictureChoice choice;
  const SharpPictureCache cache;
  Display classic;
  SDL_Window* window = nullptr;
  bool headless = false;
  // The size the sharp pictures must have, pixels: the pretend screen's, or the
  // renderer's output as last seen.
  int wantedWidth = 0;
  int wantedHeight = 0;
  std::uint64_t restoresDone = 0;
  bool outputMayHaveChanged = false;  // a size event came: look at the output again
  // A frame has been shown: the painting, which takes both cores, does not delay the first.
  bool frameShown = false;
  std::unique_ptr<SharpPicturePainter> painter;
  std::unique_ptr<SharpDisplay> sharp;
  bool picturesFromCache = false;
  bool keepErrorShown = false;  // the cache's failure is told once
  // A size for which the sharp display could not be made; it is not tried again.
  int failedWidth = 0;
  int failedHeight = 0;
  Background background = Background::Plain;
};

}  // namespace velmora
