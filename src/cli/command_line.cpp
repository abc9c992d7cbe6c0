#include "cli/command_line.h"

#include <algorithm>
#include <charconv>
#include <sstream>

namespace orvel::cli {
namespace {

constexpr std::size_t kDescriptionColumn = 22;
constexpr std::size_t kConfigLimit = 1 << 20;
constexpr char kConfigTooLarge[] = "larger than 1 MiB";

// CLI11's reader, on no more than kConfigLimit bytes: a device or a
// runaway file named by --config is refused instead of read forever.
class LimitedConfig : public CLI::ConfigTOML {
 public:
  std::vector<CLI::ConfigItem> from_config(std::istream& input) const override {
    std::string text(kConfigLimit + 1, '\0');
    input.read(text.data(), static_cast<std::streamsize>(text.size()));
    if (input.bad()) throw CLI::FileError("cannot be read");  // a folder, for one
    text.resize(static_cast<std::size_t>(input.gcount()));
    if (text.size() > kConfigLimit) throw CLI::ConfigError(kConfigTooLarge);
    std::istringstream limited(text);
    return CLI::ConfigTOML::from_config(limited);
  }
};

std::string LongName(const CLI::Option& option) {
  const auto& names = option.get_lnames();
  return names.empty() ? option.get_name() : "--" + names.front();
}

// A whole number from min to max written with digits only.
std::optional<std::int64_t> WholeNumber(const std::string& text, std::int64_t min,
                                        std::int64_t max) {
  if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos) {
    return std::nullopt;
  }
  std::int64_t value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size() || value < min || value > max) {
    return std::nullopt;
  }
  return value;
}

// CLI11 reads "--flag=VALUE" as a true or false flag; a value on the
// command line is refused instead, as in a configuration file it is not.
bool GivenWithValue(const CLI::Option& option, const std::vector<std::string>& args) {
  for (const auto& arg : args) {
    if (arg == "--") return false;
    for (const auto& name : option.get_lnames()) {
      if (arg.rfind("--" + name + "=", 0) == 0) return true;
    }
  }
  return false;
}

// A flag's value: given on the command line it is "true"; a file may say
// true, false, yes, no, on, off, 1 or 0.
std::optional<bool> FlagValue(const std::string& text) {
  try {
    const auto value = CLI::detail::to_flag_value(text);
    if (value == 1 || value == -1) return value == 1;
  } catch (const std::invalid_argument&) {
  }
  return std::nullopt;
}

// Whether the flag `option` is set.
bool FlagSet(const CLI::Option& option) {
  return option.count() > 0 && FlagValue(option.results().back()).value_or(false);
}

// The value of an option given once, or the problem with it; nullopt and
// no problem when it is not given at all.
struct OneValue {
  std::optional<std::string> value;
  std::optional<Problem> problem;
};

OneValue ValueOf(const CLI::Option& option) {
  const std::string name = LongName(option);
  if (option.count() == 0) return {};
  if (option.count() > 1 || option.results().size() > 1) {
    return {std::nullopt, Problem{Problem::Kind::kGivenTwice, name, {}, {}}};
  }
  if (option.results().empty() || option.results().front().empty()) {
    return {std::nullopt, Problem{Problem::Kind::kNeedsValue, name, {}, {}}};
  }
  return {option.results().front(), std::nullopt};
}

std::string StripPrefix(const std::string& text, const std::string& prefix) {
  return text.rfind(prefix, 0) == 0 ? text.substr(prefix.size()) : text;
}

std::string StripSuffix(const std::string& text, const std::string& suffix) {
  return text.size() >= suffix.size() &&
                 text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0
             ? text.substr(0, text.size() - suffix.size())
             : text;
}

}  // namespace

