#include "display/ExhibitDisplay.h"

#include <cstdio>
#include <utility>
#include <vector>

#include "platform/BuildId.h"
#include "platform/CommandLineSupport.h"
#include "platform/Presenter.h"

namespace velmora {

ExhibitDisplay::ExhibitDisplay(MessageBoxes& boxes, const PictureChoice& pictureChoice, BuiltInImageLookup images)
    : choice(pictureChoice), cache(pictureChoice.cacheFolder, ProgramBuildId()), classic(boxes, images) {}

ExhibitDisplay::~ExhibitDisplay() { Release(); }

void ExhibitDisplay::InitDisplay(SDL_Window* target, ScreenMode mode, bool headlessRun) {
  window = target;
  headless = headlessRun;
  classic.InitDisplay(window, mode, headless, choice.refreshHz, choice.rotationDegrees);
  if (!classic.Ready() || !choice.sharp) return;
  if (headless) {
    SDL_SetWindowSize(window, choice.pretendWidthPixels, choice.pretendHeightPixels);
    Want(choice.pretendWidthPixels, choice.pretendHeightPixels);
    if (ShowKeptPictures()) return;
    StartPainting();
    if (std::shared_ptr<SharpPictures> pictures = TakePainting()) ShowPictures(std::move(pictures));
    return;
  }
  // Full screen: the screen's size, which the window takes as the events of its mode
  // change arrive; a window: its output. Should the output turn out otherwise, its
  // size events say so. The painting begins once the first frame is shown.
  SDL_DisplayMode screen{};
  if (mode == ScreenMode::FullScreen && SDL_GetCurrentDisplayMode(SDL_GetWindowDisplayIndex(window), &screen) == 0) {
    Want(screen.w, screen.h);
  } else {
    int width = 0, height = 0;
    OutputSize(width, height);
    Want(width, height);
  }
  ShowKeptPictures();
}

bool ExhibitDisplay::OutputSize(int& width, int& height) const {
  SDL_Renderer* renderer = SDL_GetRenderer(window);
  if (renderer != nullptr) return SDL_GetRendererOutputSize(renderer, &width, &height) == 0;
  SDL_GetWindowSize(window, &width, &height);
  return true;
}

void ExhibitDisplay::Want(int outputWidth, int outputHeight) {
  // Pictures are painted upright: a quarter turn swaps the screen's sides.
  const bool quarterTurn = choice.rotationDegrees == 90 || choice.rotationDegrees == 270;
  wantedWidth = quarterTurn ? outputHeight : outputWidth;
  wantedHeight = quarterTurn ? outputWidth : outputHeight;
}

ScreenPlacement ExhibitDisplay::Placement() const {
  if (sharp) return sharp->Placement();
  return classic.Placement();
}

FrameDisplay& ExhibitDisplay::Shown() {
  if (sharp) return *sharp;
  return classic;
}

void ExhibitDisplay::FollowScreen() {
  if (!choice.sharp || !classic.Ready()) return;
  if (outputMayHaveChanged && !headless) {
    outputMayHaveChanged = false;
    int width = 0, height = 0;
    if (OutputSize(width, height) && width > 0 && height > 0) {
      Want(width, height);
    }
  }
  if (sharp && (sharp->Width() != wantedWidth || sharp->Height() != wantedHeight)) {
    sharp.reset();
    classic.RestoreSurfaces();
  }
  if (painter && painter->Ready()) {
    std::shared_ptr<SharpPictures> pictures = TakePainting();
    if (!pictures) {
      failedWidth = wantedWidth;
      failedHeight = wantedHeight;
    } else if (pictures->Width() == wantedWidth && pictures->Height() == wantedHeight) {
      const PackedImage before = ClassicPictureOnScreen();
      ShowPictures(std::move(pictures));
      // The switch from a picture already on the screen fades rather than jumps.
      if (sharp && frameShown) sharp->FadeFrom(before, kCrossFadeFrames);
    }
  }
  if (!sharp && !painter && frameShown && !(wantedWidth == failedWidth && wantedHeight == failedHeight) &&
      !ShowKeptPictures()) {
    StartPainting();
  }
}

std::shared_ptr<SharpPictures> ExhibitDisplay::TakePainting() {
  if (!painter) return nullptr;
  std::string error;
  std::shared_ptr<SharpPictures> pictures = painter->Take(&error);
  if (!pictures) std::fprintf(stderr, "velmora: the sharp picture cannot be painted (%s); the classic one shows\n", error.c_str());
  if (!painter->KeepError().empty() && !keepErrorShown) {
    keepErrorShown = true;
    std::fprintf(stderr, "velmora: the painted pictures cannot be kept (%s); they are painted at every start\n",
                 painter->KeepError().c_str());
  }
  painter.reset();
  return pictures;
}

bool ExhibitDisplay::ShowKeptPictures() {
  if (!cache.Enabled() || wantedWidth <= 0 || wantedHeight <= 0 ||
      static_cast<long long>(wantedWidth) * wantedHeight > kLargestScreenAreaPixels) {
    return false;
  }
  std::shared_ptr<SharpPictures> kept = cache.Load(wantedWidth, wantedHeight, choice.fit);
  if (!kept || !AddSharpLabels(*kept, nullptr)) return false;
  ShowPictures(std::move(kept));
  picturesFromCache = sharp != nullptr;
  return picturesFromCache;
}

PackedImage ExhibitDisplay::ClassicPictureOnScreen() const {
  PackedImage picture;
  const SDL_Surface* frame = classic.BackBuffer();
  if (frame == nullptr || wantedWidth <= 0 || wantedHeight <= 0) return picture;
  std::vector<std::uint32_t> rgb(static_cast<std::size_t>(frame->w) * static_cast<std::size_t>(frame->h));
  if (SDL_ConvertPixels(frame->w, frame->h, frame->format->format, frame->pixels, frame->pitch, SDL_PIXELFORMAT_ARGB8888,
                        rgb.data(), frame->w * 4) != 0) {
    return picture;
  }
  const Letterbox box = LetterboxOn(frame->w, frame->h, wantedWidth, wantedHeight);
  picture.width = wantedWidth;
  picture.height = wantedHeight;
  picture.pixels.assign(static_cast<std::size_t>(wantedWidth) * static_cast<std::size_t>(wantedHeight), 0xFF000000u);
  for (int y = 0; y < box.height; ++y) {
    const std::uint32_t* from = rgb.data() + static_cast<std::size_t>(box.FrameRow(y)) * static_cast<std::size_t>(frame->w);
    std::uint32_t* to = picture.pixels.data() + static_cast<std::size_t>(box.top + y) * static_cast<std::size_t>(wantedWidth) +
                        static_cast<std::size_t>(box.left);
    for (int x = 0; x < box.width; ++x) to[x] = from[box.FrameColumn(x)];
  }
  return picture;
}

void ExhibitDisplay::ShowPictures(std::shared_ptr<SharpPictures> pictures) {
  std::string error;
  SDL_Renderer* renderer = SDL_GetRenderer(window);
  sharp = renderer == nullptr && IsFramebufferWindow(window)
              ? SharpDisplay::CreateForFramebuffer(window, std::move(pictures), choice.rotationDegrees)
              : SharpDisplay::CreateForRenderer(renderer, std::move(pictures), &error, choice.rotationDegrees);
  if (!sharp) {
    std::fprintf(stderr, "velmora: the sharp picture cannot be shown (%s); the classic one shows\n", error.c_str());
    failedWidth = wantedWidth;
    failedHeight = wantedHeight;
    // Making the textures has set the renderer up for the sharp display already.
    classic.RestoreSurfaces();
    return;
  }
  sharp->SelectBackground(background);
  std::fprintf(stderr, "velmora: sharp picture at %d x %d, %s\n", sharp->Width(), sharp->Height(),
               sharp->OnGpu()           ? "its pictures in the renderer's textures"
               : sharp->OnFramebuffer() ? "composed in memory, shown through the window's framebuffer"
                                        : "composed in memory");
}

void ExhibitDisplay::StartPainting() {
  if (wantedWidth <= 0 || wantedHeight <= 0) return;
  if (static_cast<long long>(wantedWidth) * wantedHeight > kLargestScreenAreaPixels) {
    std::fprintf(stderr, "velmora: a %d x %d screen is larger than the sharp picture is drawn for (%s); the classic one shows\n",
                 wantedWidth, wantedHeight, ScreenSizeLimits().c_str());
    failedWidth = wantedWidth;
    failedHeight = wantedHeight;
    return;
  }
  painter = std::make_unique<SharpPicturePainter>(wantedWidth, wantedHeight, choice.fit, &cache);
}

DisplayResult ExhibitDisplay::BlitBackground() {
  FollowScreen();
  return Shown().BlitBackground();
}

DisplayResult ExhibitDisplay::BlitSomaCell(int x, int y, const SourceRect& source) {
  return Shown().BlitSomaCell(x, y, source);
}

TextDeviceContext* ExhibitDisplay::GetBackBufferDC() { return Shown().GetBackBufferDC(); }

void ExhibitDisplay::ReleaseBackBufferDC(TextDeviceContext* dc) { Shown().ReleaseBackBufferDC(dc); }

DisplayResult ExhibitDisplay::FlipBuffers() {
  const DisplayResult result = Shown().FlipBuffers();
  frameShown = frameShown || result == DisplayResult::Ok;
  return result;
}

DisplayResult ExhibitDisplay::RestoreSurfaces() {
  const DisplayResult result = Shown().RestoreSurfaces();
  if (result == DisplayResult::Ok) ++restoresDone;
  return result;
}

void ExhibitDisplay::SelectBackground(Background selected) {
  background = selected;
  classic.SelectBackground(selected);
  if (sharp) sharp->SelectBackground(selected);
}

const DrawingStyle& ExhibitDisplay::NetworkStyle() const {
  return sharp ? sharp->NetworkStyle() : classic.NetworkStyle();
}

void ExhibitDisplay::Release() {
  sharp.reset();
  painter.reset();
  classic.Release();
}

void ExhibitDisplay::HandleEvent(const SDL_Event& event) {
  classic.HandleEvent(event);
  if (sharp) sharp->HandleEvent(event);
  if (event.type == SDL_WINDOWEVENT && (event.window.event == SDL_WINDOWEVENT_SIZE_CHANGED ||
                                        event.window.event == SDL_WINDOWEVENT_DISPLAY_CHANGED)) {
    outputMayHaveChanged = true;
  }
}

bool ExhibitDisplay::SaveScreenshotPng(const std::string& path) {
  if (sharp) return sharp->SaveScreenshotPng(path);
  return classic.SaveBackBufferPng(path);
}

}  // namespace velmora
