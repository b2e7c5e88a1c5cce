#include "tools/sim/Raster.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "tools/sim/BitmapFont.h"

namespace velmora::sim {

const char* const kRasterRowLabels[kRasterRowCount] = {"Src1", "Src2", "Soma1", "Soma2", "Soma3"};

namespace {

// Page layout, in pixels.
constexpr int kWidthPixels = 1200;
constexpr int kLeftMarginPixels = 80;    // room for the row labels
constexpr int kRightMarginPixels = 24;
constexpr int kActionLaneCount = 3;      // action labels close together are stacked in lanes
constexpr int kActionLanePixels = 12;    // height of one lane
constexpr int kActionLabelCharPixels = 6;  // width of one label character, in both SVG and PNG
constexpr int kTopMarginPixels = 8 + kActionLaneCount * kActionLanePixels;
constexpr int kRowHeightPixels = 36;
constexpr int kSpikeTickPixels = 24;     // length of one spike's tick
constexpr int kAxisGapPixels = 4;        // between the last row and the axis line
constexpr int kAxisMarkPixels = 6;       // length of the marks below the axis line
constexpr int kAxisAreaPixels = 58;      // axis line, mark labels and title
constexpr int kHeightPixels = kTopMarginPixels + kRasterRowCount * kRowHeightPixels + kAxisAreaPixels;
constexpr int kPlotWidthPixels = kWidthPixels - kLeftMarginPixels - kRightMarginPixels;
constexpr int kAxisYPixels = kTopMarginPixels + kRasterRowCount * kRowHeightPixels + kAxisGapPixels;
constexpr int kMaxAxisIntervals = 10;
// Font pixels are drawn as squares of this many image pixels in the PNG.
constexpr int kLabelScale = 2;
constexpr int kActionLabelScale = 1;
// Shortest run the time axis spans, so an empty run still has a drawable axis.
constexpr double kMinAxisSpanMs = 1.0;

constexpr const char* kAxisTitle = "time (ms)";

struct Colour {
  std::uint8_t r, g, b;
  const char* svg;
};
constexpr Colour kBackground = {255, 255, 255, "#ffffff"};
constexpr Colour kInk = {34, 34, 34, "#222222"};
constexpr Colour kRowLine = {225, 225, 225, "#e1e1e1"};
constexpr Colour kActionColour = {150, 150, 150, "#969696"};
// Sources in blue; the neurons in red, green and amber.
constexpr Colour kRowColours[kRasterRowCount] = {
    {31, 78, 156, "#1f4e9c"},  {31, 78, 156, "#1f4e9c"},  {176, 58, 46, "#b03a2e"},
    {30, 132, 73, "#1e8449"},  {183, 119, 0, "#b77700"},
};

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

int RowCentreY(int row) { return kTopMarginPixels + row * kRowHeightPixels + kRowHeightPixels / 2; }

// Whole milliseconds in full (never in exponent form, which the PNG font cannot set).
std::string FormatMark(double ms) {
  char text[64];
  std::snprintf(text, sizeof text, ms == std::floor(ms) ? "%.0f" : "%g", ms);
  return text;
}

// Text from the command line placed into XML.
std::string EscapeXml(const std::string& text) {
  std::string escaped;
  for (char c : text) {
    switch (c) {
      case '&': escaped += "&amp;"; break;
      case '<': escaped += "&lt;"; break;
      case '>': escaped += "&gt;"; break;
      case '"': escaped += "&quot;"; break;
      case '\'': escaped += "&apos;"; break;
      default: escaped += c;
    }
  }
  return escaped;
}

void Append(std::string& out, const char* format, auto... values) {
  char buffer[256];
  std::snprintf(buffer, sizeof buffer, format, values...);
  out += buffer;
}

class Canvas {
public:
  explicit Canvas(RgbImage& image) : image_(image) {}

  void Fill(int x0, int y0, int x1, int y1, const Colour& colour) {
    x0 = std::max(x0, 0);
    y0 = std::max(y0, 0);
    x1 = std::min(x1, image_.widthPixels);
    y1 = std::min(y1, image_.heightPixels);
    for (int y = y0; y < y1; ++y) {
      for (int x = x0; x < x1; ++x) {
        std::uint8_t* pixel = &image_.rgb[(static_cast<std::size_t>(y) * image_.widthPixels + x) * 3];
        pixel[0] = colour.r;
        pixel[1] = colour.g;
        pixel[2] = colour.b;
      }
    }
  }

