#pragma once
// The sharp display: frames composed at the screen's own resolution from the
// pictures painted for it (display/SharpPictures.h), with the model's drawing and the
// status line anti-aliased at the design's scale. It offers the frame cycle the same
// operations as the classic display, so a frame is made the same way on either.
//
// Where the pixels go, by renderer:
// - none (pictures of a frame, tests): the frame is composed in memory;
// - the window's framebuffer (no GPU: platform/WindowFramebuffer.h): composed in
//   memory, kept from frame to frame; only what the last frame drew over is laid
//   again from the background, and of the tiles drawn on only the rows whose pixels
//   differ from what the window shows are copied into it (turned, on a screen
//   mounted turned) and handed to the window system;
// - SDL's software renderer: composed in memory too; only the tiles that changed are
//   copied into the streaming texture, which one copy puts on the screen;
// - any other renderer (a GPU's): the background, labels, bodies and their glow are
//   textures made once; a frame copies them, draws the model's triangles with
//   SDL_RenderGeometry and the status line from a texture made when its text
//   changes. Per frame only the triangles' vertices are sent.
// A screenshot is the frame composed in memory on every path, so it is the same
// picture whichever renderer showed it.

#include <SDL.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "display/FrameDisplay.h"
#include "display/SharpContext.h"
#include "display/SharpFrame.h"
#include "display/SharpPictures.h"
#include "display/SharpText.h"
#include "platform/ScreenPlacement.h"
#include "platform/WindowFramebuffer.h"

namespace velmora {

// What a frame cost in traffic to the renderer, and what the display holds.
struct SharpFigures {
  std::size_t uploadedBytes = 0;   // last frame: pixels or vertices and indices sent to the renderer
  std::size_t triangles = 0;       // last frame: anti-aliased triangles drawn
  std::size_t memoryBytes = 0;     // pictures, frame and drawing lists in memory
  std::size_t textureBytes = 0;    // pixels held in the renderer's textures
};

class SharpDisplay final : public FrameDisplay {
public:
  // Composes in memory only, with nothing shown: pictures of a frame.
  static std::unique_ptr<SharpDisplay> CreateOffscreen(std::shared_ptr<const SharpPictures> pictures);
  // Shows frames through the renderer of a window that is already in its screen mode
  // and whose output the pictures were painted for (a larger output shows them
  // centred). The renderer stays its creator's. Null, with the reason in `error`, if
  // a texture cannot be made. A picture turned on the screen (`rotationDegrees` 90,
  // 180 or 270, the pictures painted for the upright frame) is composed in memory
  // whatever the renderer, and turned as it is shown.
  static std::unique_ptr<SharpDisplay> CreateForRenderer(SDL_Renderer* renderer,
                                                         std::shared_ptr<const SharpPictures> pictures,
                                                         std::string* error, int rotationDegrees = 0);
  // Shows frames through the window's framebuffer, the picture centred on it and
  // turned by `rotationDegrees` as its changed parts are copied into the window.
  static std::unique_ptr<SharpDisplay> CreateForFramebuffer(SDL_Window* window,
                                                            std::shared_ptr<const SharpPictures> pictures,
                                                            int rotationDegrees = 0);
  ~SharpDisplay() override;
  SharpDisplay(const SharpDisplay&) = delete;
  SharpDisplay& operator=(const SharpDisplay&) = delete;

  // FrameDisplay. Copies are given in the classic picture's terms: a sprite cell's
  // rectangle of the classic sheet (its left edge picks the activity level, its top
  // the body) and the design pixel its corner goes to.
  DisplayResult BlitBackground() override;
  DisplayResult BlitSomaCell(int x, int y, const SourceRect& source) override;
  TextDeviceContext* GetBackBufferDC() override;
  void ReleaseBackBufferDC(TextDeviceContext* dc) override;
  DisplayResult FlipBuffers() override;
  DisplayResult RestoreSurfaces() override;

  // Which background the frame lays, as on the classic display.
  void SelectBackground(Background background) override { labeled = background == Background::Labeled; }
  // Gives up the renderer's textures; no frame may run afterwards.
  void Release() override;
  const DrawingStyle& NetworkStyle() const override { return kSharpDrawingStyle; }
  bool LabeledBackgroundSelected() const { return labeled; }

  // Window and render events that take the shown picture away (size or display
  // changes after the display was made, render target or device resets) make the
  // next copy or flip report DisplayResult::SurfaceLost; RestoreSurfaces makes the textures
  // again and the next frame lays the whole picture.
  void HandleEvent(const SDL_Event& event);
  // For tests: the next copy or flip reports DisplayResult::SurfaceLost.
  void InjectSurfaceLoss() { lost = true; }

