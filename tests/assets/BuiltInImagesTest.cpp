// The three embedded pictures, read back from the bytes the program carries: file
// format, the labels, the sprite sheet against the painting, and the painting
// against the neurite paths the model runs on.

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>

#include "assets/BuiltInImages.h"
#include "assets/Painting.h"
#include "model/NetworkTables.h"

namespace velmora {
namespace {

// Reads the little-endian fields and bottom-up BGR rows of a 24-bit bitmap file.
class BitmapView {
public:
  explicit BitmapView(const BuiltInImage& image) : data_(image.data), size_(image.size) {}

  std::uint32_t U32(std::size_t at) const {
    return data_[at] | data_[at + 1] << 8 | data_[at + 2] << 16 | static_cast<std::uint32_t>(data_[at + 3]) << 24;
  }
  std::uint16_t U16(std::size_t at) const { return static_cast<std::uint16_t>(data_[at] | data_[at + 1] << 8); }
  std::int32_t Width() const { return static_cast<std::int32_t>(U32(18)); }
  std::int32_t Height() const { return static_cast<std::int32_t>(U32(22)); }
  std::size_t size() const { return size_; }
  const std::uint8_t* data() const { return data_; }

  Rgb At(int x, int y) const {
    const std::size_t row = (static_cast<std::size_t>(Width()) * 3 + 3) & ~std::size_t{3};
    const std::uint8_t* p = data_ + U32(10) + static_cast<std::size_t>(Height() - 1 - y) * row + static_cast<std::size_t>(x) * 3;
    return {p[2], p[1], p[0]};
  }

private:
  const std::uint8_t* data_;
  std::size_t size_;
};

BitmapView Load(const char* name) {
  const BuiltInImage* image = FindBuiltInImage(name);
  EXPECT_NE(image, nullptr) << name;
  return BitmapView(*image);
}

bool IsBlack(Rgb p) { return p.r == 0 && p.g == 0 && p.b == 0; }
int Sum(Rgb p) { return p.r + p.g + p.b; }

struct Box {
  int x0, x1, y0, y1;  // inclusive
  bool Contains(int x, int y) const { return x >= x0 && x <= x1 && y >= y0 && y <= y1; }
};

// The eight label boxes of the labelled picture, pixels.
const Box kLabelBoxes[] = {{224, 233, 103, 124}, {230, 244, 144, 165}, {361, 375, 413, 435},
                           {244, 259, 491, 512}, {323, 337, 511, 533}, {568, 582, 261, 283},
                           {3, 111, 226, 244},   {8, 122, 620, 638}};

// Per sprite row: where column 0 was cut from the picture, and the box the outline
// keeps to within each cell.
struct SpriteRow {
  int cutX, cutY;
  Box outline;
};
const SpriteRow kSpriteRows[] = {{202, 184, {13, 65, 11, 67}}, {411, 446, {6, 72, 9, 69}}, {633, 273, {9, 69, 22, 57}}};

constexpr int kCell = 80;
constexpr int kColumns = 32;

TEST(BuiltInImages, AreFoundByNameWithoutRegardToCase) {
  const struct {
    const char* asked;
    const char* found;
  } cases[] = {{"BackGround", "BACKGROUND"}, {"LabeledBack", "LABELEDBACK"}, {"Somas", "SOMAS"},
               {"background", "BACKGROUND"}, {"SOMAS", "SOMAS"}};
  for (const auto& c : cases) {
    const BuiltInImage* image = FindBuiltInImage(c.asked);
    ASSERT_NE(image, nullptr) << c.asked;
    EXPECT_STREQ(image->name, c.found);
  }
  for (const char* unknown : {"", "MainIcon", "Soma", "BACKGROUNDS"}) {
    EXPECT_EQ(FindBuiltInImage(unknown), nullptr) << unknown;
  }
}

TEST(BuiltInImages, AreUncompressed24BitBottomUpBitmapsWithoutColourTable) {
  const struct {
    const char* name;
    std::int32_t width, height, resolution;
  } cases[] = {{"BACKGROUND", 1024, 768, 2834}, {"LABELEDBACK", 1024, 768, 2834}, {"SOMAS", 2560, 240, 0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const BitmapView bmp = Load(c.name);
    ASSERT_GE(bmp.size(), 54u);
    EXPECT_EQ(std::memcmp(bmp.data(), "BM", 2), 0);
    EXPECT_EQ(bmp.U32(2), bmp.size());
    EXPECT_EQ(bmp.U32(10), 54u);  // pixels right after the headers: no colour table
    EXPECT_EQ(bmp.U32(14), 40u);
    EXPECT_EQ(bmp.Width(), c.width);
    EXPECT_EQ(bmp.Height(), c.height);  // positive: bottom-up
    EXPECT_EQ(bmp.U16(26), 1);
    EXPECT_EQ(bmp.U16(28), 24);
    EXPECT_EQ(bmp.U32(30), 0u);
    EXPECT_EQ(bmp.U32(38), static_cast<std::uint32_t>(c.resolution));
    EXPECT_EQ(bmp.U32(42), static_cast<std::uint32_t>(c.resolution));
    EXPECT_EQ(bmp.U32(46), 0u);
    EXPECT_EQ(bmp.size(), 54u + static_cast<std::size_t>(c.width) * 3 * static_cast<std::size_t>(c.height));
  }
}

TEST(BuiltInImages, LabelledPictureDiffersOnlyInsideTheLabelBoxes) {
  const BitmapView plain = Load("BACKGROUND");
  const BitmapView labelled = Load("LABELEDBACK");
  int yellow[std::size(kLabelBoxes)] = {};
  for (int y = 0; y < 768; ++y) {
    for (int x = 0; x < 1024; ++x) {
      const Rgb a = plain.At(x, y), b = labelled.At(x, y);
      int box = -1;
      for (int k = 0; k < static_cast<int>(std::size(kLabelBoxes)); ++k) {
        if (kLabelBoxes[k].Contains(x, y)) box = k;
      }
      if (box < 0) {
        ASSERT_EQ(a, b) << "at " << x << ", " << y;
      } else if (b == Rgb{255, 255, 0}) {
        ++yellow[box];
      }
    }
  }
  for (int k = 0; k < static_cast<int>(std::size(kLabelBoxes)); ++k) EXPECT_GT(yellow[k], 10) << "label " << k + 1;
}

TEST(BuiltInImages, SpriteColumnZeroIsThePaintedBodyOnBlack) {
  const BitmapView picture = Load("BACKGROUND");
  const BitmapView sheet = Load("SOMAS");
  for (int row = 0; row < 3; ++row) {
    const SpriteRow& r = kSpriteRows[row];
    int body = 0;
    for (int y = 0; y < kCell; ++y) {
      for (int x = 0; x < kCell; ++x) {
        const Rgb sprite = sheet.At(x, row * kCell + y);
        if (IsBlack(sprite)) continue;
        ++body;
        ASSERT_EQ(sprite, picture.At(r.cutX + x, r.cutY + y)) << "row " << row << " at " << x << ", " << y;
        ASSERT_TRUE(r.outline.Contains(x, y)) << "row " << row << " outline at " << x << ", " << y;
      }
    }
    EXPECT_GT(body, 800) << "row " << row;
  }
}

TEST(BuiltInImages, SpriteGreenRisesInEqualStepsWithRedAndBlueKept) {
  const BitmapView sheet = Load("SOMAS");
  for (int row = 0; row < 3; ++row) {
    for (int y = 0; y < kCell; ++y) {
      for (int x = 0; x < kCell; ++x) {
        const Rgb first = sheet.At(x, row * kCell + y);
        const bool inside = !IsBlack(first);
        const int step = inside ? (sheet.At(kCell + x, row * kCell + y).g - first.g) : 0;
        for (int column = 0; column < kColumns; ++column) {
          const Rgb p = sheet.At(column * kCell + x, row * kCell + y);
          const auto where = [&] { return ::testing::Message() << "row " << row << " column " << column << " at " << x << ", " << y; };
          if (!inside) {
            ASSERT_TRUE(IsBlack(p)) << where();  // the outline is the same in every column
            continue;
          }
          ASSERT_FALSE(IsBlack(p)) << where();
          ASSERT_EQ(p.r, first.r) << where();
          ASSERT_EQ(p.b, first.b) << where();
          ASSERT_GT(step, 0) << where();
          ASSERT_EQ(p.g, first.g + column * step) << where();
        }
        if (inside) {
          ASSERT_GE(sheet.At((kColumns - 1) * kCell + x, row * kCell + y).g, 224);
        }
      }
    }
  }
}

TEST(BuiltInImages, StatusBandIsPlainGround) {
  const BitmapView picture = Load("BACKGROUND");
  long sum[3] = {};
  int count = 0;
  for (int y = kStatusBandTop; y < 768; ++y) {
    for (int x = 0; x < 1024; ++x) {
      const Rgb p = picture.At(x, y);
      ASSERT_EQ(p, GroundAt(x, y)) << "at " << x << ", " << y;
      sum[0] += p.r, sum[1] += p.g, sum[2] += p.b;
      ++count;
    }
  }
  // The ground is warm brown, about 129, 80, 45 on average.
  EXPECT_NEAR(static_cast<double>(sum[0]) / count, 129, 8);
  EXPECT_NEAR(static_cast<double>(sum[1]) / count, 80, 6);
  EXPECT_NEAR(static_cast<double>(sum[2]) / count, 45, 4);
}

TEST(BuiltInImages, EveryPathPointLiesOnAPaintedNeurite) {
  constexpr int kDarkerBy = 60;  // sum of the three channels below the ground
  const BitmapView picture = Load("BACKGROUND");
  for (const PathTable& table : kPathTables) {
    for (int i = 0; i < table.count; ++i) {
      const PathPoint& p = table.points[i];
      ASSERT_LT(Sum(picture.At(p.x, p.y)) + kDarkerBy, Sum(GroundAt(p.x, p.y)))
          << table.name << " point " << i << " at " << p.x << ", " << p.y;
    }
  }
}

}  // namespace
}  // namespace velmora
