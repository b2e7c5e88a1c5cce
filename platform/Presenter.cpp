#include "platform/Presenter.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <numeric>

namespace velmora {

// Overriding, so that an SDL_VIDEODRIVER left in the environment cannot send a
// headless run to a screen (or make it fail for want of one).
void SelectHeadlessVideoDriver() {
  SDL_SetHintWithPriority(SDL_HINT_VIDEODRIVER, "dummy", SDL_HINT_OVERRIDE);
}

bool VideoDriverShowsNothing() {
  const char* driver = SDL_GetCurrentVideoDriver();
  return driver == nullptr || std::strcmp(driver, "offscreen") == 0 || std::strcmp(driver, "dummy") == 0;
}

namespace {

// glGetString's name for the renderer's description (GL_RENDERER).
constexpr unsigned int kGlRendererName = 0x1F01;
// How Mesa's drivers that run on the processor name themselves.
constexpr const char* kEmulatedGlNames[] = {"llvmpipe", "softpipe", "swrast", "Software Rasterizer"};

std::vector<SDL_DisplayMode> DisplayModes(int display) {
  std::vector<SDL_DisplayMode> modes(static_cast<std::size_t>(std::max(0, SDL_GetNumDisplayModes(display))));
  for (std::size_t i = 0; i < modes.size(); ++i) SDL_GetDisplayMode(display, static_cast<int>(i), &modes[i]);
  return modes;
}

}  // namespace

bool OpenGlIsEmulated(SDL_Renderer* renderer) {
  SDL_RendererInfo info{};
  if (renderer == nullptr || SDL_GetRendererInfo(renderer, &info) != 0 || std::strncmp(info.name, "opengl", 6) != 0 ||
      SDL_GL_GetCurrentContext() == nullptr) {
    return false;
  }
  // The renderer's context is the current one once it is made.
  using GetString = const unsigned char* (*)(unsigned int);
  const auto getString = reinterpret_cast<GetString>(SDL_GL_GetProcAddress("glGetString"));
  const unsigned char* name = getString != nullptr ? getString(kGlRendererName) : nullptr;
  if (name == nullptr) return false;
  const std::string description(reinterpret_cast<const char*>(name));
  return std::any_of(std::begin(kEmulatedGlNames), std::end(kEmulatedGlNames),
                     [&](const char* emulated) { return description.find(emulated) != std::string::npos; });
}

bool IsSoftwareRenderer(SDL_Renderer* renderer) {
  SDL_RendererInfo info{};
  return renderer != nullptr && SDL_GetRendererInfo(renderer, &info) == 0 && std::strcmp(info.name, "software") == 0;
}

RefreshModeChoice ChooseRefreshMode(const std::vector<SDL_DisplayMode>& modes, int width, int height, int refreshHz) {
  RefreshModeChoice choice;
  std::vector<int> offered;
  for (const SDL_DisplayMode& mode : modes) {
    if (mode.w != width || mode.h != height) continue;
    if (mode.refresh_rate == refreshHz) {
      choice.found = true;
      choice.mode = mode;
      return choice;
    }
    if (mode.refresh_rate > 0 && std::find(offered.begin(), offered.end(), mode.refresh_rate) == offered.end()) {
      offered.push_back(mode.refresh_rate);
    }
  }
  std::sort(offered.begin(), offered.end());
  std::string rates;
  for (std::size_t i = 0; i < offered.size(); ++i) {
    rates += (i == 0 ? "" : i + 1 == offered.size() ? " and " : ", ") + std::to_string(offered[i]);
  }
  choice.message = "the screen offers no " + std::to_string(refreshHz) + " Hz mode at " + std::to_string(width) +
                   " x " + std::to_string(height) + " (" +
                   (offered.empty() ? std::string("it names no refresh rate there") : "only " + rates + " Hz") +
                   "); the exhibit runs at the screen's present rate";
  return choice;
}

Letterbox LetterboxOn(int frameWidth, int frameHeight, int outputWidth, int outputHeight) {
  Letterbox box;
  const double scale = std::min(static_cast<double>(outputWidth) / frameWidth, static_cast<double>(outputHeight) / frameHeight);
  box.width = std::max(1, static_cast<int>(frameWidth * scale));
  box.height = std::max(1, static_cast<int>(frameHeight * scale));
  box.left = (outputWidth - box.width) / 2;
  box.top = (outputHeight - box.height) / 2;
  box.frameWidth = frameWidth;
  box.frameHeight = frameHeight;
  return box;
}

Presenter::Presenter(SDL_Window* target) : window(target) {}

Presenter::~Presenter() {
  ReleaseFrameTexture();
  if (ownsRenderer && renderer != nullptr) SDL_DestroyRenderer(renderer);
  // Giving the screen mode back: a switched mode ends with leaving full screen.
  if (modeSwitched) SDL_SetWindowFullscreen(window, 0);
}

std::unique_ptr<Presenter> Presenter::Create(SDL_Window* window, std::string* error) {
  if (window == nullptr) {
    if (error != nullptr) *error = "no window";
    return nullptr;
  }
  auto presenter = std::unique_ptr<Presenter>(new Presenter(window));
  if (IsFramebufferWindow(window) && SDL_GetRenderer(window) == nullptr) {
    presenter->framebuffer = std::make_unique<WindowFramebuffer>(window);
    return presenter;
  }
  if (!presenter->CreateRenderer(error)) return nullptr;
  return presenter;
}

bool Presenter::CreateRenderer(std::string* error) {
  // Nearest-neighbour scaling keeps the painted picture crisp. The window's renderer
  // and its vsync were chosen with the window (platform/Window.h); one made here, for
  // a window without, does not wait for the vertical blank.
  SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "nearest");
  SDL_SetHint(SDL_HINT_RENDER_VSYNC, "0");
  renderer = SDL_GetRenderer(window);
  ownsRenderer = false;
  if (renderer == nullptr) {
    renderer = SDL_CreateRenderer(window, -1, SDL_RENDERER_ACCELERATED);
    if (renderer == nullptr) renderer = SDL_CreateRenderer(window, -1, SDL_RENDERER_SOFTWARE);
    ownsRenderer = renderer != nullptr;
  }
  if (renderer == nullptr && error != nullptr) *error = SDL_GetError();
  return renderer != nullptr;
}

