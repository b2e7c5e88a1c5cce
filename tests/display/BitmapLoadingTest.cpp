#include "display/BitmapLoading.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <strings.h>

#include "assets/BuiltInImages.h"
#include "display/DisplayConstants.h"
#include "tests/display/BitmapFiles.h"

namespace velmora {
namespace {

using testing::MakeBmp24;
using testing::MakeBmp8;
using testing::PutU32;
using testing::Rgb565;

constexpr ColorRef kRed = Rgb(255, 0, 0);
constexpr ColorRef kBlue = Rgb(0, 0, 255);
constexpr ColorRef kGreen = Rgb(0, 255, 0);
constexpr ColorRef kWhite = Rgb(255, 255, 255);

std::uint16_t At(const SDL_Surface& surface, int x, int y) {
  return reinterpret_cast<const std::uint16_t*>(static_cast<const std::uint8_t*>(surface.pixels) +
                                                y * surface.pitch)[x];
}

// The test's own built-in images, found without regard to case.
std::map<std::string, std::vector<std::uint8_t>>& TestImages() {
  static std::map<std::string, std::vector<std::uint8_t>> images;
  return images;
}
const BuiltInImage* FindTestImage(std::string_view name) {
  static BuiltInImage found{};
  for (const auto& [key, bytes] : TestImages()) {
    if (key.size() == name.size() && strncasecmp(key.c_str(), name.data(), name.size()) == 0) {
      found = BuiltInImage{key.c_str(), bytes.empty() ? nullptr : bytes.data(), bytes.size()};
      return &found;
    }
  }
  return nullptr;
}

void WriteFile(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes) {
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                              static_cast<std::streamsize>(bytes.size()));
}

// Runs in a fresh folder with the test's built-in images in place.
class BitmapLoadingTest : public ::testing::Test {
protected:
  void SetUp() override {
    folder = std::filesystem::temp_directory_path() /
             ("velmora-bitmaps-" + std::to_string(::getpid()) + "-" +
              ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(folder);
    previous = std::filesystem::current_path();
    std::filesystem::current_path(folder);
    TestImages().clear();
    TestImages()["SPRITE"] = MakeBmp24(2, 2, [](int x, int y) { return x == y ? kRed : kBlue; });
  }
  void TearDown() override {
    std::filesystem::current_path(previous);
    std::filesystem::remove_all(folder);
  }
  std::filesystem::path folder;
  std::filesystem::path previous;
};

TEST_F(BitmapLoadingTest, BuiltInImageIsFoundWhateverTheCaseAndBeatsAFileOfTheSameName) {
  WriteFile("Sprite", MakeBmp24(3, 3, [](int, int) { return kGreen; }));
  for (const char* name : {"Sprite", "SPRITE", "sprite", "sPrItE"}) {
    const SurfacePtr surface = LoadBitmapSurface(name, 0, 0, &FindTestImage);
    ASSERT_TRUE(surface) << name;
    EXPECT_EQ(surface->w, 2);
    EXPECT_EQ(At(*surface, 0, 0), Rgb565(kRed));
    EXPECT_EQ(At(*surface, 1, 0), Rgb565(kBlue));
  }
}

TEST_F(BitmapLoadingTest, NameWithoutBuiltInImageIsReadAsAFileAndMissingGivesNothing) {
  WriteFile("picture.bmp", MakeBmp24(3, 2, [](int x, int) { return x == 2 ? kWhite : kGreen; }));
  const SurfacePtr surface = LoadBitmapSurface("picture.bmp", 0, 0, &FindTestImage);
  ASSERT_TRUE(surface);
  EXPECT_EQ(surface->w, 3);
  EXPECT_EQ(surface->h, 2);
  EXPECT_EQ(surface->format->format, SDL_PIXELFORMAT_RGB565);
  EXPECT_EQ(At(*surface, 2, 1), Rgb565(kWhite));
  EXPECT_EQ(At(*surface, 0, 0), Rgb565(kGreen));
  EXPECT_FALSE(LoadBitmapSurface("missing.bmp", 0, 0, &FindTestImage));
}

TEST_F(BitmapLoadingTest, RequestedSizeScalesTheImage) {
  const SurfacePtr surface = LoadBitmapSurface("Sprite", 4, 6, &FindTestImage);
  ASSERT_TRUE(surface);
  EXPECT_EQ(surface->w, 4);
  EXPECT_EQ(surface->h, 6);
  EXPECT_EQ(At(*surface, 0, 0), Rgb565(kRed));
  EXPECT_EQ(At(*surface, 3, 5), Rgb565(kRed));
  EXPECT_EQ(At(*surface, 3, 0), Rgb565(kBlue));
}

TEST_F(BitmapLoadingTest, ReloadStretchesTheImageOverTheWholeSurface) {
  const SurfacePtr surface = CreateDisplaySurface(4, 4);
  ASSERT_EQ(ReloadBitmapSurface(surface.get(), "sprite", &FindTestImage), DisplayResult::Ok);
  const std::uint16_t red = Rgb565(kRed), blue = Rgb565(kBlue);
  const std::uint16_t expected[4][4] = {
      {red, red, blue, blue}, {red, red, blue, blue}, {blue, blue, red, red}, {blue, blue, red, red}};
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x) EXPECT_EQ(At(*surface, x, y), expected[y][x]) << x << "," << y;
}

TEST_F(BitmapLoadingTest, ReloadFailuresWriteTheirDebugTexts) {
  const SurfacePtr surface = CreateDisplaySurface(4, 4);
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(ReloadBitmapSurface(surface.get(), "missing", &FindTestImage), DisplayResult::Failed);
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "bitmap reload: image not found\n");
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(ReloadBitmapSurface(nullptr, "Sprite", &FindTestImage), DisplayResult::Failed);
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "bitmap reload: copy failed\n");
}

