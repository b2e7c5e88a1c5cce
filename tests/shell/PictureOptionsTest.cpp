// The picture options of the exhibit's command line: which picture a run shows, on
// which renderer, and the combinations that mean nothing.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "shell/CommandLine.h"
#include "shell/ExhibitServices.h"

namespace velmora {
namespace {

TEST(PictureOptions, SharpFullScreenAndOnAPretendScreenClassicOtherwiseVsyncOnAScreenOnly) {
  const struct {
    std::vector<std::string> arguments;
    bool sharp, letterbox, vsync;
    int width, height, refreshHz;
    std::string language;
  } cases[] = {
      {{}, true, false, true, 0, 0, 0, "de"},
      {{"--classic"}, false, false, true, 0, 0, 0, "de"},
      {{"--windowed"}, false, false, true, 0, 0, 0, "de"},
      {{"--mode-switch", "--refresh", "50"}, false, false, true, 0, 0, 50, "de"},
      {{"--headless"}, false, false, false, 0, 0, 0, "de"},
      {{"--headless", "--size", "1920x1080"}, true, false, false, 1920, 1080, 0, "de"},
      {{"--headless", "--size=1080x1920", "--letterbox"}, true, true, false, 1080, 1920, 0, "de"},
      {{"--letterbox", "--no-vsync", "--refresh=100", "--language", "en"}, true, true, false, 0, 0, 100, "en"},
      {{"--classic", "--language", "pt_BR"}, false, false, true, 0, 0, 0, "pt_BR"},
  };
  for (const auto& c : cases) {
    std::string shown;
    for (const std::string& argument : c.arguments) shown += argument + " ";
    SCOPED_TRACE(shown);
    const CommandLine line = ParseCommandLine(c.arguments);
    ASSERT_EQ(line.action, CommandLineAction::Run) << line.error;
    const PictureChoice picture = PictureChoiceFor(line.options);
    EXPECT_EQ(picture.sharp, c.sharp);
    EXPECT_EQ(picture.fit == SharpFit::kLetterbox, c.letterbox);
    EXPECT_EQ(picture.pretendWidthPixels, c.width);
    EXPECT_EQ(picture.pretendHeightPixels, c.height);
    EXPECT_EQ(picture.refreshHz, c.refreshHz);
    const RendererChoice renderer = RendererChoiceFor(line.options);
    EXPECT_EQ(renderer.vsync, c.vsync);
    EXPECT_TRUE(renderer.framebufferWithoutGpu);
    EXPECT_EQ(line.options.language, c.language);
  }
}

TEST(PictureOptions, CombinationsThatMeanNothingAreRefusedWithTheReason) {
  const struct {
    std::vector<std::string> arguments;
    const char* complaint;
  } cases[] = {
      {{"--size", "1920x1080"}, "--headless"},
      {{"--headless", "--size", "1920"}, "WIDTHxHEIGHT"},
      {{"--headless", "--size", "100x100"}, "from 320 to 7680"},
      {{"--headless", "--size", "7680x4321"}, "(7680 x 4320)"},
      {{"--headless", "--size", "1920x1080x3"}, "WIDTHxHEIGHT"},
      {{"--classic", "--letterbox"}, "--letterbox goes with the sharp"},
      {{"--headless", "--classic", "--size", "800x600"}, "--size goes with the sharp"},
      {{"--windowed", "--letterbox"}, "full screen"},
      {{"--headless", "--letterbox"}, "--size"},
      {{"--refresh", "10"}, "from 24 to 240"},
      {{"--refresh", "fifty"}, "from 24 to 240"},
      {{"--windowed", "--refresh", "50"}, "full-screen"},
      {{"--language", "english"}, "language name"},
      {{"--language", "../de"}, "language name"},
  };
  for (const auto& c : cases) {
    const CommandLine line = ParseCommandLine(c.arguments);
    EXPECT_EQ(line.action, CommandLineAction::Error) << c.arguments.front();
    EXPECT_NE(line.error.find(c.complaint), std::string::npos) << line.error;
  }
}

}  // namespace
}  // namespace velmora
