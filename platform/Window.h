#pragma once
// The exhibit's main window on SDL, and its SDL events turned into the few messages
// the window handles: paint, key down (as virtual-key codes), a finger's or the left
// mouse button's touch (in the output's pixels), the start message, the window
// system's close command and the ticks of the window's timer.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "platform/Clock.h"
#include "platform/Keys.h"
#include "platform/PeriodicTimer.h"
#include "platform/Touch.h"

struct SDL_Window;
struct SDL_Renderer;
union SDL_Event;

namespace velmora {

enum class WindowMessageKind { Paint, KeyDown, Start, Close, Timer, Touch };

struct WindowMessage {
  WindowMessage() = default;
  WindowMessage(WindowMessageKind messageKind, VirtualKey messageKey = VK_NONE) : kind(messageKind), key(messageKey) {}

  WindowMessageKind kind = WindowMessageKind::Paint;
  VirtualKey key = VK_NONE;  // KeyDown only
  ScreenTouch touch;         // Touch only
};

struct WindowPlacement {
  const char* title = "";
  int x = 0;             // screen pixels, left edge
  int y = 0;             // screen pixels, top edge
  int widthPixels = 0;
  int heightPixels = 0;
};

// How the window's renderer is chosen.
struct RendererChoice {
  bool vsync = false;  // present waits for the vertical blank (not on SDL's software renderer, which cannot)
  // No renderer where no GPU would draw (SDL's software renderer, or OpenGL that the
  // processor emulates), unless SDL_RENDER_DRIVER names one: frames then go through
  // the window's framebuffer (platform/WindowFramebuffer.h).
  bool framebufferWithoutGpu = false;
};

class Window {
public:
  // The timer counts on `clock`.
  explicit Window(Clock& clock);
  ~Window();
  Window(const Window&) = delete;
  Window& operator=(const Window&) = delete;

  // Makes the window (hidden, black) and its renderer, or marks it for its
  // framebuffer, after SDL_Init; false with the reason in `error`.
  bool Create(const WindowPlacement& placement, std::string* error, const RendererChoice& rendererChoice = {});
  // Shows the window and queues its first paint.
  void Show();
  SDL_Window* Handle() const { return window; }

  // No mouse pointer over the window.
  void HideCursor();
  // True when the system has a touch screen (or any touch device).
  bool HasTouchDevice() const;
  // A scripted touch, put into SDL's queue as a touch screen's finger event would be.
  void InjectTouch(const ScreenTouch& touch);
  // White text with a transparent background, in the default font, at window pixels
  // (x, y), shown at once. The renderer (or the framebuffer) it uses stays with the
  // window, for the display to take over.
  void DrawText(std::string_view text, int x, int y);

  void PostStart();
  // The timer's interval; 0 stops it. Its ticks come only when no other message
  // waits, at the interval on average however late each was noticed.
  void SetTimer(std::uint32_t intervalMs);

  // The next message, false if none; waits up to `waitMs` for one.
  bool NextMessage(WindowMessage& message, std::uint32_t waitMs);
  // Sees every SDL event taken from the queue, before it is turned into a message.
  void SetEventObserver(std::function<void(const SDL_Event&)> observer);

  // The renderer and the window, in that order; after this, nothing is shown.
  void Destroy();

private:
  bool Translate(const SDL_Event& event, WindowMessage& message) const;
  bool TimerDue(std::uint32_t& waitMs);

  Clock& clock;
  SDL_Window* window = nullptr;
  SDL_Renderer* renderer = nullptr;
  std::uint32_t startEventType = 0;
  std::uint32_t paintEventType = 0;
  PeriodicTimer timer;
  std::function<void(const SDL_Event&)> eventObserver;
};

// Ends with a flag, not at once: SIGINT and SIGTERM set it, the main loop reads it and
// ends the exhibit as Esc does, so every release at shutdown still runs.
void InstallStopSignals();
bool StopSignalReceived();

}  // namespace velmora