bool Presenter::EnterScreenMode(ScreenMode mode, int widthPixels, int heightPixels, int refreshHz) {
  screenMode = mode;
  // The display mode of the refresh rate at `width` x `height`, if the screen has one.
  const auto refreshMode = [&](int display, int width, int height, SDL_DisplayMode& chosen) {
    if (refreshHz <= 0) return false;
    const RefreshModeChoice choice = ChooseRefreshMode(DisplayModes(display), width, height, refreshHz);
    if (!choice.found) {
      std::fprintf(stderr, "velmora: %s\n", choice.message.c_str());
      return false;
    }
    chosen = choice.mode;
    return true;
  };
  switch (mode) {
    case ScreenMode::Windowed:
      SDL_SetWindowFullscreen(window, 0);
      SDL_SetWindowSize(window, widthPixels, heightPixels);
      SDL_SetWindowPosition(window, SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED);
      return true;
    case ScreenMode::FullScreen: {
      // Without a window manager "fullscreen desktop" leaves the window at its old
      // size, so the window is first made borderless and as large as the monitor
      // it is on; a window manager then also gets the full-screen request.
      const int display = SDL_GetWindowDisplayIndex(window);
      SDL_Rect bounds{};
      if (display < 0 || SDL_GetDisplayBounds(display, &bounds) != 0) return false;
      // A refresh rate of its own takes a true mode switch at the screen's size.
      if (SDL_DisplayMode chosen{}; refreshMode(display, bounds.w, bounds.h, chosen)) {
        SDL_SetWindowSize(window, bounds.w, bounds.h);
        if (SDL_SetWindowDisplayMode(window, &chosen) != 0) return false;
        if (SDL_SetWindowFullscreen(window, SDL_WINDOW_FULLSCREEN) != 0) return false;
        modeSwitched = true;
        return true;
      }
      SDL_SetWindowBordered(window, SDL_FALSE);
      SDL_SetWindowPosition(window, bounds.x, bounds.y);
      SDL_SetWindowSize(window, bounds.w, bounds.h);
      return SDL_SetWindowFullscreen(window, SDL_WINDOW_FULLSCREEN_DESKTOP) == 0;
    }
    case ScreenMode::ModeSwitch: {
      const int display = SDL_GetWindowDisplayIndex(window);
      SDL_DisplayMode wanted{SDL_PIXELFORMAT_RGB565, widthPixels, heightPixels, 0, nullptr};
      SDL_DisplayMode closest{};
      if (display < 0 || SDL_GetClosestDisplayMode(display, &wanted, &closest) == nullptr) return false;
      if (closest.w != widthPixels || closest.h != heightPixels) return false;
      refreshMode(display, widthPixels, heightPixels, closest);
      SDL_SetWindowSize(window, widthPixels, heightPixels);
      if (SDL_SetWindowDisplayMode(window, &closest) != 0) return false;
      if (SDL_SetWindowFullscreen(window, SDL_WINDOW_FULLSCREEN) != 0) return false;
      modeSwitched = true;
      return true;
    }
  }
  return false;
}