TEST_F(BitmapLoadingTest, PaletteOfATrueColourImageIsTheDefaultRamp) {
  const Palette ramp = DefaultRampPalette();
  EXPECT_EQ(ramp[0].red + ramp[0].green + ramp[0].blue, 0);
  EXPECT_EQ(ramp[255].red & ramp[255].green & ramp[255].blue, 255);
  // Index 0b001'010'11: red level 1, green level 2, blue level 3.
  EXPECT_EQ(ramp[0x2B].red, 36);
  EXPECT_EQ(ramp[0x2B].green, 72);
  EXPECT_EQ(ramp[0x2B].blue, 255);
  for (const char* name : {"Sprite", static_cast<const char*>(nullptr), "missing"}) {
    const auto palette = LoadBitmapPalette(name, &FindTestImage);
    ASSERT_TRUE(palette);
    for (std::size_t i = 0; i < kPaletteEntries; ++i) {
      EXPECT_EQ((*palette)[i].red, ramp[i].red);
      EXPECT_EQ((*palette)[i].blue, ramp[i].blue);
    }
  }
}

TEST_F(BitmapLoadingTest, PaletteOfABuiltInSixteenColourImageTakesItsColoursThenTheRamp) {
  std::vector<ColorRef> table;
  for (int i = 0; i < 16; ++i) table.push_back(Rgb(i, 100 + i, 200 + i));
  TestImages()["SIXTEEN"] = MakeBmp8(4, 4, table);
  const auto palette = LoadBitmapPalette("Sixteen", &FindTestImage);
  const Palette ramp = DefaultRampPalette();
  for (std::size_t i = 0; i < kPaletteEntries; ++i) {
    const PaletteEntry& entry = (*palette)[i];
    if (i < 16) {
      EXPECT_EQ(entry.red, i);
      EXPECT_EQ(entry.green, 100 + i);
      EXPECT_EQ(entry.blue, 200 + i);
    } else {
      EXPECT_EQ(entry.red, ramp[i].red);
      EXPECT_EQ(entry.green, ramp[i].green);
      EXPECT_EQ(entry.blue, ramp[i].blue);
    }
    EXPECT_EQ(entry.flags, 0);
  }
}

