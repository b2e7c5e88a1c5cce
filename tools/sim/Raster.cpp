#include "tools/sim/Raster.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "assets/Bitmap.h"
#include "platform/PngWriter.h"

namespace velmora::sim {

const char* const kRasterRowLabels[kRasterRowCount] = {"Src1", "Src2", "Soma1", "Soma2", "Soma3"};

namespace {

// Page layout, in pixels.
constexpr int kWidthPixels = 1200;
constexpr int kLeftMarginPixels = 80;    // room for the row labels
constexpr int kRightMarginPixels = 24;
constexpr int kLabelGapPixels = 10;      // between a row label and the plot
constexpr int kActionLaneCount = 3;      // action labels close together are stacked in lanes
constexpr int kActionLanePixels = 16;    // height of one lane: one line of the font
// Width of one label character, to keep labels in one lane apart: about the mean
// advance of the bold font's digits and small letters.
constexpr int kActionLabelCharPixels = 9;
constexpr int kActionLineOverhangPixels = 5;  // an action's line starts this far above its label's middle
constexpr int kTopMarginPixels = 8 + kActionLaneCount * kActionLanePixels;
constexpr int kRowHeightPixels = 36;
constexpr int kSpikeTickPixels = 24;     // length of one spike's tick
constexpr int kAxisGapPixels = 4;        // between the last row and the axis line
constexpr int kAxisMarkPixels = 6;       // length of the marks below the axis line
constexpr int kMarkLabelMiddlePixels = 15;  // below the marks' ends
constexpr int kAxisAreaPixels = 58;      // axis line, mark labels and title
constexpr int kAxisTitleMiddleFromBottomPixels = 13;
constexpr int kHeightPixels = kTopMarginPixels + kRasterRowCount * kRowHeightPixels + kAxisAreaPixels;
constexpr int kPlotWidthPixels = kWidthPixels - kLeftMarginPixels - kRightMarginPixels;
constexpr int kAxisYPixels = kTopMarginPixels + kRasterRowCount * kRowHeightPixels + kAxisGapPixels;
constexpr int kMaxAxisIntervals = 10;
// Shortest run the time axis spans, so an empty run still has a drawable axis.
constexpr double kMinAxisSpanMs = 1.0;

constexpr const char* kAxisTitle = "time (ms)";

constexpr ShapeColour kBackground = 0xffffff;
constexpr ShapeColour kInk = 0x222222;
constexpr ShapeColour kRowLine = 0xe1e1e1;
constexpr ShapeColour kActionColour = 0x969696;
// Sources in blue; the neurons in red, green and amber.
constexpr ShapeColour kRowColours[kRasterRowCount] = {0x1f4e9c, 0x1f4e9c, 0xb03a2e, 0x1e8449, 0xb77700};

// One tick per spike: its row (0 .. 4) and its time since the start of the run.
struct Tick {
  int row;
  double elapsedMs;
};

std::vector<Tick> CollectTicks(const RunRecord& record) {
  std::vector<Tick> ticks;
  ticks.reserve(record.sourceSpikes.size() + record.firings.size());
  for (const SourceSpike& spike : record.sourceSpikes) ticks.push_back({spike.source - 1, spike.elapsedMs});
  for (const Firing& firing : record.firings) ticks.push_back({kSourceCount + firing.soma - 1, firing.elapsedMs});
  return ticks;
}

double AxisSpanMs(const RunRecord& record) { return std::max(record.elapsedMs, kMinAxisSpanMs); }

double XForTime(double elapsedMs, double spanMs) {
  return kLeftMarginPixels + elapsedMs / spanMs * kPlotWidthPixels;
}

double RowCentreY(int row) { return kTopMarginPixels + row * kRowHeightPixels + kRowHeightPixels / 2; }

// Whole milliseconds in full, never in exponent form.
std::string FormatMark(double ms) {
  char text[64];
  std::snprintf(text, sizeof text, ms == std::floor(ms) ? "%.0f" : "%g", ms);
  return text;
}

// Middle of each action's label: the top lane that is free at the label's start, or
// the one freed first when none is.
std::vector<double> ActionLabelMiddles(const RunRecord& record, double spanMs) {
  double laneFreeFromX[kActionLaneCount];
  std::fill(std::begin(laneFreeFromX), std::end(laneFreeFromX), -1.0);
  std::vector<double> middles;
  for (const AppliedAction& action : record.actions) {
    const double x = XForTime(action.elapsedMs, spanMs);
    int lane = 0;
    for (int candidate = 0; candidate < kActionLaneCount; ++candidate) {
      if (laneFreeFromX[candidate] <= x) {
        lane = candidate;
        break;
      }
      if (laneFreeFromX[candidate] < laneFreeFromX[lane]) lane = candidate;
    }
    laneFreeFromX[lane] = x + 2 + static_cast<double>(action.label.size() + 1) * kActionLabelCharPixels;
    middles.push_back(4 + lane * kActionLanePixels + kActionLanePixels / 2);
  }
  return middles;
}

}  // namespace

std::vector<double> AxisMarksMs(double endMs, int maxIntervals) {
  std::vector<double> marks = {0.0};
  if (!(endMs > 0.0) || maxIntervals < 1) return marks;
  const double rawStep = endMs / maxIntervals;
  const double power = std::pow(10.0, std::floor(std::log10(rawStep)));
  double stepMs = 10.0 * power;
  for (double factor : {1.0, 2.0, 5.0}) {
    if (factor * power >= rawStep) {
      stepMs = factor * power;
      break;
    }
  }
  for (int i = 1; i * stepMs <= endMs; ++i) marks.push_back(i * stepMs);
  return marks;
}

ShapeList BuildRasterShapes(const RunRecord& record) {
  const double spanMs = AxisSpanMs(record);
  ShapeList list;
  list.widthPixels = kWidthPixels;
  list.heightPixels = kHeightPixels;
  auto& shapes = list.shapes;
  shapes.push_back(Rect(0, 0, kWidthPixels, kHeightPixels, kBackground));

  for (int row = 0; row < kRasterRowCount; ++row) {
    const double y = RowCentreY(row);
    shapes.push_back(Line(kLeftMarginPixels, y, kLeftMarginPixels + kPlotWidthPixels, y, kRowLine));
    shapes.push_back(Text(kLeftMarginPixels - kLabelGapPixels, y, kRasterRowLabels[row], kInk, TextAnchor::kEnd));
  }

  const std::vector<double> labelMiddles = ActionLabelMiddles(record, spanMs);
  for (std::size_t i = 0; i < record.actions.size(); ++i) {
    const double x = XForTime(record.actions[i].elapsedMs, spanMs);
    shapes.push_back(Line(x, labelMiddles[i] - kActionLineOverhangPixels, x, kAxisYPixels, kActionColour, true));
    shapes.push_back(Text(x + 2, labelMiddles[i], record.actions[i].label, kActionColour, TextAnchor::kStart));
  }

  // Row by row, so the ticks of one colour follow each other.
  const std::vector<Tick> ticks = CollectTicks(record);
  for (int row = 0; row < kRasterRowCount; ++row) {
    const double top = RowCentreY(row) - kSpikeTickPixels / 2;
    for (const Tick& tick : ticks) {
      if (tick.row != row) continue;
      const double x = XForTime(tick.elapsedMs, spanMs);
      shapes.push_back(Line(x, top, x, top + kSpikeTickPixels, kRowColours[row]));
    }
  }

  shapes.push_back(Line(kLeftMarginPixels, kAxisYPixels, kLeftMarginPixels + kPlotWidthPixels, kAxisYPixels, kInk));
  const std::vector<double> marks = AxisMarksMs(record.elapsedMs, kMaxAxisIntervals);
  for (double markMs : marks) {
    const double x = XForTime(markMs, spanMs);
    shapes.push_back(Line(x, kAxisYPixels, x, kAxisYPixels + kAxisMarkPixels, kInk));
  }
  for (double markMs : marks) {
    shapes.push_back(Text(XForTime(markMs, spanMs), kAxisYPixels + kAxisMarkPixels + kMarkLabelMiddlePixels,
                          FormatMark(markMs), kInk, TextAnchor::kMiddle));
  }
  shapes.push_back(Text(kLeftMarginPixels + kPlotWidthPixels / 2, kHeightPixels - kAxisTitleMiddleFromBottomPixels,
                        kAxisTitle, kInk, TextAnchor::kMiddle));
  return list;
}

std::string BuildRasterSvg(const RunRecord& record) { return WriteSvg(BuildRasterShapes(record)); }

RgbImage BuildRasterImage(const RunRecord& record, const GlyphCache* font) {
  return RenderShapes(BuildRasterShapes(record), font);
}

bool WriteRasterPng(const RunRecord& record, const GlyphCache* font, const std::string& path) {
  const RgbImage image = BuildRasterImage(record, font);
  static_assert(sizeof(Rgb) == 3, "the pixels are handed on as rows of RGB bytes");
  return WritePng(path, image.width, image.height, PngPixelFormat::kRgb24,
                  reinterpret_cast<const std::uint8_t*>(image.pixels.data()));
}

}  // namespace velmora::sim
