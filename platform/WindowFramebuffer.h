#pragma once
// The window's own framebuffer, for screens where no GPU draws: frames are written
// straight into the window's surface and only the rectangles that changed are handed
// to the window system (SDL_UpdateWindowSurfaceRects), with no renderer, texture or
// OpenGL in between. Under X11 the surface is a shared-memory image the X server
// copies from; where OpenGL is only emulated on the processor, drawing a frame-sized
// texture through it costs many times more.
//
// Presenters mark changed parts as they write them; overlays drawn after the picture
// mark theirs too. Whatever marks them, Show hands on each rectangle once.

#include <SDL.h>

#include <cstdint>
#include <vector>

namespace velmora {

// A window whose frames go through its framebuffer (Window::Create marks it, where
// OpenGL would only be emulated) rather than through a renderer.
void MarkFramebufferWindow(SDL_Window* window);
bool IsFramebufferWindow(SDL_Window* window);

class WindowFramebuffer {
public:
  explicit WindowFramebuffer(SDL_Window* window);

  // The window's surface for this frame; null if there is none. `whole` comes back
  // true when the surface is new (the first frame, a size change, after Invalidate):
  // none of its pixels can be relied on, and the frame must write all of them.
  SDL_Surface* Begin(bool& whole);
  // Marks a rectangle of the surface as changed in this frame.
  void Mark(const SDL_Rect& rect);
  // Hands the marked rectangles to the window system and forgets them; false on
  // failure, after which the next Begin starts afresh.
  bool Show();
  // The next Begin reports a new surface.
  void Invalidate() { surface = nullptr; }

  // The surface's pixel format; SDL_PIXELFORMAT_UNKNOWN before the first Begin.
  Uint32 Format() const { return surface != nullptr ? surface->format->format : Uint32{SDL_PIXELFORMAT_UNKNOWN}; }
  // Bytes handed on by the last Show.
  std::size_t ShownBytes() const { return shownBytes; }

private:
  SDL_Window* window;
  SDL_Surface* surface = nullptr;  // the surface as last got; null: start afresh
  int width = 0, height = 0;       // its size, pixels
  std::vector<SDL_Rect> marked;
  std::size_t shownBytes = 0;
};

// How an upright picture is turned onto a window's surface of `width` x `height`
// pixels, clockwise by `degrees` (0, 90, 180 or 270), for a screen mounted turned.
// Copies walk the surface's rows, where its memory runs, and fetch each pixel from
// where it lies in the upright picture.
struct SurfaceTurn {
  int degrees = 0;
  int width = 0, height = 0;  // the surface's, pixels

  // The upright frame's sides: the surface's, swapped for a quarter turn.
  int UprightWidth() const;
  int UprightHeight() const;
  // The rectangle of the surface that a rectangle of the upright frame shows on.
  SDL_Rect ToSurface(const SDL_Rect& upright) const;
  // The upright pixel that surface pixel (x, y) shows, and how far the upright
  // position moves for each step to the right on the surface.
  SDL_Point UprightOf(int x, int y) const;
  SDL_Point UprightStep() const;
};

// Converts `count` pixels of 0xXXRRGGBB to a surface's 32-bit format through
// SDL_ConvertPixels where it differs; where it is the same, a plain copy.
void CopyRowToSurface(const std::uint32_t* from, int count, SDL_Surface& surface, int x, int y);

}  // namespace velmora
