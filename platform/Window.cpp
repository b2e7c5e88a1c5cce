#include "platform/Window.h"

#include <SDL.h>
#include <SDL_ttf.h>

#include <csignal>

#include "assets/BuiltInFiles.h"
#include "platform/Presenter.h"
#include "platform/WindowFramebuffer.h"

namespace velmora {
namespace {

// The window's default font: the built-in plain sans face at the size of a system
// dialog font.
constexpr int kWindowFontSizePoints = 13;
constexpr SDL_Color kTextColor = {255, 255, 255, 255};

volatile std::sig_atomic_t stopSignal = 0;

extern "C" void OnStopSignal(int) { stopSignal = 1; }

}  // namespace

Window::Window(Clock& timerClock) : clock(timerClock) {}

Window::~Window() { Destroy(); }

bool Window::Create(const WindowPlacement& placement, std::string* error, const RendererChoice& rendererChoice) {
  const std::uint32_t firstEvent = SDL_RegisterEvents(2);
  if (firstEvent == static_cast<std::uint32_t>(-1)) {
    if (error != nullptr) *error = "no SDL user events left";
    return false;
  }
  startEventType = firstEvent;
  paintEventType = firstEvent + 1;
  window = SDL_CreateWindow(placement.title, placement.x, placement.y, placement.widthPixels,
                            placement.heightPixels, SDL_WINDOW_HIDDEN);
  if (window == nullptr) {
    if (error != nullptr) *error = SDL_GetError();
    return false;
  }
  const BuiltInFile icon = BuiltInWindowIcon();
  // SDL takes a copy of the pixels; the surface only lends it the built-in ones.
  if (SDL_Surface* iconSurface = SDL_CreateRGBSurfaceWithFormatFrom(
          const_cast<std::uint8_t*>(icon.data), kWindowIconPixels, kWindowIconPixels, 32, kWindowIconPixels * 4,
          SDL_PIXELFORMAT_RGBA32)) {
    SDL_SetWindowIcon(window, iconSurface);
    SDL_FreeSurface(iconSurface);
  }
  // Made without vsync, which SDL's software renderer would only imitate by sleeping;
  // it is asked for below from renderers that can wait for the vertical blank.
  SDL_SetHint(SDL_HINT_RENDER_VSYNC, "0");
  // A finger is taken as a finger only, not as a mouse too.
  SDL_SetHint(SDL_HINT_TOUCH_MOUSE_EVENTS, "0");
  renderer = SDL_CreateRenderer(window, -1, 0);
  const bool noGpu = renderer == nullptr || IsSoftwareRenderer(renderer) || OpenGlIsEmulated(renderer);
  if (rendererChoice.framebufferWithoutGpu && noGpu && SDL_GetHint(SDL_HINT_RENDER_DRIVER) == nullptr) {
    if (renderer != nullptr) SDL_DestroyRenderer(renderer);
    renderer = nullptr;
    // Otherwise SDL itself may show the window's surface through an OpenGL texture.
    SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
    MarkFramebufferWindow(window);
    return true;
  }
  if (renderer == nullptr) renderer = SDL_CreateRenderer(window, -1, SDL_RENDERER_SOFTWARE);
  if (renderer != nullptr && rendererChoice.vsync && !IsSoftwareRenderer(renderer)) SDL_RenderSetVSync(renderer, 1);
  if (renderer != nullptr) {
    SDL_SetRenderDrawColor(renderer, 0, 0, 0, 255);
    SDL_RenderClear(renderer);
  }
  return true;
}

void Window::Show() {
  if (window == nullptr) return;
  SDL_ShowWindow(window);
  SDL_Event paint{};
  paint.type = paintEventType;
  SDL_PushEvent(&paint);
}

void Window::HideCursor() { SDL_ShowCursor(SDL_DISABLE); }

bool Window::HasTouchDevice() const { return SDL_GetNumTouchDevices() > 0; }

namespace {

// The touch device id scripted touches arrive from; no real device has it.
constexpr SDL_TouchID kScriptTouchDevice = 0x7E1A;

// The renderer's output in pixels (the window's size without one).
void OutputSize(SDL_Window* window, int& width, int& height) {
  width = height = 0;
  SDL_Renderer* renderer = window != nullptr ? SDL_GetRenderer(window) : nullptr;
  if (renderer == nullptr || SDL_GetRendererOutputSize(renderer, &width, &height) != 0) {
    if (window != nullptr) SDL_GetWindowSize(window, &width, &height);
  }
}

}  // namespace

void Window::InjectTouch(const ScreenTouch& touch) {
  int width = 0, height = 0;
  OutputSize(window, width, height);
  if (width <= 0 || height <= 0) return;
  SDL_Event event{};
  event.type = touch.phase == TouchPhase::Down ? SDL_FINGERDOWN : touch.phase == TouchPhase::Move ? SDL_FINGERMOTION : SDL_FINGERUP;
  event.tfinger.timestamp = SDL_GetTicks();
  event.tfinger.touchId = kScriptTouchDevice;
  event.tfinger.fingerId = touch.finger;
  event.tfinger.x = static_cast<float>(touch.x / width);
  event.tfinger.y = static_cast<float>(touch.y / height);
  event.tfinger.pressure = 1.0f;
  event.tfinger.windowID = SDL_GetWindowID(window);
  SDL_PushEvent(&event);
}

void Window::DrawText(std::string_view text, int x, int y) {
  SDL_Surface* framebuffer = renderer == nullptr && IsFramebufferWindow(window) ? SDL_GetWindowSurface(window) : nullptr;
  if (renderer == nullptr && framebuffer == nullptr) return;
  const bool ttfStarted = TTF_WasInit() == 0 && TTF_Init() == 0;
  if (TTF_WasInit() == 0) return;
  const BuiltInFile face = BuiltInFont(FontFace::Regular);
  if (TTF_Font* font = TTF_OpenFontRW(SDL_RWFromConstMem(face.data, static_cast<int>(face.size)), 1,
                                      kWindowFontSizePoints)) {
    const std::string textCopy(text);
    if (SDL_Surface* rendered = TTF_RenderUTF8_Blended(font, textCopy.c_str(), kTextColor)) {
      SDL_Rect target{x, y, rendered->w, rendered->h};
      if (framebuffer != nullptr) {
        SDL_BlitSurface(rendered, nullptr, framebuffer, &target);
      } else if (SDL_Texture* texture = SDL_CreateTextureFromSurface(renderer, rendered)) {
        SDL_RenderCopy(renderer, texture, nullptr, &target);
        SDL_DestroyTexture(texture);
      }
      SDL_FreeSurface(rendered);
    }
    TTF_CloseFont(font);
  }
  if (framebuffer != nullptr) {
    SDL_UpdateWindowSurface(window);
  } else {
    SDL_RenderPresent(renderer);
  }
  if (ttfStarted) TTF_Quit();
}

void Window::PostStart() {
  SDL_Event start{};
  start.type = startEventType;
  SDL_PushEvent(&start);
}

void Window::SetTimer(std::uint32_t intervalMs) { timer.Start(intervalMs, clock.TickCount()); }

void Window::SetEventObserver(std::function<void(const SDL_Event&)> observer) {
  eventObserver = std::move(observer);
}

bool Window::TimerDue(std::uint32_t& waitMs) { return timer.Due(clock.TickCount(), waitMs); }

bool Window::NextMessage(WindowMessage& message, std::uint32_t waitMs) {
  SDL_Event event;
  while (SDL_PollEvent(&event) != 0) {
    if (eventObserver) eventObserver(event);
    if (Translate(event, message)) return true;
  }
  if (TimerDue(waitMs)) {
    message = WindowMessage{WindowMessageKind::Timer, VK_NONE};
    return true;
  }
  if (waitMs == 0 || SDL_WaitEventTimeout(&event, static_cast<int>(waitMs)) == 0) return false;
  if (eventObserver) eventObserver(event);
  return Translate(event, message);
}

bool Window::Translate(const SDL_Event& event, WindowMessage& message) const {
  if (event.type == startEventType) {
    message = WindowMessage{WindowMessageKind::Start, VK_NONE};
    return true;
  }
  if (event.type == paintEventType) {
    message = WindowMessage{WindowMessageKind::Paint, VK_NONE};
    return true;
  }
  int width = 0, height = 0;
  switch (event.type) {
    case SDL_FINGERDOWN:
    case SDL_FINGERMOTION:
    case SDL_FINGERUP:
      // Fingers come in shares of the window (SDL scales none: no logical size is set).
      OutputSize(window, width, height);
      message = WindowMessage{WindowMessageKind::Touch, VK_NONE};
      message.touch = {event.tfinger.fingerId,
                       event.type == SDL_FINGERDOWN ? TouchPhase::Down
                       : event.type == SDL_FINGERUP ? TouchPhase::Up
                                                    : TouchPhase::Move,
                       event.tfinger.x * width, event.tfinger.y * height, event.tfinger.timestamp};
      return true;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP:
    case SDL_MOUSEMOTION: {
      // Mouse events SDL makes from a finger come as the finger's own events too.
      const bool fromTouch = (event.type == SDL_MOUSEMOTION ? event.motion.which : event.button.which) == SDL_TOUCH_MOUSEID;
      if (fromTouch) return false;
      if (event.type == SDL_MOUSEMOTION && (event.motion.state & SDL_BUTTON_LMASK) == 0) return false;
      if (event.type != SDL_MOUSEMOTION && event.button.button != SDL_BUTTON_LEFT) return false;
      // Mouse positions are the window's points: scaled to the output's pixels.
      int windowWidth = 0, windowHeight = 0;
      OutputSize(window, width, height);
      SDL_GetWindowSize(window, &windowWidth, &windowHeight);
      const double sx = windowWidth > 0 ? static_cast<double>(width) / windowWidth : 1.0;
      const double sy = windowHeight > 0 ? static_cast<double>(height) / windowHeight : 1.0;
      const int x = event.type == SDL_MOUSEMOTION ? event.motion.x : event.button.x;
      const int y = event.type == SDL_MOUSEMOTION ? event.motion.y : event.button.y;
      message = WindowMessage{WindowMessageKind::Touch, VK_NONE};
      message.touch = {kMouseFinger,
                       event.type == SDL_MOUSEBUTTONDOWN ? TouchPhase::Down
                       : event.type == SDL_MOUSEBUTTONUP ? TouchPhase::Up
                                                         : TouchPhase::Move,
                       (x + 0.5) * sx, (y + 0.5) * sy,
                       event.type == SDL_MOUSEMOTION ? event.motion.timestamp : event.button.timestamp};
      return true;
    }
    case SDL_KEYDOWN: {
      // Auto-repeated presses arrive as key-downs too and act like separate presses.
      const VirtualKey key = VirtualKeyFromSdl(event.key.keysym.sym);
      if (key == VK_NONE) return false;
      message = WindowMessage{WindowMessageKind::KeyDown, key};
      return true;
    }
    case SDL_QUIT:
      message = WindowMessage{WindowMessageKind::Close, VK_NONE};
      return true;
    case SDL_WINDOWEVENT:
      if (event.window.event == SDL_WINDOWEVENT_EXPOSED) {
        message = WindowMessage{WindowMessageKind::Paint, VK_NONE};
        return true;
      }
      if (event.window.event == SDL_WINDOWEVENT_CLOSE) {
        message = WindowMessage{WindowMessageKind::Close, VK_NONE};
        return true;
      }
      return false;
    default:
      return false;
  }
}

void Window::Destroy() {
  if (renderer != nullptr) SDL_DestroyRenderer(renderer);
  renderer = nullptr;
  if (window != nullptr) SDL_DestroyWindow(window);
  window = nullptr;
}

void InstallStopSignals() {
  struct sigaction action {};
  action.sa_handler = OnStopSignal;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
}

bool StopSignalReceived() { return stopSignal != 0; }

}  // namespace velmora
