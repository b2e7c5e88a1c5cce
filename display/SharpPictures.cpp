#include "display/SharpPictures.h"

#include <chrono>
#include <cmath>
#include <optional>

#include "assets/Painting.h"
#include "display/SharpPictureCache.h"
#include "model/NetworkTables.h"

namespace velmora {
namespace {

// The paths the model runs on, as the painter takes them.
std::vector<std::vector<PathPoint>> ModelPaths() {
  std::vector<std::vector<PathPoint>> paths;
  paths.reserve(kPathTables.size());
  for (const PathTable& table : kPathTables) paths.emplace_back(table.points, table.points + table.count);
  return paths;
}

std::uint8_t Green(std::uint32_t argb) { return static_cast<std::uint8_t>(argb >> 8); }

}  // namespace

std::size_t SharpPictures::HeldBytes() const {
  std::size_t bytes = background.pixels.size() * sizeof(std::uint32_t);
  for (const LabelOverlay& label : labels) bytes += label.alpha.size();
  for (const SharpBody& body : bodies) bytes += body.sprite.pixels.size() * sizeof(std::uint32_t) + body.glowStep.size() + body.glowStepFraction.size();
  return bytes;
}

std::unique_ptr<SharpPictures> PaintSharpPictures(int width, int height, SharpFit fit, int threads) {
  auto pictures = std::make_unique<SharpPictures>();
  pictures->placement = FitDesign(width, height, fit == SharpFit::kFill);
  ScaledPainting painting = PaintNetworkAt(ModelPaths(), pictures->placement, threads, NeuriteCentres::kSmoothCurves);
  pictures->background = std::move(painting.picture);
  for (std::size_t s = 0; s < pictures->bodies.size(); ++s) {
    SharpBody& body = pictures->bodies[s];
    body.sprite = std::move(painting.bodies[s]);
    body.cut = kSomaControls[s].cut;
    body.glowStep.resize(body.sprite.pixels.size());
    body.glowStepFraction.resize(body.sprite.pixels.size());
    for (std::size_t i = 0; i < body.glowStep.size(); ++i) {
      const auto step = static_cast<unsigned>(std::lround(SmoothGlowStep(Green(body.sprite.pixels[i])) * 256.0));
      body.glowStep[i] = static_cast<std::uint8_t>(step >> 8);
      body.glowStepFraction[i] = static_cast<std::uint8_t>(step & 0xFFu);
    }
  }
  pictures->sheetCellPixels = kSpriteCellPixels;
  return pictures;
}

SharpPicturePainter::SharpPicturePainter(int width, int height, SharpFit fit, const SharpPictureCache* cache)
    : painting(std::async(std::launch::async, [this, width, height, fit, keep = cache != nullptr && cache->Enabled()
                                                                                 ? std::optional(*cache)
                                                                                 : std::nullopt] {
        std::unique_ptr<SharpPictures> pictures = PaintSharpPictures(width, height, fit, kSharpPaintThreads);
        if (keep) keep->Store(*pictures, fit, &keepError);
        return pictures;
      })) {}

SharpPicturePainter::~SharpPicturePainter() {
  if (painting.valid()) painting.wait();
}

bool SharpPicturePainter::Ready() const {
  return painting.valid() && painting.wait_for(std::chrono::seconds(0)) == std::future_status::ready;
}

std::shared_ptr<SharpPictures> SharpPicturePainter::Take(std::string* error) {
  if (!painting.valid()) {
    if (error != nullptr) *error = "the pictures were taken already";
    return nullptr;
  }
  std::shared_ptr<SharpPictures> pictures = painting.get();
  if (!AddSharpLabels(*pictures, error)) return nullptr;
  return pictures;
}

bool AddSharpLabels(SharpPictures& pictures, std::string* error) {
  std::string reason;
  if (MakeLabelOverlays(BuiltInFont(FontFace::Bold), pictures.placement, pictures.labels, reason)) return true;
  if (error != nullptr) *error = reason;
  return false;
}

}  // namespace velmora
