#pragma once
// The one convention of the Velmora programs' command lines, on CLI11: a value follows
// its option as the next argument or after '='; an option marked repeatable may be
// given again, any other option given twice is an error; a flag takes no value; the
// same --help layout (usage line, description, one section per group, an option
// column, the rules, the exit status). Options hand their text to the program, which
// checks it itself, so every message says what the program means.
//
// CLI11 is slow to compile: include this in one source file per program only.

#include <CLI/CLI.hpp>

#include <algorithm>
#include <optional>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "platform/CommandLineSupport.h"

namespace velmora {

class CommandLineApp {
public:
  enum class Outcome { kRun, kHelp, kVersion, kError };

  // `description` follows the usage line; `footer` ends the help before the rules.
  CommandLineApp(std::string program, std::string description, std::string footer)
      : app_(std::move(description), std::move(program)) {
    app_.allow_extras();
    app_.formatter(std::make_shared<HelpFormatter>());
    if (!footer.empty()) footer += "\n\n";
    app_.footer(footer + kRules + std::to_string(kBadArgumentsExitCode) + ".");
  }

  // An option with one value; given twice it is an error.
  void Value(const std::string& group, const std::string& name, const std::string& valueText,
             const std::string& description, std::optional<std::string>& target) {
    CLI::Option* option = app_.add_option(name)->description(description)->option_text(valueText)->group(group);
    option->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
    values_.push_back({option, &target});
  }

  // An option that may be given any number of times, one value each time, kept in
  // command-line order.
  void Repeatable(const std::string& group, const std::string& name, const std::string& valueText,
                  const std::string& description, std::vector<std::string>& target) {
    CLI::Option* option =
        app_.add_option(name)
            ->description(description + (description.ends_with('\n') ? "" : " ") + "(repeatable)")
            ->option_text(valueText)
            ->group(group);
    option->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
    repeatables_.push_back({option, &target});
  }

  // An option without a value; given twice it is an error.
  void Flag(const std::string& group, const std::string& name, const std::string& description, bool& target) {
    flags_.push_back({app_.add_flag(name + kFlagMark, description)->group(group), &target});
  }

  // Two flags that set the same thing: giving both is an error.
  void Exclusive(const std::string& first, const std::string& second) {
    app_.get_option(first)->excludes(app_.get_option(second));
  }

  // --help and -h, and --version, listed in this group (the last one, usually).
  void Help(const std::string& group) {
    app_.set_help_flag("-h" + kFlagMark + ",--help" + kFlagMark, "this text")->group(group);
    version_ = app_.add_flag("--version" + kFlagMark)->description("print the program's version and exit")->group(group);
  }

  // Fills the targets from the arguments after the program name. With kError,
  // `error` says what is wrong, on one line.
  Outcome Parse(const std::vector<std::string>& arguments, std::string& error) {
    std::vector<std::string> reversed(arguments.rbegin(), arguments.rend());
    try {
      app_.parse(reversed);
    } catch (const CLI::CallForHelp&) {
      error = Misused(app_.get_help_ptr(), true);
      return error.empty() ? Outcome::kHelp : Outcome::kError;
    } catch (const CLI::ArgumentMismatch& mismatch) {
      // The only mismatch left to CLI11 is a value missing at the end; it names the option first.
      error = OneLine(mismatch.what());
      for (const CLI::Option* option : app_.get_options()) {
        if (error.starts_with(option->get_name() + ":")) {
          error = option->get_name() + " needs a value";
          break;
        }
      }
      return Outcome::kError;
    } catch (const CLI::ParseError& refused) {
      error = OneLine(refused.what());
      return Outcome::kError;
    }
    // Like --help, --version answers whatever else is given.
    if (version_ != nullptr && version_->count() > 0) {
      error = Misused(version_, true);
      return error.empty() ? Outcome::kVersion : Outcome::kError;
    }
    if (const std::vector<std::string> unknown = app_.remaining(); !unknown.empty()) {
      error = OneLine("unknown argument '" + unknown.front() + "'");
      return Outcome::kError;
    }
    for (const auto& [option, target] : flags_) {
      if (error = Misused(option, true); !error.empty()) return Outcome::kError;
      *target = option->count() > 0;
    }
    for (const auto& [option, target] : values_) {
      if (error = Misused(option, false); !error.empty()) return Outcome::kError;
      if (option->count() > 0) *target = option->results().front();
    }
    for (const auto& [option, target] : repeatables_) {
      target->insert(target->end(), option->results().begin(), option->results().end());
    }
    return Outcome::kRun;
  }

