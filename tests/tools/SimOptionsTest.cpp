#include "tools/sim/SimOptions.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace velmora::sim {
namespace {

using Args = std::vector<std::string>;

SimOptions ParseGood(const Args& args) {
  const ParseOutcome outcome = ParseSimArguments(args);
  EXPECT_EQ(outcome.status, ParseStatus::kRun) << outcome.message;
  return outcome.options;
}

TEST(SimOptionsTest, NoArgumentsRunOneSecondAtTheStartStep) {
  const SimOptions options = ParseGood({});
  EXPECT_FALSE(options.runByStepCount);
  EXPECT_EQ(options.untilMs, kDefaultUntilMs);
  EXPECT_EQ(options.initialStepMs, 1.0f);
  EXPECT_FALSE(options.initialSpeedSetting);
  EXPECT_FALSE(options.initialWeights);
  EXPECT_TRUE(options.actions.empty());
}

TEST(SimOptionsTest, ValuesAreTakenFromTheNextArgumentOrAfterEquals) {
  for (const Args& args : {Args{"--step", "0.5", "--steps", "12", "--weights", "-128,2,3,4,5,127"},
                           Args{"--step=0.5", "--steps=12", "--weights=-128,2,3,4,5,127"}}) {
    const SimOptions options = ParseGood(args);
    EXPECT_EQ(options.initialStepMs, 0.5f);
    EXPECT_TRUE(options.runByStepCount);
    EXPECT_EQ(options.stepCount, 12);
    ASSERT_TRUE(options.initialWeights);
    EXPECT_EQ(*options.initialWeights, (Weights{-128, 2, 3, 4, 5, 127}));
  }
}

TEST(SimOptionsTest, OutputsSpeedAndUntilAreStored) {
  const SimOptions options = ParseGood(
      {"--speed", "30", "--until", "250.5", "--csv", "a.csv", "--raster", "r.png", "--geometry", "g.csv"});
  ASSERT_TRUE(options.initialSpeedSetting);
  EXPECT_EQ(*options.initialSpeedSetting, 30.0f);
  EXPECT_EQ(options.initialStepMs, 1.2f) << "the start step follows the speed rule";
  EXPECT_EQ(options.untilMs, 250.5);
  EXPECT_EQ(options.csvPath, "a.csv");
  EXPECT_EQ(options.rasterPath, "r.png");
  EXPECT_EQ(options.geometryPath, "g.csv");
}

TEST(SimOptionsTest, TimedActionsKeepCommandLineOrderAndTheirValues) {
  const SimOptions options = ParseGood({"--at", "500:reset", "--at", "0:stim1", "--at", "12.5:stim2", "--at",
                                        "40:weights=0,20,5,5,5,5", "--at", "7:speed=22.5"});
  ASSERT_EQ(options.actions.size(), 5u);
  const struct {
    double atMs;
    ActionKind kind;
    const char* label;
  } expected[] = {{500, ActionKind::kReset, "reset"},
                  {0, ActionKind::kStimulus1, "stim1"},
                  {12.5, ActionKind::kStimulus2, "stim2"},
                  {40, ActionKind::kSetWeights, "weights=0,20,5,5,5,5"},
                  {7, ActionKind::kSetSpeed, "speed=22.5"}};
  for (std::size_t i = 0; i < options.actions.size(); ++i) {
    EXPECT_EQ(options.actions[i].atMs, expected[i].atMs) << i;
    EXPECT_EQ(options.actions[i].kind, expected[i].kind) << i;
    EXPECT_EQ(options.actions[i].label, expected[i].label) << i;
  }
  EXPECT_EQ(options.actions[3].weights, (Weights{0, 20, 5, 5, 5, 5}));
  EXPECT_EQ(options.actions[4].speedSetting, 22.5f);
}

TEST(SimOptionsTest, PictureAndImageOptionsFillTheirFields) {
  const struct {
    Args args;
    const char* picturePath;
    bool labeled;
    const char* imagesDirectory;
  } cases[] = {
      {{}, "", false, ""},
      {{"--picture", "out/frame.png"}, "out/frame.png", false, ""},
      {{"--picture=f.png", "--labeled"}, "f.png", true, ""},
      {{"--labeled", "--picture", "f.png"}, "f.png", true, ""},
      {{"--images", "imgs"}, "", false, "imgs"},
      {{"--images=imgs", "--picture", "f.png", "--steps", "3"}, "f.png", false, "imgs"},
  };
  for (const auto& c : cases) {
    const ParseOutcome outcome = ParseSimArguments(c.args);
    ASSERT_EQ(outcome.status, ParseStatus::kRun) << outcome.message;
    EXPECT_EQ(outcome.options.picturePath, c.picturePath);
    EXPECT_EQ(outcome.options.labeledPicture, c.labeled);
    EXPECT_EQ(outcome.options.imagesDirectory, c.imagesDirectory);
  }
}

TEST(SimOptionsTest, ZeroStepIsAllowedOnlyForACountedRun) {
  EXPECT_EQ(ParseSimArguments({"--step", "0", "--steps", "3"}).status, ParseStatus::kRun);
  EXPECT_EQ(ParseSimArguments({"--step", "0"}).status, ParseStatus::kError);
  EXPECT_EQ(ParseSimArguments({"--step", "0", "--until", "10"}).status, ParseStatus::kError);
}

TEST(SimOptionsTest, HelpWinsOverLaterArguments) {
  EXPECT_EQ(ParseSimArguments({"--help"}).status, ParseStatus::kHelp);
  EXPECT_EQ(ParseSimArguments({"-h", "--bogus"}).status, ParseStatus::kHelp);
  EXPECT_NE(SimHelpText().find("--until"), std::string::npos);
}

TEST(SimOptionsTest, BadArgumentsAreRefusedWithAMessageNamingTheProblem) {
  const struct {
    Args args;
    const char* mentions;
  } cases[] = {
      {{"--bogus"}, "unknown argument"},
      {{"stray"}, "unknown argument"},
      {{"--until"}, "needs a value"},
      {{"--until="}, "needs a value"},
      {{"--until", "abc"}, "--until"},
      {{"--until", "10ms"}, "--until"},
      {{"--until", "-5"}, "negative"},
      {{"--until", "inf"}, "--until"},
      {{"--until", "nan"}, "--until"},
      {{"--step", "-1"}, "negative"},
      {{"--step", "1e39"}, "too large"},
      {{"--step", "1e-9", "--until", "100"}, "1e10 steps"},
      {{"--speed", "0", "--until", "1e12"}, "1e10 steps"},
      {{"--steps", "-1"}, "--steps"},
      {{"--steps", "2.5"}, "--steps"},
      {{"--speed", "31"}, "0 to 30"},
      {{"--speed", "-0.5"}, "0 to 30"},
      {{"--weights", "1,2,3,4,5"}, "six integers"},
      {{"--weights", "1,2,3,4,5,6,7"}, "six integers"},
      {{"--weights", "1,2,3,4,5,x"}, "six integers"},
      {{"--weights", "1,2,,4,5,6"}, "six integers"},
      {{"--weights", "1.5,2,3,4,5,6"}, "six integers"},
      {{"--weights", "1,2,3,4,5,99999999999"}, "-128 to 127"},
      {{"--weights", "2147483647,6,6,6,6,-2147483648"}, "-128 to 127"},
      {{"--weights", "6,6,6,6,6,128"}, "-128 to 127"},
      {{"--at", "5:weights=-129,6,6,6,6,6"}, "-128 to 127"},
      {{"--until", "5", "--steps", "5"}, "not both"},
      {{"--step", "1", "--speed", "5"}, "not both"},
      {{"--until", "5", "--until", "6"}, "twice"},
      {{"--at", "100"}, "TIME:ACTION"},
      {{"--at", "x:stim1"}, "--at time"},
      {{"--at", "-1:stim1"}, "negative"},
      {{"--at", "5:stim3"}, "unknown action"},
      {{"--at", "5:speed=40"}, "0 to 30"},
      {{"--at", "5:weights=1,2"}, "six integers"},
      {{"--raster", "out.jpg"}, ".svg or .png"},
      {{"--help=yes"}, "no value"},
      {{"--picture", "frame.bmp"}, "ending in .png"},
      {{"--picture"}, "needs a value"},
      {{"--labeled"}, "give --picture"},
      {{"--labeled", "--csv", "x.csv"}, "give --picture"},
      {{"--picture", "a.png", "--labeled=yes"}, "no value"},
      {{"--csv", ""}, "needs a value"},
      {{"--images"}, "needs a value"},
      {{"--images", "a", "--images", "b"}, "twice"},
      {{"--hold", "stim3"}, "stim1 or stim2"},
      {{"--classic", "--flashes"}, "--classic goes with"},
      {{"--size", "3840x2160"}, "give --picture FILE.png or --flashes"},
      {{"--flashes", "--screen-inches", "4"}, "5 to 400"},
      {{"--flashes", "--viewing-distance-cm", "5001"}, "20 to 5000"},
      {{"--viewing-distance-cm", "150"}, "give --flashes"},
      {{"--flashes", "--picture", "a.png"}, "on its own"},
      {{"--sound", "a.mp3"}, "ending in .wav"},
      {{"--sound", "a.wav", "--transpose", "61"}, "-24 to 60"},
      {{"--sound", "a.wav", "--transpose", "2.5"}, "-24 to 60"},
      {{"--sound", "a.wav", "--volume", "101"}, "0 to 100"},
      {{"--transpose", "12"}, "go with --sound"},
  };
  for (const auto& c : cases) {
    const ParseOutcome outcome = ParseSimArguments(c.args);
    EXPECT_EQ(outcome.status, ParseStatus::kError) << c.args[0];
    EXPECT_NE(outcome.message.find(c.mentions), std::string::npos)
        << "arguments starting " << c.args[0] << " gave: " << outcome.message;
  }
}

}  // namespace
}  // namespace velmora::sim
