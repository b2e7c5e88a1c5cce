#include "platform/WindowFramebuffer.h"

#include <algorithm>
#include <cstring>

namespace velmora {
namespace {

// The window data key of the mark; its value is any non-null pointer.
constexpr const char* kFramebufferMark = "velmora.framebuffer";

}  // namespace

void MarkFramebufferWindow(SDL_Window* window) {
  static const char kMarked = 1;
  SDL_SetWindowData(window, kFramebufferMark, const_cast<char*>(&kMarked));
}

bool IsFramebufferWindow(SDL_Window* window) {
  return window != nullptr && SDL_GetWindowData(window, kFramebufferMark) != nullptr;
}

WindowFramebuffer::WindowFramebuffer(SDL_Window* target) : window(target) {}

SDL_Surface* WindowFramebuffer::Begin(bool& whole) {
  // SDL keeps the surface until the window's size changes, then makes a new one.
  SDL_Surface* now = SDL_GetWindowSurface(window);
  whole = now == nullptr || now != surface || now->w != width || now->h != height;
  surface = now;
  width = now != nullptr ? now->w : 0;
  height = now != nullptr ? now->h : 0;
  marked.clear();
  if (whole && now != nullptr) marked.push_back({0, 0, width, height});
  return now;
}

void WindowFramebuffer::Mark(const SDL_Rect& rect) {
  SDL_Rect clipped{};
  const SDL_Rect all{0, 0, width, height};
  if (SDL_IntersectRect(&rect, &all, &clipped) == SDL_TRUE) marked.push_back(clipped);
}

bool WindowFramebuffer::Show() {
  shownBytes = 0;
  if (surface == nullptr) return false;
  // A whole surface first in the list makes every other rectangle needless.
  if (!marked.empty() && marked.front().w == width && marked.front().h == height) marked.resize(1);
  for (const SDL_Rect& rect : marked) {
    shownBytes += static_cast<std::size_t>(rect.w) * static_cast<std::size_t>(rect.h) * surface->format->BytesPerPixel;
  }
  const bool ok = marked.empty() || SDL_UpdateWindowSurfaceRects(window, marked.data(), static_cast<int>(marked.size())) == 0;
  marked.clear();
  if (!ok) surface = nullptr;
  return ok;
}

int SurfaceTurn::UprightWidth() const { return degrees == 90 || degrees == 270 ? height : width; }
int SurfaceTurn::UprightHeight() const { return degrees == 90 || degrees == 270 ? width : height; }

SDL_Rect SurfaceTurn::ToSurface(const SDL_Rect& r) const {
  switch (degrees) {
    case 90:
      return {width - r.y - r.h, r.x, r.h, r.w};
    case 180:
      return {width - r.x - r.w, height - r.y - r.h, r.w, r.h};
    case 270:
      return {r.y, height - r.x - r.w, r.h, r.w};
    default:
      return r;
  }
}

SDL_Point SurfaceTurn::UprightOf(int x, int y) const {
  switch (degrees) {
    case 90:
      return {y, width - 1 - x};
    case 180:
      return {width - 1 - x, height - 1 - y};
    case 270:
      return {height - 1 - y, x};
    default:
      return {x, y};
  }
}

SDL_Point SurfaceTurn::UprightStep() const {
  switch (degrees) {
    case 90:
      return {0, -1};
    case 180:
      return {-1, 0};
    case 270:
      return {0, 1};
    default:
      return {1, 0};
  }
}

void CopyRowToSurface(const std::uint32_t* from, int count, SDL_Surface& surface, int x, int y) {
  auto* to = static_cast<std::uint8_t*>(surface.pixels) + static_cast<std::ptrdiff_t>(y) * surface.pitch +
             static_cast<std::ptrdiff_t>(x) * surface.format->BytesPerPixel;
  const Uint32 format = surface.format->format;
  if (format == SDL_PIXELFORMAT_RGB888 || format == SDL_PIXELFORMAT_ARGB8888) {
    std::memcpy(to, from, static_cast<std::size_t>(count) * sizeof(std::uint32_t));
  } else {
    SDL_ConvertPixels(count, 1, SDL_PIXELFORMAT_ARGB8888, from, count * 4, format, to, surface.pitch);
  }
}

}  // namespace velmora
