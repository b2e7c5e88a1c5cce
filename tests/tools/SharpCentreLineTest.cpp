// The sharp picture at 3840 x 2160 on the README's run: the painted neurites follow
// one smooth centre line with no steps of the whole-pixel paths, and the model's
// green line along a dendrite at rest lies on that centre line.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "assets/NeuriteCurve.h"
#include "assets/NeuritePaths.h"
#include "display/SharpDisplay.h"
#include "model/Dendrite.h"
#include "model/Model.h"
#include "model/NetworkTables.h"
#include "tools/sim/SimPictures.h"
#include "tools/sim/SimRun.h"

namespace velmora::sim {
namespace {

constexpr int kWidth = 3840, kHeight = 2160;  // pixels
constexpr double kLargestDeviation = 0.5;     // screen pixels from the smooth fit
constexpr double kLargestStep = 0.5;          // screen pixels: jump between neighbouring columns beyond the fit's
constexpr double kGreenOnCentre = 0.75;       // screen pixels from the painted centre
constexpr int kFitHalfWindow = 24;            // columns either side of the local quadratic fit
constexpr double kSearchHalfHeight = 12.0;    // screen pixels about the curve searched for the neurite
constexpr double kGroundBand = 6.0;           // screen pixels beyond that giving the ground's level
constexpr int kDarkAtLeast = 30;              // channel sum below the ground: neurite core
constexpr int kGreenAtLeast = 60;             // green above the mean of red and blue: the green line
constexpr double kShallowest = 0.8;           // |dy / dx|: steeper columns are read across rows instead, so skipped
constexpr double kRestingHeight = 0.02;       // design pixels of bulge: a dendrite at rest
constexpr int kColumnsAtLeast = 60;           // per stretch, so no check passes on too few columns

// A stretch of one neurite, design x from..to, read column by column.
struct Stretch {
  const char* name;
  double fromX, toX;
};
// Nearly straight and clearly curved ones, away from crossings, bodies and the edge.
const Stretch kStraight[] = {{"A16", 840, 1000}, {"A1", 12, 90}, {"D6", 400, 540}};
const Stretch kCurved[] = {{"A17", 320, 760}, {"A14", 430, 620}, {"A9", 760, 940}};

std::size_t TableIndex(const char* name) {
  for (std::size_t k = 0; k < kPathTables.size(); ++k) {
    if (std::string(kPathTables[k].name) == name) return k;
  }
  ADD_FAILURE() << "no path " << name;
  return 0;
}

int Sum(std::uint32_t p) { return static_cast<int>(((p >> 16) & 0xFF) + ((p >> 8) & 0xFF) + (p & 0xFF)); }
int Greenness(std::uint32_t p) {
  return static_cast<int>((p >> 8) & 0xFF) - static_cast<int>((((p >> 16) & 0xFF) + (p & 0xFF)) / 2);
}

// The curve's screen row (continuous, pixel centres at .5) at the centre of each
// column it crosses shallowly; empty where it is steep or absent.
std::vector<std::optional<double>> CurveRows(const NeuriteControl& control, const PaintPlacement& placement, double fromX,
                                             double toX) {
  std::vector<std::optional<double>> rows(kWidth);
  const std::vector<CurvePoint> samples = NeuriteCurve(control).Samples(16.0);
  for (std::size_t i = 0; i + 1 < samples.size(); ++i) {
    const CurvePoint &a = samples[i], &b = samples[i + 1];
    if (std::min(a.at.x, b.at.x) < fromX || std::max(a.at.x, b.at.x) > toX) continue;
    if (std::abs(a.tangent.y) > kShallowest * std::abs(a.tangent.x)) continue;
    const double ax = (a.at.x + 0.5) * placement.scale + placement.offsetX, bx = (b.at.x + 0.5) * placement.scale + placement.offsetX;
    const double ay = (a.at.y + 0.5) * placement.scale + placement.offsetY, by = (b.at.y + 0.5) * placement.scale + placement.offsetY;
    for (int x = static_cast<int>(std::ceil(std::min(ax, bx) - 0.5)); x + 0.5 <= std::max(ax, bx); ++x) {
      if (bx == ax) continue;
      rows[static_cast<std::size_t>(x)] = ay + (x + 0.5 - ax) / (bx - ax) * (by - ay);
    }
  }
  return rows;
}

// The weighted centre row of what `weight` finds in a column about `around`; none if
// nothing is found.
template <typename Weight>
std::optional<double> CentreRow(const PackedImage& image, int x, double around, Weight weight) {
  double sum = 0.0, weighted = 0.0;
  for (int y = static_cast<int>(around - kSearchHalfHeight); y <= static_cast<int>(around + kSearchHalfHeight); ++y) {
    const double w = weight(image.pixels[static_cast<std::size_t>(y) * kWidth + x], y);
    sum += w;
    weighted += w * (y + 0.5);
  }
  if (sum <= 0.0) return std::nullopt;
  return weighted / sum;
}

// The painted neurite's centre: darkness below the ground just beyond it.
std::optional<double> PaintedCentre(const PackedImage& background, int x, double around) {
  double ground = 0.0;
  int count = 0;
  for (const double side : {-1.0, 1.0}) {
    for (double d = kSearchHalfHeight + 1.0; d <= kSearchHalfHeight + kGroundBand; d += 1.0) {
      ground += Sum(background.pixels[static_cast<std::size_t>(around + side * d) * kWidth + x]);
      ++count;
    }
  }
  ground /= count;
  return CentreRow(background, x, around, [&](std::uint32_t p, int) { return std::max(0.0, ground - Sum(p) - kDarkAtLeast); });
}

// The value at `x` of the least-squares quadratic through the points about it.
double LocalFit(const std::vector<std::optional<double>>& centres, int x) {
  double s[5] = {}, t[3] = {};
  for (int i = std::max(0, x - kFitHalfWindow); i <= std::min(kWidth - 1, x + kFitHalfWindow); ++i) {
    if (!centres[static_cast<std::size_t>(i)]) continue;
    const double u = i - x, v = *centres[static_cast<std::size_t>(i)];
    double power = 1.0;
    for (int k = 0; k < 5; ++k, power *= u) {
      s[k] += power;
      if (k < 3) t[k] += power * v;
    }
  }
  // Normal equations of a + b u + c u^2 by Cramer's rule; the fit at u = 0 is a.
  const auto det3 = [](double a, double b, double c, double d, double e, double f, double g, double h, double i) {
    return a * (e * i - f * h) - b * (d * i - f * g) + c * (d * h - e * g);
  };
  const double det = det3(s[0], s[1], s[2], s[1], s[2], s[3], s[2], s[3], s[4]);
  return det3(t[0], s[1], s[2], t[1], s[2], s[3], t[2], s[3], s[4]) / det;
}

TEST(SharpCentreLine, PaintedNeuritesAreSmoothAndTheGreenLineAtRestLiesOnThemAt4K) {
  const ParseOutcome parsed = ParseSimArguments(
      {"--speed", "15", "--until", "2328", "--at", "1500:weights=20,6,6,6,6,6", "--at", "1900:stim1"});
  ASSERT_EQ(parsed.status, ParseStatus::kRun);
  RunSinks sinks;
  bool checked = false;
  sinks.onFinished = [&](Model& model) {
    std::shared_ptr<SharpPictures> pictures = PaintSharpPictures(kWidth, kHeight, SharpFit::kFill, 2);
    std::string error;
    ASSERT_TRUE(AddSharpLabels(*pictures, &error)) << error;
    const std::unique_ptr<SharpDisplay> display = SharpDisplay::CreateOffscreen(pictures);
    ASSERT_TRUE(ComposeFrame(*display, model, PictureBackground::kPlain));
    PackedImage frame;
    ASSERT_TRUE(display->Screenshot(frame));
    const PaintPlacement& placement = pictures->placement;

    // The painted centre lines: near the curve, and smooth.
    for (const auto* group : {&kStraight, &kCurved}) {
      for (const Stretch& stretch : *group) {
        SCOPED_TRACE(stretch.name);
        const std::size_t k = TableIndex(stretch.name);
        const std::vector<std::optional<double>> curve = CurveRows(kNeuriteControls[k], placement, stretch.fromX, stretch.toX);
        std::vector<std::optional<double>> centres(kWidth);
        int columns = 0;
        for (int x = 0; x < kWidth; ++x) {
          if (!curve[static_cast<std::size_t>(x)]) continue;
          centres[static_cast<std::size_t>(x)] = PaintedCentre(pictures->background, x, *curve[static_cast<std::size_t>(x)]);
          ASSERT_TRUE(centres[static_cast<std::size_t>(x)].has_value()) << "column " << x;
          EXPECT_NEAR(*centres[static_cast<std::size_t>(x)], *curve[static_cast<std::size_t>(x)], kLargestDeviation)
              << "column " << x;
          ++columns;
        }
        EXPECT_GE(columns, kColumnsAtLeast);
        for (int x = 0; x + 1 < kWidth; ++x) {
          if (!centres[static_cast<std::size_t>(x)]) continue;
          const double fit = LocalFit(centres, x);
          const double off = *centres[static_cast<std::size_t>(x)] - fit;
          EXPECT_LE(std::abs(off), kLargestDeviation) << "column " << x;
          if (!centres[static_cast<std::size_t>(x + 1)]) continue;
          const double nextOff = *centres[static_cast<std::size_t>(x + 1)] - LocalFit(centres, x + 1);
          EXPECT_LE(std::abs(nextOff - off), kLargestStep) << "column " << x;
        }
      }
    }

    // The green line where dendrite D4 lies at rest: on the painted centre line.
    const std::size_t d4 = TableIndex("D4");
    const Dendrite* dendrite = nullptr;
    for (ObjectRef* ref = model.elements.head; ref != nullptr; ref = model.elements.Next(ref)) {
      const auto* candidate = dynamic_cast<const Dendrite*>(ref->object);
      if (candidate != nullptr && candidate->table == kPathTables[d4].points) dendrite = candidate;
    }
    ASSERT_NE(dendrite, nullptr);
    const std::vector<CurvePoint> places = PathPointsOnCurve(kNeuriteControls[d4]);
    const std::vector<std::optional<double>> curve = CurveRows(kNeuriteControls[d4], placement, 0, kPictureWidth);
    int columns = 0;
    for (std::size_t i = 0; i + kDendriteDrawSpacing * 3 < places.size(); i += kDendriteDrawSpacing) {
      // Four drawn points in a row at rest: the line between the middle two is the neurite's.
      bool resting = true;
      for (std::size_t j = i; j <= i + kDendriteDrawSpacing * 3; j += kDendriteDrawSpacing) {
        resting = resting && std::abs(dendrite->potential[j] * kDendriteBulgeScale) < kRestingHeight;
      }
      if (!resting) continue;
      const double from = (places[i + kDendriteDrawSpacing].at.x + 0.5) * placement.scale + placement.offsetX;
      const double to = (places[i + 2 * kDendriteDrawSpacing].at.x + 0.5) * placement.scale + placement.offsetX;
      for (int x = static_cast<int>(std::ceil(std::min(from, to))); x < static_cast<int>(std::max(from, to)); ++x) {
        if (!curve[static_cast<std::size_t>(x)]) continue;
        const std::optional<double> painted = PaintedCentre(pictures->background, x, *curve[static_cast<std::size_t>(x)]);
        const std::optional<double> green = CentreRow(frame, x, *curve[static_cast<std::size_t>(x)], [](std::uint32_t p, int) {
          return static_cast<double>(std::max(0, Greenness(p) - kGreenAtLeast));
        });
        ASSERT_TRUE(painted && green) << "column " << x;
        EXPECT_NEAR(*green, *painted, kGreenOnCentre) << "column " << x;
        ++columns;
      }
    }
    EXPECT_GE(columns, kColumnsAtLeast);
    checked = true;
  };
  RunRecord record;
  ASSERT_EQ(RunSimulation(parsed.options, sinks, record), RunStatus::kFinished);
  EXPECT_TRUE(checked);
}

}  // namespace
}  // namespace velmora::sim