  void Text(int x, int y, std::string_view text, int scale, const Colour& colour) {
    for (char character : text) {
      const std::uint8_t* rows = GlyphRows(character);
      for (int row = 0; row < kGlyphHeightPixels; ++row) {
        for (int column = 0; column < kGlyphWidthPixels; ++column) {
          if ((rows[row] >> (kGlyphWidthPixels - 1 - column)) & 1u) {
            Fill(x + column * scale, y + row * scale, x + (column + 1) * scale, y + (row + 1) * scale, colour);
          }
        }
      }
      x += kGlyphAdvancePixels * scale;
    }
  }

private:
  RgbImage& image_;
};

int PixelColumn(double elapsedMs, double spanMs) {
  const int x = static_cast<int>(std::floor(XForTime(elapsedMs, spanMs)));
  return std::clamp(x, kLeftMarginPixels, kLeftMarginPixels + kPlotWidthPixels - 1);
}

// Baseline (SVG) or bottom edge (PNG) of each action's label: the top lane that is free
// at the label's start, or the one freed first when none is.
std::vector<int> ActionLabelBottoms(const RunRecord& record, double spanMs) {
  double laneFreeFromX[kActionLaneCount];
  std::fill(std::begin(laneFreeFromX), std::end(laneFreeFromX), -1.0);
  std::vector<int> bottoms;
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
    bottoms.push_back(4 + (lane + 1) * kActionLanePixels - 2);
  }
  return bottoms;
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

std::string BuildRasterSvg(const RunRecord& record) {
  const double spanMs = AxisSpanMs(record);
  std::string svg;
  Append(svg,
         "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"%d\" height=\"%d\" viewBox=\"0 0 %d %d\" "
         "font-family=\"sans-serif\" font-size=\"13\">\n",
         kWidthPixels, kHeightPixels, kWidthPixels, kHeightPixels);
  Append(svg, "<rect width=\"%d\" height=\"%d\" fill=\"%s\"/>\n", kWidthPixels, kHeightPixels, kBackground.svg);

  for (int row = 0; row < kRasterRowCount; ++row) {
    const int y = RowCentreY(row);
    Append(svg, "<line x1=\"%d\" y1=\"%d\" x2=\"%d\" y2=\"%d\" stroke=\"%s\"/>\n", kLeftMarginPixels, y,
           kLeftMarginPixels + kPlotWidthPixels, y, kRowLine.svg);
    Append(svg, "<text x=\"%d\" y=\"%d\" text-anchor=\"end\" dominant-baseline=\"middle\" fill=\"%s\">%s</text>\n",
           kLeftMarginPixels - 10, y, kInk.svg, kRasterRowLabels[row]);
  }

  const std::vector<int> labelBottoms = ActionLabelBottoms(record, spanMs);
  for (std::size_t i = 0; i < record.actions.size(); ++i) {
    const AppliedAction& action = record.actions[i];
    const double x = XForTime(action.elapsedMs, spanMs);
    Append(svg, "<line x1=\"%.2f\" y1=\"%d\" x2=\"%.2f\" y2=\"%d\" stroke=\"%s\" stroke-dasharray=\"3 3\"/>\n", x,
           labelBottoms[i] - 9, x, kAxisYPixels, kActionColour.svg);
    Append(svg, "<text x=\"%.2f\" y=\"%d\" font-family=\"monospace\" font-size=\"10\" fill=\"%s\">", x + 2,
           labelBottoms[i], kActionColour.svg);
    svg += EscapeXml(action.label) + "</text>\n";
  }

  // One path per row keeps the file small: a vertical stroke per spike.
  const std::vector<Tick> ticks = CollectTicks(record);
  for (int row = 0; row < kRasterRowCount; ++row) {
    std::string path;
    for (const Tick& tick : ticks) {
      if (tick.row != row) continue;
      Append(path, "M%.2f %dv%d", XForTime(tick.elapsedMs, spanMs), RowCentreY(row) - kSpikeTickPixels / 2,
             kSpikeTickPixels);
    }
    if (path.empty()) continue;
    Append(svg, "<path stroke=\"%s\" stroke-width=\"1.2\" d=\"", kRowColours[row].svg);
    svg += path + "\"/>\n";
  }

  Append(svg, "<line x1=\"%d\" y1=\"%d\" x2=\"%d\" y2=\"%d\" stroke=\"%s\"/>\n", kLeftMarginPixels, kAxisYPixels,
         kLeftMarginPixels + kPlotWidthPixels, kAxisYPixels, kInk.svg);
  for (double markMs : AxisMarksMs(record.elapsedMs, kMaxAxisIntervals)) {
    const double x = XForTime(markMs, spanMs);
    Append(svg, "<line x1=\"%.2f\" y1=\"%d\" x2=\"%.2f\" y2=\"%d\" stroke=\"%s\"/>\n", x, kAxisYPixels, x,
           kAxisYPixels + kAxisMarkPixels, kInk.svg);
    Append(svg, "<text x=\"%.2f\" y=\"%d\" text-anchor=\"middle\" fill=\"%s\">%s</text>\n", x,
           kAxisYPixels + kAxisMarkPixels + 15, kInk.svg, FormatMark(markMs).c_str());
  }
  Append(svg, "<text x=\"%d\" y=\"%d\" text-anchor=\"middle\" fill=\"%s\">%s</text>\n",
         kLeftMarginPixels + kPlotWidthPixels / 2, kHeightPixels - 8, kInk.svg, kAxisTitle);
  svg += "</svg>\n";
  return svg;
}

RgbImage BuildRasterImage(const RunRecord& record) {
  const double spanMs = AxisSpanMs(record);
  RgbImage image;
  image.widthPixels = kWidthPixels;
  image.heightPixels = kHeightPixels;
  image.rgb.assign(static_cast<std::size_t>(kWidthPixels) * kHeightPixels * 3, 0);
  Canvas canvas(image);
  canvas.Fill(0, 0, kWidthPixels, kHeightPixels, kBackground);

  const int labelHeight = kGlyphHeightPixels * kLabelScale;
  for (int row = 0; row < kRasterRowCount; ++row) {
    const int y = RowCentreY(row);
    canvas.Fill(kLeftMarginPixels, y, kLeftMarginPixels + kPlotWidthPixels, y + 1, kRowLine);
    const int width = TextWidthPixels(kRasterRowLabels[row]) * kLabelScale;
    canvas.Text(kLeftMarginPixels - 10 - width, y - labelHeight / 2, kRasterRowLabels[row], kLabelScale, kInk);
  }

  const std::vector<int> labelBottoms = ActionLabelBottoms(record, spanMs);
  for (std::size_t i = 0; i < record.actions.size(); ++i) {
    const AppliedAction& action = record.actions[i];
    const int x = PixelColumn(action.elapsedMs, spanMs);
    // Dashed like the SVG's: 3 pixels on, 3 off.
    for (int y = labelBottoms[i] - 9; y < kAxisYPixels; y += 6) canvas.Fill(x, y, x + 1, y + 3, kActionColour);
    if (FontCovers(action.label)) {
      canvas.Text(x + 2, labelBottoms[i] - kGlyphHeightPixels * kActionLabelScale, action.label, kActionLabelScale,
                  kActionColour);
    }
  }

  for (const Tick& tick : CollectTicks(record)) {
    const int x = PixelColumn(tick.elapsedMs, spanMs);
    const int top = RowCentreY(tick.row) - kSpikeTickPixels / 2;
    canvas.Fill(x, top, x + 1, top + kSpikeTickPixels, kRowColours[tick.row]);
  }

  canvas.Fill(kLeftMarginPixels, kAxisYPixels, kLeftMarginPixels + kPlotWidthPixels, kAxisYPixels + 1, kInk);
  for (double markMs : AxisMarksMs(record.elapsedMs, kMaxAxisIntervals)) {
    const int x = PixelColumn(markMs, spanMs);
    canvas.Fill(x, kAxisYPixels, x + 1, kAxisYPixels + kAxisMarkPixels, kInk);
    const std::string text = FormatMark(markMs);
    canvas.Text(x - TextWidthPixels(text) * kLabelScale / 2, kAxisYPixels + kAxisMarkPixels + 4, text, kLabelScale,
                kInk);
  }
  canvas.Text(kLeftMarginPixels + (kPlotWidthPixels - TextWidthPixels(kAxisTitle) * kLabelScale) / 2,
              kHeightPixels - 6 - labelHeight, kAxisTitle, kLabelScale, kInk);
  return image;
}

}  // namespace velmora::sim