std::string Describe(const Problem& p, Wording wording) {
  const bool viewer = wording == Wording::kViewer;
  using K = Problem::Kind;
  switch (p.kind) {
    case K::kUnknownOption:
      return viewer ? "unknown argument '" + p.subject + "'" : "unknown option " + p.subject;
    case K::kUnexpectedArgument:
      return viewer ? "unknown argument '" + p.subject + "'"
                    : "unexpected argument \"" + p.subject + "\"";
    case K::kNeedsValue:
      return p.subject + " needs a value";
    case K::kGivenTwice:
      return p.subject + " is given twice";
    case K::kTakesNoValue:
      return p.subject + " takes no value";
    case K::kBadValue:
      return viewer ? p.subject + " needs " + p.detail + ", not '" + p.value + "'"
                    : p.subject + " expects " + p.detail + ", not \"" + p.value + "\"";
    case K::kExclude:
      return p.subject + " and " + p.detail +
             (viewer ? " exclude each other" : " cannot be used together");
    case K::kNeedsOption:
      return p.subject + " needs " + p.detail;
    case K::kConfigUnreadable:
      return p.subject + ": cannot be read";
    case K::kConfigUnknownKey:
      return p.subject + ": unknown key '" + p.detail + "'";
    case K::kConfigUnknownSection:
      return p.subject + ": unknown section [" + p.detail + "]";
    case K::kConfigNotASetting:
      return p.subject + ": '" + p.detail + "' belongs on the command line only";
    case K::kOther:
      break;
  }
  return p.detail;
}

CommandLine::CommandLine() {
  app_.set_help_flag();  // the front ends print their own help
  app_.allow_extras();   // unknown arguments are named by Parse
  app_.allow_config_extras(CLI::config_extras_mode::error);
  app_.config_formatter(std::make_shared<LimitedConfig>());
}

CLI::Option* CommandLine::Add(const std::string& names, const std::string& value_name,
                              const std::string& description) {
  CLI::Option* option = app_.add_option(names, description);
  option->type_name(value_name)->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
  if (!description.empty()) listed_.push_back(LongName(*option));
  return option;
}

void CommandLine::Text(const std::string& names, std::optional<std::string>& field,
                       const std::string& value_name, const std::string& description) {
  // Zero values allowed so that "--bus" alone or before another option is
  // refused in this program's words rather than CLI11's.
  CLI::Option* option = Add(names, value_name, description)->expected(0, 1);
  checks_.push_back([option, &field](const std::vector<std::string>&) -> std::optional<Problem> {
    auto one = ValueOf(*option);
    if (one.problem) return one.problem;
    if (one.value) field = one.value;
    return std::nullopt;
  });
}

void CommandLine::AddNumber(const std::string& names, std::int64_t min, std::int64_t max,
                            const std::string& expects, const std::string& value_name,
                            const std::string& description, std::function<void(std::int64_t)> set) {
  CLI::Option* option = Add(names, value_name, description)->expected(0, 1);
  checks_.push_back(
      [option, min, max, expects, set](const std::vector<std::string>&) -> std::optional<Problem> {
        auto one = ValueOf(*option);
        if (one.problem) return one.problem;
        if (!one.value) return std::nullopt;
        const auto number = WholeNumber(*one.value, min, max);
        if (!number)
          return Problem{Problem::Kind::kBadValue, LongName(*option), expects, *one.value};
        set(*number);
        return std::nullopt;
      });
}

void CommandLine::Flag(const std::string& names, bool& field, const std::string& description) {
  CLI::Option* option = app_.add_flag(names, description);
  option->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
  if (!description.empty()) listed_.push_back(LongName(*option));
  checks_.push_back(
      [option, &field](const std::vector<std::string>& args) -> std::optional<Problem> {
        if (GivenWithValue(*option, args)) {
          return Problem{Problem::Kind::kTakesNoValue, LongName(*option), {}, {}};
        }
        // A flag given twice does no harm.
        for (const auto& result : option->results()) {
          if (!FlagValue(result)) {
            return Problem{Problem::Kind::kBadValue, LongName(*option), "true or false", result};
          }
        }
        field = FlagSet(*option);
        return std::nullopt;
      });
}

void CommandLine::Exclude(const std::string& a, const std::string& b) {
  relations_.push_back([this, a, b](const std::vector<std::string>&) -> std::optional<Problem> {
    if (app_.get_option(a)->count() > 0 && app_.get_option(b)->count() > 0) {
      return Problem{Problem::Kind::kExclude, a, b, {}};
    }
    return std::nullopt;
  });
}

