#include "shell/OperatorControl.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>

#include "shell/CommandLine.h"

namespace velmora {
namespace {

ExhibitOptions OptionsFrom(std::vector<std::string> arguments) {
  const CommandLine line = ParseCommandLine(arguments);
  EXPECT_EQ(line.action, CommandLineAction::Run) << line.error;
  return line.options;
}

TEST(OperatorControlTest, ScriptedKeysComeBeforeTheirFrameInScriptOrder) {
  const ExhibitOptions options = OptionsFrom({"--keys", "3:1 2:F1 3:1 3:Q"});
  OperatorControl control(options, nullptr, nullptr);
  std::vector<VirtualKey> keys;
  control.KeysBeforeFrame(1, keys);
  EXPECT_TRUE(keys.empty());
  control.KeysBeforeFrame(3, keys);
  EXPECT_EQ(keys, (std::vector<VirtualKey>{'1', '1', 'Q'}));
}

TEST(OperatorControlTest, RunEndsAtTheFrameLimitOrOnAStopSignal) {
  const ExhibitOptions limited = OptionsFrom({"--frames", "5"});
  OperatorControl control(limited, nullptr, [] { return false; });
  EXPECT_FALSE(control.EndRequested(4));
  EXPECT_TRUE(control.EndRequested(5));

  const ExhibitOptions unlimited = OptionsFrom({});
  bool signalled = false;
  OperatorControl stoppable(unlimited, nullptr, [&signalled] { return signalled; });
  EXPECT_FALSE(stoppable.EndRequested(1'000'000));
  signalled = true;
  EXPECT_TRUE(stoppable.EndRequested(0));
}

TEST(OperatorControlTest, ScreenshotsAreTakenAfterTheirFramesOnly) {
  const ExhibitOptions options = OptionsFrom({"--screenshot", "2:a.png", "--screenshot", "2:b.png",
                                              "--screenshot", "4:c.png"});
  std::vector<std::string> saved;
  OperatorControl control(options, [&saved](const std::string& path) {
    saved.push_back(path);
    return true;
  }, nullptr);
  for (std::int64_t frame = 1; frame <= 3; ++frame) control.FrameDone(frame, FrameReport{});
  EXPECT_EQ(saved, (std::vector<std::string>{"a.png", "b.png"}));
}

TEST(OperatorControlTest, RecordedPressesAreWrittenInTheKeyScriptFormat) {
  const std::string path = ::testing::TempDir() + "velmora_recorded_keys.txt";
  const ExhibitOptions options = OptionsFrom({"--record-keys", path});
  OperatorControl control(options, nullptr, nullptr);
  control.KeyPressed('1', 10);
  control.KeyPressed(VK_F1, 12);
  control.KeyPressed(VK_ESCAPE, 40);
  ASSERT_TRUE(control.Finish());
  std::ifstream in(path);
  std::stringstream written;
  written << in.rdbuf();
  std::remove(path.c_str());
  EXPECT_EQ(written.str(), "10:1\n12:F1\n40:Esc\n");
}

}  // namespace
}  // namespace velmora
