// The run's pictures: the composed screen (sprites, status line, model drawing, the
// labelled background), its PNG file, and the built-in images written as files.

#include "tools/sim/SimPictures.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "assets/BuiltInImages.h"
#include "display/DisplayConstants.h"
#include "model/Model.h"
#include "model/Soma.h"
#include "display/FrameComposition.h"
#include "tests/tools/PngDecoding.h"

namespace velmora::sim {
namespace {

namespace fs = std::filesystem;

struct Rgb8 {
  std::uint8_t r = 0, g = 0, b = 0;
  bool operator==(const Rgb8&) const = default;
};

// Inclusive pixel box on the screen.
struct Box {
  int left, top, right, bottom;
  bool Contains(int x, int y) const { return x >= left && x <= right && y >= top && y <= bottom; }
};

// Where the labelled picture carries its eight labels.
constexpr Box kLabelBoxes[] = {{224, 103, 233, 124}, {230, 144, 244, 165}, {361, 413, 375, 435},
                               {244, 491, 259, 512}, {323, 511, 337, 533}, {568, 261, 582, 283},
                               {3, 226, 111, 244},   {8, 620, 122, 638}};

std::uint16_t RawPixel(const SDL_Surface& surface, int x, int y) {
  return reinterpret_cast<const std::uint16_t*>(static_cast<const std::uint8_t*>(surface.pixels) +
                                                static_cast<std::ptrdiff_t>(y) * surface.pitch)[x];
}

Rgb8 PixelAt(const SDL_Surface& surface, int x, int y) {
  Rgb8 c;
  SDL_GetRGB(RawPixel(surface, x, y), surface.format, &c.r, &c.g, &c.b);
  return c;
}

std::vector<std::uint8_t> ReadBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {});
}

