#include "logger/options.h"

#include <limits>

namespace orvel::logger {
namespace {

void AddOptions(cli::CommandLine& line, Options& options) {
  cli::AddCommonOptions(line, options);
  line.Describe("--interval", "poll and journal interval (default 30; 3 without --journal)");
  line.Number("--cycles", options.cycles, std::int64_t{1}, std::numeric_limits<std::int64_t>::max(),
              "a whole number above 0", "N", "stop after N polls (default: run until interrupted)");
  line.Flag("--virtual-time", options.virtual_time,
            "with --bus: waits advance a virtual clock at once");
  line.Flag("--scan", options.scan, "scan the bus once, print the device table and exit");
  line.Needs("--virtual-time", "--bus");
  cli::AddClosingOptions(line, options);
}

}  // namespace

ParsedOptions ParseOptions(const std::vector<std::string>& args) {
  Options options;
  cli::CommandLine line;
  AddOptions(line, options);
  if (const auto problem = line.Parse(args)) {
    return {std::nullopt, cli::Describe(*problem, cli::Wording::kLogger)};
  }
  if (std::string error = cli::CheckCommonOptions(options); !error.empty()) {
    return {std::nullopt, error};
  }
  return {options, {}};
}

std::string Usage() {
  Options options;
  cli::CommandLine line;
  AddOptions(line, options);
  return "Usage: orvel-logger [--bus FILE | --adapter SPEC] [--journal DIR] [--interval SECONDS]\n"
         "                    [--cycles N] [--virtual-time] [--scan] [--fast [--rescan-every N]]\n"
         "                    [--metrics [ADDR:]PORT] [--http [ADDR:]PORT] [--names FILE]\n"
         "                    [--mqtt URL [--station NAME] [--mqtt-ca FILE]\n"
         "                     [--mqtt-credentials FILE] [--mqtt-queue N]] [--config FILE]\n"
         "Reads the 1-Wire sensors and prints what the window would show, one line per poll.\n"
         "\n" +
         line.OptionList() +
         "\n"
         "Exit status: 0 done, 2 bad arguments, a bad configuration or a bad bus file, 1 the\n"
         "adapter could not be opened at all, 3 standard output could not be written (the polls\n"
         "and the journal went on; a reader that goes away ends the run with 0).\n";
}

}  // namespace orvel::logger
