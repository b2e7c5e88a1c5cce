#include "tools/sim/FlashAnalysis.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace velmora::sim {
namespace {

constexpr double kReferenceFieldWidthPixels = 341.0;
constexpr double kReferenceFieldHeightPixels = 256.0;
constexpr double kReferenceDiagonalPixels = 1280.0;  // 1024 x 768
constexpr double kCountingShareOfField = 0.25;

constexpr double kLuminanceChange = 0.10;   // of the maximum relative luminance, 1.0
constexpr double kDarkerBelow = 0.80;       // the darker state must be below this
constexpr double kSaturatedRedShare = 0.8;  // R / (R + G + B), linear components
constexpr double kRedChromaticityChange = 0.2;  // distance in u'v'

// Transitions are summed in square cells of at most this many per frame, so that the
// sum over every field placement stays cheap on a 3840 x 2160 frame; the field is
// widened to whole cells, which can only count more.
constexpr double kMostCells = 800000.0;

// sRGB component 0 .. 255 to linear light 0 .. 1.
const std::array<double, 256>& LinearTable() {
  static const std::array<double, 256> table = [] {
    std::array<double, 256> values{};
    for (int i = 0; i < 256; ++i) {
      const double c = i / 255.0;
      values[i] = c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
    }
    return values;
  }();
  return table;
}

struct Linear {
  double r, g, b;
};

Linear ToLinear(std::uint32_t pixel) {
  const auto& table = LinearTable();
  return {table[(pixel >> 16) & 0xFF], table[(pixel >> 8) & 0xFF], table[pixel & 0xFF]};
}

double RelativeLuminance(const Linear& c) { return 0.2126 * c.r + 0.7152 * c.g + 0.0722 * c.b; }

double RedShare(const Linear& c) {
  const double sum = c.r + c.g + c.b;
  return sum > 0.0 ? c.r / sum : 0.0;
}

bool SaturatedRed(const Linear& c) { return RedShare(c) >= kSaturatedRedShare; }

// CIE 1976 u'v' of an sRGB colour; black has no chromaticity and takes the white point's.
void Chromaticity(const Linear& c, double& u, double& v) {
  const double x = 0.4124 * c.r + 0.3576 * c.g + 0.1805 * c.b;
  const double y = RelativeLuminance(c);
  const double z = 0.0193 * c.r + 0.1192 * c.g + 0.9505 * c.b;
  const double denominator = x + 15.0 * y + 3.0 * z;
  if (denominator <= 0.0) {
    u = 0.1978;
    v = 0.4683;
    return;
  }
  u = 4.0 * x / denominator;
  v = 9.0 * y / denominator;
}

double ChromaticityDistance(const Linear& a, const Linear& b) {
  double ua = 0, va = 0, ub = 0, vb = 0;
  Chromaticity(a, ua, va);
  Chromaticity(b, ub, vb);
  return std::hypot(ua - ub, va - vb);
}

// Follows one pixel's luminance: +1 or -1 when it has just made a transition.
int LuminanceStep(std::uint32_t pixel, std::uint32_t& turn, std::int8_t& direction) {
  const double now = RelativeLuminance(ToLinear(pixel));
  const double before = RelativeLuminance(ToLinear(turn));
  // A change that goes on in the direction of the last transition moves its turning point.
  if ((direction > 0 && now > before) || (direction < 0 && now < before)) {
    turn = pixel;
    return 0;
  }
  int step = 0;
  if (direction <= 0 && now - before >= kLuminanceChange && before < kDarkerBelow) step = +1;
  if (direction >= 0 && before - now >= kLuminanceChange && now < kDarkerBelow) step = -1;
  if (step != 0) {
    turn = pixel;
    direction = static_cast<std::int8_t>(step);
  }
  return step;
}

// Follows one pixel's colour: +1 toward a saturated red, -1 away from one.
int RedStep(std::uint32_t pixel, std::uint32_t& turn, std::int8_t& direction) {
  const Linear now = ToLinear(pixel);
  const Linear before = ToLinear(turn);
  const bool red = SaturatedRed(now);
  if ((direction > 0 && red) || (direction < 0 && !red)) {
    turn = pixel;
    return 0;
  }
  if (red == SaturatedRed(before) || ChromaticityDistance(now, before) <= kRedChromaticityChange) return 0;
  const int step = red ? +1 : -1;
  turn = pixel;
  direction = static_cast<std::int8_t>(step);
  return step;
}

}  // namespace

