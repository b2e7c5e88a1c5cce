// The one convention of the four programs' command lines, checked on each parser.

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "shell/CommandLine.h"
#include "tools/panel/PanelOptions.h"
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
        {{p.flag, p.flag}, Result::kError, "given twice"},
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
    EXPECT_NE(p.helpText.find("any\nother option given twice is an error. Bad arguments exit with status 2."),
              std::string::npos)
        << p.name;
    EXPECT_NE(p.helpText.find("--version"), std::string::npos) << p.name;
    EXPECT_EQ(p.helpText.find("(repeatable)\n") != std::string::npos, !p.repeated.empty()) << p.name;
  }
}

}  // namespace
}  // namespace velmora
