// The generated neurite paths as the model sees them (kPathTables), held against the
// listed geometry, the model's wiring and synapse anchors, and the rules the running
// spikes and waves rely on.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "assets/NeuritePaths.h"
#include "model/NetworkData.h"
#include "model/NetworkTables.h"

namespace velmora {
namespace {

struct ListedPath {
  const char* name;
  int count;
  PixelPoint first;
  PixelPoint last;
  PixelBox extent;
  NormalSide side;
};

constexpr NormalSide L = NormalSide::kLeft;
constexpr NormalSide R = NormalSide::kRight;

// The geometry every path must have, in table order.
const ListedPath kListed[kPathCount] = {
    {"A1", 157, {2, 208}, {147, 242}, {2, 147, 207, 242}, L},
    {"A2", 251, {3, 612}, {238, 615}, {3, 238, 590, 615}, L},
    {"A3", 212, {1, 91}, {182, 140}, {1, 182, 91, 158}, L},
    {"A4", 177, {4, 406}, {145, 483}, {4, 145, 406, 483}, L},
    {"A5", 75, {250, 260}, {267, 332}, {250, 267, 260, 332}, L},
    {"A6", 149, {268, 333}, {248, 475}, {248, 277, 333, 475}, L},
    {"A7", 135, {268, 333}, {357, 400}, {268, 357, 326, 400}, L},
    {"A8", 73, {483, 514}, {549, 495}, {483, 549, 495, 516}, L},
    {"A9", 554, {549, 494}, {1020, 626}, {549, 1020, 463, 626}, L},
    {"A10", 102, {549, 494}, {557, 398}, {549, 565, 398, 494}, R},
    {"A11", 96, {556, 396}, {571, 304}, {556, 572, 304, 396}, R},
    {"A12", 440, {556, 397}, {257, 154}, {257, 556, 154, 397}, R},
    {"A13", 28, {716, 311}, {742, 314}, {716, 742, 311, 314}, L},
    {"A14", 674, {742, 315}, {335, 556}, {335, 750, 315, 657}, R},
    {"A15", 130, {742, 315}, {824, 218}, {742, 824, 218, 315}, L},
    {"A16", 207, {824, 218}, {1022, 178}, {824, 1022, 178, 218}, L},
    {"A17", 712, {824, 219}, {249, 113}, {249, 824, 66, 219}, R},
    {"D1", 90, {136, 260}, {212, 223}, {136, 212, 223, 260}, L},
    {"D2", 106, {175, 120}, {218, 212}, {175, 218, 120, 212}, L},
    {"D3", 97, {242, 102}, {253, 196}, {242, 257, 102, 196}, L},
    {"D4", 305, {220, 672}, {433, 503}, {220, 433, 503, 672}, L},
    {"D5", 310, {113, 481}, {411, 477}, {113, 411, 467, 491}, L},
    {"D6", 358, {337, 425}, {643, 302}, {337, 643, 295, 425}, L},
};

constexpr int kDendriteTableOffset = kAxonCount;  // D1 is entry 17 of kPathTables
constexpr int kLowestPaintableRow = 679;           // pixels: the status band starts at 680
constexpr int kSynapseReachPixels = 10;            // axon end to synapse anchor, Chebyshev

PathPoint Point(const PathTable& table, int i) { return table.points[i]; }

// The unit direction of travel over a few points either side, turned to the side's normal.
std::pair<double, double> SideOfTravel(const PathTable& table, int i, NormalSide side) {
  const PathPoint ahead = Point(table, std::min(table.count - 1, i + kSideWindowPoints));
  const PathPoint behind = Point(table, std::max(0, i - kSideWindowPoints));
  const double dx = ahead.x - behind.x;
  const double dy = ahead.y - behind.y;
  return side == NormalSide::kLeft ? std::pair{dy, -dx} : std::pair{-dy, dx};
}

TEST(NeuritePaths, EveryPathHasItsListedCountEndsAndExtent) {
  for (int k = 0; k < kPathCount; ++k) {
    const PathTable& table = kPathTables[k];
    const ListedPath& want = kListed[k];
    SCOPED_TRACE(want.name);
    EXPECT_STREQ(table.name, want.name);
    ASSERT_EQ(table.count, want.count);
    EXPECT_EQ(Point(table, 0).x, want.first.x);
    EXPECT_EQ(Point(table, 0).y, want.first.y);
    EXPECT_EQ(Point(table, table.count - 1).x, want.last.x);
    EXPECT_EQ(Point(table, table.count - 1).y, want.last.y);
    PixelBox box{Point(table, 0).x, Point(table, 0).x, Point(table, 0).y, Point(table, 0).y};
    for (int i = 0; i < table.count; ++i) {
      const PathPoint p = Point(table, i);
      box = {std::min(box.xMin, p.x), std::max(box.xMax, p.x), std::min(box.yMin, p.y), std::max(box.yMax, p.y)};
    }
    EXPECT_EQ(box.xMin, want.extent.xMin);
    EXPECT_EQ(box.xMax, want.extent.xMax);
    EXPECT_EQ(box.yMin, want.extent.yMin);
    EXPECT_EQ(box.yMax, want.extent.yMax);
  }
}

TEST(NeuritePaths, AllPathsHoldFiftyFourHundredThirtyEightPoints) {
  int total = 0;
  for (const PathTable& table : kPathTables) total += table.count;
  EXPECT_EQ(total, 5438);
}

TEST(NeuritePaths, ConsecutivePointsAreAtMostOnePixelApart) {
  for (const PathTable& table : kPathTables) {
    SCOPED_TRACE(table.name);
    for (int i = 1; i < table.count; ++i) {
      ASSERT_LE(ChebyshevDistance(Point(table, i - 1), Point(table, i)), 1) << "at point " << i;
    }
  }
}

TEST(NeuritePaths, NormalsAreUnitVectorsOnTheListedSide) {
  for (int k = 0; k < kPathCount; ++k) {
    const PathTable& table = kPathTables[k];
    SCOPED_TRACE(table.name);
    for (int i = 0; i < table.count; ++i) {
      const PathPoint p = Point(table, i);
      ASSERT_NEAR(std::hypot(p.nx, p.ny), 1.0, kUnitTolerance) << "at point " << i;
      const auto [sx, sy] = SideOfTravel(table, i, kListed[k].side);
      ASSERT_GT(sx * p.nx + sy * p.ny, 0.0) << "at point " << i;
    }
  }
}

TEST(NeuritePaths, NormalsTurnLittleFromPointToPoint) {
  for (const PathTable& table : kPathTables) {
    SCOPED_TRACE(table.name);
    for (int i = 1; i < table.count; ++i) {
      const PathPoint p = Point(table, i);
      const PathPoint q = Point(table, i - 1);
      ASSERT_GT(p.nx * q.nx + p.ny * q.ny, std::cos(kMaxNormalTurnRadians)) << "at point " << i;
    }
  }
}

TEST(NeuritePaths, SomaThreeAxonStemKeepsOneNormal) {
  const PathTable& a13 = kPathTables[network::A13];
  for (int i = 0; i < a13.count; ++i) {
    EXPECT_FLOAT_EQ(Point(a13, i).nx, 0.1159f);
    EXPECT_FLOAT_EQ(Point(a13, i).ny, -0.9933f);
  }
}

TEST(NeuritePaths, FirstStimulusAxonStartsLevelAndEndsDescending) {
  const PathTable& a1 = kPathTables[network::A1];
  constexpr double kTolerance = 0.02;
  EXPECT_NEAR(Point(a1, 0).nx, 0.0097, kTolerance);
  EXPECT_NEAR(Point(a1, 0).ny, -1.0, kTolerance);
  EXPECT_NEAR(Point(a1, a1.count - 1).nx, 0.5806, kTolerance);
  EXPECT_NEAR(Point(a1, a1.count - 1).ny, -0.8142, kTolerance);
}

TEST(NeuritePaths, EveryBranchStartsWithinTwoPixelsOfItsParentsEnd) {
  for (const network::Branch& branch : network::kBranches) {
    const PathTable& parent = kPathTables[branch.parent];
    const PathTable& child = kPathTables[branch.child];
    SCOPED_TRACE(std::string(parent.name) + " -> " + child.name);
    EXPECT_LE(ChebyshevDistance(Point(parent, parent.count - 1), Point(child, 0)), kBranchGapPixels);
  }
}

TEST(NeuritePaths, EveryAxonEndsWithinTenPixelsOfItsSynapse) {
  for (int s = 0; s < network::kSynapseCount; ++s) {
    const PathTable& axon = kPathTables[network::kSynapses[s].fromAxon];
    const SynapseShape& shape = network::kSynapseShapes[s];
    SCOPED_TRACE(std::string(axon.name) + " -> Syn" + std::to_string(s + 1));
    EXPECT_LE(ChebyshevDistance(Point(axon, axon.count - 1), {shape.x1, shape.y1, 0.0f, 0.0f}),
              kSynapseReachPixels);
  }
}

// A wave enters its dendrite at the synapse's path position: the picture only makes
// sense if that point lies at the synapse's mark.
TEST(NeuritePaths, DendritesPassTheirSynapsesAtTheEntryPoint) {
  constexpr int kEntryReachPixels = 8;
  for (int s = 0; s < network::kSynapseCount; ++s) {
    const network::SynapseRecord& synapse = network::kSynapses[s];
    const PathTable& dendrite = kPathTables[kDendriteTableOffset + synapse.toDendrite];
    ASSERT_LT(static_cast<int>(synapse.dendritePosition), dendrite.count);
    const SynapseShape& shape = network::kSynapseShapes[s];
    SCOPED_TRACE(std::string(dendrite.name) + " at Syn" + std::to_string(s + 1));
    EXPECT_LE(ChebyshevDistance(Point(dendrite, static_cast<int>(synapse.dendritePosition)),
                                {shape.x1, shape.y1, 0.0f, 0.0f}),
              kEntryReachPixels);
  }
}

TEST(NeuritePaths, NoPathReachesTheStatusBandOrLeavesTheScreen) {
  for (const PathTable& table : kPathTables) {
    SCOPED_TRACE(table.name);
    for (int i = 0; i < table.count; ++i) {
      const PathPoint p = Point(table, i);
      ASSERT_GE(p.x, 0);
      ASSERT_LT(p.x, 1024);
      ASSERT_GE(p.y, 0);
      ASSERT_LE(p.y, kLowestPaintableRow);
    }
  }
}

TEST(NeuritePaths, GeneratorRebuildsTheTablesTheModelHolds) {
  const std::vector<std::vector<PathPoint>> paths = BuildAllNeuritePaths();
  for (int k = 0; k < kPathCount; ++k) {
    SCOPED_TRACE(kPathTables[k].name);
    ASSERT_EQ(static_cast<int>(paths[k].size()), kPathTables[k].count);
    for (int i = 0; i < kPathTables[k].count; ++i) {
      ASSERT_EQ(paths[k][i].x, Point(kPathTables[k], i).x);
      ASSERT_EQ(paths[k][i].y, Point(kPathTables[k], i).y);
    }
  }
}

// The sharp picture places each table point on the smooth curve: near its pixel (a
// point the table repeats between its pixel and the next; where the table is held
// inside its extent while the curve bulges just beyond, a little further), in order
// along the curve, and no point left far behind its neighbours.
TEST(NeuritePaths, EveryTablePointHasAPlaceOnItsCurveNearItsPixelAndInOrder) {
  constexpr double kNearPixel = 0.75;  // picture pixels from the pixel's centre, or from the step to the next
  constexpr double kNearHeldPixel = 1.5;  // the same for a pixel on the extent's edge
  constexpr double kLongestStep = 1.6;  // picture pixels along the curve between neighbours (a diagonal step is 1.41)
  // Distance of p from the segment a..b.
  const auto fromStep = [](CurvePoint p, const PathPoint& a, const PathPoint& b) {
    const double ex = b.x - a.x, ey = b.y - a.y, length2 = ex * ex + ey * ey;
    const double t = length2 > 0 ? std::clamp(((p.at.x - a.x) * ex + (p.at.y - a.y) * ey) / length2, 0.0, 1.0) : 0.0;
    return std::hypot(p.at.x - (a.x + t * ex), p.at.y - (a.y + t * ey));
  };
  for (int k = 0; k < kPathCount; ++k) {
    SCOPED_TRACE(kPathTables[k].name);
    const int n = kPathTables[k].count;
    const std::vector<CurvePoint> places = PathPointsOnCurve(kNeuriteControls[static_cast<std::size_t>(k)]);
    ASSERT_EQ(static_cast<int>(places.size()), n);
    for (int i = 0; i < n; ++i) {
      const CurvePoint& place = places[static_cast<std::size_t>(i)];
      const PathPoint& pixel = Point(kPathTables[k], i);
      const bool repeat = i > 0 && Point(kPathTables[k], i - 1).x == pixel.x && Point(kPathTables[k], i - 1).y == pixel.y;
      int next = i;
      while (next + 1 < n && Point(kPathTables[k], next).x == pixel.x && Point(kPathTables[k], next).y == pixel.y) ++next;
      const PixelBox& box = kListed[k].extent;
      const bool held = pixel.x == box.xMin || pixel.x == box.xMax || pixel.y == box.yMin || pixel.y == box.yMax;
      EXPECT_LE(repeat ? fromStep(place, pixel, Point(kPathTables[k], next)) : fromStep(place, pixel, pixel),
                held ? kNearHeldPixel : kNearPixel)
          << "point " << i;
      EXPECT_NEAR(std::hypot(place.tangent.x, place.tangent.y), 1.0, 1e-9) << "point " << i;
      if (i == 0) continue;
      const double step = place.arc - places[static_cast<std::size_t>(i - 1)].arc;
      EXPECT_GE(step, 0.0) << "point " << i;
      EXPECT_LE(step, kLongestStep) << "point " << i;
    }
  }
}

// The generator refuses broken tables: each fault of this table is reported.
TEST(NeuritePathCheck, ReportsEachKindOfBrokenPath) {
  const NeuriteControl& a5 = kNeuriteControls[network::A5];
  const std::vector<PathPoint> good = BuildNeuritePath(a5);
  ASSERT_TRUE(CheckNeuritePath(a5, good, nullptr).empty());

  struct Breakage {
    const char* what;
    void (*apply)(std::vector<PathPoint>&);
  };
  const Breakage breakages[] = {
      {"one point short", [](std::vector<PathPoint>& p) { p.erase(p.begin() + 10); }},
      {"a jump", [](std::vector<PathPoint>& p) { p[30].x += 2; }},
      {"moved end", [](std::vector<PathPoint>& p) { p.back().y -= 1; }},
      {"normal not unit", [](std::vector<PathPoint>& p) { p[20].nx *= 1.1f; }},
      {"normal on the other side",
       [](std::vector<PathPoint>& p) {
         for (PathPoint& q : p) q = {q.x, q.y, -q.nx, -q.ny};
       }},
      {"normal kink", [](std::vector<PathPoint>& p) { p[40] = {p[40].x, p[40].y, p[40].ny, -p[40].nx}; }},
  };
  for (const Breakage& breakage : breakages) {
    std::vector<PathPoint> broken = good;
    breakage.apply(broken);
    EXPECT_FALSE(CheckNeuritePath(a5, broken, nullptr).empty()) << breakage.what;
  }
}

TEST(NeuritePathCheck, ReportsABranchThatStartsAwayFromItsParent) {
  const NeuriteControl& a6 = kNeuriteControls[network::A6];
  const std::vector<PathPoint> a6Path = BuildNeuritePath(a6);
  std::vector<PathPoint> farParent = BuildNeuritePath(kNeuriteControls[network::A5]);
  EXPECT_TRUE(CheckNeuritePath(a6, a6Path, &farParent).empty());
  farParent.back().y -= 3;
  EXPECT_FALSE(CheckNeuritePath(a6, a6Path, &farParent).empty());
}

}  // namespace
}  // namespace velmora