FlashField FieldFor(const ViewingGeometry& viewer, double screenPixelsPerFramePixel) {
  const double referencePitchCm =
      kReferenceScreenDiagonalInches * 2.54 / kReferenceDiagonalPixels;
  const double pitchCm = viewer.screenDiagonalInches * 2.54 /
                         std::hypot(static_cast<double>(viewer.screenWidthPixels), viewer.screenHeightPixels);
  // The field's angle is fixed: it grows on the screen with the distance and spans
  // fewer pixels where they are larger.
  const double factor = viewer.viewingDistanceCm / kReferenceViewingDistanceCm * referencePitchCm /
                        pitchCm / screenPixelsPerFramePixel;
  const double width = kReferenceFieldWidthPixels * factor;
  const double height = kReferenceFieldHeightPixels * factor;
  FlashField field;
  field.widthPixels = std::max(1, static_cast<int>(std::lround(width)));
  field.heightPixels = std::max(1, static_cast<int>(std::lround(height)));
  field.countingAreaPixels = width * height * kCountingShareOfField;
  return field;
}

FlashAnalyser::FlashAnalyser(int widthPixels, int heightPixels, const FlashField& countingField, int rate)
    : width(widthPixels), height(heightPixels), field(countingField), framesPerSecond(rate) {
  const double pixels = static_cast<double>(width) * height;
  cellPixels = std::max(1, static_cast<int>(std::ceil(std::sqrt(pixels / kMostCells))));
  cellColumns = (width + cellPixels - 1) / cellPixels;
  cellRows = (height + cellPixels - 1) / cellPixels;
  const std::size_t count = static_cast<std::size_t>(width) * height;
  previous.assign(count, 0);
  luminanceTurn.assign(count, 0);
  luminanceDirection.assign(count, 0);
  redTurn.assign(count, 0);
  redDirection.assign(count, 0);
  for (auto& cells : cellTransitions) cells.assign(static_cast<std::size_t>(cellColumns) * cellRows, 0);
}

void FlashAnalyser::AddFrame(const std::uint32_t* pixels, int stridePixels) {
  if (frames == 0) {
    for (int y = 0; y < height; ++y) {
      for (int x = 0; x < width; ++x) {
        const std::size_t i = static_cast<std::size_t>(y) * width + x;
        const std::uint32_t pixel = pixels[static_cast<std::size_t>(y) * stridePixels + x] & 0xFFFFFFu;
        previous[i] = luminanceTurn[i] = redTurn[i] = pixel;
      }
    }
    for (auto& transitions : screenTransitions) transitions.push_back(0);
    ++frames;
    return;
  }
  for (int kind = 0; kind < kKinds; ++kind) {
    if (transitionsThisFrame[kind] > 0) std::fill(cellTransitions[kind].begin(), cellTransitions[kind].end(), 0);
    transitionsThisFrame[kind] = 0;
  }
  for (int y = 0; y < height; ++y) {
    const std::uint32_t* row = pixels + static_cast<std::size_t>(y) * stridePixels;
    const std::size_t cellRow = static_cast<std::size_t>(y / cellPixels) * cellColumns;
    for (int x = 0; x < width; ++x) {
      const std::size_t i = static_cast<std::size_t>(y) * width + x;
      const std::uint32_t pixel = row[x] & 0xFFFFFFu;
      // An unchanged pixel can neither turn nor move a turning point.
      if (pixel == previous[i]) continue;
      previous[i] = pixel;
      const std::size_t cell = cellRow + static_cast<std::size_t>(x / cellPixels);
      if (const int step = LuminanceStep(pixel, luminanceTurn[i], luminanceDirection[i]); step != 0) {
        const int kind = step > 0 ? kLighter : kDarker;
        ++cellTransitions[kind][cell];
        ++transitionsThisFrame[kind];
      }
      if (const int step = RedStep(pixel, redTurn[i], redDirection[i]); step != 0) {
        const int kind = step > 0 ? kTowardRed : kAwayFromRed;
        ++cellTransitions[kind][cell];
        ++transitionsThisFrame[kind];
      }
    }
  }
  CountScreenTransitions();
  ++frames;
}

