#include "tools/sim/Raster.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "tools/sim/BitmapFont.h"

namespace velmora::sim {
namespace {

std::size_t CountOf(const std::string& text, const std::string& part) {
  std::size_t count = 0;
  for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
  return count;
}

RunRecord SampleRecord() {
  RunRecord record;
  record.elapsedMs = 1000.0;
  record.stepCount = 1000;
  record.sourceSpikes = {{1, 9.0}, {1, 38.0}, {2, 68.0}};
  record.firings = {{38.0f, 1, 4, 38.0}, {98.0f, 3, 12, 98.0}, {123.0f, 2, 8, 123.0}, {500.0f, 2, 8, 500.0}};
  record.actions = {{200.0, "stim1"}, {400.0, "weights=1,2,3,4,5,6"}};
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

TEST(RasterTest, SvgHasTheFiveRowLabelsAStrokePerSpikeAndTheAxis) {
  const RunRecord record = SampleRecord();
  const std::string svg = BuildRasterSvg(record);
  EXPECT_EQ(svg.rfind("<svg", 0), 0u);
  EXPECT_EQ(svg.substr(svg.size() - 7), "</svg>\n");
  for (const char* label : kRasterRowLabels) {
    EXPECT_NE(svg.find(std::string(">") + label + "</text>"), std::string::npos) << label;
  }
  EXPECT_EQ(CountOf(svg, "M"), record.sourceSpikes.size() + record.firings.size());
  EXPECT_NE(svg.find(">time (ms)</text>"), std::string::npos);
  EXPECT_NE(svg.find(">1000</text>"), std::string::npos);
  EXPECT_NE(svg.find(">weights=1,2,3,4,5,6</text>"), std::string::npos);
  EXPECT_EQ(CountOf(svg, "<text"), CountOf(svg, "</text>"));
}

TEST(RasterTest, SvgEscapesActionLabels) {
  RunRecord record;
  record.elapsedMs = 10.0;
  record.actions = {{1.0, "<a&b>\"'"}};
  const std::string svg = BuildRasterSvg(record);
  EXPECT_NE(svg.find("&lt;a&amp;b&gt;&quot;&apos;"), std::string::npos);
  EXPECT_EQ(svg.find("<a&b>"), std::string::npos);
}

TEST(RasterTest, ImageShowsOneSpikeAsAOnePixelTickInItsOwnRowOnly) {
  RunRecord empty;
  empty.elapsedMs = 100.0;
  RunRecord one = empty;
  one.firings = {{50.0f, 2, 8, 50.0}};
  const RgbImage before = BuildRasterImage(empty);
  const RgbImage after = BuildRasterImage(one);
  ASSERT_EQ(before.rgb.size(), after.rgb.size());
  ASSERT_EQ(before.rgb.size(), static_cast<std::size_t>(before.widthPixels) * before.heightPixels * 3);

  int minX = before.widthPixels, maxX = -1, minY = before.heightPixels, maxY = -1;
  for (int y = 0; y < before.heightPixels; ++y) {
    for (int x = 0; x < before.widthPixels; ++x) {
      const std::size_t at = (static_cast<std::size_t>(y) * before.widthPixels + x) * 3;
      if (std::equal(&before.rgb[at], &before.rgb[at] + 3, &after.rgb[at])) continue;
      minX = std::min(minX, x);
      maxX = std::max(maxX, x);
      minY = std::min(minY, y);
      maxY = std::max(maxY, y);
    }
  }
  ASSERT_GE(maxX, 0) << "the tick must be drawn";
  EXPECT_EQ(minX, maxX) << "one pixel wide";
  EXPECT_GT(maxY - minY, 10) << "a visible tick";
  // Soma2 is the fourth of five rows: its tick lies in the middle band of the rows.
  EXPECT_GT(minY, before.heightPixels / 3);
  EXPECT_LT(maxY, before.heightPixels * 5 / 6);
}

TEST(RasterTest, FontCoversEveryLabelThePngRasterSets) {
  for (const char* label : kRasterRowLabels) EXPECT_TRUE(FontCovers(label)) << label;
  for (const char* text : {"time (ms)", "0123456789", "0.05", "stim1", "stim2", "reset", "speed=22.5",
                           "weights=-1,20,3,4,5,6"}) {
    EXPECT_TRUE(FontCovers(text)) << text;
  }
  EXPECT_FALSE(FontCovers("X"));
  EXPECT_EQ(TextWidthPixels("ab"), 2 * kGlyphAdvancePixels - 1);
}

TEST(RasterTest, GlyphsAreDistinctAndUnknownCharactersBlank) {
  const std::string covered = "0123456789.-(),=Sacdeghimoprstw";
  for (std::size_t i = 0; i < covered.size(); ++i) {
    const std::uint8_t* rows = GlyphRows(covered[i]);
    EXPECT_TRUE(std::any_of(rows, rows + kGlyphHeightPixels, [](std::uint8_t r) { return r != 0; })) << covered[i];
    for (std::size_t j = 0; j < i; ++j) {
      EXPECT_FALSE(std::equal(rows, rows + kGlyphHeightPixels, GlyphRows(covered[j])))
          << covered[i] << " looks like " << covered[j];
    }
  }
  const std::uint8_t* unknown = GlyphRows('#');
  EXPECT_TRUE(std::all_of(unknown, unknown + kGlyphHeightPixels, [](std::uint8_t r) { return r == 0; }));
}

}  // namespace
}  // namespace velmora::sim