void CommandLine::Needs(const std::string& option, const std::string& needed) {
  relations_.push_back(
      [this, option, needed](const std::vector<std::string>&) -> std::optional<Problem> {
        // A flag counts when it is true ("fast = off" in a file is no use of
        // it); any other option when it is given at all.
        const CLI::Option& given = *app_.get_option(option);
        const bool used = given.get_type_name().empty() ? FlagSet(given) : given.count() > 0;
        if (used && app_.get_option(needed)->count() == 0) {
          return Problem{Problem::Kind::kNeedsOption, option, needed, {}};
        }
        return std::nullopt;
      });
}

void CommandLine::Config(std::optional<std::string>& field, const std::string& description) {
  CLI::Option* option = app_.set_config("--config", "", description);
  // As a text option: no value is the program's refusal, not CLI11's taking
  // the next option for the file. Given twice, both files are read, then
  // refused.
  option->type_name("FILE")->expected(0, 1)->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
  listed_.push_back("--config");
  config_ = &field;
}

void CommandLine::CommandLineOnly(const std::string& name) {
  app_.get_option(name)->configurable(false);
}

void CommandLine::Describe(const std::string& name, const std::string& description) {
  app_.get_option(name)->description(description);
}

std::optional<Problem> CommandLine::Parse(const std::vector<std::string>& args) {
  const auto config_file = [this] {
    const CLI::Option* option = app_.get_option_no_throw("--config");
    return option && !option->results().empty() ? option->results().front() : std::string();
  };
  try {
    std::vector<std::string> reversed(args.rbegin(), args.rend());  // as CLI11 takes them
    app_.parse(reversed);
  } catch (const CLI::FileError& e) {
    // CLI11 names the file it could not open; the size check does not.
    const std::string message = e.what();
    const std::string named = StripSuffix(message, " was not readable (missing?)");
    return Problem{
        Problem::Kind::kConfigUnreadable, named != message ? named : config_file(), {}, {}};
  } catch (const CLI::ConfigError& e) {
    const std::string message = e.what();
    const std::string extra = StripPrefix(message, "INI was not able to parse ");
    if (const std::string section = StripSuffix(extra, ".++"); section != extra) {
      return Problem{Problem::Kind::kConfigUnknownSection, config_file(), section, {}};
    }
    if (extra != message) {
      return Problem{Problem::Kind::kConfigUnknownKey, config_file(), extra, {}};
    }
    const std::string fixed =
        StripSuffix(message, ": This option is not allowed in a configuration file");
    if (fixed != message)
      return Problem{Problem::Kind::kConfigNotASetting, config_file(), fixed, {}};
    return Problem{Problem::Kind::kOther, {}, config_file() + ": " + message, {}};  // too large
  } catch (const CLI::ParseError& e) {
    return Problem{Problem::Kind::kOther, {}, e.what(), {}};
  }
  for (const auto& extra : app_.remaining()) {
    if (extra.rfind('-', 0) == 0 && extra.size() > 1) {
      return Problem{Problem::Kind::kUnknownOption, extra.substr(0, extra.find('=')), {}, {}};
    }
    return Problem{Problem::Kind::kUnexpectedArgument, extra, {}, {}};
  }
  if (config_) {
    auto one = ValueOf(*app_.get_option("--config"));
    if (one.problem) return one.problem;
    *config_ = one.value;
  }
  for (const auto* list : {&checks_, &relations_}) {
    for (const auto& check : *list) {
      if (auto problem = check(args)) return problem;
    }
  }
  return std::nullopt;
}

std::string CommandLine::OptionList() const {
  std::ostringstream out;
  for (const auto& name : listed_) {
    const CLI::Option* option = app_.get_option(name);
    std::string head = "  " + name;
    if (!option->get_type_name().empty() && option->get_expected_max() > 0) {
      head += " " + option->get_type_name();
    }
    std::istringstream lines(option->get_description());
    std::string line;
    bool first = true;
    while (std::getline(lines, line)) {
      if (first) {
        out << head;
        if (head.size() + 2 > kDescriptionColumn) {
          out << '\n' << std::string(kDescriptionColumn, ' ');
        } else {
          out << std::string(kDescriptionColumn - head.size(), ' ');
        }
      } else {
        out << std::string(kDescriptionColumn, ' ');
      }
      out << line << '\n';
      first = false;
    }
  }
  return out.str();
}

}  // namespace orvel::cli
