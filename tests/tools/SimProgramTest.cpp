// End-to-end runs of the velmora-sim program: exit codes, standard output and files.

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

struct Outcome {
  int exitCode = -1;
  std::string out;
  std::string err;
};

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

std::size_t LineCount(const std::string& text) {
  return static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
}

class SimProgramTest : public ::testing::Test {
protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("velmora_sim_test_" + std::to_string(::getpid()) + "_" +
                                        ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  fs::path File(const std::string& name) const { return dir_ / name; }

  // Runs the program with each argument single-quoted for the shell.
  Outcome RunSim(const std::vector<std::string>& args) const {
    std::string command = "'" VELMORA_SIM_PATH "'";
    for (const std::string& arg : args) command += " '" + arg + "'";
    command += " >'" + File("stdout").string() + "' 2>'" + File("stderr").string() + "'";
    const int status = std::system(command.c_str());
    Outcome outcome;
    outcome.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    outcome.out = ReadFile(File("stdout"));
    outcome.err = ReadFile(File("stderr"));
    return outcome;
  }

  fs::path dir_;
};

TEST_F(SimProgramTest, DefaultRunPrintsTheKnownFirstFiringsAndExitsZero) {
  const Outcome outcome = RunSim({});
  EXPECT_EQ(outcome.exitCode, 0) << outcome.err;
  const std::string knownStart = "38 1 4\n67 1 4\n82 1 4\n98 3 12\n123 2 8\n";
  EXPECT_EQ(outcome.out.substr(0, knownStart.size()), knownStart);
  EXPECT_TRUE(outcome.err.empty());
}

TEST_F(SimProgramTest, BadArgumentsExitWithTwoAndAMessageOnStandardError) {
  const std::vector<std::vector<std::string>> cases = {
      {"--frobnicate"},
      {"--until"},
      {"--until", "ten"},
      {"--until", "-1"},
      {"--speed", "30.5"},
      {"--weights", "1,2,3"},
      {"--weights", "2147483647,6,6,6,6,-2147483648"},
      {"--until", "5", "--steps", "5"},
      {"--step", "1", "--speed", "1"},
      {"--step", "nan"},
      {"--at", "5:explode"},
      {"--raster", "x.gif"},
      {"--labeled"},
      {"--picture", "x.jpg"},
  };
  for (const auto& args : cases) {
    const Outcome outcome = RunSim(args);
    EXPECT_EQ(outcome.exitCode, 2) << args[0];
    EXPECT_TRUE(outcome.out.empty()) << args[0];
    EXPECT_EQ(outcome.err.rfind("velmora-sim: ", 0), 0u) << outcome.err;
  }
}

TEST_F(SimProgramTest, HelpDocumentsEveryOptionAndExitsZero) {
  const Outcome outcome = RunSim({"--help"});
  EXPECT_EQ(outcome.exitCode, 0);
  for (const char* option : {"--step", "--speed", "--until", "--steps", "--weights", "--at", "--csv", "--raster",
                             "--geometry", "--picture", "--labeled", "--images", "stim1", "stim2", "weights=", "speed=", "reset", "--until 1000"}) {
    EXPECT_NE(outcome.out.find(option), std::string::npos) << option;
  }
}

TEST_F(SimProgramTest, SameArgumentsGiveTheSameBytesInEveryOutput) {
  std::vector<std::string> outputs[2];
  for (int run = 0; run < 2; ++run) {
    const std::string tag = std::to_string(run);
    const Outcome outcome =
        RunSim({"--speed", "29", "--until", "900", "--at", "100:stim1", "--at", "300:speed=25", "--at", "500:reset",
             "--csv", File("c" + tag + ".csv").string(), "--raster", File("r" + tag + ".svg").string(),
             "--geometry", File("g" + tag + ".csv").string()});
    ASSERT_EQ(outcome.exitCode, 0) << outcome.err;
    ASSERT_EQ(RunSim({"--until", "900", "--raster", File("r" + tag + ".png").string()}).exitCode, 0);
    outputs[run] = {outcome.out, ReadFile(File("c" + tag + ".csv")), ReadFile(File("r" + tag + ".svg")),
                    ReadFile(File("g" + tag + ".csv")), ReadFile(File("r" + tag + ".png"))};
  }
  for (std::size_t i = 0; i < outputs[0].size(); ++i) {
    EXPECT_FALSE(outputs[0][i].empty()) << "output " << i;
    EXPECT_EQ(outputs[0][i], outputs[1][i]) << "output " << i;
  }
}

TEST_F(SimProgramTest, PictureRunsHeadlessAndRepeatsByteForByte) {
  const std::vector<std::string> run = {"--until", "700", "--at", "300:weights=20,6,6,6,6,6", "--at", "600:stim1"};
  std::vector<std::string> pictures;
  for (const char* name : {"a.png", "b.png"}) {
    std::vector<std::string> args = run;
    args.insert(args.end(), {"--picture", File(name).string()});
    const Outcome outcome = RunSim(args);
    ASSERT_EQ(outcome.exitCode, 0) << outcome.err;
    EXPECT_EQ(outcome.out, RunSim(run).out) << "the picture leaves the firings alone";
    pictures.push_back(ReadFile(File(name)));
  }
  EXPECT_EQ(pictures[0].substr(0, 8), std::string("\x89PNG\r\n\x1a\n", 8));
  EXPECT_EQ(pictures[0], pictures[1]);
  constexpr std::size_t kPictureBudgetBytes = 600 * 1024;  // the raw frame alone is 2.36 MB
  EXPECT_LT(pictures[0].size(), kPictureBudgetBytes);

  std::vector<std::string> labeled = run;
  labeled.insert(labeled.end(), {"--picture", File("l.png").string(), "--labeled"});
  ASSERT_EQ(RunSim(labeled).exitCode, 0);
  EXPECT_NE(ReadFile(File("l.png")), pictures[0]);
}

TEST_F(SimProgramTest, ImagesAreWrittenAsThreeBitmapFiles) {
  const Outcome outcome = RunSim({"--steps", "1", "--images", File("imgs/new").string()});
  ASSERT_EQ(outcome.exitCode, 0) << outcome.err;
  for (const char* name : {"BACKGROUND.bmp", "LABELEDBACK.bmp", "SOMAS.bmp"}) {
    EXPECT_EQ(ReadFile(File("imgs/new") / name).substr(0, 2), "BM") << name;
  }
}

TEST_F(SimProgramTest, CsvHasHeaderAndOneRowPerStep) {
  const Outcome outcome = RunSim({"--steps", "250", "--csv", File("s.csv").string()});
  ASSERT_EQ(outcome.exitCode, 0) << outcome.err;
  const std::string csv = ReadFile(File("s.csv"));
  EXPECT_EQ(csv.rfind("step,time,s1,s2,s3\n1,1,", 0), 0u);
  EXPECT_EQ(LineCount(csv), 251u);
  EXPECT_NE(csv.find("\n250,250,"), std::string::npos);
}

TEST_F(SimProgramTest, RasterFilesAreWrittenInTheFormatTheirNameAsksFor) {
  ASSERT_EQ(RunSim({"--raster", File("r.svg").string()}).exitCode, 0);
  ASSERT_EQ(RunSim({"--raster", File("r.png").string()}).exitCode, 0);
  const std::string svg = ReadFile(File("r.svg"));
  EXPECT_EQ(svg.rfind("<svg", 0), 0u);
  for (const char* label : {">Src1<", ">Src2<", ">Soma1<", ">Soma2<", ">Soma3<"}) {
    EXPECT_NE(svg.find(label), std::string::npos) << label;
  }
  EXPECT_EQ(ReadFile(File("r.png")).substr(0, 8), std::string("\x89PNG\r\n\x1a\n", 8));
}

TEST_F(SimProgramTest, UnwritableOutputExitsWithOne) {
  for (const char* option : {"--csv", "--raster", "--geometry", "--picture"}) {
    const std::string name = option;
    const std::string path = name == "--raster"    ? "/nonexistent-dir/r.svg"
                             : name == "--picture" ? "/nonexistent-dir/p.png"
                                                   : "/nonexistent-dir/x.csv";
    const Outcome outcome = RunSim({"--steps", "5", option, path});
    EXPECT_EQ(outcome.exitCode, 1) << option;
    EXPECT_NE(outcome.err.find("cannot write"), std::string::npos) << option;
  }
}

}  // namespace
