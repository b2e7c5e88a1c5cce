#include "display/ExhibitDisplay.h"

#include <cstdio>
#include <utility>

namespace velmora {

ExhibitDisplay::ExhibitDisplay(MessageBoxes& boxes, const PictureChoice& pictureChoice, BuiltInImageLookup images)
    : choice(pictureChoice), classic(boxes, images) {}

ExhibitDisplay::~ExhibitDisplay() { Release(); }

void ExhibitDisplay::InitDisplay(SDL_Window* target, ScreenMode mode, bool headlessRun) {
  window = target;
  headless = headlessRun;
  classic.InitDisplay(window, mode, headless, choice.refreshHz);
  if (!classic.Ready() || !choice.sharp) return;
  if (headless) {
    wantedWidth = choice.pretendWidthPixels;
    wantedHeight = choice.pretendHeightPixels;
    SDL_SetWindowSize(window, wantedWidth, wantedHeight);
    StartPainting();
    std::string error;
    std::shared_ptr<SharpPictures> pictures = painter->Take(&error);
    painter.reset();
    if (pictures) {
      ShowPictures(std::move(pictures));
    } else {
      std::fprintf(stderr, "velmora: the sharp picture cannot be painted (%s); the classic one shows\n", error.c_str());
    }
    return;
  }
  // Full screen: the screen's size, which the window takes as the events of its mode
  // change arrive; a window: its output. Should the output turn out otherwise, its
  // size events say so. The painting begins once the first frame is shown.
  SDL_DisplayMode screen{};
  if (mode == ScreenMode::FullScreen && SDL_GetCurrentDisplayMode(SDL_GetWindowDisplayIndex(window), &screen) == 0) {
    wantedWidth = screen.w;
    wantedHeight = screen.h;
  } else {
    OutputSize(wantedWidth, wantedHeight);
  }
}

bool ExhibitDisplay::OutputSize(int& width, int& height) const {
  SDL_Renderer* renderer = SDL_GetRenderer(window);
  if (renderer != nullptr) return SDL_GetRendererOutputSize(renderer, &width, &height) == 0;
  SDL_GetWindowSize(window, &width, &height);
  return true;
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
      wantedWidth = width;
      wantedHeight = height;
    }
  }
  if (sharp && (sharp->Width() != wantedWidth || sharp->Height() != wantedHeight)) {
    sharp.reset();
    classic.RestoreSurfaces();
  }
  if (painter && painter->Ready()) {
    std::string error;
    std::shared_ptr<SharpPictures> pictures = painter->Take(&error);
    painter.reset();
    if (!pictures) {
      std::fprintf(stderr, "velmora: the sharp picture cannot be painted (%s); the classic one shows\n", error.c_str());
      failedWidth = wantedWidth;
      failedHeight = wantedHeight;
    } else if (pictures->Width() == wantedWidth && pictures->Height() == wantedHeight) {
      ShowPictures(std::move(pictures));
    }
  }
  if (!sharp && !painter && frameShown && !(wantedWidth == failedWidth && wantedHeight == failedHeight)) {
    StartPainting();
  }
}

void ExhibitDisplay::ShowPictures(std::shared_ptr<SharpPictures> pictures) {
  std::string error;
  SDL_Renderer* renderer = SDL_GetRenderer(window);
  sharp = renderer == nullptr && IsFramebufferWindow(window)
              ? SharpDisplay::CreateForFramebuffer(window, std::move(pictures))
              : SharpDisplay::CreateForRenderer(renderer, std::move(pictures), &error);
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
  painter = std::make_unique<SharpPicturePainter>(wantedWidth, wantedHeight, choice.fit);
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