TEST_F(BitmapLoadingTest, PaletteHeaderClaimingTooManyColoursReadsAtMost256AndStaysInTheData) {
  struct Case {
    const char* name;
    std::size_t tableEntries;
    std::uint32_t claimed;
    std::size_t expectedFromImage;
  };
  for (const Case& c : {Case{"CLAIMS5000", 300, 5000, 256}, Case{"SHORTTABLE", 20, 1000, 20},
                        Case{"HUGECLAIM", 3, 0xFFFFFFFFu, 3}}) {
    std::vector<ColorRef> table(c.tableEntries, Rgb(1, 2, 3));
    std::vector<std::uint8_t> bytes = MakeBmp8(1, 1, table);
    PutU32(bytes, testing::kColorsUsedField, c.claimed);
    // Cut right after the table, so a reader that trusted the claim would overrun.
    bytes.resize(testing::kHeadersBytes + c.tableEntries * 4);
    TestImages()[c.name] = bytes;
    const auto palette = LoadBitmapPalette(c.name, &FindTestImage);
    std::size_t fromImage = 0;
    while (fromImage < kPaletteEntries && (*palette)[fromImage].red == 1 && (*palette)[fromImage].blue == 3) ++fromImage;
    EXPECT_EQ(fromImage, c.expectedFromImage) << c.name;
  }
}

TEST_F(BitmapLoadingTest, BuiltInImageWithoutDataLeavesTheRampAndSaysSo) {
  TestImages()["EMPTY"] = {};
  ::testing::internal::CaptureStderr();
  const auto palette = LoadBitmapPalette("EMPTY", &FindTestImage);
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "palette: the built-in image has no data\n");
  EXPECT_EQ((*palette)[255].red, 255);
}

TEST_F(BitmapLoadingTest, PaletteFileSwapsThePromisedEntriesAndReadsOnStraight) {
  std::vector<ColorRef> table;
  for (int i = 0; i < 16; ++i) table.push_back(Rgb(10 + i, 20, 30));
  std::vector<std::uint8_t> bytes = MakeBmp8(4, 1, table);
  bytes.back() = 0x77;  // the last pixel byte
  WriteFile("sixteen.bmp", bytes);
  const auto palette = LoadBitmapPalette("sixteen.bmp", &FindTestImage);
  EXPECT_EQ((*palette)[15].red, 25);
  EXPECT_EQ((*palette)[15].blue, 30);
  // Entry 16 holds the pixel row's four bytes as read; the ramp from entry 17 on.
  EXPECT_EQ((*palette)[16].flags, 0x77);
  EXPECT_EQ((*palette)[17].red, DefaultRampPalette()[17].red);
  EXPECT_EQ((*palette)[17].blue, DefaultRampPalette()[17].blue);

  std::vector<std::uint8_t> claims = MakeBmp8(1, 1, std::vector<ColorRef>(300, Rgb(5, 6, 7)));
  PutU32(claims, testing::kColorsUsedField, 70000);
  WriteFile("claims.bmp", claims);
  const auto claimed = LoadBitmapPalette("claims.bmp", &FindTestImage);
  EXPECT_EQ((*claimed)[255].red, 5);
  EXPECT_EQ((*claimed)[255].blue, 7);
}