bool Presenter::MakeConversionTable(Uint32 windowFormat) {
  if (!windowPixelOfRgb565.empty() && tableFormat == windowFormat) return true;  // a restore finds it ready
  constexpr int kRgb565Values = 1 << 16;
  std::vector<std::uint16_t> values(kRgb565Values);
  std::iota(values.begin(), values.end(), std::uint16_t{0});
  windowPixelOfRgb565.resize(kRgb565Values);
  tableFormat = windowFormat;
  if (SDL_ConvertPixels(kRgb565Values, 1, SDL_PIXELFORMAT_RGB565, values.data(), kRgb565Values * 2, windowFormat,
                        windowPixelOfRgb565.data(), kRgb565Values * 4) != 0) {
    windowPixelOfRgb565.clear();
    return false;
  }
  return true;
}

bool Presenter::CreateFrameTexture(int widthPixels, int heightPixels) {
  ReleaseFrameTexture();
  if (framebuffer) {
    // The window's format is known once its surface is got, at the first present.
    textureWidthPixels = widthPixels;
    textureHeightPixels = heightPixels;
    framebuffer->Invalidate();
    return true;
  }
  // The window's own 32-bit format without alpha: the renderer's copy is then a plain copy.
  const Uint32 windowFormat = SDL_GetWindowPixelFormat(window);
  if (!IsSoftwareRenderer(renderer) || SDL_BYTESPERPIXEL(windowFormat) != 4 || SDL_ISPIXELFORMAT_ALPHA(windowFormat)) {
    windowPixelOfRgb565.clear();
  } else {
    MakeConversionTable(windowFormat);
  }
  texture = SDL_CreateTexture(renderer, ConvertsFrames() ? windowFormat : Uint32{SDL_PIXELFORMAT_RGB565},
                              SDL_TEXTUREACCESS_STREAMING, widthPixels, heightPixels);
  if (texture == nullptr) return false;
  textureWidthPixels = widthPixels;
  textureHeightPixels = heightPixels;
  // Another display may have left a logical size, a scale or a viewport behind; the
  // placement is done here, in the output's pixels.
  return SDL_RenderSetLogicalSize(renderer, 0, 0) == 0 && SDL_RenderSetScale(renderer, 1.0f, 1.0f) == 0 &&
         SDL_RenderSetViewport(renderer, nullptr) == 0;
}

ScreenPlacement Presenter::Placement() const {
  int outputWidth = 0, outputHeight = 0;
  if (framebuffer) {
    // As the frame is put on the window: at whole pixels (LetterboxOn).
    SDL_GetWindowSizeInPixels(window, &outputWidth, &outputHeight);
    ScreenPlacement placement = FitPicture(outputWidth, outputHeight, rotationDegrees, textureWidthPixels, textureHeightPixels);
    if (textureWidthPixels <= 0 || textureHeightPixels <= 0) return placement;
    const Letterbox box = LetterboxOn(textureWidthPixels, textureHeightPixels, placement.UprightWidth(), placement.UprightHeight());
    placement.scale = static_cast<double>(box.width) / textureWidthPixels;
    placement.offsetX = box.left;
    placement.offsetY = box.top;
    return placement;
  }
  if (renderer == nullptr || SDL_GetRendererOutputSize(renderer, &outputWidth, &outputHeight) != 0) {
    outputWidth = textureWidthPixels;
    outputHeight = textureHeightPixels;
  }
  return FitPicture(outputWidth, outputHeight, rotationDegrees, textureWidthPixels, textureHeightPixels);
}

void Presenter::ReleaseFrameTexture() {
  if (texture != nullptr) SDL_DestroyTexture(texture);
  texture = nullptr;
  shownFrame.clear();
}

