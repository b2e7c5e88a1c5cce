#include "tools/sim/SimColours.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "display/DisplayConstants.h"
#include "display/SharpPictures.h"
#include "model/Model.h"

namespace velmora::sim {
namespace {

// The ground around a triangle: the painted pixels from just outside it to this far,
// design pixels, where the eye compares the shape with what it lies on.
constexpr double kGroundRingInner = 1.0;
constexpr double kGroundRingOuter = 4.0;

// Takes the triangles the network draws: the ten synapses.
class TriangleCollector final : public DeviceContext {
public:
  void SelectPen(const Pen*) override {}
  void SelectBrush(const Brush*) override {}
  void MoveTo(int, int) override {}
  void LineTo(int, int) override {}
  void Polygon(const ScreenPoint (&corners)[3]) override { triangles.push_back({corners[0], corners[1], corners[2]}); }
  std::vector<std::array<ScreenPoint, 3>> triangles;
};

double DistanceToSegment(double px, double py, const ScreenPoint& a, const ScreenPoint& b) {
  const double dx = b.x - a.x, dy = b.y - a.y;
  const double length2 = dx * dx + dy * dy;
  const double t = length2 > 0.0 ? std::clamp(((px - a.x) * dx + (py - a.y) * dy) / length2, 0.0, 1.0) : 0.0;
  return std::hypot(px - (a.x + t * dx), py - (a.y + t * dy));
}

// 0 inside the triangle, else the distance to its nearest edge.
double DistanceToTriangle(double px, double py, const std::array<ScreenPoint, 3>& t) {
  double sides[3];
  for (int k = 0; k < 3; ++k) {
    const ScreenPoint& a = t[k];
    const ScreenPoint& b = t[(k + 1) % 3];
    sides[k] = (b.x - a.x) * (py - a.y) - (b.y - a.y) * (px - a.x);
  }
  const bool inside = (sides[0] >= 0 && sides[1] >= 0 && sides[2] >= 0) || (sides[0] <= 0 && sides[1] <= 0 && sides[2] <= 0);
  if (inside) return 0.0;
  return std::min({DistanceToSegment(px, py, t[0], t[1]), DistanceToSegment(px, py, t[1], t[2]),
                   DistanceToSegment(px, py, t[2], t[0])});
}

// The middle colour, channel by channel, of the ring of ground round the triangle:
// the painted neurite the synapse sits on is a minority there.
ColorRef GroundAround(const PackedImage& ground, const std::array<ScreenPoint, 3>& t) {
  std::vector<int> channels[3];
  int left = ground.width, top = ground.height, right = 0, bottom = 0;
  for (const ScreenPoint& p : t) {
    left = std::min(left, p.x);
    right = std::max(right, p.x);
    top = std::min(top, p.y);
    bottom = std::max(bottom, p.y);
  }
  const int margin = static_cast<int>(std::ceil(kGroundRingOuter));
  for (int y = std::max(0, top - margin); y <= std::min(ground.height - 1, bottom + margin); ++y) {
    for (int x = std::max(0, left - margin); x <= std::min(ground.width - 1, right + margin); ++x) {
      const double distance = DistanceToTriangle(x + 0.5, y + 0.5, t);
      if (distance <= kGroundRingInner || distance > kGroundRingOuter) continue;
      const std::uint32_t pixel = ground.pixels[static_cast<std::size_t>(y) * ground.width + x];
      channels[0].push_back(static_cast<int>((pixel >> 16) & 0xFF));
      channels[1].push_back(static_cast<int>((pixel >> 8) & 0xFF));
      channels[2].push_back(static_cast<int>(pixel & 0xFF));
    }
  }
  int middle[3] = {0, 0, 0};
  for (int c = 0; c < 3; ++c) {
    if (channels[c].empty()) continue;
    auto mid = channels[c].begin() + static_cast<std::ptrdiff_t>(channels[c].size() / 2);
    std::nth_element(channels[c].begin(), mid, channels[c].end());
    middle[c] = *mid;
  }
  return Rgb(middle[0], middle[1], middle[2]);
}

}  // namespace

std::vector<ColourRow> MeasureSynapseColours(const DrawingStyle& style, std::string* error) {
  const std::unique_ptr<SharpPictures> pictures =
      PaintSharpPictures(kScreenWidthPixels, kScreenHeightPixels, SharpFit::kFill, kSharpPaintThreads);
  if (!pictures) {
    *error = "cannot paint the sharp picture";
    return {};
  }
  // The triangles where a frame of the default network draws them.
  Model model(1.0f);
  TriangleCollector collector;
  model.Draw(collector, style);
  std::vector<ColorRef> grounds;
  for (const auto& triangle : collector.triangles) grounds.push_back(GroundAround(pictures->background, triangle));

  const bool edged = style.negativeSynapseEdge.style != PenStyle::Null;
  std::vector<ColourRow> rows;
  for (ColourVision vision : kColourVisions) {
    const LabColour blue = SeenAs(style.positiveSynapseBrush.color, vision);
    const LabColour red = SeenAs(style.negativeSynapseBrush.color, vision);
    const LabColour edge = SeenAs(style.negativeSynapseEdge.color, vision);
    ColourRow row;
    row.vision = vision;
    row.blueAgainstRed = Ciede2000(blue, red);
    row.blueAgainstGround = row.redAgainstGround = row.edgeAgainstGround = 1e9;
    for (ColorRef ground : grounds) {
      const LabColour seen = SeenAs(ground, vision);
      row.blueAgainstGround = std::min(row.blueAgainstGround, Ciede2000(blue, seen));
      row.redAgainstGround = std::min(row.redAgainstGround, Ciede2000(red, seen));
      row.edgeAgainstGround = std::min(row.edgeAgainstGround, edged ? Ciede2000(edge, seen) : 0.0);
    }
    row.edgeAgainstRed = edged ? Ciede2000(edge, red) : 0.0;
    rows.push_back(row);
  }
  return rows;
}

bool EveryEyeTellsThemApart(const std::vector<ColourRow>& rows, bool edged) {
  for (const ColourRow& row : rows) {
    if (row.blueAgainstRed < kDistinctColourDifference || row.blueAgainstGround < kDistinctColourDifference) {
      return false;
    }
    if (row.redAgainstGround >= kDistinctColourDifference) continue;
    if (!edged || row.edgeAgainstGround < kDistinctColourDifference || row.edgeAgainstRed < kDistinctColourDifference) {
      return false;
    }
  }
  return !rows.empty();
}

std::string FormatColourReport(const std::vector<ColourRow>& rows, bool edged) {
  std::string text = "CIEDE2000 in the sharp picture (pairs below 20 are taken for one colour)\n";
  text += "vision         blue-red  blue-ground  red-ground";
  text += edged ? "  edge-ground  edge-red\n" : "\n";
  for (const ColourRow& row : rows) {
    char line[160];
    std::snprintf(line, sizeof line, "%-13s  %8.1f  %11.1f  %10.1f", ColourVisionName(row.vision), row.blueAgainstRed,
                  row.blueAgainstGround, row.redAgainstGround);
    text += line;
    if (edged) {
      std::snprintf(line, sizeof line, "  %11.1f  %8.1f", row.edgeAgainstGround, row.edgeAgainstRed);
      text += line;
    }
    text += '\n';
  }
  text += EveryEyeTellsThemApart(rows, edged) ? "every eye tells them apart\n" : "some eyes cannot tell them apart\n";
  return text;
}

}  // namespace velmora::sim
