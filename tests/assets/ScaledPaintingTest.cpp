// The painting and the labels at other scales: the same code gives the built-in
// pictures at scale 1, the neurites lie under the model's path points at any scale,
// the canvas beyond the design is filled or black as asked, and the labels keep to
// their scaled boxes.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "assets/BuiltInImages.h"
#include "assets/Labels.h"
#include "assets/NeuritePaths.h"
#include "assets/Painting.h"

namespace velmora {
namespace {

// Canvas pixels take their grain from their own position: the ground's channel sum
// at a canvas pixel and at the nearest picture pixel differ by up to twice the grain
// of 1.5 levels times 1 + 0.68 + 0.45 over the three channels.
constexpr int kGrainSwing = 7;
// A neurite is at least this much darker than the ground (channel sum).
constexpr int kNeuriteDarkening = 60;

Rgb Unpack(std::uint32_t p) {
  return {static_cast<std::uint8_t>(p >> 16), static_cast<std::uint8_t>(p >> 8), static_cast<std::uint8_t>(p)};
}
int Sum(Rgb p) { return p.r + p.g + p.b; }

// A pixel of a built-in 24-bit bottom-up bitmap.
Rgb BuiltInPixel(const BuiltInImage& image, int x, int y) {
  const std::uint8_t* p = image.data + 54 + static_cast<std::size_t>(kPictureHeight - 1 - y) * kPictureWidth * 3 +
                          static_cast<std::size_t>(x) * 3;
  return {p[2], p[1], p[0]};
}

TEST(ScaledPainting, AtScaleOneOnThePicturesCanvasIsTheBuiltInPictureOnAnyNumberOfThreads) {
  const BuiltInImage* builtIn = FindBuiltInImage("BACKGROUND");
  ASSERT_NE(builtIn, nullptr);
  for (const int threads : {1, 2, 3}) {
    const ScaledPainting painting = PaintNetworkAt(BuildAllNeuritePaths(), PaintPlacement{}, threads);
    RgbImage picture(kPictureWidth, kPictureHeight);
    std::transform(painting.picture.pixels.begin(), painting.picture.pixels.end(), picture.pixels.begin(), Unpack);
    const std::vector<std::uint8_t> file = EncodeBmp(picture, kPictureResolution);
    ASSERT_EQ(file.size(), builtIn->size);
    EXPECT_EQ(std::memcmp(file.data(), builtIn->data, file.size()), 0) << threads << " threads";
  }
}

TEST(ScaledPainting, PathPointsLieOnPaintedNeuritesAndTheCanvasBeyondIsFilledOrBlack) {
  const std::vector<std::vector<PathPoint>> paths = BuildAllNeuritePaths();
  const struct {
    int width, height;
  } screens[] = {{1920, 1080}, {1080, 1920}, {2560, 1600}};
  for (const auto& screen : screens) {
    for (const bool fill : {true, false}) {
      SCOPED_TRACE(testing::Message() << screen.width << " x " << screen.height << (fill ? " filled" : " letterboxed"));
      const PaintPlacement placement = FitDesign(screen.width, screen.height, fill);
      const ScaledPainting painting = PaintNetworkAt(paths, placement, 2);
      const auto at = [&](int x, int y) {
        return Unpack(painting.picture.pixels[static_cast<std::size_t>(y) * screen.width + x]);
      };
      for (std::size_t k = 0; k < paths.size(); ++k) {
        for (const PathPoint& p : paths[k]) {
          const int x = static_cast<int>(std::lround((p.x + 0.5) * placement.scale + placement.offsetX - 0.5));
          const int y = static_cast<int>(std::lround((p.y + 0.5) * placement.scale + placement.offsetY - 0.5));
          ASSERT_LT(Sum(at(x, y)) + kNeuriteDarkening, Sum(GroundAt(p.x, p.y)) - kGrainSwing)
              << kNeuriteControls[k].name << " point " << p.x << ", " << p.y;
        }
      }
      // The margins: ground (never black) or black.
      const bool wide = placement.offsetX > 0;
      const int margin = wide ? placement.offsetX : placement.offsetY;
      int black = 0;
      for (int a = 0; a < margin; ++a) {
        for (int b = 0; b < (wide ? screen.height : screen.width); b += 7) {
          const Rgb p = wide ? at(a, b) : at(b, a);
          black += p == Rgb{0, 0, 0} ? 1 : 0;
        }
      }
      const int sampled = margin * (((wide ? screen.height : screen.width) + 6) / 7);
      EXPECT_EQ(black, fill ? 0 : sampled);
    }
  }
}

// The neurites that reach the design's left or right edge run on to the canvas's edge
// side by side: however wide the canvas, each column beside the design is crossed by
// each of them once, never by two merged where they cross.
TEST(ScaledPainting, EdgeNeuritesRunOnSideBySideWithoutCrossingOnExtremeShapes) {
  constexpr int kRunsLeft = 4, kRunsRight = 2;  // the four inputs; two axon branches
  const std::vector<std::vector<PathPoint>> paths = BuildAllNeuritePaths();
  for (const auto& shape : {std::pair{4000, 500}, std::pair{3600, 640}}) {
    const int width = shape.first, height = shape.second;
    SCOPED_TRACE(testing::Message() << width << " x " << height);
    const PaintPlacement placement = FitDesign(width, height, true);
    const ScaledPainting painting = PaintNetworkAt(paths, placement, 2, NeuriteCentres::kSmoothCurves);
    const auto runs = [&](int x) {
      int count = 0;
      bool inRun = false;
      for (int y = 0; y < height; ++y) {
        const bool dark = Sum(Unpack(painting.picture.pixels[static_cast<std::size_t>(y) * width + x])) + kNeuriteDarkening <
                          Sum(kGroundColour);
        count += dark && !inRun ? 1 : 0;
        inRun = dark;
      }
      return count;
    };
    const int designRight = static_cast<int>(std::ceil(placement.offsetX + kPictureWidth * placement.scale));
    for (int x = 0; x < placement.offsetX; ++x) ASSERT_EQ(runs(x), kRunsLeft) << "column " << x;
    for (int x = designRight; x < width; ++x) ASSERT_EQ(runs(x), kRunsRight) << "column " << x;
  }
}

TEST(LabelOverlays, AtScaleOneMakeTheBuiltInLabelledPictureAndAtScaleKeepToTheirBoxes) {
  const BuiltInImage* plain = FindBuiltInImage("BACKGROUND");
  const BuiltInImage* labelled = FindBuiltInImage("LABELEDBACK");
  ASSERT_TRUE(plain != nullptr && labelled != nullptr);
  for (const double scale : {1.0, 2.8125}) {
    SCOPED_TRACE(testing::Message() << "scale " << scale);
    const PaintPlacement placement =
        FitDesign(static_cast<int>(kPictureWidth * scale), static_cast<int>(kPictureHeight * scale), true);
    std::vector<LabelOverlay> overlays;
    std::string error;
    ASSERT_TRUE(MakeLabelOverlays(BuiltInFont(FontFace::Bold), placement, overlays, error)) << error;
    ASSERT_EQ(overlays.size(), kLabels.size());
    for (std::size_t k = 0; k < overlays.size(); ++k) {
      const LabelOverlay& overlay = overlays[k];
      const PixelBox& box = kLabels[k].box;
      // The box scaled, to within a pixel at each edge.
      EXPECT_NEAR(overlay.left, box.xMin * scale, 1.0) << kLabels[k].text;
      EXPECT_NEAR(overlay.top, box.yMin * scale, 1.0) << kLabels[k].text;
      EXPECT_NEAR(overlay.width, (box.xMax - box.xMin + 1) * scale, 1.0) << kLabels[k].text;
      EXPECT_NEAR(overlay.height, (box.yMax - box.yMin + 1) * scale, 1.0) << kLabels[k].text;
      const auto inked = std::count_if(overlay.alpha.begin(), overlay.alpha.end(), [](std::uint8_t a) { return a == 255; });
      EXPECT_GT(static_cast<double>(inked), 10.0 * scale * scale) << kLabels[k].text;
      if (scale != 1.0) continue;
      for (int y = 0; y < overlay.height; ++y) {
        for (int x = 0; x < overlay.width; ++x) {
          const int px = overlay.left + x, py = overlay.top + y;
          const double a = overlay.alpha[static_cast<std::size_t>(y * overlay.width + x)] / 255.0;
          const Rgb under = BuiltInPixel(*plain, px, py), want = BuiltInPixel(*labelled, px, py);
          ASSERT_NEAR(under.r + (kLabelColour.r - under.r) * a, want.r, 1.0) << px << ", " << py;
          ASSERT_NEAR(under.g + (kLabelColour.g - under.g) * a, want.g, 1.0) << px << ", " << py;
          ASSERT_NEAR(under.b + (kLabelColour.b - under.b) * a, want.b, 1.0) << px << ", " << py;
        }
      }
    }
  }
}

}  // namespace
}  // namespace velmora
