#include "tools/sim/Raster.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>

#include "assets/Bitmap.h"
#include "display/GlyphCache.h"

namespace velmora::sim {
namespace {

std::size_t CountOf(const std::string& text, const std::string& part) {
  std::size_t count = 0;
  for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
  return count;
}

std::size_t CountKind(const ShapeList& list, Shape::Kind kind) {
  return static_cast<std::size_t>(
      std::count_if(list.shapes.begin(), list.shapes.end(), [kind](const Shape& s) { return s.kind == kind; }));
}

RunRecord SampleRecord() {
  RunRecord record;
  record.elapsedMs = 1000.0;
  record.stepCount = 1000;
  record.sourceSpikes = {{1, 9.0}, {1, 38.0}, {2, 68.0}};
  record.firings = {{38.0f, 1, 4, 38.0}, {98.0f, 3, 12, 98.0}, {123.0f, 2, 8, 123.0}, {500.0f, 2, 8, 500.0}};
  record.actions = {{200.0, "stim1"}, {400.0, "weights=1,2,3,4,5,6"}, {410.0, "<a&b>\"'"}};
  return record;
}

TEST(RasterTest, AxisMarksStepByOneTwoOrFiveTimesAPowerOfTen) {
  const struct {
    double endMs;
    double stepMs;
    std::size_t count;
  } cases[] = {{1000, 100, 11}, {4200, 500, 9}, {7, 1, 8}, {2373.4, 500, 5}, {0.31, 0.05, 7}, {30, 5, 7}};
  for (const auto& c : cases) {
    const std::vector<double> marks = AxisMarksMs(c.endMs, 10);
    ASSERT_EQ(marks.size(), c.count) << c.endMs;
    EXPECT_EQ(marks.front(), 0.0);
    EXPECT_NEAR(marks[1], c.stepMs, 1e-12) << c.endMs;
    EXPECT_LE(marks.back(), c.endMs);
  }
  EXPECT_EQ(AxisMarksMs(0.0, 10), std::vector<double>{0.0}) << "an empty run still has its origin";
}

TEST(RasterTest, LayoutHasATickPerSpikeAndEveryLabel) {
  const RunRecord record = SampleRecord();
  const ShapeList list = BuildRasterShapes(record);
  const auto ticks = std::count_if(list.shapes.begin(), list.shapes.end(), [](const Shape& s) {
    return s.kind == Shape::Kind::kLine && s.x1 == s.x2 && !s.dashed && s.y2 - s.y1 == 24;
  });
  EXPECT_EQ(static_cast<std::size_t>(ticks), record.sourceSpikes.size() + record.firings.size());
  std::vector<std::string> texts;
  for (const Shape& s : list.shapes) {
    if (s.kind == Shape::Kind::kText) texts.push_back(s.text);
  }
  for (const char* expected : {"Src1", "Src2", "Soma1", "Soma2", "Soma3", "time (ms)", "0", "1000", "stim1",
                               "weights=1,2,3,4,5,6"}) {
    EXPECT_NE(std::find(texts.begin(), texts.end(), expected), texts.end()) << expected;
  }
}

TEST(RasterTest, SvgCarriesEveryShapeWithItsTextEscaped) {
  const RunRecord record = SampleRecord();
  const ShapeList list = BuildRasterShapes(record);
  const std::string svg = WriteSvg(list);
  EXPECT_EQ(svg.rfind("<svg", 0), 0u);
  EXPECT_EQ(svg.substr(svg.size() - 7), "</svg>\n");
  EXPECT_EQ(CountOf(svg, "M"), CountKind(list, Shape::Kind::kLine)) << "one path step per line";
  EXPECT_EQ(CountOf(svg, "<text"), CountKind(list, Shape::Kind::kText));
  EXPECT_EQ(CountOf(svg, "</text>"), CountKind(list, Shape::Kind::kText));
  EXPECT_NE(svg.find(">weights=1,2,3,4,5,6</text>"), std::string::npos);
  EXPECT_NE(svg.find("&lt;a&amp;b&gt;&quot;&apos;"), std::string::npos);
  EXPECT_EQ(svg.find("<a&b>"), std::string::npos);
}

class RasterImageTest : public ::testing::Test {
protected:
  static void SetUpTestSuite() { font = GlyphCache::Load().release(); }
  static void TearDownTestSuite() { delete font; }
  static inline GlyphCache* font = nullptr;
};

TEST_F(RasterImageTest, OneSpikeIsAOnePixelTickInItsOwnRowOnly) {
  RunRecord empty;
  empty.elapsedMs = 100.0;
  RunRecord one = empty;
  one.firings = {{50.0f, 2, 8, 50.0}};
  const RgbImage before = BuildRasterImage(empty, font);
  const RgbImage after = BuildRasterImage(one, font);
  ASSERT_EQ(before.pixels.size(), after.pixels.size());

  int minX = before.width, maxX = -1, minY = before.height, maxY = -1;
  for (int y = 0; y < before.height; ++y) {
    for (int x = 0; x < before.width; ++x) {
      if (before.At(x, y) == after.At(x, y)) continue;
      minX = std::min(minX, x), maxX = std::max(maxX, x), minY = std::min(minY, y), maxY = std::max(maxY, y);
    }
  }
  ASSERT_GE(maxX, 0) << "the tick must be drawn";
  EXPECT_EQ(minX, maxX) << "one pixel wide";
  EXPECT_EQ(maxY - minY + 1, 24) << "a tick's length";
  // Soma2 is the fourth of five rows: its tick lies in the middle band of the rows.
  EXPECT_GT(minY, before.height / 3);
  EXPECT_LT(maxY, before.height * 5 / 6);
}

TEST_F(RasterImageTest, TextsAreSetInTheDisplayFontAtTheirAnchors) {
  ASSERT_NE(font, nullptr);
  const ShapeList list = BuildRasterShapes(SampleRecord());
  const RgbImage plain = RenderShapes(list, nullptr);
  const RgbImage lettered = RenderShapes(list, font);
  // Each text's box by its anchor: the advances' sum wide, one line high.
  struct Box {
    int left, top, right, bottom;  // inclusive, exclusive
    int ink = 0;
  };
  std::vector<Box> boxes;
  for (const Shape& s : list.shapes) {
    if (s.kind != Shape::Kind::kText) continue;
    int width = 0;
    for (char c : s.text) width += font->Glyph(static_cast<unsigned char>(c)).advancePixels;
    const int left = static_cast<int>(s.x1) - (s.anchor == TextAnchor::kStart ? 0 : s.anchor == TextAnchor::kMiddle ? width / 2 : width);
    const int top = static_cast<int>(s.y1) - font->LineHeightPixels() / 2;
    boxes.push_back({left - 1, top - 1, left + width + 1, top + font->LineHeightPixels() + 1});
  }
  int outside = 0;
  for (int y = 0; y < plain.height; ++y) {
    for (int x = 0; x < plain.width; ++x) {
      if (plain.At(x, y) == lettered.At(x, y)) continue;
      auto box = std::find_if(boxes.begin(), boxes.end(),
                              [&](const Box& b) { return x >= b.left && x < b.right && y >= b.top && y < b.bottom; });
      box == boxes.end() ? ++outside : ++box->ink;
    }
  }
  EXPECT_EQ(outside, 0);
  for (const Box& box : boxes) EXPECT_GT(box.ink, 0) << "text at " << box.left << "," << box.top;
}

}  // namespace
}  // namespace velmora::sim