TEST(BitmapDecodingTest, CorruptOrShortFilesAreRefusedWithoutReadingOutsideTheData) {
  const std::vector<std::uint8_t> good = MakeBmp24(5, 3, [](int, int) { return kRed; });
  ASSERT_TRUE(DecodeBitmapFile(good.data(), good.size()));
  for (std::size_t length = 0; length < good.size(); ++length) {
    // An exact-size copy, so any read past its end lands outside the allocation.
    const std::vector<std::uint8_t> cut(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(length));
    EXPECT_FALSE(DecodeBitmapFile(cut.data(), cut.size())) << length;
  }
  struct Mutation {
    const char* name;
    std::size_t field;
    std::uint32_t value;
  };
  const Mutation mutations[] = {
      {"pixel offset past the end", testing::kPixelOffsetField, 0xFFFFFFF0u},
      {"pixel offset inside the header", testing::kPixelOffsetField, 20},
      {"header size huge", testing::kHeaderSizeField, 0x7FFFFFFFu},
      {"header size too small", testing::kHeaderSizeField, 20},
      {"negative width", testing::kWidthField, 0xFFFFFFFBu},
      {"huge width", testing::kWidthField, 0x40000000u},
      {"huge height", testing::kHeightField, 0x7FFFFFFFu},
      {"most negative height", testing::kHeightField, 0x80000000u},
      {"odd bit count", testing::kBitCountField, 7},
      {"run-length compression", testing::kCompressionField, 1},
  };
  for (const Mutation& m : mutations) {
    std::vector<std::uint8_t> bytes = good;
    if (m.field == testing::kBitCountField) testing::PutU16(bytes, m.field, m.value);
    else PutU32(bytes, m.field, m.value);
    EXPECT_FALSE(DecodeBitmapFile(bytes.data(), bytes.size())) << m.name;
  }
  std::vector<std::uint8_t> tooManyColors = MakeBmp8(2, 2, std::vector<ColorRef>(4, kRed));
  PutU32(tooManyColors, testing::kColorsUsedField, 100000);
  EXPECT_FALSE(DecodeBitmapFile(tooManyColors.data(), tooManyColors.size()));
  EXPECT_FALSE(DecodeBitmapFile(nullptr, 100));
}

TEST(SurfaceColorTest, MatchingFindsTheRawValueAndLeavesTheTopLeftPixelAsItWas) {
  const SurfacePtr surface = CreateDisplaySurface(3, 2);
  struct Case {
    ColorRef color;
    std::uint32_t raw;
  };
  for (const std::uint16_t before : {std::uint16_t{0x1234}, std::uint16_t{0}, std::uint16_t{0xFFFF}}) {
    static_cast<std::uint16_t*>(surface->pixels)[0] = before;
    for (const Case& c : {Case{0, 0}, Case{kWhite, 0xFFFF}, Case{kRed, 0xF800}, Case{kBlue, 0x001F},
                          Case{Rgb(0, 200, 0), Rgb565(Rgb(0, 200, 0))}}) {
      EXPECT_EQ(MatchSurfaceColor(surface.get(), c.color), c.raw);
      EXPECT_EQ(At(*surface, 0, 0), before);
    }
    EXPECT_EQ(MatchSurfaceColor(surface.get(), kNoRawColor), before);
    EXPECT_EQ(At(*surface, 0, 0), before);
  }
}

TEST(SurfaceColorTest, BlackMatchesZeroInSixteenAndThirtyTwoBitFormats) {
  for (const Uint32 format : {SDL_PIXELFORMAT_RGB565, SDL_PIXELFORMAT_RGB555, SDL_PIXELFORMAT_XRGB8888}) {
    SurfacePtr surface(SDL_CreateRGBSurfaceWithFormat(0, 2, 2, 32, format));
    ASSERT_TRUE(surface);
    static_cast<std::uint8_t*>(surface->pixels)[0] = 0x5A;
    EXPECT_EQ(MatchSurfaceColor(surface.get(), 0), 0u) << SDL_GetPixelFormatName(format);
  }
}

TEST(SurfaceColorTest, ColourKeyOfBlackIsRawZeroAndNoSurfaceFailsSafely) {
  const SurfacePtr surface = CreateDisplaySurface(2, 2);
  EXPECT_EQ(SurfaceColorKey(surface.get()), kNoRawColor);
  EXPECT_EQ(SetSurfaceColorKey(surface.get(), 0), DisplayResult::Ok);
  EXPECT_EQ(SurfaceColorKey(surface.get()), 0u);
  EXPECT_EQ(SetSurfaceColorKey(nullptr, 0), DisplayResult::Failed);
  EXPECT_EQ(MatchSurfaceColor(nullptr, 0), kNoRawColor);
}

}  // namespace
}  // namespace velmora
