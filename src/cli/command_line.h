#pragma once

#include <CLI/CLI.hpp>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace orvel::cli {

// What is wrong with the arguments or the configuration file, as a value;
// each front end words it in its own way (Describe).
struct Problem {
  enum class Kind {
    kUnknownOption,         // subject: the option
    kUnexpectedArgument,    // subject: the argument
    kNeedsValue,            // subject: the option
    kGivenTwice,            // subject: the option
    kTakesNoValue,          // subject: the option
    kBadValue,              // subject: the option, detail: what it expects, value: the text
    kExclude,               // subject and detail: the two options
    kNeedsOption,           // subject needs detail
    kConfigUnreadable,      // subject: the file
    kConfigUnknownKey,      // subject: the file, detail: the key
    kConfigUnknownSection,  // subject: the file, detail: the section
    kConfigNotASetting,     // subject: the file, detail: the key
    kOther,                 // detail: what the parser said
  };
  Kind kind;
  std::string subject;
  std::string detail;
  std::string value;
};

// The two ways the front ends have always worded their refusals.
enum class Wording { kLogger, kViewer };

std::string Describe(const Problem& problem, Wording wording);

// A command line built on CLI11 whose options fill optional fields; the
// checks CLI11 leaves out (empty values, repeats, "--flag=value", ranges)
// are made here so both front ends refuse alike. With --config FILE
// (INI or TOML) the file supplies what the command line leaves unset.
class CommandLine {
 public:
  CommandLine();

  // `names` as CLI11 takes them ("--bus", "-h,--help"); an empty
  // description hides the option from the list.
  void Text(const std::string& names, std::optional<std::string>& field,
            const std::string& value_name, const std::string& description);
  void Flag(const std::string& names, bool& field, const std::string& description);
  // A whole number from min to max in digits only; `expects` completes
  // "OPTION expects ..." in the refusal.
  template <typename T>
  void Number(const std::string& names, std::optional<T>& field, T min, T max,
              const std::string& expects, const std::string& value_name,
              const std::string& description) {
    AddNumber(names, min, max, expects, value_name, description,
              [&field](std::int64_t value) { field = static_cast<T>(value); });
  }
  void Exclude(const std::string& a, const std::string& b);
  void Needs(const std::string& option, const std::string& needed);
  // Reads --config FILE; nothing is read without it.
  void Config(std::optional<std::string>& field, const std::string& description);

  // Arguments without the program name; the first problem, if any.
  std::optional<Problem> Parse(const std::vector<std::string>& args);

  // The listed options, one or more lines each, for --help.
  std::string OptionList() const;

  // Refuses `name` as a key of the configuration file.
  void CommandLineOnly(const std::string& name);

  // Adjusts the description of an option one front end reads differently.
  void Describe(const std::string& name, const std::string& description);

 private:
  CLI::Option* Add(const std::string& names, const std::string& value_name,
                   const std::string& description);
  void AddNumber(const std::string& names, std::int64_t min, std::int64_t max,
                 const std::string& expects, const std::string& value_name,
                 const std::string& description, std::function<void(std::int64_t)> set);

  CLI::App app_;
  std::vector<std::string> listed_;  // names in the order added
  using Check = std::function<std::optional<Problem>(const std::vector<std::string>&)>;
  std::vector<Check> checks_;     // each option's own value
  std::vector<Check> relations_;  // between options, after every value is sound
  std::optional<std::string>* config_ = nullptr;
};

}  // namespace orvel::cli
