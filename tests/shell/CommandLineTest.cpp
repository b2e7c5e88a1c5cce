#include "shell/CommandLine.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>

#include "platform/Keys.h"

namespace velmora {
namespace {

CommandLine Parse(std::vector<std::string> arguments) { return ParseCommandLine(arguments); }

TEST(CommandLineTest, NoArgumentsRunTheExhibitAsInTheMuseum) {
  const CommandLine line = Parse({});
  ASSERT_EQ(line.action, CommandLineAction::Run);
  const ExhibitOptions& o = line.options;
  EXPECT_EQ(o.screenMode, ScreenMode::FullScreen);
  EXPECT_FALSE(o.headless);
  EXPECT_FALSE(o.frames.has_value());
  EXPECT_TRUE(o.keys.empty());
  EXPECT_TRUE(o.screenshots.empty());
  EXPECT_FALSE(o.busyWait);
  EXPECT_FALSE(o.panelPoll);
  EXPECT_EQ(o.midiOut, "synth");
}

TEST(CommandLineTest, EveryOptionSetsItsField) {
  const CommandLine line =
      Parse({"--windowed", "--headless", "--frames", "40", "--keys=10:1 12:F1 40:Esc", "--screenshot",
             "9:a.png", "--screenshot=12:b.png", "--record-keys", "keys.txt", "--busy-wait", "--frame-log",
             "log.txt", "--midi-out", "port:Midi Through", "--soundfont", "x.sf2", "--record-midi",
             "run.mid", "--panel", "/dev/pts/3", "--panel-poll", "--keys", "41:F2"});
  ASSERT_EQ(line.action, CommandLineAction::Run) << line.error;
  const ExhibitOptions& o = line.options;
  EXPECT_EQ(o.screenMode, ScreenMode::Windowed);
  EXPECT_TRUE(o.headless);
  EXPECT_EQ(o.frames, 40);
  ASSERT_EQ(o.keys.size(), 4u) << "--keys may be given again";
  EXPECT_EQ(o.keys[1].frame, 12);
  EXPECT_EQ(o.keys[1].key, VK_F1);
  EXPECT_EQ(o.keys[2].key, VK_ESCAPE);
  EXPECT_EQ(o.keys[3].key, VK_F2);
  ASSERT_EQ(o.screenshots.size(), 2u);
  EXPECT_EQ(o.screenshots[0].frame, 9);
  EXPECT_EQ(o.screenshots[1].path, "b.png");
  EXPECT_EQ(o.recordKeysPath, "keys.txt");
  EXPECT_TRUE(o.busyWait);
  EXPECT_EQ(o.frameLogPath, "log.txt");
  EXPECT_EQ(o.midiOut, "port:Midi Through");
  EXPECT_EQ(o.soundfont, "x.sf2");
  EXPECT_EQ(o.recordMidiPath, "run.mid");
  EXPECT_EQ(o.panelDevice, "/dev/pts/3");
  EXPECT_TRUE(o.panelPoll);
  EXPECT_EQ(Parse({"--mode-switch"}).options.screenMode, ScreenMode::ModeSwitch);
}

TEST(CommandLineTest, HelpAndPortListingAreActionsOfTheirOwn) {
  EXPECT_EQ(Parse({"--help"}).action, CommandLineAction::Help);
  EXPECT_EQ(Parse({"--frames", "3", "-h"}).action, CommandLineAction::Help);
  EXPECT_EQ(Parse({"--list-midi-ports"}).action, CommandLineAction::ListMidiPorts);
}

TEST(CommandLineTest, SelfTestTakesTheOptionsTheExhibitRunsWith) {
  struct Case {
    std::vector<std::string> arguments;
    bool testNote;
  };
  const Case cases[] = {
      {{"--self-test"}, false},
      {{"--panel", "/dev/ttyUSB0", "--self-test", "--panel-poll", "--midi-out", "none"}, false},
      {{"--test-note", "--midi-out=port:Synth", "--self-test"}, true},
  };
  for (const Case& c : cases) {
    const CommandLine line = Parse(c.arguments);
    ASSERT_EQ(line.action, CommandLineAction::SelfTest) << c.arguments.front() << " " << line.error;
    EXPECT_EQ(line.options.testNote, c.testNote);
  }
  const CommandLine full = Parse(cases[1].arguments);
  EXPECT_EQ(full.options.panelDevice, "/dev/ttyUSB0");
  EXPECT_TRUE(full.options.panelPoll);
  EXPECT_EQ(full.options.midiOut, "none");
  EXPECT_EQ(Parse({"--self-test", "--help"}).action, CommandLineAction::Help);
  EXPECT_EQ(Parse({"--self-test", "--frames", "0"}).action, CommandLineAction::Error);
}

TEST(CommandLineTest, BadArgumentsAreRefusedWithAMessage) {
  const std::vector<std::vector<std::string>> cases = {
      {"--frobnicate"},         {"extra"},                {"--frames"},
      {"--frames", "0"},        {"--frames", "-3"},       {"--frames", "ten"},
      {"--frames", "10x"},      {"--keys", "10"},         {"--keys", "0:1"},
      {"--keys", "5:Enter"},    {"--keys", "@/nonexistent/keys.txt"},
      {"--screenshot", "a.png"}, {"--screenshot", "0:a.png"}, {"--screenshot", "5:a.bmp"},
      {"--screenshot", "5:"},   {"--midi-out", "loud"},   {"--midi-out", "port:"},
      {"--headless=yes"},       {"--panel", ""},          {"--record-keys"},
      {"--test-note"},          {"--self-test=yes"},      {"--test-note=1", "--self-test"},
      {"--pan\nel"},            {"--frames", "1\r\n2"},     {"--windowed", "--mode-switch"},
      {"--frames", "1", "--frames=2"},                   {"--panel-poll", "--panel-poll"},
      {"--status-listen", "8642"}, {"--status-listen", "::1:8642"}, {"--status-listen", "localhost:65536"},
      {"--usage-db", ""},          {"--status-token-file", ""},     {"--usage-commit-interval", "0"},
      {"--usage-keep-days", "0"},  {"--usage-keep-days", "36501"},  {"--exhibit-name", " "},
      {"--exhibit-name", std::string(65, 'x')},                      {"--exhibit-name", "Foyer\tleft"},
  };
  for (const auto& arguments : cases) {
    const CommandLine line = Parse(arguments);
    std::string joined;
    for (const auto& a : arguments) joined += a + " ";
    EXPECT_EQ(line.action, CommandLineAction::Error) << joined;
    EXPECT_FALSE(line.error.empty()) << joined;
    // One line, whatever control characters the quoted argument held.
    EXPECT_EQ(line.error.find_first_of("\r\n"), std::string::npos) << joined;
  }
}

TEST(CommandLineTest, OperatorsOptionsDefaultToTheLocalServerAndTheStandardFileAndAreListedAsGiven) {
  const ExhibitOptions defaults = Parse({}).options;
  EXPECT_EQ(defaults.statusListen, "127.0.0.1:8642");
  EXPECT_EQ(defaults.usageDatabase, "");
  EXPECT_FALSE(defaults.usageCommitIntervalMs.has_value());

  EXPECT_EQ(defaults.usageKeepDays, 730);
  const CommandLine line = Parse({"--usage-db", "off", "--headless", "--status-listen=[::]:0", "--keys", "1:1",
                                  "--keys", "2:2", "--status-token-file", "t", "--usage-commit-interval", "300"});
  ASSERT_EQ(line.action, CommandLineAction::Run) << line.error;
  const ExhibitOptions named = Parse({"--exhibit-name", "Foyer, left", "--usage-keep-days", "36500"}).options;
  EXPECT_EQ(named.exhibitName, "Foyer, left");
  EXPECT_EQ(named.usageKeepDays, 36500);
  EXPECT_EQ(line.options.statusListen, "[::]:0");
  EXPECT_EQ(line.options.statusTokenFile, "t");
  EXPECT_EQ(line.options.usageDatabase, "off");
  EXPECT_EQ(line.options.usageCommitIntervalMs, 300);
  // In the order the options are declared, as typed; a flag without a value.
  using Given = std::vector<std::pair<std::string, std::string>>;
  EXPECT_EQ(line.givenOptions, (Given{{"--headless", ""},
                                      {"--keys", "1:1"},
                                      {"--keys", "2:2"},
                                      {"--status-listen", "[::]:0"},
                                      {"--status-token-file", "t"},
                                      {"--usage-db", "off"},
                                      {"--usage-commit-interval", "300"}}));
}

TEST(CommandLineTest, KeyScriptComesFromFileWithLineBreaks) {
  const std::string path = ::testing::TempDir() + "velmora_keys.txt";
  {
    std::ofstream out(path);
    out << "10:1\n12:F1\r\n\n  40:Esc\n";
  }
  const CommandLine line = Parse({"--keys", "@" + path});
  std::remove(path.c_str());
  ASSERT_EQ(line.action, CommandLineAction::Run) << line.error;
  ASSERT_EQ(line.options.keys.size(), 3u);
  EXPECT_EQ(line.options.keys[2].frame, 40);
  EXPECT_EQ(line.options.keys[2].key, VK_ESCAPE);
}

TEST(CommandLineTest, KeyScriptFilesLargerThanTheLimitAreRefusedNotReadToTheEnd) {
  const std::string path = ::testing::TempDir() + "velmora_large_keys.txt";
  {
    std::ofstream out(path);
    out << std::string(kMaxKeyScriptBytes, ' ') << ' ';
  }
  for (const std::string& file : {path, std::string("/dev/zero")}) {
    const CommandLine line = Parse({"--keys", "@" + file});
    EXPECT_EQ(line.action, CommandLineAction::Error) << file;
    EXPECT_NE(line.error.find("larger than"), std::string::npos) << line.error;
  }
  std::remove(path.c_str());
}

TEST(CommandLineTest, RecordedKeysReadBackAsTheSamePresses) {
  const std::vector<KeyPress> presses = {{1, '1'}, {1, '1'}, {12, VK_F1}, {13, 'Z'}, {40, VK_F12}};
  std::vector<KeyPress> readBack;
  std::string error;
  ASSERT_TRUE(ParseKeyScript(FormatKeyScript(presses), readBack, error)) << error;
  ASSERT_EQ(readBack.size(), presses.size());
  for (std::size_t i = 0; i < presses.size(); ++i) {
    EXPECT_EQ(readBack[i].frame, presses[i].frame);
    EXPECT_EQ(readBack[i].key, presses[i].key);
  }
}

}  // namespace
}  // namespace velmora
