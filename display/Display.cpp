#include "display/Display.h"

#include <cstring>
#include <vector>

#include "display/DisplayConstants.h"
#include "platform/PngWriter.h"

namespace velmora {
namespace {

constexpr int kBytesPerRgbPixel = 3;

// True if the rectangle of `source` placed at (x, y) lies inside both surfaces.
bool CopyFits(const SDL_Surface& target, const SDL_Surface& source, int x, int y,
              const SourceRect& rect) {
  return rect.left >= 0 && rect.top >= 0 && rect.left < rect.right && rect.top < rect.bottom &&
         rect.right <= source.w && rect.bottom <= source.h && x >= 0 && y >= 0 &&
         x <= target.w - (rect.right - rect.left) && y <= target.h - (rect.bottom - rect.top);
}

const std::uint16_t* ConstRow(const SDL_Surface& surface, int y) {
  return reinterpret_cast<const std::uint16_t*>(static_cast<const std::uint8_t*>(surface.pixels) +
                                                static_cast<std::ptrdiff_t>(y) * surface.pitch);
}
std::uint16_t* Row(SDL_Surface& surface, int y) {
  return reinterpret_cast<std::uint16_t*>(static_cast<std::uint8_t*>(surface.pixels) +
                                          static_cast<std::ptrdiff_t>(y) * surface.pitch);
}

}  // namespace

Display::Display(MessageBoxes& failureBoxes, BuiltInImageLookup imageLookup)
    : boxes(failureBoxes), images(imageLookup) {}

Display::~Display() { Release(); }

ScreenPlacement Display::Placement() const {
  if (!presenter) return FitPicture(kScreenWidthPixels, kScreenHeightPixels, 0, kScreenWidthPixels, kScreenHeightPixels);
  return presenter->Placement();
}

void Display::InitDisplay(SDL_Window* window, ScreenMode mode, bool headless, int refreshHz, int rotationDegrees) {
  const auto fail = [&] {
    initFailed = true;
    ShowDisplayFailure(window);
  };

  // The presenter stands for the display driver: on SDL's no-display drivers there
  // is nothing to show on, which only a headless run accepts.
  if (window == nullptr || (!headless && VideoDriverShowsNothing())) return fail();
  std::string error;
  presenter = Presenter::Create(window, &error);
  if (!presenter) return fail();
  presenter->SetRotation(rotationDegrees);

  // The screen mode; headless runs keep a plain window, the same everywhere.
  if (!presenter->EnterScreenMode(headless ? ScreenMode::Windowed : mode, kScreenWidthPixels,
                                  kScreenHeightPixels, refreshHz)) {
    return fail();
  }

  // The presented picture and the back buffer frames are composed in.
  frameTextureExists = presenter->CreateFrameTexture(kScreenWidthPixels, kScreenHeightPixels);
  if (!frameTextureExists) return fail();
  backBuffer = CreateDisplaySurface(kScreenWidthPixels, kScreenHeightPixels);
  if (!backBuffer) return fail();

  // At 16 bits per pixel the palette shows nothing; it is kept for completeness.
  palette = LoadBitmapPalette(kBackgroundImageName, images);

  backgroundSurface = LoadBitmapSurface(kBackgroundImageName, 0, 0, images);
  if (!backgroundSurface) return fail();
  labeledBackgroundSurface = LoadBitmapSurface(kLabeledBackgroundImageName, 0, 0, images);
  if (!labeledBackgroundSurface) return fail();
  currentBackground = &backgroundSurface;
  somaSurface = LoadBitmapSurface(kSomaImageName, 0, 0, images);
  if (!somaSurface) return fail();

  SetSurfaceColorKey(backgroundSurface.get(), 0);
  SetSurfaceColorKey(labeledBackgroundSurface.get(), 0);
  SetSurfaceColorKey(somaSurface.get(), 0);

  glyphs = GlyphCache::Load();
  largeGlyphs = GlyphCache::Load(kLargeFontSizePoints);
  backBufferContext = std::make_unique<BackBufferContext>(backBuffer.get(), glyphs.get(), largeGlyphs.get());
  // The screen mode above resized the window. Its size events are queued now and
  // stamped no later than this tick; HandleEvent lets them pass, so the first frame
  // is not dropped for a change the display made itself.
  SDL_PumpEvents();
  ownResizeEndTicks = SDL_GetTicks();
  ready = true;
}

void Display::ShowDisplayFailure(SDL_Window* window) {
  boxes.Show(kDisplayFailureCaption, kDisplayFailureText);
  if (window == nullptr) return;
  SDL_Event close{};
  close.type = SDL_WINDOWEVENT;
  close.window.event = SDL_WINDOWEVENT_CLOSE;
  close.window.windowID = SDL_GetWindowID(window);
  SDL_PushEvent(&close);
}

DisplayResult Display::BlitBackground() {
  if (Lost()) return DisplayResult::SurfaceLost;
  if (!backBuffer || !*currentBackground) return DisplayResult::Failed;
  const SDL_Surface& source = **currentBackground;
  SDL_Surface& target = *backBuffer;
  if (!CopyFits(target, source, 0, 0, SourceRect{0, 0, kScreenWidthPixels, kScreenHeightPixels})) {
    return DisplayResult::InvalidRect;
  }
  const std::size_t rowBytes = kScreenWidthPixels * sizeof(std::uint16_t);
  if (source.pitch == target.pitch && static_cast<std::size_t>(source.pitch) == rowBytes) {
    std::memcpy(target.pixels, source.pixels, rowBytes * kScreenHeightPixels);
  } else {
    for (int y = 0; y < kScreenHeightPixels; ++y) std::memcpy(Row(target, y), ConstRow(source, y), rowBytes);
  }
  return DisplayResult::Ok;
}

DisplayResult Display::BlitSomaCell(int x, int y, const SourceRect& rect) {
  if (Lost()) return DisplayResult::SurfaceLost;
  if (!backBuffer || !somaSurface) return DisplayResult::Failed;
  const SDL_Surface& source = *somaSurface;
  SDL_Surface& target = *backBuffer;
  if (!CopyFits(target, source, x, y, rect)) return DisplayResult::InvalidRect;
  // A key of kNoRawColor (none matched) equals no 16-bit pixel and keys nothing out.
  const std::uint32_t key = SurfaceColorKey(&source);
  const int width = rect.right - rect.left;
  for (int row = 0; row < rect.bottom - rect.top; ++row) {
    const std::uint16_t* from = ConstRow(source, rect.top + row) + rect.left;
    std::uint16_t* to = Row(target, y + row) + x;
    for (int col = 0; col < width; ++col) {
      if (from[col] != key) to[col] = from[col];
    }
  }
  return DisplayResult::Ok;
}

TextDeviceContext* Display::GetBackBufferDC() {
  if (!backBufferContext || contextLent || Lost()) return nullptr;
  contextLent = true;
  backBufferContext->ResetState();
  return backBufferContext.get();
}

void Display::ReleaseBackBufferDC(TextDeviceContext* dc) {
  if (dc != nullptr && dc == backBufferContext.get()) contextLent = false;
}

DisplayResult Display::FlipBuffers() {
  if (Lost()) return DisplayResult::SurfaceLost;
  if (!presenter || !backBuffer) return DisplayResult::Failed;
  if (!presenter->Present(backBuffer.get())) {
    surfacesLost = true;
    return DisplayResult::SurfaceLost;
  }
  return DisplayResult::Ok;
}

DisplayResult Display::RestoreSurfaces() {
  // The presented picture first; while it cannot be had, nothing else is touched.
  if (!presenter) return DisplayResult::Failed;
  if (failingRestoresLeft > 0) {
    --failingRestoresLeft;
    return DisplayResult::SurfaceLost;
  }
  frameTextureExists = presenter->Restore();
  if (!frameTextureExists) return DisplayResult::SurfaceLost;
  surfacesLost = false;
  ++restoresDone;

  // Image surfaces in memory are never taken away, so each restore succeeds; every
  // image is reloaded all the same, as after any loss.
  ReloadBitmapSurface(backgroundSurface.get(), kBackgroundImageName, images);
  ReloadBitmapSurface(labeledBackgroundSurface.get(), kLabeledBackgroundImageName, images);
  ReloadBitmapSurface(somaSurface.get(), kSomaImageName, images);
  return DisplayResult::Ok;
}

void Display::SelectBackground(Background background) {
  currentBackground = background == Background::Labeled ? &labeledBackgroundSurface : &backgroundSurface;
}

void Display::HandleEvent(const SDL_Event& event) {
  if (!presenter) return;
  switch (event.type) {
    case SDL_RENDER_DEVICE_RESET:
      presenter->NoteDeviceReset();
      surfacesLost = true;
      break;
    case SDL_RENDER_TARGETS_RESET:
      surfacesLost = true;
      break;
    case SDL_WINDOWEVENT:
      if (event.window.event == SDL_WINDOWEVENT_SIZE_CHANGED ||
          event.window.event == SDL_WINDOWEVENT_DISPLAY_CHANGED) {
        // Stamped at or before the end of InitDisplay (wrap-safe): the display's own change.
        if (static_cast<Sint32>(event.window.timestamp - ownResizeEndTicks) <= 0) break;
        surfacesLost = true;
      }
      break;
    default:
      break;
  }
}

void Display::InjectSurfaceLoss(int failingRestores) {
  surfacesLost = true;
  failingRestoresLeft = failingRestores;
}

void Display::RecordRelease(const char* field) {
  if (releaseRecord != nullptr) releaseRecord->emplace_back(field);
}

void Display::Release() {
  if (!presenter) return;
  backBufferContext.reset();
  glyphs.reset();
  largeGlyphs.reset();
  if (frameTextureExists) {
    presenter->ReleaseFrameTexture();
    frameTextureExists = false;
    backBuffer.reset();
    RecordRelease("frameTexture");
  }
  backBuffer.reset();
  if (backgroundSurface) {
    backgroundSurface.reset();
    RecordRelease("backgroundSurface");
  }
  if (labeledBackgroundSurface) {
    labeledBackgroundSurface.reset();
    RecordRelease("labeledBackgroundSurface");
  }
  if (somaSurface) {
    somaSurface.reset();
    RecordRelease("somaSurface");
  }
  if (palette) {
    palette.reset();
    RecordRelease("palette");
  }
  presenter.reset();
  RecordRelease("presenter");
  ready = false;
  contextLent = false;
}

bool Display::SaveBackBufferPng(const std::string& path) const {
  if (!backBuffer) return false;
  const SDL_Surface& frame = *backBuffer;
  std::vector<std::uint8_t> rgb(static_cast<std::size_t>(frame.w) * frame.h * kBytesPerRgbPixel);
  std::size_t out = 0;
  for (int y = 0; y < frame.h; ++y) {
    const std::uint16_t* row = ConstRow(frame, y);
    for (int x = 0; x < frame.w; ++x) {
      Uint8 red = 0, green = 0, blue = 0;
      SDL_GetRGB(row[x], frame.format, &red, &green, &blue);
      rgb[out++] = red;
      rgb[out++] = green;
      rgb[out++] = blue;
    }
  }
  return WritePng(path, frame.w, frame.h, PngPixelFormat::kRgb24, rgb.data());
}

}  // namespace velmora