double FlashAnalyser::LargestInField(const std::vector<std::int32_t>& cells) const {
  // Sums over every placement of the field from a table of sums of the cells above and
  // to the left of each corner.
  const int fieldColumns = std::min(cellColumns, (field.widthPixels + cellPixels - 1) / cellPixels);
  const int fieldRows = std::min(cellRows, (field.heightPixels + cellPixels - 1) / cellPixels);
  const std::size_t stride = static_cast<std::size_t>(cellColumns) + 1;
  std::vector<std::int64_t> sums(stride * (cellRows + 1), 0);
  for (int y = 0; y < cellRows; ++y) {
    std::int64_t rowSum = 0;
    for (int x = 0; x < cellColumns; ++x) {
      rowSum += cells[static_cast<std::size_t>(y) * cellColumns + x];
      sums[(y + 1) * stride + x + 1] = sums[y * stride + x + 1] + rowSum;
    }
  }
  std::int64_t largest = 0;
  for (int y = 0; y + fieldRows <= cellRows; ++y) {
    for (int x = 0; x + fieldColumns <= cellColumns; ++x) {
      const std::int64_t sum = sums[(y + fieldRows) * stride + x + fieldColumns] - sums[y * stride + x + fieldColumns] -
                               sums[(y + fieldRows) * stride + x] + sums[y * stride + x];
      largest = std::max(largest, sum);
    }
  }
  return static_cast<double>(largest);
}

void FlashAnalyser::CountScreenTransitions() {
  for (int rule = 0; rule < 2; ++rule) {
    const int up = rule == 0 ? kLighter : kTowardRed;
    const int down = rule == 0 ? kDarker : kAwayFromRed;
    double area[2] = {0.0, 0.0};
    for (int side = 0; side < 2; ++side) {
      const int kind = side == 0 ? up : down;
      // Fewer transitions than a tenth of the counting area cannot count, and need no
      // sum over the placements: their share is taken as if all lay in one field.
      if (transitionsThisFrame[kind] * 10.0 < field.countingAreaPixels) {
        largestAreaShare = std::max(largestAreaShare, transitionsThisFrame[kind] / field.countingAreaPixels);
        continue;
      }
      area[side] = LargestInField(cellTransitions[kind]);
      largestAreaShare = std::max(largestAreaShare, area[side] / field.countingAreaPixels);
    }
    // The larger side is the screen's change; the other is something moving.
    const double larger = std::max(area[0], area[1]);
    int direction = 0;
    if (larger >= field.countingAreaPixels) direction = area[0] >= area[1] ? +1 : -1;
    const bool turned = direction != 0 && direction != screenDirection[rule];
    if (turned) screenDirection[rule] = direction;
    screenTransitions[rule].push_back(turned ? 1 : 0);
  }
}

FlashCounts FlashAnalyser::Counts() const {
  FlashCounts counts;
  counts.frames = frames;
  counts.largestAreaShare = largestAreaShare;
  double* perSecond[2] = {&counts.generalPerSecond, &counts.redPerSecond};
  for (int rule = 0; rule < 2; ++rule) {
    const std::vector<std::uint8_t>& transitions = screenTransitions[rule];
    int inWindow = 0;
    int most = 0;
    for (std::size_t i = 0; i < transitions.size(); ++i) {
      inWindow += transitions[i];
      if (i >= static_cast<std::size_t>(framesPerSecond)) inWindow -= transitions[i - framesPerSecond];
      most = std::max(most, inWindow);
    }
    *perSecond[rule] = most / 2.0;
  }
  return counts;
}

}  // namespace velmora::sim
