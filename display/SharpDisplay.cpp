#include "display/SharpDisplay.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "display/DisplayConstants.h"
#include "display/GlyphCache.h"
#include "platform/PngWriter.h"

namespace velmora {
namespace {

constexpr int kBytesPerPixel = 4;
constexpr int kBytesPerRgbPixel = 3;
constexpr Uint8 kFullAlphaMod = 255;

// A texture of 0xAARRGGBB pixels; null on failure.
SDL_Texture* MakeTexture(SDL_Renderer* renderer, int width, int height, const std::uint32_t* pixels,
                         SDL_BlendMode blend) {
  if (width <= 0 || height <= 0) return nullptr;
  SDL_Texture* texture =
      SDL_CreateTexture(renderer, SDL_PIXELFORMAT_ARGB8888, SDL_TEXTUREACCESS_STATIC, width, height);
  if (texture == nullptr) return nullptr;
  if (SDL_UpdateTexture(texture, nullptr, pixels, width * kBytesPerPixel) != 0 ||
      SDL_SetTextureBlendMode(texture, blend) != 0) {
    SDL_DestroyTexture(texture);
    return nullptr;
  }
  return texture;
}

// 0x00BBGGRR to 0x00RRGGBB.
std::uint32_t FromColorRef(ColorRef color) {
  return (color & 0xFFu) << 16 | (color & 0xFF00u) | ((color >> 16) & 0xFFu);
}

// A mask in one colour as 0xAARRGGBB pixels.
std::vector<std::uint32_t> Tinted(const std::vector<std::uint8_t>& alpha, std::uint32_t rgb) {
  std::vector<std::uint32_t> pixels(alpha.size());
  for (std::size_t i = 0; i < alpha.size(); ++i) pixels[i] = static_cast<std::uint32_t>(alpha[i]) << 24 | (rgb & 0x00FFFFFFu);
  return pixels;
}

void Destroy(SDL_Texture*& texture) {
  if (texture != nullptr) SDL_DestroyTexture(texture);
  texture = nullptr;
}

}  // namespace

SharpDisplay::SharpDisplay(std::shared_ptr<const SharpPictures> pictures_)
    : pictures(std::move(pictures_)),
      font(ScaledFont::Open(BuiltInFont(FontFace::Bold), kDefaultFontSizePoints, pictures->placement.scale)),
      largeFont(ScaledFont::Open(BuiltInFont(FontFace::Bold), kLargeFontSizePoints, pictures->placement.scale)),
      context(TransformOf(pictures->placement), list, &places),
      madeTicks(SDL_GetTicks()) {
  context.MeasureWith(font.get(), largeFont.get());
}

SharpDisplay::~SharpDisplay() { ReleaseTextures(); }

void SharpDisplay::Release() { ReleaseTextures(); }

std::unique_ptr<SharpDisplay> SharpDisplay::CreateOffscreen(std::shared_ptr<const SharpPictures> pictures) {
  std::unique_ptr<SharpDisplay> display(new SharpDisplay(std::move(pictures)));
  display->frame = std::make_unique<SharpFrame>(display->pictures);
  return display;
}

std::unique_ptr<SharpDisplay> SharpDisplay::CreateForRenderer(SDL_Renderer* renderer,
                                                              std::shared_ptr<const SharpPictures> pictures,
                                                              std::string* error, int rotationDegrees) {
  SDL_RendererInfo info{};
  if (renderer == nullptr || SDL_GetRendererInfo(renderer, &info) != 0) {
    if (error != nullptr) *error = "no renderer";
    return nullptr;
  }
  std::unique_ptr<SharpDisplay> display(new SharpDisplay(std::move(pictures)));
  display->renderer = renderer;
  display->rotationDegrees = rotationDegrees;
  // SDL's software renderer fills triangles at whole-pixel corners, one blended
  // surface per triangle: frames are better composed in memory there. A turned
  // picture is composed in memory too and turned in one copy.
  display->gpu = std::strcmp(info.name, "software") != 0 && rotationDegrees == 0;
  if (!display->gpu) display->frame = std::make_unique<SharpFrame>(display->pictures);
  if (!display->MakeTextures(error)) return nullptr;
  return display;
}

std::unique_ptr<SharpDisplay> SharpDisplay::CreateForFramebuffer(SDL_Window* window,
                                                                 std::shared_ptr<const SharpPictures> pictures,
                                                                 int rotationDegrees) {
  std::unique_ptr<SharpDisplay> display(new SharpDisplay(std::move(pictures)));
  display->framebuffer = std::make_unique<WindowFramebuffer>(window);
  display->rotationDegrees = rotationDegrees;
  // Until the first frame gets the window's surface, the window's size stands for it.
  SDL_GetWindowSizeInPixels(window, &display->outputSize.x, &display->outputSize.y);
  display->frame = std::make_unique<SharpFrame>(display->pictures);
  return display;
}

namespace {

// Pixel a weighted towards pixel b, by `weight` 256ths (0: a, 256: b); opaque.
std::uint32_t Blend(std::uint32_t a, std::uint32_t b, std::uint32_t weight) {
  const std::uint32_t keep = 256 - weight;
  const std::uint32_t redBlue = (((a & 0x00FF00FFu) * keep + (b & 0x00FF00FFu) * weight) >> 8) & 0x00FF00FFu;
  const std::uint32_t green = (((a & 0x0000FF00u) * keep + (b & 0x0000FF00u) * weight) >> 8) & 0x0000FF00u;
  return 0xFF000000u | redBlue | green;
}

}  // namespace

void SharpDisplay::FadeFrom(PackedImage from, int frames) {
  Destroy(fadeTexture);
  fadeFramesLeft = 0;
  if (frames <= 0 || from.width != Width() || from.height != Height()) return;
  if (gpu) {
    fadeTexture = MakeTexture(renderer, from.width, from.height, from.pixels.data(), SDL_BLENDMODE_BLEND);
    if (fadeTexture == nullptr) return;
  } else {
    fadeFrom = std::move(from);
  }
  fadeFrames = frames;
  fadeFramesLeft = frames;
}

const std::uint32_t* SharpDisplay::NextFadedFrame() {
  if (fadeFramesLeft <= 0 || !frame) return nullptr;
  const auto weight = static_cast<std::uint32_t>(256 * (fadeFrames - fadeFramesLeft + 1) / (fadeFrames + 1));
  faded.resize(fadeFrom.pixels.size());
  const std::uint32_t* own = frame->Pixels();
  for (std::size_t i = 0; i < faded.size(); ++i) faded[i] = Blend(fadeFrom.pixels[i], own[i], weight);
  if (--fadeFramesLeft == 0) {
    fadeFrom = PackedImage{};
    wholeAfterFade = true;
  }
  return faded.data();
}

bool SharpDisplay::ShowOnFramebuffer() {
  bool whole = false;
  SDL_Surface* surface = framebuffer->Begin(whole);
  frame->TakeChanged(changedRects);
  if (surface == nullptr || SDL_MUSTLOCK(surface)) return false;
  const SurfaceTurn turn{rotationDegrees, surface->w, surface->h};
  if (whole) {
    outputSize = {surface->w, surface->h};
    shown = {(turn.UprightWidth() - Width()) / 2, (turn.UprightHeight() - Height()) / 2, Width(), Height()};
    if (shown.x != 0 || shown.y != 0 || shown.w != turn.UprightWidth() || shown.h != turn.UprightHeight()) {
      SDL_FillRect(surface, nullptr, SDL_MapRGB(surface->format, 0, 0, 0));
    }
  }
  // A fading frame differs everywhere; the frame after the fade replaces all of it.
  const std::uint32_t* pixels = NextFadedFrame();
  if (pixels == nullptr) pixels = frame->Pixels();
  if (whole || pixels != frame->Pixels() || wholeAfterFade) {
    wholeAfterFade = pixels != frame->Pixels();
    changedRects.assign(1, SDL_Rect{0, 0, Width(), Height()});
  }
  // The window's pixels hold the frame shown last: of a changed tile row, only the
  // rows that differ are copied and handed on (a wave at rest is drawn again the same).
  // A turned picture is copied along the surface's rows, each gathered from a column
  // (or a row read backwards) of the upright frame.
  const bool plainCopy = surface->format->format == SDL_PIXELFORMAT_RGB888 || surface->format->format == SDL_PIXELFORMAT_ARGB8888;
  const SDL_Point step = turn.UprightStep();
  const std::ptrdiff_t stride = step.x + static_cast<std::ptrdiff_t>(step.y) * Width();
  const SDL_Rect upright{0, 0, turn.UprightWidth(), turn.UprightHeight()};
  for (const SDL_Rect& rect : changedRects) {
    const SDL_Rect onOutput{rect.x + shown.x, rect.y + shown.y, rect.w, rect.h};
    SDL_Rect visible{};
    if (SDL_IntersectRect(&onOutput, &upright, &visible) != SDL_TRUE) continue;
    const SDL_Rect target = turn.ToSurface(visible);
    const std::size_t rowBytes = static_cast<std::size_t>(target.w) * sizeof(std::uint32_t);
    turnedRow.resize(static_cast<std::size_t>(target.w));
    int first = -1, last = -1;
    for (int y = target.y; y < target.y + target.h; ++y) {
      const SDL_Point at = turn.UprightOf(target.x, y);
      const std::uint32_t* from = pixels + static_cast<std::ptrdiff_t>(at.y - shown.y) * Width() + (at.x - shown.x);
      if (stride != 1) {
        for (std::size_t k = 0; k < turnedRow.size(); ++k) turnedRow[k] = from[static_cast<std::ptrdiff_t>(k) * stride];
        from = turnedRow.data();
      }
      void* to = static_cast<std::uint8_t*>(surface->pixels) + static_cast<std::ptrdiff_t>(y) * surface->pitch +
                 static_cast<std::ptrdiff_t>(target.x) * surface->format->BytesPerPixel;
      if (plainCopy && !whole && std::memcmp(to, from, rowBytes) == 0) continue;
      CopyRowToSurface(from, target.w, *surface, target.x, y);
      if (first < 0) first = y;
      last = y;
    }
    if (first >= 0) framebuffer->Mark({target.x, first, target.w, last - first + 1});
  }
  const bool ok = framebuffer->Show();
  pendingUploadBytes += framebuffer->ShownBytes();
  return ok;
}

bool SharpDisplay::MakeTextures(std::string* error) {
  ReleaseTextures();
  const auto fail = [&](const char* what) {
    if (error != nullptr) *error = std::string("cannot make the ") + what + " texture: " + SDL_GetError();
    ReleaseTextures();
    return false;
  };
  // Drawing in screen pixels, the picture centred on the output.
  SDL_RenderSetLogicalSize(renderer, 0, 0);
  SDL_RenderSetScale(renderer, 1.0f, 1.0f);
  SDL_RenderSetViewport(renderer, nullptr);
  int outputWidth = 0, outputHeight = 0;
  if (SDL_GetRendererOutputSize(renderer, &outputWidth, &outputHeight) != 0) return fail("output");
  // Centred, so that turning it about its centre keeps it centred.
  shown = {(outputWidth - Width()) / 2, (outputHeight - Height()) / 2, Width(), Height()};
  outputSize = {outputWidth, outputHeight};

  if (!gpu) {
    // The texture in the window's own format, so showing it is a plain copy.
    SDL_Window* window = SDL_RenderGetWindow(renderer);
    Uint32 format = window != nullptr ? SDL_GetWindowPixelFormat(window) : Uint32{SDL_PIXELFORMAT_UNKNOWN};
    if (format != SDL_PIXELFORMAT_RGB888 && format != SDL_PIXELFORMAT_ARGB8888) format = SDL_PIXELFORMAT_ARGB8888;
    frameTexture = SDL_CreateTexture(renderer, format, SDL_TEXTUREACCESS_STREAMING, Width(), Height());
    if (frameTexture == nullptr || SDL_SetTextureBlendMode(frameTexture, SDL_BLENDMODE_NONE) != 0) return fail("frame");
    frame->RepaintAll();
    return true;
  }

  if (SDL_RenderSetViewport(renderer, &shown) != 0) return fail("output");
  backgroundTexture = MakeTexture(renderer, Width(), Height(), pictures->background.pixels.data(), SDL_BLENDMODE_NONE);
  if (backgroundTexture == nullptr) return fail("background");
  for (const LabelOverlay& label : pictures->labels) {
    const std::vector<std::uint32_t> pixels = Tinted(label.alpha, label.colour);
    labelTextures.push_back(MakeTexture(renderer, label.width, label.height, pixels.data(), SDL_BLENDMODE_BLEND));
    if (labelTextures.back() == nullptr) return fail("label");
  }
  for (const SharpBody& body : pictures->bodies) {
    const BodySprite& sprite = body.sprite;
    bodyTextures.push_back(MakeTexture(renderer, sprite.width, sprite.height, sprite.pixels.data(), SDL_BLENDMODE_BLEND));
    // The glow adds the top level's green times the body's coverage; the alpha
    // modulation scales it down to the level drawn.
    std::vector<std::uint32_t> glow(sprite.pixels.size());
    for (std::size_t i = 0; i < glow.size(); ++i) {
      const std::uint32_t green = std::min(255u, body.GlowAt(i, kTopGlowLevel));
      glow[i] = (sprite.pixels[i] & 0xFF000000u) | green << 8;
    }
    glowTextures.push_back(MakeTexture(renderer, sprite.width, sprite.height, glow.data(), SDL_BLENDMODE_ADD));
    if (bodyTextures.back() == nullptr || glowTextures.back() == nullptr) return fail("body");
  }
  return true;
}

void SharpDisplay::ReleaseTextures() {
  Destroy(frameTexture);
  Destroy(fadeTexture);
  Destroy(backgroundTexture);
  Destroy(textTexture);
  textTextureText.clear();
  for (auto* textures : {&labelTextures, &bodyTextures, &glowTextures}) {
    for (SDL_Texture*& texture : *textures) Destroy(texture);
    textures->clear();
  }
}

DisplayResult SharpDisplay::BlitBackground() {
  if (lost) return DisplayResult::SurfaceLost;
  frameLabeled = labeled;
  bodyDraws.clear();
  if (frame) {
    frame->SelectLabeled(labeled);
    frame->RestoreBackground();
    return DisplayResult::Ok;
  }
  if (SDL_RenderCopy(renderer, backgroundTexture, nullptr, nullptr) != 0) return DisplayResult::Failed;
  if (labeled) {
    for (std::size_t k = 0; k < labelTextures.size(); ++k) {
      const LabelOverlay& label = pictures->labels[k];
      const SDL_Rect at{label.left, label.top, label.width, label.height};
      if (SDL_RenderCopy(renderer, labelTextures[k], nullptr, &at) != 0) return DisplayResult::Failed;
    }
  }
  return DisplayResult::Ok;
}

void SharpDisplay::BodyDestination(int soma, int x, int y, SDL_Rect& destination) const {
  const SharpBody& body = pictures->bodies[static_cast<std::size_t>(soma)];
  const double scale = pictures->placement.scale;
  destination = {body.sprite.left + static_cast<int>(std::lround((x - body.cut.x) * scale)),
                 body.sprite.top + static_cast<int>(std::lround((y - body.cut.y) * scale)), body.sprite.width,
                 body.sprite.height};
}

DisplayResult SharpDisplay::BlitSomaCell(int x, int y, const SourceRect& source) {
  if (lost) return DisplayResult::SurfaceLost;
  const int cell = pictures->sheetCellPixels;
  const int soma = source.top / cell, level = source.left / cell;
  if (source.left < 0 || source.top < 0 || source.right <= source.left || source.bottom <= source.top ||
      soma >= static_cast<int>(pictures->bodies.size()) || level > kTopGlowLevel) {
    return DisplayResult::InvalidRect;
  }
  bodyDraws.push_back({soma, level, x, y});
  if (frame) {
    frame->DrawBody(soma, level, x, y);
    return DisplayResult::Ok;
  }
  SDL_Rect at{};
  BodyDestination(soma, x, y, at);
  if (SDL_RenderCopy(renderer, bodyTextures[static_cast<std::size_t>(soma)], nullptr, &at) != 0) return DisplayResult::Failed;
  if (level > 0) {
    SDL_Texture* glow = glowTextures[static_cast<std::size_t>(soma)];
    const auto mod = static_cast<Uint8>(std::lround(static_cast<double>(level) * kFullAlphaMod / kTopGlowLevel));
    if (SDL_SetTextureAlphaMod(glow, mod) != 0 || SDL_RenderCopy(renderer, glow, nullptr, &at) != 0) return DisplayResult::Failed;
  }
  return DisplayResult::Ok;
}

TextDeviceContext* SharpDisplay::GetBackBufferDC() {
  if (contextLent || lost) return nullptr;
  contextLent = true;
  list.Clear();
  context.ResetState();
  return &context;
}

void SharpDisplay::ReleaseBackBufferDC(TextDeviceContext* dc) {
  if (dc != &context || !contextLent) return;
  contextLent = false;
  context.Finish();
  figures.triangles = list.indices.size() / 3;
  composed = true;
  if (frame) {
    frame->Draw(list, font.get(), largeFont.get());
  } else {
    DrawListOnRenderer();
  }
}

SDL_Texture* SharpDisplay::TextTexture(const DrawList::Text& text, ScaledFont& textFont) {
  if (textTexture != nullptr && text.text == textTextureText && text.color == textTextureColor &&
      text.large == textTextureLarge) {
    return textTexture;
  }
  Destroy(textTexture);
  const TextMask& mask = textFont.Render(text.text);
  const std::vector<std::uint32_t> pixels = Tinted(mask.alpha, FromColorRef(text.color));
  textTexture = MakeTexture(renderer, mask.width, mask.height, pixels.data(), SDL_BLENDMODE_BLEND);
  textTextureText = text.text;
  textTextureColor = text.color;
  textTextureLarge = text.large;
  pendingUploadBytes += pixels.size() * sizeof(std::uint32_t);
  return textTexture;
}

void SharpDisplay::DrawListOnRenderer() {
  SDL_SetRenderDrawBlendMode(renderer, SDL_BLENDMODE_BLEND);
  const auto triangles = [&](std::size_t from, std::size_t to) {
    if (to <= from) return;
    SDL_RenderGeometry(renderer, nullptr, list.vertices.data(), static_cast<int>(list.vertices.size()),
                       list.indices.data() + from, static_cast<int>(to - from));
  };
  std::size_t at = 0;
  for (const DrawList::Text& text : list.texts) {
    triangles(at, text.atIndex);
    at = text.atIndex;
    ScaledFont* textFont = text.large && largeFont ? largeFont.get() : font.get();
    if (textFont == nullptr) continue;
    const TextMask& mask = textFont->Render(text.text);
    const SDL_Rect box{text.x, text.y, mask.width, mask.height};
    if (text.opaqueBackground) {
      SDL_SetRenderDrawColor(renderer, 255, 255, 255, 255);
      SDL_RenderFillRect(renderer, &box);
    }
    if (SDL_Texture* texture = TextTexture(text, *textFont)) SDL_RenderCopy(renderer, texture, nullptr, &box);
  }
  triangles(at, list.indices.size());
  pendingUploadBytes += list.vertices.size() * sizeof(SDL_Vertex) + list.indices.size() * sizeof(int);
}

DisplayResult SharpDisplay::FlipBuffers() {
  if (lost) return DisplayResult::SurfaceLost;
  if (renderer == nullptr && !framebuffer) return DisplayResult::Ok;
  bool ok = true;
  if (framebuffer) {
    ok = ShowOnFramebuffer();
  } else if (frame) {
    frame->TakeChanged(changedRects);
    const std::uint32_t* pixels = NextFadedFrame();
    if (pixels != nullptr || wholeAfterFade) changedRects.assign(1, SDL_Rect{0, 0, Width(), Height()});
    wholeAfterFade = pixels != nullptr && wholeAfterFade;
    if (pixels == nullptr) pixels = frame->Pixels();
    for (const SDL_Rect& rect : changedRects) {
      const std::uint32_t* from = pixels + static_cast<std::size_t>(rect.y) * static_cast<std::size_t>(Width()) +
                                  static_cast<std::size_t>(rect.x);
      ok = ok && SDL_UpdateTexture(frameTexture, &rect, from, Width() * kBytesPerPixel) == 0;
      pendingUploadBytes += static_cast<std::size_t>(rect.w) * static_cast<std::size_t>(rect.h) * kBytesPerPixel;
    }
    // A larger output has a border around the picture to clear.
    if (shown.x != 0 || shown.y != 0) ok = ok && SDL_RenderClear(renderer) == 0;
    ok = ok && SDL_RenderCopyEx(renderer, frameTexture, nullptr, &shown, rotationDegrees, nullptr, SDL_FLIP_NONE) == 0;
  }
  if (ok && fadeTexture != nullptr) {
    // On a GPU the picture faded from lies over the frame, ever more transparent.
    const auto alpha = static_cast<Uint8>(255 * fadeFramesLeft / (fadeFrames + 1));
    ok = SDL_SetTextureAlphaMod(fadeTexture, alpha) == 0 && SDL_RenderCopy(renderer, fadeTexture, nullptr, nullptr) == 0;
    if (--fadeFramesLeft <= 0) Destroy(fadeTexture);
  }
  if (ok && renderer != nullptr) SDL_RenderPresent(renderer);
  figures.uploadedBytes = pendingUploadBytes;
  pendingUploadBytes = 0;
  if (!ok) {
    lost = true;
    return DisplayResult::SurfaceLost;
  }
  return DisplayResult::Ok;
}

DisplayResult SharpDisplay::RestoreSurfaces() {
  if (renderer != nullptr && !MakeTextures(nullptr)) return DisplayResult::SurfaceLost;
  if (framebuffer) framebuffer->Invalidate();
  if (frame) frame->RepaintAll();
  lost = false;
  return DisplayResult::Ok;
}

void SharpDisplay::HandleEvent(const SDL_Event& event) {
  if (renderer == nullptr && !framebuffer) return;
  switch (event.type) {
    case SDL_RENDER_DEVICE_RESET:
    case SDL_RENDER_TARGETS_RESET:
      lost = true;
      break;
    case SDL_WINDOWEVENT:
      if ((event.window.event == SDL_WINDOWEVENT_SIZE_CHANGED ||
           event.window.event == SDL_WINDOWEVENT_DISPLAY_CHANGED) &&
          static_cast<Sint32>(event.window.timestamp - madeTicks) > 0) {
        lost = true;
      }
      break;
    default:
      break;
  }
}

bool SharpDisplay::Screenshot(PackedImage& image) {
  if (!composed) return false;
  image.width = Width();
  image.height = Height();
  if (frame) {
    image.pixels.assign(frame->Pixels(), frame->Pixels() + static_cast<std::size_t>(Width()) * Height());
    return true;
  }
  // The GPU's frame, composed again in memory from what it was made of.
  if (!screenshotFrame) screenshotFrame = std::make_unique<SharpFrame>(pictures);
  SharpFrame& copy = *screenshotFrame;
  if (copy.Labeled() != frameLabeled) {
    copy.SelectLabeled(frameLabeled);
    copy.RepaintAll();
  }
  copy.RestoreBackground();
  for (const BodyDraw& body : bodyDraws) copy.DrawBody(body.soma, body.level, body.x, body.y);
  copy.Draw(list, font.get(), largeFont.get());
  image.pixels.assign(copy.Pixels(), copy.Pixels() + static_cast<std::size_t>(Width()) * Height());
  return true;
}

bool SharpDisplay::CopyRows(PackedImage& image, int firstRow, int rows) const {
  if (!composed || !frame || image.width != Width() || image.height != Height() || firstRow < 0 || rows < 0 ||
      firstRow + rows > Height() || image.pixels.size() != static_cast<std::size_t>(Width()) * Height()) {
    return false;
  }
  const std::size_t begin = static_cast<std::size_t>(firstRow) * static_cast<std::size_t>(Width());
  const std::size_t count = static_cast<std::size_t>(rows) * static_cast<std::size_t>(Width());
  std::copy(frame->Pixels() + begin, frame->Pixels() + begin + count, image.pixels.begin() + static_cast<std::ptrdiff_t>(begin));
  return true;
}

bool SharpDisplay::SaveScreenshotPng(const std::string& path) {
  PackedImage image;
  if (!Screenshot(image)) return false;
  std::vector<std::uint8_t> rgb(image.pixels.size() * kBytesPerRgbPixel);
  for (std::size_t i = 0; i < image.pixels.size(); ++i) {
    rgb[3 * i] = static_cast<std::uint8_t>(image.pixels[i] >> 16);
    rgb[3 * i + 1] = static_cast<std::uint8_t>(image.pixels[i] >> 8);
    rgb[3 * i + 2] = static_cast<std::uint8_t>(image.pixels[i]);
  }
  return WritePng(path, image.width, image.height, PngPixelFormat::kRgb24, rgb.data());
}

ScreenPlacement SharpDisplay::Placement() const {
  ScreenPlacement placement;
  placement.rotationDegrees = rotationDegrees;
  const bool onOutput = renderer != nullptr || framebuffer != nullptr;
  placement.outputWidth = onOutput ? outputSize.x : Width();
  placement.outputHeight = onOutput ? outputSize.y : Height();
  const int uprightLeft = (placement.UprightWidth() - Width()) / 2;
  const int uprightTop = (placement.UprightHeight() - Height()) / 2;
  placement.scale = pictures->placement.scale;
  placement.offsetX = uprightLeft + pictures->placement.offsetX;
  placement.offsetY = uprightTop + pictures->placement.offsetY;
  placement.shiftedFromRow = kStatusBandTop;
  placement.shiftPixels = TransformOf(pictures->placement).statusShiftY;
  return placement;
}

SharpFigures SharpDisplay::Figures() const {
  SharpFigures result = figures;
  result.memoryBytes = pictures->HeldBytes() + list.vertices.capacity() * sizeof(SDL_Vertex) +
                       list.indices.capacity() * sizeof(int) + (frame ? frame->HeldBytes() : 0) +
                       (screenshotFrame ? screenshotFrame->HeldBytes() : 0);
  const auto bytesOf = [](SDL_Texture* texture) -> std::size_t {
    int w = 0, h = 0;
    if (texture == nullptr || SDL_QueryTexture(texture, nullptr, nullptr, &w, &h) != 0) return 0;
    return static_cast<std::size_t>(w) * static_cast<std::size_t>(h) * kBytesPerPixel;
  };
  result.textureBytes = bytesOf(frameTexture) + bytesOf(backgroundTexture) + bytesOf(textTexture);
  for (const auto* textures : {&labelTextures, &bodyTextures, &glowTextures}) {
    for (SDL_Texture* texture : *textures) result.textureBytes += bytesOf(texture);
  }
  return result;
}

bool ComposeSharpPicture(int width, int height, SharpFit fit,
                         const std::function<bool(SharpDisplay&)>& compose, PackedImage& picture, std::string* error) {
  std::shared_ptr<SharpPictures> pictures = PaintSharpPictures(width, height, fit, kSharpPaintThreads);
  if (!AddSharpLabels(*pictures, error)) return false;
  const std::unique_ptr<SharpDisplay> display = SharpDisplay::CreateOffscreen(pictures);
  if (!compose(*display) || !display->Screenshot(picture)) {
    if (error != nullptr) *error = "cannot compose the picture";
    return false;
  }
  return true;
}

}  // namespace velmora
