#include "display/BackBufferContext.h"

#include <gtest/gtest.h>

#include <set>
#include <utility>
#include <vector>

#include "display/BitmapLoading.h"
#include "tests/display/BitmapFiles.h"

namespace velmora {
namespace {

using testing::Rgb565;
using Pixel = std::pair<int, int>;

constexpr ColorRef kGrey = Rgb(200, 200, 200);
constexpr ColorRef kGreen = Rgb(0, 200, 0);
const Pen kTwoPixelPen{PenStyle::Solid, 2, kGrey};
const Brush kBlueBrush{Rgb(0, 0, 200)};

std::uint16_t At(const SDL_Surface& surface, int x, int y) {
  return reinterpret_cast<const std::uint16_t*>(static_cast<const std::uint8_t*>(surface.pixels) +
                                                y * surface.pitch)[x];
}

std::set<Pixel> PixelsOf(const SDL_Surface& surface, std::uint16_t raw) {
  std::set<Pixel> found;
  for (int y = 0; y < surface.h; ++y)
    for (int x = 0; x < surface.w; ++x)
      if (At(surface, x, y) == raw) found.insert({x, y});
  return found;
}

struct Canvas {
  explicit Canvas(int width = 64, int height = 48, const GlyphCache* glyphs = nullptr)
      : surface(CreateDisplaySurface(width, height)), dc(surface.get(), glyphs) {}
  std::set<Pixel> Drawn(ColorRef color) const { return PixelsOf(*surface, Rgb565(color)); }
  SurfacePtr surface;
  BackBufferContext dc;
};

struct LineCase {
  const char* name;
  int x0, y0, x1, y1;
  std::set<Pixel> expected;
};

TEST(BackBufferContextTest, TwoPixelLineLeavesOutItsLastPointAndThickensAcrossItsMajorAxis) {
  const std::vector<LineCase> cases = {
      {"rightwards", 10, 10, 14, 10, {{10, 10}, {11, 10}, {12, 10}, {13, 10}, {10, 11}, {11, 11}, {12, 11}, {13, 11}}},
      {"leftwards", 14, 10, 10, 10, {{14, 10}, {13, 10}, {12, 10}, {11, 10}, {14, 11}, {13, 11}, {12, 11}, {11, 11}}},
      {"downwards", 5, 5, 5, 8, {{5, 5}, {5, 6}, {5, 7}, {6, 5}, {6, 6}, {6, 7}}},
      {"diagonal", 0, 0, 3, 3, {{0, 0}, {1, 1}, {2, 2}, {0, 1}, {1, 2}, {2, 3}}},
      // Minor offsets i * 1 / 4 rounded half up: 0, 0, 1, 1.
      {"shallow", 20, 20, 24, 21, {{20, 20}, {21, 20}, {22, 21}, {23, 21}, {20, 21}, {21, 21}, {22, 22}, {23, 22}}},
      {"zero length", 30, 30, 30, 30, {}},
  };
  for (const LineCase& line : cases) {
    Canvas canvas;
    canvas.dc.SelectPen(&kTwoPixelPen);
    canvas.dc.MoveTo(line.x0, line.y0);
    canvas.dc.LineTo(line.x1, line.y1);
    EXPECT_EQ(canvas.Drawn(kGrey), line.expected) << line.name;
  }
}

TEST(BackBufferContextTest, LineToMovesTheCurrentPositionSoPolylinesJoin) {
  Canvas canvas;
  canvas.dc.SelectPen(&kTwoPixelPen);
  canvas.dc.MoveTo(10, 10);
  canvas.dc.LineTo(13, 10);
  canvas.dc.LineTo(13, 13);
  const std::set<Pixel> drawn = canvas.Drawn(kGrey);
  EXPECT_TRUE(drawn.count({12, 10}) && drawn.count({13, 10}) && drawn.count({13, 12}));
  EXPECT_FALSE(drawn.count({13, 13}));
}

TEST(BackBufferContextTest, ClippedLinesKeepExactlyThePixelsOfTheUnclippedLine) {
  // Each line is drawn on a small surface and, shifted by the margin, on a large
  // one that holds it whole; the small surface must show the large one's window.
  constexpr int kMargin = 200;
  const std::vector<std::pair<Pixel, Pixel>> lines = {
      {{-30, 5}, {90, 40}}, {{70, -10}, {-5, 60}}, {{-50, -50}, {120, 100}}, {{3, -40}, {10, 90}},
      {{63, 0}, {63, 47}},  {{0, 47}, {63, 47}},   {{100, 20}, {-100, 21}}, {{-1, -1}, {64, 48}},
  };
  for (const auto& [from, to] : lines) {
    Canvas small;
    Canvas large(64 + 2 * kMargin, 48 + 2 * kMargin);
    for (Canvas* canvas : {&small, &large}) canvas->dc.SelectPen(&kTwoPixelPen);
    small.dc.MoveTo(from.first, from.second);
    small.dc.LineTo(to.first, to.second);
    large.dc.MoveTo(from.first + kMargin, from.second + kMargin);
    large.dc.LineTo(to.first + kMargin, to.second + kMargin);
    std::set<Pixel> window;
    for (const auto& [x, y] : large.Drawn(kGrey))
      if (x >= kMargin && x < kMargin + 64 && y >= kMargin && y < kMargin + 48) window.insert({x - kMargin, y - kMargin});
    EXPECT_EQ(small.Drawn(kGrey), window) << from.first << "," << from.second << " to " << to.first << "," << to.second;
  }
}

TEST(BackBufferContextTest, FarCoordinatesAreClippedSafely) {
  Canvas canvas;
  canvas.dc.SelectPen(&kTwoPixelPen);
  canvas.dc.MoveTo(-100000, 20);
  canvas.dc.LineTo(100000, 20);
  EXPECT_EQ(canvas.Drawn(kGrey).size(), 2u * 64);
  canvas.dc.MoveTo(-2147483647, -2147483647 - 1);
  canvas.dc.LineTo(2147483647, 2147483647);
  canvas.dc.SelectBrush(&kBlueBrush);
  canvas.dc.Polygon({{-100000, -100000}, {100000, -100000}, {-100000, 300000}});
  EXPECT_EQ(canvas.Drawn(kBlueBrush.color).size(), 64u * 48);
}

TEST(BackBufferContextTest, NullPenAndNothingSelectedDrawNothing) {
  const Pen widthlessNull{PenStyle::Null, 2, kGrey};
  for (const Pen* pen : {StockNullPen(), &widthlessNull, static_cast<const Pen*>(nullptr)}) {
    Canvas canvas;
    canvas.dc.SelectPen(pen);
    canvas.dc.SelectBrush(nullptr);
    canvas.dc.MoveTo(0, 0);
    canvas.dc.LineTo(40, 30);
    canvas.dc.Polygon({{0, 0}, {40, 0}, {0, 40}});
    EXPECT_EQ(PixelsOf(*canvas.surface, 0).size(), 64u * 48);
  }
}

std::set<Pixel> Filled(const ScreenPoint (&corners)[3]) {
  Canvas canvas;
  canvas.dc.SelectBrush(&kBlueBrush);
  canvas.dc.SelectPen(StockNullPen());
  canvas.dc.Polygon(corners);
  return canvas.Drawn(kBlueBrush.color);
}

TEST(BackBufferContextTest, TriangleCoversThePixelsWhoseCentresLieInside) {
  // Centres (x + 0.5, y + 0.5) inside the right triangle with legs of 4 along
  // the axes: x + y < 3 strictly inside; x + y = 3 lies on the hypotenuse.
  const std::set<Pixel> filled = Filled({{10, 10}, {14, 10}, {10, 14}});
  for (int y = 10; y < 14; ++y)
    for (int x = 10; x < 14; ++x) {
      const int sum = (x - 10) + (y - 10);
      if (sum < 3) {
        EXPECT_TRUE(filled.count({x, y})) << x << "," << y;
      }
      if (sum > 3) {
        EXPECT_FALSE(filled.count({x, y})) << x << "," << y;
      }
    }
  EXPECT_FALSE(filled.count({14, 10}));
  EXPECT_FALSE(filled.count({10, 14}));
}

TEST(BackBufferContextTest, TrianglesSharingAnEdgeNeitherOverlapNorLeaveAGap) {
  const std::vector<std::pair<std::vector<ScreenPoint>, std::vector<ScreenPoint>>> splits = {
      {{{0, 0}, {10, 0}, {10, 10}}, {{0, 0}, {10, 10}, {0, 10}}},
      {{{0, 0}, {10, 0}, {0, 10}}, {{10, 0}, {10, 10}, {0, 10}}},
      {{{5, 0}, {10, 5}, {0, 7}}, {{0, 7}, {10, 5}, {4, 12}}},
  };
  for (const auto& [first, second] : splits) {
    const ScreenPoint a[3] = {first[0], first[1], first[2]};
    const ScreenPoint b[3] = {second[0], second[1], second[2]};
    const std::set<Pixel> pa = Filled(a), pb = Filled(b);
    std::set<Pixel> both;
    for (const Pixel& p : pa) if (pb.count(p)) both.insert(p);
    EXPECT_TRUE(both.empty());
    if (first[0].x == 0 && first[0].y == 0) {
      EXPECT_EQ(pa.size() + pb.size(), 100u);
    }
  }
}

TEST(BackBufferContextTest, TriangleDoesNotDependOnCornerOrder) {
  const ScreenPoint clockwise[3] = {{3, 2}, {30, 9}, {12, 25}};
  const ScreenPoint counter[3] = {{3, 2}, {12, 25}, {30, 9}};
  const ScreenPoint rotated[3] = {{30, 9}, {12, 25}, {3, 2}};
  EXPECT_EQ(Filled(clockwise), Filled(counter));
  EXPECT_EQ(Filled(clockwise), Filled(rotated));
  EXPECT_FALSE(Filled(clockwise).empty());
}

TEST(BackBufferContextTest, DegenerateTrianglesDrawNothing) {
  const std::vector<std::vector<ScreenPoint>> cases = {
      {{5, 5}, {5, 5}, {5, 5}}, {{0, 0}, {10, 10}, {20, 20}}, {{0, 3}, {50, 3}, {20, 3}}, {{7, 0}, {7, 40}, {7, 9}}};
  for (const auto& c : cases) {
    const ScreenPoint corners[3] = {c[0], c[1], c[2]};
    EXPECT_TRUE(Filled(corners).empty());
  }
}

TEST(BackBufferContextTest, PolygonWithSolidPenIsOutlinedAndKeepsTheCurrentPosition) {
  Canvas canvas;
  const Pen thinGreen{PenStyle::Solid, 1, kGreen};
  canvas.dc.SelectPen(&thinGreen);
  canvas.dc.MoveTo(40, 40);
  canvas.dc.Polygon({{0, 0}, {10, 0}, {0, 10}});
  EXPECT_TRUE(canvas.Drawn(kGreen).count({5, 0}));
  canvas.dc.LineTo(44, 40);
  EXPECT_TRUE(canvas.Drawn(kGreen).count({41, 40}));
}

class TextTest : public ::testing::Test {
protected:
  static void SetUpTestSuite() { glyphs = GlyphCache::Load().release(); }
  static void TearDownTestSuite() { delete glyphs; }
  static const GlyphCache* glyphs;
};
const GlyphCache* TextTest::glyphs = nullptr;

TEST_F(TextTest, DefaultFontIsAboutSixteenPixelsHigh) {
  ASSERT_NE(glyphs, nullptr);
  EXPECT_GE(glyphs->LineHeightPixels(), 14);
  EXPECT_LE(glyphs->LineHeightPixels(), 17);
  EXPECT_GT(glyphs->Glyph('W').advancePixels, glyphs->Glyph('i').advancePixels);
}

TEST_F(TextTest, TransparentTextDrawsOnlyGlyphPixelsInTheTextColour) {
  ASSERT_NE(glyphs, nullptr);
  Canvas canvas(200, 40, glyphs);
  canvas.dc.SetTextColor(Rgb(255, 255, 255));
  canvas.dc.SetTransparentBackground();
  canvas.dc.TextOut(10, 5, "Geschwindigkeit");
  const std::set<Pixel> white = canvas.Drawn(Rgb(255, 255, 255));
  EXPECT_GT(white.size(), 50u);
  EXPECT_EQ(white.size() + PixelsOf(*canvas.surface, 0).size(), 200u * 40);
  for (const auto& [x, y] : white) {
    EXPECT_GE(x, 10);
    EXPECT_GE(y, 5);
    EXPECT_LT(y, 5 + glyphs->LineHeightPixels());
  }
}

TEST_F(TextTest, OpaqueTextFillsItsBoxWithTheDefaultBackground) {
  ASSERT_NE(glyphs, nullptr);
  Canvas canvas(200, 40, glyphs);
  canvas.dc.SetTextColor(Rgb(255, 0, 0));
  canvas.dc.TextOut(0, 0, "Null!");
  const std::size_t red = canvas.Drawn(Rgb(255, 0, 0)).size();
  const std::size_t white = canvas.Drawn(kDefaultTextBackground).size();
  EXPECT_GT(red, 20u);
  EXPECT_GT(white, red);
  EXPECT_EQ(At(*canvas.surface, 0, glyphs->LineHeightPixels()), 0);
}

TEST_F(TextTest, TextPartlyOrWhollyOffTheSurfaceIsClipped) {
  ASSERT_NE(glyphs, nullptr);
  Canvas canvas(64, 48, glyphs);
  canvas.dc.SetTextColor(Rgb(255, 255, 255));
  canvas.dc.SetTransparentBackground();
  for (const Pixel& at : std::vector<Pixel>{{-20, -5}, {50, 40}, {-100000, 0}, {0, 100000}, {100000, -100000}})
    canvas.dc.TextOut(at.first, at.second, "Wirklichkeit");
  EXPECT_FALSE(canvas.Drawn(Rgb(255, 255, 255)).empty());
}

TEST(GlyphCacheTest, MissingFontGivesNoCacheAndTextIsSkipped) {
  ::testing::internal::CaptureStderr();
  const auto cache = GlyphCache::Load("/nonexistent/font.ttf");
  EXPECT_FALSE(::testing::internal::GetCapturedStderr().empty());
  EXPECT_EQ(cache, nullptr);
  Canvas canvas;
  canvas.dc.SetTextColor(Rgb(255, 255, 255));
  canvas.dc.TextOut(0, 0, "text");
  EXPECT_EQ(PixelsOf(*canvas.surface, 0).size(), 64u * 48);
}

}  // namespace
}  // namespace velmora
