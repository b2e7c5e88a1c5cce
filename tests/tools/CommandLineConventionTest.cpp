// The one convention of the four programs' command lines, checked on each parser.

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "shell/CommandLine.h"
#include "tools/panel/PanelOptions.h"
#include "tools/panel/PanelScript.h"
#include "tools/sim/SimOptions.h"
#include "tools/stats/StatsOptions.h"

namespace velmora {
namespace {

using Args = std::vector<std::string>;
enum class Result { kRun, kHelp, kVersion, kError };

struct Parsed {
  Result result;
  std::string error;
};

struct Program {
  std::string name;
  std::function<Parsed(const Args&)> parse;
  std::string helpText;
  Args base;                      // arguments the others need
  std::string value, goodValue;   // an option with one value
  std::string flag;               // an option without a value
  Args repeated;                  // a repeatable option given twice; empty when there is none
};

// A program's own outcome as one of those every parser has.
template <typename Action>
Result Classify(Action action, Action help, Action version, Action error) {
  return action == help ? Result::kHelp : action == version ? Result::kVersion : action == error ? Result::kError : Result::kRun;
}

std::vector<Program> Programs() {
  return {
      {"velmora",
       [](const Args& a) {
         const CommandLine c = ParseCommandLine(a);
         using A = CommandLineAction;
         return Parsed{Classify(c.action, A::Help, A::Version, A::Error), c.error};
       },
       UsageText(), {}, "--frames", "40", "--headless", {"--screenshot", "5:a.png", "--screenshot=6:b.png"}},
      {"velmora-sim",
       [](const Args& a) {
         const sim::ParseOutcome o = sim::ParseSimArguments(a);
         using S = sim::ParseStatus;
         return Parsed{Classify(o.status, S::kHelp, S::kVersion, S::kError), o.message};
       },
       sim::SimHelpText(), {"--picture", "p.png"}, "--until", "40", "--labeled", {"--at", "5:stim1", "--at=6:stim2"}},
      {"velmora-panel",
       [](const Args& a) {
         const panel::PanelCommandLine c = panel::ParsePanelArguments(a);
         using A = panel::PanelCommandLine::Action;
         return Parsed{Classify(c.action, A::kHelp, A::kVersion, A::kError), c.error};
       },
       panel::PanelHelpText(), {}, "--script", "s.txt", "--quiet-polls", {}},
      {"velmora-stats",
       [](const Args& a) {
         const stats::StatsCommandLine c = stats::ParseStatsArguments(a, 0);
         using A = stats::StatsCommandLine::Action;
         return Parsed{Classify(c.action, A::kHelp, A::kVersion, A::kError), c.error};
       },
       stats::StatsHelpText("usage.sqlite3"), {}, "--from", "2026-01-01", "--csv", {"--db", "a", "--db=b"}},
  };
}

TEST(CommandLineConventionTest, EveryProgramParsesAlike) {
  for (const Program& p : Programs()) {
    const std::string& v = p.value;
    const struct {
      Args args;
      Result result;
      const char* mentions;
    } cases[] = {
        {{v, p.goodValue}, Result::kRun, ""},
        {{v + "=" + p.goodValue}, Result::kRun, ""},
        {{p.flag}, Result::kRun, ""},
        {{v, p.goodValue, v + "=" + p.goodValue}, Result::kError, "given twice"},
        {{p.flag, p.flag}, Result::kRun, ""},
        {{p.flag + "=true"}, Result::kError, "takes no value"},
        {{v}, Result::kError, "needs a value"},
        {{"--bo\ngus"}, Result::kError, "unknown argument '--bo?gus'"},
        {{"stray"}, Result::kError, "unknown argument 'stray'"},
        {{"--help"}, Result::kHelp, ""},
        {{"-h", "--bogus"}, Result::kHelp, ""},
        {{"--help=yes"}, Result::kError, "takes no value"},
        {{"--version"}, Result::kVersion, ""},
        {{p.flag, "--version", "--bogus"}, Result::kVersion, ""},
        {{"--version=yes"}, Result::kError, "takes no value"},
        {p.repeated, Result::kRun, ""},
    };
    for (const auto& c : cases) {
      Args args = p.base;
      args.insert(args.end(), c.args.begin(), c.args.end());
      const Parsed parsed = p.parse(args);
      const std::string trace = p.name + " " + (c.args.empty() ? "" : c.args[0]) + ": " + parsed.error;
      EXPECT_EQ(parsed.result, c.result) << trace;
      EXPECT_NE(parsed.error.find(c.mentions), std::string::npos) << trace;
    }
    EXPECT_EQ(p.helpText.rfind("Usage: " + p.name + " [options]\n\n", 0), 0u) << p.name;
    EXPECT_NE(p.helpText.find("any other option given twice is an error.\nBad arguments exit with status 2."),
              std::string::npos)
        << p.name;
    EXPECT_NE(p.helpText.find("--version"), std::string::npos) << p.name;
    EXPECT_EQ(p.helpText.find("(repeatable)\n") != std::string::npos, !p.repeated.empty()) << p.name;
  }
}

// Each numeric option at the ends of its documented range and just beyond them: a value
// beyond (--step 1e30 made one step of a run send spikes until memory ran out) is
// refused with the range, whatever the program.
TEST(CommandLineConventionTest, NumericOptionsAreRefusedBeyondTheirDocumentedRanges) {
  const std::vector<Program> programs = Programs();
  const Program& exhibit = programs[0];
  const Program& sim = programs[1];
  const struct {
    const Program& program;
    Args args;
    bool accepted;
  } cases[] = {
      {exhibit, {"--frames", "1000000000", "--keys", "1000000000:1"}, true},
      {exhibit, {"--frames", "1000000001"}, false},
      {exhibit, {"--keys", "1000000001:1"}, false},
      {exhibit, {"--screenshot", "1000000001:a.png"}, false},
      {exhibit, {"--touches", "1000000000:99:down:1:1"}, true},
      {exhibit, {"--touches", "1000000001:1:down:1:1"}, false},
      {exhibit, {"--touches", "1:100:down:1:1"}, false},
      {exhibit, {"--usage-commit-interval", "60000"}, true},
      {exhibit, {"--usage-commit-interval", "9223372036854775807"}, false},
      {sim, {"--step", "1000", "--until", "1e13", "--at", "1e13:stim1"}, true},
      {sim, {"--step", "1e30", "--until", "10"}, false},
      {sim, {"--steps", "10000000000"}, true},
      {sim, {"--steps", "10000000001"}, false},
      {sim, {"--step", "1000", "--until", "1.1e13"}, false},
      {sim, {"--at", "1.1e13:stim1"}, false},
      // A run by time counts its steps at the smallest step it takes, and again after a reset.
      {sim, {"--until", "1e8", "--at", "0:speed=0"}, true},
      {sim, {"--until", "1e9", "--at", "0:speed=0"}, false},
      {sim, {"--step", "1000", "--until", "1e13", "--at", "5:reset"}, false},
      {sim, {"--raster", "r.svg", "--steps", "10000000"}, true},
      {sim, {"--raster", "r.svg", "--steps", "10000001"}, false},
      {sim, {"--raster", "r.svg", "--until", "1e8"}, false},
      {sim, {"--sound", "s.wav", "--steps", "600000"}, true},
      {sim, {"--sound", "s.wav", "--until", "600001"}, false},
      {sim, {"--flashes", "--steps", "600001"}, false},
  };
  for (const auto& c : cases) {
    const Parsed parsed = c.program.parse(c.args);
    std::string joined = c.program.name;
    for (const std::string& a : c.args) joined += " " + a;
    EXPECT_EQ(parsed.result, c.accepted ? Result::kRun : Result::kError) << joined << ": " << parsed.error;
  }

  const struct {
    const char* script;
    const char* complaint;  // empty: accepted
  } scripts[] = {
      {"0 speed -128\n86400000 param 6 127 # the last\n", ""},
      {"86400001 quit\n", "line 1: expected a time from 0 to 86400000 ms"},
      {"\n-1 quit\n", "line 2: expected a time"},
      {"0 speed 128\n", "line 1: speed needs a value from -128 to 127"},
      {"0 param 7 1\n", "line 1: param needs a parameter from 1 to 6"},
      {"0 jump\n", "line 1: unknown command 'jump'"},
  };
  for (const auto& c : scripts) {
    std::vector<panel::ScriptCommand> commands;
    std::string error;
    EXPECT_EQ(panel::ParsePanelScript(c.script, commands, error), *c.complaint == '\0') << c.script;
    EXPECT_EQ(error.rfind(c.complaint, 0), 0u) << c.script << ": " << error;
  }
  std::vector<panel::ScriptCommand> endless;
  std::string error;
  EXPECT_FALSE(panel::ReadPanelScript("/dev/zero", endless, error));
  EXPECT_NE(error.find("larger than"), std::string::npos) << error;
}

}  // namespace
}  // namespace velmora
