// The sharp picture of a run at four screen sizes held against the classic picture of
// the same run: the design's region scaled down matches it, the rest of the screen is
// painted ground continuous with the design with the edge neurites run on to the
// screen's edge, and the model's strokes are anti-aliased.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "assets/ScaledPictures.h"
#include "display/GlyphCache.h"
#include "display/SharpDisplay.h"
#include "model/Model.h"
#include "display/FrameComposition.h"
#include "tools/sim/SimPictures.h"
#include "tools/sim/SimRun.h"

namespace velmora::sim {
namespace {

// The design's region scaled down may differ from the classic picture by the classic
// 16-bit colours, the painting's finer detail and the anti-aliased strokes and text;
// the whole picture one design pixel off breaks the percentile and the share.
constexpr double kMeanDifferenceLimit = 4.5;       // levels per channel, over all pixels
constexpr double kPercentileLimit = 40.0;          // levels: 99th percentile of a pixel's largest channel difference
constexpr double kFarOffDifference = 48.0;         // levels: a pixel this far off in any channel ...
constexpr double kFarOffShareLimit = 0.01;         // ... may be at most this share of them
// Beside the design: the design's ground colour, no seam, the edge neurites reaching
// the edge.
constexpr double kGroundMeanTolerance = 6.0;       // levels per channel from the design's plain ground
constexpr double kSeamLimit = 3.0;                 // levels: mean difference across the design's edge
constexpr int kNeuriteDarkening = 60;              // sum of channels below the ground's: a neurite
constexpr int kRunsAtLeftEdge = 4;                 // the four inputs
constexpr int kRunsAtRightEdge = 2;                // two axon branches leave to the right
constexpr int kLargestShift = 2;                   // design pixels tried either way when lining drawings up
// An anti-aliased stroke has edge pixels between its colour and the ground.
constexpr double kBlendedShareAtLeast = 0.1;

constexpr int kSteadyFrameMs = 20;  // the status line of a steady 50 frames per second

struct Colour {
  double r = 0, g = 0, b = 0;
};

Colour Unpack(std::uint32_t p) {
  return {static_cast<double>((p >> 16) & 0xFF), static_cast<double>((p >> 8) & 0xFF), static_cast<double>(p & 0xFF)};
}
double LargestDifference(const Colour& a, const Colour& b) {
  return std::max({std::abs(a.r - b.r), std::abs(a.g - b.g), std::abs(a.b - b.b)});
}

// The frame of ComposeFrame, on either display, with or without the model's drawing.
template <typename AnyDisplay>
bool ComposeOn(AnyDisplay& display, Model& model, bool withModel) {
  display.SelectBackground(Background::Plain);
  if (display.BlitBackground() != DisplayResult::Ok) return false;
  float activity[3];
  model.GetActivity(activity);
  for (int i = 0; i < 3; ++i) {
    if (display.BlitSomaCell(kSomaSpriteX[i], kSomaSpriteY[i], SomaSpriteCell(i, activity[i])) != DisplayResult::Ok) return false;
  }
  TextDeviceContext* dc = display.GetBackBufferDC();
  if (dc == nullptr) return false;
  dc->SetTextColor(Rgb(255, 255, 255));
  dc->SetTransparentBackground();
  dc->TextOut(kStatusLineX, kStatusLineY,
              StatusText(model.step * static_cast<float>(kStepsPerFrame) / static_cast<float>(kSteadyFrameMs)));
  if (withModel) model.Draw(*dc, kExhibitDrawingStyle);
  display.ReleaseBackBufferDC(dc);
  return true;
}

// A classic picture as 8-bit colours.
std::vector<Colour> ClassicPicture(const std::function<bool(Display&)>& compose) {
  std::string error;
  const std::unique_ptr<HeadlessDisplay> headless = HeadlessDisplay::Open(&error);
  EXPECT_NE(headless, nullptr) << error;
  if (!headless) return {};
  EXPECT_TRUE(compose(headless->Screen()));
  const SDL_Surface& frame = *headless->Screen().BackBuffer();
  std::vector<Colour> pixels;
  for (int y = 0; y < frame.h; ++y) {
    const auto* row = reinterpret_cast<const std::uint16_t*>(static_cast<const std::uint8_t*>(frame.pixels) + y * frame.pitch);
    for (int x = 0; x < frame.w; ++x) {
      Uint8 r = 0, g = 0, b = 0;
      SDL_GetRGB(row[x], frame.format, &r, &g, &b);
      pixels.push_back({static_cast<double>(r), static_cast<double>(g), static_cast<double>(b)});
    }
  }
  return pixels;
}

// The screen region of design pixel (x, y), averaged by area.
Colour DesignPixel(const PackedImage& image, const PaintPlacement& placement, int x, int y) {
  const double s = placement.scale;
  const double x0 = placement.offsetX + x * s, x1 = x0 + s, y0 = placement.offsetY + y * s, y1 = y0 + s;
  Colour sum;
  double weight = 0.0;
  for (int py = static_cast<int>(std::floor(y0)); py < static_cast<int>(std::ceil(y1)); ++py) {
    const double wy = std::min(y1, py + 1.0) - std::max(y0, static_cast<double>(py));
    for (int px = static_cast<int>(std::floor(x0)); px < static_cast<int>(std::ceil(x1)); ++px) {
      const double w = wy * (std::min(x1, px + 1.0) - std::max(x0, static_cast<double>(px)));
      if (w <= 0.0 || px < 0 || py < 0 || px >= image.width || py >= image.height) continue;
      const Colour c = Unpack(image.pixels[static_cast<std::size_t>(py) * image.width + px]);
      sum = {sum.r + w * c.r, sum.g + w * c.g, sum.b + w * c.b};
      weight += w;
    }
  }
  return {sum.r / weight, sum.g / weight, sum.b / weight};
}

double Sum(const Colour& c) { return c.r + c.g + c.b; }

struct Margin {
  int left, top, right, bottom;  // screen pixels, right and bottom exclusive
};

Colour Mean(const PackedImage& image, const Margin& m) {
  Colour sum;
  for (int y = m.top; y < m.bottom; ++y) {
    for (int x = m.left; x < m.right; ++x) {
      const Colour c = Unpack(image.pixels[static_cast<std::size_t>(y) * image.width + x]);
      sum = {sum.r + c.r, sum.g + c.g, sum.b + c.b};
    }
  }
  const double count = static_cast<double>(m.right - m.left) * (m.bottom - m.top);
  return {sum.r / count, sum.g / count, sum.b / count};
}

// Dark runs along a screen column: neurites crossing it.
int DarkRuns(const PackedImage& image, int x, const Colour& ground) {
  const double groundSum = Sum(ground);
  int runs = 0;
  bool inRun = false;
  for (int y = 0; y < image.height; ++y) {
    const bool dark = Sum(Unpack(image.pixels[static_cast<std::size_t>(y) * image.width + x])) + kNeuriteDarkening < groundSum;
    runs += dark && !inRun ? 1 : 0;
    inRun = dark;
  }
  return runs;
}

// The shift (x, y) of `moved` against `fixed` (design-sized) that makes them
// correlate most.
std::pair<int, int> BestAlignment(const std::vector<double>& fixed, const std::vector<double>& moved) {
  std::pair<int, int> best{0, 0};
  double bestScore = -1.0;
  for (int dy = -kLargestShift; dy <= kLargestShift; ++dy) {
    for (int dx = -kLargestShift; dx <= kLargestShift; ++dx) {
      double score = 0.0;
      for (int y = kLargestShift; y < kPictureHeight - kLargestShift; ++y) {
        for (int x = kLargestShift; x < kPictureWidth - kLargestShift; ++x) {
          score += fixed[static_cast<std::size_t>(y * kPictureWidth + x)] *
                   moved[static_cast<std::size_t>((y + dy) * kPictureWidth + x + dx)];
        }
      }
      if (score > bestScore) {
        bestScore = score;
        best = {dx, dy};
      }
    }
  }
  return best;
}

TEST(SharpPicture, MatchesTheClassicPictureFillsTheScreenAndDrawsAntiAliased) {
  const struct {
    int width, height;
  } screens[] = {{3840, 2160}, {1920, 1080}, {2560, 1600}, {1080, 1920}};
  const std::vector<std::string> arguments = {"--speed", "15", "--until", "2328", "--at", "1500:weights=20,6,6,6,6,6",
                                              "--at", "1900:stim1"};
  const ParseOutcome parsed = ParseSimArguments(arguments);
  ASSERT_EQ(parsed.status, ParseStatus::kRun);
  RunSinks sinks;
  bool checked = false;
  sinks.onFinished = [&](Model& model) {
    // The simulator's picture, and the same frame without the model's drawing.
    const std::vector<Colour> classic =
        ClassicPicture([&](Display& d) { return ComposeFrame(d, model, PictureBackground::kPlain); });
    const std::vector<Colour> classicWithoutModel = ClassicPicture([&](Display& d) { return ComposeOn(d, model, false); });
    // This test's frame is the simulator's.
    const std::vector<Colour> classicHere = ClassicPicture([&](Display& d) { return ComposeOn(d, model, true); });
    ASSERT_TRUE(std::equal(classic.begin(), classic.end(), classicHere.begin(), classicHere.end(),
                           [](const Colour& a, const Colour& b) { return LargestDifference(a, b) == 0.0; }));
    ASSERT_EQ(classic.size(), static_cast<std::size_t>(kPictureWidth * kPictureHeight));
    for (const auto& screen : screens) {
      SCOPED_TRACE(std::to_string(screen.width) + " x " + std::to_string(screen.height));
      const PaintPlacement placement = FitDesign(screen.width, screen.height, true);
      PackedImage sharp, withoutModel;
      std::string error;
      ASSERT_TRUE(ComposeSharpPicture(screen.width, screen.height, SharpFit::kFill,
                                      [&](SharpDisplay& d) { return ComposeOn(d, model, true); }, sharp, &error))
          << error;
      ASSERT_TRUE(ComposeSharpPicture(screen.width, screen.height, SharpFit::kFill,
                                      [&](SharpDisplay& d) { return ComposeOn(d, model, false); }, withoutModel,
                                      &error));
      ASSERT_EQ(sharp.width, screen.width);
      ASSERT_EQ(sharp.height, screen.height);

      // The design's region, scaled down, against the classic picture.
      double differenceSum = 0.0;
      int farOff = 0;
      std::vector<double> largest;
      for (int y = 0; y < kPictureHeight; ++y) {
        for (int x = 0; x < kPictureWidth; ++x) {
          const Colour a = DesignPixel(sharp, placement, x, y), b = classic[static_cast<std::size_t>(y * kPictureWidth + x)];
          differenceSum += std::abs(a.r - b.r) + std::abs(a.g - b.g) + std::abs(a.b - b.b);
          largest.push_back(LargestDifference(a, b));
          farOff += largest.back() > kFarOffDifference ? 1 : 0;
        }
      }
      const std::size_t percentile = largest.size() * 99 / 100;
      std::nth_element(largest.begin(), largest.begin() + static_cast<std::ptrdiff_t>(percentile), largest.end());
      EXPECT_LE(differenceSum / (3.0 * kPictureWidth * kPictureHeight), kMeanDifferenceLimit);
      EXPECT_LE(largest[percentile], kPercentileLimit);
      EXPECT_LE(static_cast<double>(farOff) / (kPictureWidth * kPictureHeight), kFarOffShareLimit);

      // Beside (or above and below) the design: painted ground, no seam at its edge.
      const bool wide = placement.offsetX > 0;
      const int designLeft = placement.offsetX;
      const int designRight = static_cast<int>(std::ceil(placement.offsetX + kPictureWidth * placement.scale));
      const int designBottom = static_cast<int>(std::ceil(placement.offsetY + kPictureHeight * placement.scale));
      const Margin margins[2] = {
          wide ? Margin{0, 0, placement.offsetX, screen.height} : Margin{0, 0, screen.width, placement.offsetY},
          wide ? Margin{designRight, 0, screen.width, screen.height} : Margin{0, designBottom, screen.width, screen.height}};
      // The design's own plain ground: its status band above the text.
      const Colour ground = Mean(sharp, {designLeft, static_cast<int>(placement.offsetY + kStatusBandTop * placement.scale) + 1,
                                         designRight - 1, static_cast<int>(placement.offsetY + kStatusLineY * placement.scale)});
      for (const Margin& m : margins) {
        const Colour mean = Mean(sharp, m);
        EXPECT_NEAR(mean.r, ground.r, kGroundMeanTolerance);
        EXPECT_NEAR(mean.g, ground.g, kGroundMeanTolerance);
        EXPECT_NEAR(mean.b, ground.b, kGroundMeanTolerance);
      }
      // The ground goes on across the design's first edge, above the status band.
      double seam = 0.0;
      int seamPixels = 0;
      const int across = wide ? placement.offsetX : placement.offsetY;
      for (int along = 0; along < (wide ? designBottom * 8 / 10 : screen.width); ++along) {
        const auto at = [&](int a) {
          return Unpack(wide ? sharp.pixels[static_cast<std::size_t>(along) * screen.width + a]
                             : sharp.pixels[static_cast<std::size_t>(a) * screen.width + along]);
        };
        const Colour outside = at(across - 1), inside = at(across);
        seam += std::abs(outside.r - inside.r) + std::abs(outside.g - inside.g) + std::abs(outside.b - inside.b);
        seamPixels += 3;
      }
      EXPECT_LE(seam / seamPixels, kSeamLimit);
      if (wide) {
        EXPECT_GE(DarkRuns(sharp, 0, ground), kRunsAtLeftEdge);
        EXPECT_GE(DarkRuns(sharp, screen.width - 1, ground), kRunsAtRightEdge);
      }

      // The model's drawing lies where the classic one does: of the shifts of up to
      // two design pixels, none lines the two drawings up better than none.
      std::vector<double> classicDrawing(classic.size()), sharpDrawing(classic.size());
      for (int y = 0; y < kPictureHeight; ++y) {
        for (int x = 0; x < kPictureWidth; ++x) {
          const std::size_t i = static_cast<std::size_t>(y * kPictureWidth + x);
          classicDrawing[i] = LargestDifference(classic[i], classicWithoutModel[i]);
          sharpDrawing[i] =
              LargestDifference(DesignPixel(sharp, placement, x, y), DesignPixel(withoutModel, placement, x, y));
        }
      }
      EXPECT_EQ(BestAlignment(classicDrawing, sharpDrawing), (std::pair{0, 0}));

      // The model's drawing: many of its pixels are partly covered.
      int drawn = 0, blended = 0;
      const std::uint32_t strokeColours[] = {0xC8C8C8u, 0x00C800u, 0x0000C8u, 0xC80000u};
      for (std::size_t i = 0; i < sharp.pixels.size(); ++i) {
        if (sharp.pixels[i] == withoutModel.pixels[i]) continue;
        ++drawn;
        const std::uint32_t rgb = sharp.pixels[i] & 0x00FFFFFFu;
        blended += std::find(std::begin(strokeColours), std::end(strokeColours), rgb) == std::end(strokeColours) ? 1 : 0;
      }
      EXPECT_GT(drawn, 0);
      EXPECT_GE(static_cast<double>(blended) / drawn, kBlendedShareAtLeast);
    }
    checked = true;
  };
  RunRecord record;
  ASSERT_EQ(RunSimulation(parsed.options, sinks, record), RunStatus::kFinished);
  EXPECT_TRUE(checked);
}

}  // namespace
}  // namespace velmora::sim