class SimPicturesTest : public ::testing::Test {
protected:
  void SetUp() override {
    std::string error;
    headless = HeadlessDisplay::Open(&error);
    ASSERT_NE(headless, nullptr) << error;
    dir = fs::temp_directory_path() / ("velmora_pictures_test_" + std::to_string(::getpid()) + "_" +
                                       ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(dir);
  }
  void TearDown() override { fs::remove_all(dir); }

  // The composed screen as RGB pixels, row by row.
  std::vector<Rgb8> Compose(Model& model, PictureBackground background) {
    EXPECT_TRUE(ComposeFrame(headless->Screen(), model, background));
    const SDL_Surface& frame = *headless->Screen().BackBuffer();
    std::vector<Rgb8> pixels;
    for (int y = 0; y < frame.h; ++y) {
      for (int x = 0; x < frame.w; ++x) pixels.push_back(PixelAt(frame, x, y));
    }
    return pixels;
  }

  // A colour as the 16-bit back buffer stores and gives it back.
  Rgb8 AsStored(const Rgb8& colour) const {
    const SDL_PixelFormat* format = headless->Screen().BackBuffer()->format;
    Rgb8 c;
    SDL_GetRGB(SDL_MapRGB(format, colour.r, colour.g, colour.b), format, &c.r, &c.g, &c.b);
    return c;
  }

  static Rgb8 At(const std::vector<Rgb8>& pixels, int x, int y) {
    return pixels[static_cast<std::size_t>(y) * kScreenWidthPixels + x];
  }

  static int CountInBox(const std::vector<Rgb8>& pixels, const Box& box, const Rgb8& colour) {
    int count = 0;
    for (int y = box.top; y <= box.bottom; ++y) {
      for (int x = box.left; x <= box.right; ++x) count += At(pixels, x, y) == colour ? 1 : 0;
    }
    return count;
  }

  std::unique_ptr<HeadlessDisplay> headless;
  fs::path dir;
};

TEST(SomaSpriteCellTest, ActivityPicksTheTruncatedCellOfTheSomasRowAndCopies79By79) {
  const struct {
    int soma;
    float activity;
    SourceRect expected;
  } cases[] = {
      {0, 0.0f, {0, 0, 79, 79}},
      {0, 0.5f, {1200, 0, 1279, 79}},      // 15.5 -> cell 15
      {1, 0.999f, {2400, 80, 2479, 159}},  // 30.97 -> cell 30
      {2, 1.0f, {2480, 160, 2559, 239}},   // only a full activity reaches cell 31
  };
  for (const auto& c : cases) {
    const SourceRect rect = SomaSpriteCell(c.soma, c.activity);
    EXPECT_EQ(rect.left, c.expected.left) << c.soma << " " << c.activity;
    EXPECT_EQ(rect.top, c.expected.top) << c.soma << " " << c.activity;
    EXPECT_EQ(rect.right, c.expected.right) << c.soma << " " << c.activity;
    EXPECT_EQ(rect.bottom, c.expected.bottom) << c.soma << " " << c.activity;
  }
}

TEST_F(SimPicturesTest, EachSomaShowsTheSpriteCellOfItsActivity) {
  // Centres of the painted bodies, inside every outline and away from the neurites.
  constexpr int kCentreX[3] = {242, 450, 671};
  constexpr int kCentreY[3] = {225, 486, 313};
  const SDL_Surface& sheet = *headless->Screen().SomaSurface();
  for (const float summedInput : {0.0f, 1.5f, 3.0f}) {
    Model model(1.0f);
    for (Soma* soma : model.somas) soma->summedInput = summedInput;
    const int cell = static_cast<int>(summedInput / 3.0f * kActivityScale);
    const std::vector<Rgb8> frame = Compose(model, PictureBackground::kPlain);
    for (int i = 0; i < 3; ++i) {
      const int sheetX = kSpriteCellPixels * cell + kCentreX[i] - kSomaSpriteX[i];
      const int sheetY = kSpriteCellPixels * i + kCentreY[i] - kSomaSpriteY[i];
      EXPECT_EQ(At(frame, kCentreX[i], kCentreY[i]), PixelAt(sheet, sheetX, sheetY))
          << "soma " << i + 1 << ", summed input " << summedInput;
    }
  }
}

TEST_F(SimPicturesTest, StatusLineIsWhiteTextForTheStepAtFiftyFramesPerSecond) {
  const Rgb8 white{255, 255, 255};
  // Beyond this x only the longer text of a slow step ("Geschwindigkeit:  26 mal so
  // langsam wie in Wirklichkeit") reaches; the full-speed one ends before it.
  constexpr int kLongTextOnlyX = 350;
  Model fast(1.0f);
  Model slow(0.0384375f);  // the default speed setting's step
  const std::vector<Rgb8> fastFrame = Compose(fast, PictureBackground::kPlain);
  const std::vector<Rgb8> slowFrame = Compose(slow, PictureBackground::kPlain);
  EXPECT_GT(CountInBox(fastFrame, Box{0, kStatusLineY, kLongTextOnlyX - 1, 767}, white), 100);
  EXPECT_EQ(CountInBox(fastFrame, Box{kLongTextOnlyX, kStatusLineY, 1023, 767}, white), 0);
  EXPECT_GT(CountInBox(slowFrame, Box{kLongTextOnlyX, kStatusLineY, 1023, 767}, white), 0);
  // The band above the text is plain ground.
  EXPECT_EQ(CountInBox(slowFrame, Box{0, 680, 1023, kStatusLineY - 1}, white), 0);
}

TEST_F(SimPicturesTest, Syn1TriangleGrowsWithItsWeight) {
  const Box aroundSyn1{218, 82, 278, 142};
  const Rgb8 positiveBrush = AsStored(Rgb8{0, 0, 200});
  int bluePixels[2] = {};
  const std::int32_t weights[2] = {0, 20};
  for (int run = 0; run < 2; ++run) {
    Model model(1.0f);
    model.SetWeights({weights[run], 6, 6, 6, 6, 6});
    bluePixels[run] = CountInBox(Compose(model, PictureBackground::kPlain), aroundSyn1, positiveBrush);
  }
  EXPECT_GT(bluePixels[0], 0) << "a weight of 0 still shows the smallest triangle";
  EXPECT_GT(bluePixels[1], 4 * bluePixels[0]);
}

TEST_F(SimPicturesTest, LabelledPictureDiffersFromThePlainOneOnlyInsideTheLabelBoxes) {
  Model model(1.0f);
  for (int step = 0; step < 300; ++step) model.Advance();
  const std::vector<Rgb8> plain = Compose(model, PictureBackground::kPlain);
  const std::vector<Rgb8> labeled = Compose(model, PictureBackground::kLabeled);
  int outside = 0;
  int insideBox[std::size(kLabelBoxes)] = {};
  for (int y = 0; y < kScreenHeightPixels; ++y) {
    for (int x = 0; x < kScreenWidthPixels; ++x) {
      if (At(plain, x, y) == At(labeled, x, y)) continue;
      const auto box = std::find_if(std::begin(kLabelBoxes), std::end(kLabelBoxes),
                                    [&](const Box& b) { return b.Contains(x, y); });
      if (box == std::end(kLabelBoxes)) {
        ++outside;
      } else {
        ++insideBox[box - std::begin(kLabelBoxes)];
      }
    }
  }
  EXPECT_EQ(outside, 0);
  for (std::size_t i = 0; i < std::size(kLabelBoxes); ++i) EXPECT_GT(insideBox[i], 0) << "label box " << i;
}

TEST_F(SimPicturesTest, PictureFileIsA1024By768PngOfTheComposedFrameAndRepeatsByteForByte) {
  Model model(1.0f);
  for (int step = 0; step < 500; ++step) model.Advance();
  headless.reset();  // the picture brings up its own display
  std::string error;
  ASSERT_TRUE(WriteFramePicture(model, PictureBackground::kPlain, (dir / "a.png").string(), &error)) << error;
  ASSERT_TRUE(WriteFramePicture(model, PictureBackground::kPlain, (dir / "b.png").string(), &error)) << error;
  const std::vector<std::uint8_t> file = ReadBytes(dir / "a.png");
  EXPECT_EQ(file, ReadBytes(dir / "b.png"));

  const DecodedPng decoded = DecodePng(file, false);
  ASSERT_EQ(decoded.width, 1024u);
  ASSERT_EQ(decoded.height, 768u);

  std::string reopenError;
  headless = HeadlessDisplay::Open(&reopenError);
  ASSERT_NE(headless, nullptr) << reopenError;
  const std::vector<Rgb8> frame = Compose(model, PictureBackground::kPlain);
  int mismatches = 0;
  for (int y = 0; y < 768; ++y) {
    for (int x = 0; x < 1024; ++x) {
      const std::uint8_t* p = &decoded.pixels[(static_cast<std::size_t>(y) * 1024 + x) * 3];
      mismatches += Rgb8{p[0], p[1], p[2]} == At(frame, x, y) ? 0 : 1;
    }
  }
  EXPECT_EQ(mismatches, 0);
}

TEST_F(SimPicturesTest, BuiltInImagesAreWrittenUnchangedIntoANewFolder) {
  const fs::path target = dir / "new" / "images";
  std::string error;
  ASSERT_TRUE(WriteBuiltInImages(target.string(), &error)) << error;
  for (const char* name : {"BACKGROUND", "LABELEDBACK", "SOMAS"}) {
    const BuiltInImage* image = FindBuiltInImage(name);
    ASSERT_NE(image, nullptr) << name;
    EXPECT_EQ(ReadBytes(target / (std::string(name) + ".bmp")), std::vector<std::uint8_t>(image->data, image->data + image->size))
        << name;
  }
  EXPECT_EQ(std::distance(fs::directory_iterator(target), fs::directory_iterator()), 3);
}

TEST_F(SimPicturesTest, BuiltInImagesReportAFolderThatCannotBeMade) {
  std::ofstream(dir / "plain-file") << "x";
  std::string error;
  EXPECT_FALSE(WriteBuiltInImages((dir / "plain-file" / "images").string(), &error));
  EXPECT_NE(error.find("plain-file"), std::string::npos) << error;
}

}  // namespace
}  // namespace velmora::sim
