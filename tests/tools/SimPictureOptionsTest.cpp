// velmora-sim's options for the sharp picture and the status line's language.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tools/sim/SimOptions.h"

namespace velmora::sim {
namespace {

TEST(SimPictureOptions, SizeLetterboxAndLanguageGoWithThePicture) {
  const ParseOutcome sharp =
      ParseSimArguments({"--picture", "f.png", "--size", "3840x2160", "--letterbox", "--language", "en"});
  ASSERT_EQ(sharp.status, ParseStatus::kRun) << sharp.message;
  EXPECT_EQ(sharp.options.pictureWidthPixels, 3840);
  EXPECT_EQ(sharp.options.pictureHeightPixels, 2160);
  EXPECT_TRUE(sharp.options.letterboxPicture);
  EXPECT_EQ(sharp.options.language, "en");
  const ParseOutcome classic = ParseSimArguments({"--picture", "f.png"});
  EXPECT_EQ(classic.options.pictureWidthPixels, 0);
  EXPECT_EQ(classic.options.language, "de");

  const struct {
    std::vector<std::string> arguments;
    const char* complaint;
  } refused[] = {
      {{"--size", "1920x1080"}, "give --picture"},
      {{"--picture", "f.png", "--size", "1920 x 1080"}, "WIDTHxHEIGHT"},
      {{"--picture", "f.png", "--size", "8000x100"}, "from 320 to 7680"},
      {{"--picture", "f.png", "--size", "7680x7680"}, "(7680 x 4320)"},
      {{"--picture", "f.png", "--letterbox"}, "--letterbox goes with --size"},
      {{"--language", "EN"}, "language name"},
  };
  for (const auto& c : refused) {
    const ParseOutcome outcome = ParseSimArguments(c.arguments);
    EXPECT_EQ(outcome.status, ParseStatus::kError) << c.arguments.back();
    EXPECT_NE(outcome.message.find(c.complaint), std::string::npos) << outcome.message;
  }
}

}  // namespace
}  // namespace velmora::sim