bool Presenter::Restore() {
  const int widthPixels = textureWidthPixels, heightPixels = textureHeightPixels;
  if (framebuffer) return CreateFrameTexture(widthPixels, heightPixels);
  if (deviceReset) {
    ReleaseFrameTexture();
    if (ownsRenderer && renderer != nullptr) SDL_DestroyRenderer(renderer);
    renderer = nullptr;
    if (!CreateRenderer(nullptr)) return false;
    deviceReset = false;
  }
  return CreateFrameTexture(widthPixels, heightPixels);
}

namespace {

// Side of the square parts of a frame compared with the last one, frame pixels.
constexpr int kComparedTilePixels = 16;

// True if the tile's pixels differ between two RGB565 frames of `width` pixels a row.
bool TileDiffers(const std::uint16_t* shown, const SDL_Surface& frame, int left, int top, int right, int bottom) {
  for (int y = top; y < bottom; ++y) {
    const auto* row = reinterpret_cast<const std::uint16_t*>(static_cast<const std::uint8_t*>(frame.pixels) +
                                                             static_cast<std::ptrdiff_t>(y) * frame.pitch);
    if (std::memcmp(row + left, shown + static_cast<std::ptrdiff_t>(y) * frame.w + left,
                    static_cast<std::size_t>(right - left) * sizeof(std::uint16_t)) != 0) {
      return true;
    }
  }
  return false;
}

}  // namespace

bool Presenter::PresentOnFramebuffer(const SDL_Surface& frame) {
  if (frame.w != textureWidthPixels || frame.h != textureHeightPixels) return false;
  bool whole = false;
  SDL_Surface* surface = framebuffer->Begin(whole);
  if (surface == nullptr || SDL_MUSTLOCK(surface)) return false;
  const bool fourBytes = surface->format->BytesPerPixel == 4;
  if (!MakeConversionTable(fourBytes ? surface->format->format : Uint32{SDL_PIXELFORMAT_ARGB8888})) return false;
  if (whole) {
    turn = {rotationDegrees, surface->w, surface->h};
    shown = LetterboxOn(frame.w, frame.h, turn.UprightWidth(), turn.UprightHeight());
    frameColumnOf.resize(static_cast<std::size_t>(shown.width));
    for (int x = 0; x < shown.width; ++x) frameColumnOf[static_cast<std::size_t>(x)] = shown.FrameColumn(x);
    frameRowOf.resize(static_cast<std::size_t>(shown.height));
    for (int y = 0; y < shown.height; ++y) frameRowOf[static_cast<std::size_t>(y)] = shown.FrameRow(y);
    SDL_FillRect(surface, nullptr, SDL_MapRGB(surface->format, 0, 0, 0));
    shownFrame.clear();
    scratchRow.resize(static_cast<std::size_t>(std::max(shown.width, shown.height)));
  }
  const auto frameRow = [&](int y) {
    return reinterpret_cast<const std::uint16_t*>(static_cast<const std::uint8_t*>(frame.pixels) +
                                                  static_cast<std::ptrdiff_t>(y) * frame.pitch);
  };
  const SDL_Point step = turn.UprightStep();
  // The frame's columns left..right-1 and rows top..bottom-1, scaled onto the window
  // and turned there: each of the surface's rows is filled from a row of the upright
  // letterbox (read backwards when upside down) or, turned a quarter, from a column.
  const auto put = [&](int left, int top, int right, int bottom) {
    const int x0 = shown.FirstColumnShowing(left), x1 = shown.FirstColumnShowing(right);
    const int y0 = shown.FirstRowShowing(top), y1 = shown.FirstRowShowing(bottom);
    if (x0 >= x1 || y0 >= y1) return;
    const SDL_Rect target = turn.ToSurface({shown.left + x0, shown.top + y0, x1 - x0, y1 - y0});
    for (int y = target.y; y < target.y + target.h; ++y) {
      std::uint32_t* row = fourBytes ? reinterpret_cast<std::uint32_t*>(static_cast<std::uint8_t*>(surface->pixels) +
                                                                        static_cast<std::ptrdiff_t>(y) * surface->pitch) +
                                           target.x
                                     : scratchRow.data();
      const SDL_Point at = turn.UprightOf(target.x, y);
      const int px = at.x - shown.left, py = at.y - shown.top;  // in the letterbox
      if (step.y == 0) {
        const std::uint16_t* source = frameRow(frameRowOf[static_cast<std::size_t>(py)]);
        for (int k = 0; k < target.w; ++k) row[k] = windowPixelOfRgb565[source[frameColumnOf[static_cast<std::size_t>(px + k * step.x)]]];
      } else {
        const int column = frameColumnOf[static_cast<std::size_t>(px)];
        for (int k = 0; k < target.w; ++k) {
          row[k] = windowPixelOfRgb565[frameRow(frameRowOf[static_cast<std::size_t>(py + k * step.y)])[column]];
        }
      }
      if (!fourBytes) CopyRowToSurface(scratchRow.data(), target.w, *surface, target.x, y);
    }
    framebuffer->Mark(target);
  };
  const bool compare = !shownFrame.empty();
  for (int top = 0; top < frame.h; top += kComparedTilePixels) {
    const int bottom = std::min(frame.h, top + kComparedTilePixels);
    // Runs of changed tiles along the row, each put as one rectangle.
    int runStart = -1;
    for (int left = 0;; left += kComparedTilePixels) {
      const bool past = left >= frame.w;
      const int right = std::min(frame.w, left + kComparedTilePixels);
      const bool changed = !past && (!compare || TileDiffers(shownFrame.data(), frame, left, top, right, bottom));
      if (changed && runStart < 0) runStart = left;
      if (!changed && runStart >= 0) {
        put(runStart, top, std::min(left, frame.w), bottom);
        runStart = -1;
      }
      if (past) break;
    }
  }
  shownFrame.resize(static_cast<std::size_t>(frame.w) * frame.h);
  for (int y = 0; y < frame.h; ++y) {
    std::memcpy(shownFrame.data() + static_cast<std::ptrdiff_t>(y) * frame.w,
                static_cast<const std::uint8_t*>(frame.pixels) + static_cast<std::ptrdiff_t>(y) * frame.pitch,
                static_cast<std::size_t>(frame.w) * sizeof(std::uint16_t));
  }
  return framebuffer->Show();
}