  // The next `frames` frames fade from `from` (screen-sized, 0xFFRRGGBB: the picture
  // shown before this display took over) to this display's own, in equal steps.
  void FadeFrom(PackedImage from, int frames);
  bool Fading() const { return fadeFramesLeft > 0; }

  // The last frame composed, screen-sized, 0xFFRRGGBB; false before the first.
  bool Screenshot(PackedImage& image);
  // Rows [firstRow, firstRow + rows) of the last frame composed into `image`, which is
  // already screen-sized; false before the first frame, or where no frame is kept in
  // memory (a GPU's: Screenshot composes it anew).
  bool CopyRows(PackedImage& image, int firstRow, int rows) const;
  // The same as a 24-bit PNG file; false if there is none or writing failed.
  bool SaveScreenshotPng(const std::string& path);

  bool OnGpu() const { return gpu; }
  bool OnFramebuffer() const { return framebuffer != nullptr; }
  // Where the design lies on the renderer's output or the window (offscreen: on the
  // picture), the status band as far down as it is drawn.
  ScreenPlacement Placement() const;
  int Width() const { return pictures->Width(); }
  int Height() const { return pictures->Height(); }
  SharpFigures Figures() const;

private:
  explicit SharpDisplay(std::shared_ptr<const SharpPictures> pictures);
  bool MakeTextures(std::string* error);
  void ReleaseTextures();
  void BodyDestination(int soma, int x, int y, SDL_Rect& destination) const;
  void DrawListOnRenderer();
  bool ShowOnFramebuffer();
  const std::uint32_t* NextFadedFrame();
  SDL_Texture* TextTexture(const DrawList::Text& text, ScaledFont& textFont);

  struct BodyDraw {
    int soma, level, x, y;
  };

  // Parameters
  std::shared_ptr<const SharpPictures> pictures;
  std::unique_ptr<ScaledFont> font;  // null: text is not drawn
  std::unique_ptr<ScaledFont> largeFont;  // null: large text is set in `font`
  SDL_Renderer* renderer = nullptr;  // null: offscreen or the framebuffer
  std::unique_ptr<WindowFramebuffer> framebuffer;  // null: offscreen or a renderer
  bool gpu = false;
  SDL_Rect shown{};                  // where the picture lies on the output, before it is turned
  int rotationDegrees = 0;           // clockwise, as the picture is turned on the output
  SDL_Point outputSize{};            // the renderer's output or the window's surface, pixels

  // The frame being made: what it draws, kept for the screenshot.
  DrawList list;
  NeuritePlaces places;  // where the model's points lie on the painted neurites
  SharpContext context;
  bool contextLent = false;
  bool labeled = false;
  bool frameLabeled = false;
  std::vector<BodyDraw> bodyDraws;
  bool composed = false;

  // Composition in memory (offscreen and the software renderer).
  std::unique_ptr<SharpFrame> frame;
  SDL_Texture* frameTexture = nullptr;
  std::vector<SDL_Rect> changedRects;
  std::vector<std::uint32_t> turnedRow;  // a surface row gathered from the upright frame

  // Textures of the GPU path.
  SDL_Texture* backgroundTexture = nullptr;
  std::vector<SDL_Texture*> labelTextures;
  std::vector<SDL_Texture*> bodyTextures;
  // The GPU's frame composed again in memory for screenshots, kept between them so
  // that each lays again only what the last one drew over.
  std::unique_ptr<SharpFrame> screenshotFrame;
  std::vector<SDL_Texture*> glowTextures;
  SDL_Texture* textTexture = nullptr;
  std::string textTextureText;
  ColorRef textTextureColor = 0;
  bool textTextureLarge = false;

  // The fade from the picture shown before: its pixels (screen-sized; or, on a GPU,
  // a texture of them), the frames it lasts and those still to come, the blended
  // frame of the memory paths, and whether the frame after the fade must be shown
  // whole.
  PackedImage fadeFrom;
  SDL_Texture* fadeTexture = nullptr;
  int fadeFrames = 0;
  int fadeFramesLeft = 0;
  std::vector<std::uint32_t> faded;
  bool wholeAfterFade = false;

  // State
  bool lost = false;
  Uint32 madeTicks = 0;  // SDL tick at creation: earlier size events are not losses
  SharpFigures figures;
  std::size_t pendingUploadBytes = 0;  // sent to the renderer in the frame being made
};

// The sharp picture of one frame for a width x height screen, made without a window:
// the pictures are painted for that size, then `compose` makes the frame on a
// display composing in memory, as the frame cycle or the simulator's picture makes
// it. The result is what a screenshot of the same frame on a screen of that size
// shows. False, with the reason in `error`, if the labels' font cannot be used or
// `compose` fails.
bool ComposeSharpPicture(int width, int height, SharpFit fit,
                         const std::function<bool(SharpDisplay&)>& compose, PackedImage& picture, std::string* error);

}  // namespace velmora
