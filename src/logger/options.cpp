#include "logger/options.h"

#include <charconv>
#include <limits>

namespace orvel::logger {
namespace {

// A whole number from min to max written with digits only.
template <typename T>
std::optional<T> WholeNumber(const std::string& text, T min, T max) {
  if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos) {
    return std::nullopt;
  }
  T value{};
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size() || value < min || value > max) {
    return std::nullopt;
  }
  return value;
}

struct Parser {
  const std::vector<std::string>& args;
  std::size_t next = 0;
  Options options;
  std::string error;

  bool Fail(std::string message) {
    if (error.empty()) error = std::move(message);
    return false;
  }

  // The value of `name`: after "=" in the same argument or the next one.
  std::optional<std::string> Value(const std::string& name,
                                   const std::optional<std::string>& inline_value) {
    if (inline_value) {
      if (inline_value->empty()) Fail(name + " needs a value");
      return inline_value->empty() ? std::nullopt : inline_value;
    }
    if (next >= args.size() || args[next].empty() || args[next].rfind("--", 0) == 0) {
      Fail(name + " needs a value");
      return std::nullopt;
    }
    return args[next++];
  }

  bool Text(const std::string& name, const std::optional<std::string>& inline_value,
            std::optional<std::string>& field) {
    if (field) return Fail(name + " is given twice");
    field = Value(name, inline_value);
    return field.has_value();
  }

  bool Flag(const std::string& name, const std::optional<std::string>& inline_value, bool& field) {
    if (inline_value) return Fail(name + " takes no value");
    field = true;
    return true;
  }

  bool One(const std::string& arg) {
    std::string name = arg;
    std::optional<std::string> inline_value;
    if (const auto eq = arg.find('='); arg.rfind("--", 0) == 0 && eq != std::string::npos) {
      name = arg.substr(0, eq);
      inline_value = arg.substr(eq + 1);
    }
    if (name == "--bus") return Text(name, inline_value, options.bus);
    if (name == "--adapter") return Text(name, inline_value, options.adapter);
    if (name == "--journal") return Text(name, inline_value, options.journal);
    if (name == "--interval") {
      if (options.interval) return Fail(name + " is given twice");
      const auto value = Value(name, inline_value);
      if (!value) return false;
      options.interval = WholeNumber<int>(*value, 1, std::numeric_limits<int>::max());
      if (!options.interval) {
        return Fail("--interval expects a whole number of seconds above 0, not \"" + *value + "\"");
      }
      return true;
    }
    if (name == "--cycles") {
      if (options.cycles) return Fail(name + " is given twice");
      const auto value = Value(name, inline_value);
      if (!value) return false;
      options.cycles =
          WholeNumber<std::int64_t>(*value, 1, std::numeric_limits<std::int64_t>::max());
      if (!options.cycles) {
        return Fail("--cycles expects a whole number above 0, not \"" + *value + "\"");
      }
      return true;
    }
    if (name == "--virtual-time") return Flag(name, inline_value, options.virtual_time);
    if (name == "--scan") return Flag(name, inline_value, options.scan);
    if (name == "--help" || name == "-h") return Flag(name, inline_value, options.help);
    if (name == "--version") return Flag(name, inline_value, options.version);
    if (name.rfind("-", 0) == 0) return Fail("unknown option " + name);
    return Fail("unexpected argument \"" + arg + "\"");
  }
};

}  // namespace

ParsedOptions ParseOptions(const std::vector<std::string>& args) {
  Parser p{args, 0, {}, {}};
  while (p.next < args.size()) {
    if (!p.One(args[p.next++])) return {std::nullopt, p.error};
  }
  const Options& o = p.options;
  if (o.bus && o.adapter) return {std::nullopt, "--bus and --adapter cannot be used together"};
  if (o.virtual_time && !o.bus) return {std::nullopt, "--virtual-time needs --bus"};
  return {p.options, {}};
}

std::string Usage() {
  return "Usage: orvel-logger [--bus FILE | --adapter SPEC] [--journal DIR] [--interval SECONDS]\n"
         "                    [--cycles N] [--virtual-time] [--scan]\n"
         "Reads the 1-Wire sensors and prints what the window would show, one line per poll.\n"
         "\n"
         "  --bus FILE          the simulated bus described by FILE (JSON)\n"
#ifdef _WIN32
         "  --adapter SPEC      the driver library's adapter: tmex (its default port) or\n"
         "                      tmex:PORT:TYPE (ORVEL_TMEX_LIBRARY names a library in\n"
         "                      place of the vendor's)\n"
#else
         "  --adapter SPEC      a real adapter: ds2480b:/dev/ttyUSB0, ds9097e:/dev/ttyS0,\n"
         "                      ds2490, ds2490:2\n"
#endif
         "                      (without --bus or --adapter: the platform's driver and its\n"
         "                      default port)\n"
         "  --journal DIR       keep the CSV journal in DIR\n"
         "  --interval SECONDS  poll and journal interval (default 30; 3 without --journal)\n"
         "  --cycles N          stop after N polls (default: run until interrupted)\n"
         "  --virtual-time      with --bus: waits advance a virtual clock at once\n"
         "  --scan              scan the bus once, print the device table and exit\n"
         "  --help              this text\n"
         "  --version           the program's version\n"
         "\n"
         "Exit status: 0 done, 2 bad arguments or a bad bus file, 1 the adapter could not be\n"
         "opened at all, 3 standard output could not be written (the polls and the journal\n"
         "went on; a reader that goes away ends the run with 0).\n";
}

}  // namespace orvel::logger
