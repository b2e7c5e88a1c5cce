#include "tools/sim/SimFlashes.h"

#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

#include "display/DisplayConstants.h"
#include "display/FrameComposition.h"
#include "display/SharpDisplay.h"
#include "model/Model.h"

namespace velmora::sim {
namespace {

constexpr int kFramesPerSecond = 1000 / static_cast<int>(kStepsPerFrame);  // 20 ms frames

// Composes one frame and hands its pixels over; false when composing failed.
using FrameSource = std::function<bool(Model&, FlashAnalyser&)>;

FrameSource SharpFrames(const PictureStyle& style, std::string* error) {
  std::shared_ptr<SharpPictures> pictures =
      PaintSharpPictures(style.screenWidthPixels, style.screenHeightPixels, style.fit, kSharpPaintThreads);
  if (!AddSharpLabels(*pictures, error)) return {};
  std::shared_ptr<SharpDisplay> sharp = SharpDisplay::CreateOffscreen(pictures);
  auto image = std::make_shared<PackedImage>();
  return [sharp, image, background = style.background, texts = style.texts](Model& model, FlashAnalyser& analyser) {
    if (!ComposeFrame(*sharp, model, background, texts) || !sharp->Screenshot(*image)) return false;
    analyser.AddFrame(image->pixels.data(), image->width);
    return true;
  };
}

FrameSource ClassicFrames(const PictureStyle& style, std::string* error) {
  std::shared_ptr<HeadlessDisplay> headless = HeadlessDisplay::Open(error);
  if (!headless) return {};
  // The screen's colour of every 16-bit pixel, as the presenter shows it.
  const SDL_PixelFormat* format = headless->Screen().BackBuffer()->format;
  auto colours = std::make_shared<std::vector<std::uint32_t>>(65536);
  for (std::uint32_t raw = 0; raw < 65536; ++raw) {
    Uint8 red = 0, green = 0, blue = 0;
    SDL_GetRGB(raw, format, &red, &green, &blue);
    (*colours)[raw] = (std::uint32_t{red} << 16) | (std::uint32_t{green} << 8) | blue;
  }
  auto pixels = std::make_shared<std::vector<std::uint32_t>>(static_cast<std::size_t>(kScreenWidthPixels) *
                                                             kScreenHeightPixels);
  return [headless, colours, pixels, background = style.background, texts = style.texts](Model& model,
                                                                                       FlashAnalyser& analyser) {
    if (!ComposeFrame(headless->Screen(), model, background, texts)) return false;
    const SDL_Surface& frame = *headless->Screen().BackBuffer();
    for (int y = 0; y < frame.h; ++y) {
      const auto* row = reinterpret_cast<const std::uint16_t*>(static_cast<const std::uint8_t*>(frame.pixels) +
                                                               static_cast<std::size_t>(y) * frame.pitch);
      for (int x = 0; x < frame.w; ++x) (*pixels)[static_cast<std::size_t>(y) * frame.w + x] = (*colours)[row[x]];
    }
    analyser.AddFrame(pixels->data(), frame.w);
    return true;
  };
}

}  // namespace

bool AnalyseFlashes(const SimOptions& options, const PictureStyle& style, FlashReport& report, RunStatus& status,
                    std::string* error) {
  report = FlashReport{};
  report.sharp = style.screenWidthPixels > 0 && !options.classicPicture;
  report.viewer.screenWidthPixels = style.screenWidthPixels > 0 ? style.screenWidthPixels : kScreenWidthPixels;
  report.viewer.screenHeightPixels = style.screenHeightPixels > 0 ? style.screenHeightPixels : kScreenHeightPixels;
  report.viewer.screenDiagonalInches = options.screenDiagonalInches;
  report.viewer.viewingDistanceCm = options.viewingDistanceCm;
  if (report.sharp) {
    report.frameWidthPixels = report.viewer.screenWidthPixels;
    report.frameHeightPixels = report.viewer.screenHeightPixels;
  } else {
    // The classic picture fills the screen's height or width, nearest neighbour: each
    // of its pixels covers this many screen pixels a side.
    report.frameWidthPixels = kScreenWidthPixels;
    report.frameHeightPixels = kScreenHeightPixels;
    report.screenPixelsPerFramePixel =
        std::min(static_cast<double>(report.viewer.screenWidthPixels) / kScreenWidthPixels,
                 static_cast<double>(report.viewer.screenHeightPixels) / kScreenHeightPixels);
  }
  report.field = FieldFor(report.viewer, report.screenPixelsPerFramePixel);

  const FrameSource frames = report.sharp ? SharpFrames(style, error) : ClassicFrames(style, error);
  if (!frames) return false;
  FlashAnalyser analyser(report.frameWidthPixels, report.frameHeightPixels, report.field, kFramesPerSecond);
  bool composed = true;
  RunSinks sinks;
  sinks.onFrame = [&](Model& model) {
    if (composed) composed = frames(model, analyser);
  };
  RunRecord record;
  status = RunSimulation(options, sinks, record);
  if (!composed) {
    *error = "cannot compose a frame";
    return false;
  }
  report.counts = analyser.Counts();
  return true;
}

std::string FormatFlashReport(const FlashReport& report) {
  const ViewingGeometry& viewer = report.viewer;
  char text[1024];
  std::snprintf(text, sizeof text,
                "frames: %lld (%.1f s at %d frames a second), the %s picture at %d x %d\n"
                "viewer: a %g-inch %d x %d screen seen from %g cm\n"
                "10-degree field: %d x %d frame pixels; flashes count over %.0f of them\n"
                "general flashes: at most %g in any one second\n"
                "red flashes: at most %g in any one second\n"
                "largest area changing together: %.1f %% of the counting area\n",
                static_cast<long long>(report.counts.frames),
                static_cast<double>(report.counts.frames) / kFramesPerSecond, kFramesPerSecond,
                report.sharp ? "sharp" : "classic", report.frameWidthPixels, report.frameHeightPixels,
                viewer.screenDiagonalInches, viewer.screenWidthPixels, viewer.screenHeightPixels,
                viewer.viewingDistanceCm, report.field.widthPixels, report.field.heightPixels,
                report.field.countingAreaPixels, report.counts.generalPerSecond, report.counts.redPerSecond,
                100.0 * report.counts.largestAreaShare);
  return text;
}

}  // namespace velmora::sim
