#include "cli/common_options.h"

#include <limits>

namespace orvel::cli {

void AddCommonOptions(CommandLine& line, CommonOptions& options) {
  line.Text("--bus", options.bus, "FILE", "the simulated bus described by FILE (JSON)");
  line.Text("--adapter", options.adapter, "SPEC",
            "a real adapter: ds2480b:/dev/ttyUSB0, ds9097e:/dev/ttyS0,\n"
            "ds2490, ds2490:2\n"
            "(without --bus or --adapter: the platform's driver and its\n"
            "default port)");
  line.Text("--journal", options.journal, "DIR", "keep the CSV journal in DIR");
  line.Number("--interval", options.interval, 1, std::numeric_limits<int>::max(),
              "a whole number of seconds above 0", "SECONDS", "poll and journal interval");
  line.Exclude("--bus", "--adapter");
}

void AddClosingOptions(CommandLine& line, CommonOptions& options) {
  line.Config(options.config,
              "read the options from FILE (INI or TOML: key = value,\n"
              "keys as the long options without \"--\"); the command\n"
              "line overrides it");
  line.Flag("-h,--help", options.help, "this text");
  line.Flag("--version", options.version, "the program's version");
  line.CommandLineOnly("--help");
  line.CommandLineOnly("--version");
}

}  // namespace orvel::cli