  std::string HelpText() const { return app_.help(); }

  // After a kRun parse: the options given, in the order they were declared, each with
  // its value as typed (empty for a flag; a repeatable option once per value).
  std::vector<std::pair<std::string, std::string>> GivenOptions() const {
    std::vector<std::pair<std::string, std::string>> given;
    for (const CLI::Option* option : app_.get_options()) {
      const bool isFlag = std::any_of(flags_.begin(), flags_.end(), [&](const Switch& s) { return s.option == option; });
      for (const std::string& value : option->results()) {
        given.emplace_back(option->get_name(), isFlag ? std::string() : value);
      }
    }
    return given;
  }

private:
  // A flag given with a value, or a single option given twice: the message, else empty.
  static std::string Misused(const CLI::Option* option, bool isFlag) {
    const std::vector<std::string>& given = option->results();
    if (isFlag && std::any_of(given.begin(), given.end(), [](const std::string& v) { return v != kFlagGiven; })) {
      return option->get_name() + " takes no value";
    }
    if (given.size() > 1) return option->get_name() + " is given twice";
    return {};
  }

  class HelpFormatter : public CLI::Formatter {
  public:
    HelpFormatter() { column_width(kOptionColumn); }

    std::string make_help(const CLI::App* app, std::string name, CLI::AppFormatMode mode) const override {
      return "Usage: " + name + " [options]\n\n" + app->get_description() + "\n\n" + make_groups(app, mode) +
             "\n" + make_footer(app);
    }
    std::string make_group(std::string group, bool positional, std::vector<const CLI::Option*> options) const override {
      std::string text = group + ":\n";
      for (const CLI::Option* option : options) text += make_option(option, positional);
      return text;
    }
    std::string make_option_name(const CLI::Option* option, bool) const override {
      std::string names;
      for (const std::string& name : option->get_snames()) names += "-" + name + ", ";
      for (const std::string& name : option->get_lnames()) names += "--" + name + ", ";
      return names.substr(0, names.size() - 2);
    }
    std::string make_option_opts(const CLI::Option* option) const override {
      return option->get_option_text().empty() ? "" : " " + option->get_option_text();
    }
    // Each line of the description broken at blanks to fit beside the option column;
    // a word longer than the width stays whole.
    std::string make_option_desc(const CLI::Option* option) const override {
      constexpr std::size_t kWidth = kHelpWidth - kOptionColumn;
      std::string wrapped;
      std::string line;
      std::istringstream lines(option->get_description());
      for (bool first = true; std::getline(lines, line); first = false) {
        if (!first) wrapped += '\n';
        for (std::size_t blank = 0;
             line.size() > kWidth && (blank = line.rfind(' ', kWidth)) != std::string::npos && blank > 0;) {
          wrapped += line.substr(0, blank) + '\n';
          line.erase(0, blank + 1);
        }
        wrapped += line;
      }
      return wrapped;
    }
  };

  // Width of the help and of its option column, in characters: the longest option
  // with its value text fits the column, a longer one puts its description on the
  // next line.
  static constexpr std::size_t kHelpWidth = 80;
  // What CLI11 records for a flag given alone; a flag given with "=VALUE" records the
  // value instead (even "=true"), which is refused.
  static constexpr const char* kFlagGiven = "given";
  static inline const std::string kFlagMark = std::string("{") + kFlagGiven + "}";
  static constexpr std::size_t kOptionColumn = 27;
  static constexpr const char* kRules =
      "A value follows its option as the next argument or after '=' (OPTION VALUE or\n"
      "OPTION=VALUE). An option marked (repeatable) may be given more than once; any\n"
      "other option given twice is an error. Bad arguments exit with status ";

  struct Single {
    CLI::Option* option;
    std::optional<std::string>* target;
  };
  struct Many {
    CLI::Option* option;
    std::vector<std::string>* target;
  };
  struct Switch {
    CLI::Option* option;
    bool* target;
  };

  CLI::App app_;
  CLI::Option* version_ = nullptr;
  std::vector<Single> values_;
  std::vector<Many> repeatables_;
  std::vector<Switch> flags_;
};

}  // namespace velmora