bool Presenter::Present(const SDL_Surface* frame) {
  if (framebuffer) return frame != nullptr && PresentOnFramebuffer(*frame);
  if (texture == nullptr || frame == nullptr) return false;
  if (ConvertsFrames()) {
    void* texturePixels = nullptr;
    int texturePitch = 0;
    if (frame->w != textureWidthPixels || frame->h != textureHeightPixels ||
        SDL_LockTexture(texture, nullptr, &texturePixels, &texturePitch) != 0) {
      return false;
    }
    for (int y = 0; y < frame->h; ++y) {
      const auto* source = reinterpret_cast<const std::uint16_t*>(static_cast<const std::uint8_t*>(frame->pixels) +
                                                                 static_cast<std::ptrdiff_t>(y) * frame->pitch);
      auto* target = reinterpret_cast<std::uint32_t*>(static_cast<std::uint8_t*>(texturePixels) +
                                                      static_cast<std::ptrdiff_t>(y) * texturePitch);
      for (int x = 0; x < frame->w; ++x) target[x] = windowPixelOfRgb565[source[x]];
    }
    SDL_UnlockTexture(texture);
  } else if (SDL_UpdateTexture(texture, nullptr, frame->pixels, frame->pitch) != 0) {
    return false;
  }
  // Black bars need clearing; a frame that covers the whole output overwrites every pixel.
  const ScreenPlacement placement = Placement();
  const int width = static_cast<int>(std::lround(textureWidthPixels * placement.scale));
  const int height = static_cast<int>(std::lround(textureHeightPixels * placement.scale));
  // The unturned rectangle around the output's centre: SDL turns it about that centre.
  const SDL_Rect target{(placement.outputWidth - width) / 2, (placement.outputHeight - height) / 2, width, height};
  const bool coversOutput = rotationDegrees == 0 && width == placement.outputWidth && height == placement.outputHeight;
  if (!coversOutput && SDL_RenderClear(renderer) != 0) return false;
  if (SDL_RenderCopyEx(renderer, texture, nullptr, &target, rotationDegrees, nullptr, SDL_FLIP_NONE) != 0) return false;
  SDL_RenderPresent(renderer);
  return true;
}

const char* Presenter::RendererName() const {
  if (framebuffer) return "framebuffer";
  SDL_RendererInfo info{};
  if (renderer == nullptr || SDL_GetRendererInfo(renderer, &info) != 0) return "";
  return info.name;
}

bool Presenter::Accelerated() const {
  SDL_RendererInfo info{};
  return renderer != nullptr && SDL_GetRendererInfo(renderer, &info) == 0 &&
         (info.flags & SDL_RENDERER_ACCELERATED) != 0;
}

}  // namespace velmora
