#pragma once
// The pictures of the sharp screen at one screen size, made when the exhibit starts:
// the background (the design scaled to fit the screen and centred, the ground and the
// neurites that reach the picture's edge carried on to the screen's edges, or black
// bars), the labels, and the three cell bodies with their glow.

#include <array>
#include <cstddef>
#include <cstdint>
#include <future>
#include <memory>
#include <string>
#include <vector>

#include "assets/ScaledPictures.h"

namespace velmora {

// One cell body's sprite. At activity level L (0 .. kTopGlowLevel) a pixel shows its
// colour with the green raised by L times its glow step (to at most 255, rounded),
// laid over what is below by its alpha.
struct SharpBody {
  BodySprite sprite;                   // canvas pixels; left, top: where it was cut
  std::vector<std::uint8_t> glowStep;  // per sprite pixel: green added per level, whole levels
  // The step's fraction, 256ths of a level; empty: none.
  std::vector<std::uint8_t> glowStepFraction;
  PixelPoint cut;                      // picture pixels: the corner the classic sheet cell was cut at

  // Green added at `level` to pixel i.
  unsigned GlowAt(std::size_t i, unsigned level) const {
    const unsigned step = glowStep[i] * 256u + (glowStepFraction.empty() ? 0u : glowStepFraction[i]);
    return (level * step + 128u) >> 8;
  }
};

struct SharpPictures {
  PaintPlacement placement;          // the design on the screen
  PackedImage background;            // screen-sized, opaque
  std::vector<LabelOverlay> labels;  // laid over the background when it is the labelled one
  std::array<SharpBody, kSomaCount> bodies;
  // Side of the classic sprite sheet's cells, pixels: a copied rectangle's left edge
  // over this is the activity level, its top edge over this the body.
  int sheetCellPixels = 0;

  int Width() const { return background.width; }
  int Height() const { return background.height; }
  // Memory the pictures take, bytes.
  std::size_t HeldBytes() const;
};

// How the design fills the screen.
enum class SharpFit {
  kFill,       // the ground and edge neurites carried on beside (or above and below) the design
  kLetterbox,  // black bars there
};

// Threads that paint the pictures: the exhibit machine's cores.
inline constexpr int kSharpPaintThreads = 2;

// Paints the background and the bodies for a width x height screen on `threads`
// threads. Uses no fonts, so it may run on any thread, e.g. while the classic
// picture is already shown.
std::unique_ptr<SharpPictures> PaintSharpPictures(int width, int height, SharpFit fit, int threads);

// Sets the labels from the built-in font, at the pictures' scale. Uses the font
// renderer, so it runs on the thread that draws text. False, with the reason in
// `error`, if the font cannot be used.
bool AddSharpLabels(SharpPictures& pictures, std::string* error);

class SharpPictureCache;

// Paints the pictures on other threads while the caller goes on, e.g. showing the
// classic picture until the sharp one is ready, and keeps them in a cache.
class SharpPicturePainter {
public:
  // Starts painting at once; with a cache, the pictures are kept in it once painted.
  SharpPicturePainter(int width, int height, SharpFit fit, const SharpPictureCache* cache = nullptr);
  // Waits for a painting still under way.
  ~SharpPicturePainter();
  SharpPicturePainter(const SharpPicturePainter&) = delete;
  SharpPicturePainter& operator=(const SharpPicturePainter&) = delete;

  // True once the painting is done and the pictures not yet taken.
  bool Ready() const;
  // Waits for the painting if need be, then sets the labels on the calling thread
  // (the one that draws text). Null, with the reason in `error`, if the labels' font
  // cannot be used or the pictures were taken already.
  std::shared_ptr<SharpPictures> Take(std::string* error);
  // After Take: why the pictures could not be kept in the cache; empty if they were
  // (or there is no cache).
  const std::string& KeepError() const { return keepError; }

private:
  std::string keepError;  // written by the painting, read after it
  std::future<std::unique_ptr<SharpPictures>> painting;
};

}  // namespace velmora
