#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "cli/common_options.h"

namespace orvel::logger {

// The logger's command line (and configuration file):
//   orvel-logger [--bus FILE | --adapter SPEC] [--journal DIR] [--interval SECONDS]
//                [--cycles N] [--virtual-time] [--scan] [--config FILE] [--help] [--version]
struct Options : cli::CommonOptions {
  std::optional<std::int64_t> cycles;  // stop after this many polls
  bool virtual_time = false;
  bool scan = false;
};

// The interval entry when --interval is not given.
inline constexpr int kDefaultInterval = 30;

// Options, or one line saying what is wrong with the arguments.
struct ParsedOptions {
  std::optional<Options> options;
  std::string error;
};

// Arguments without the program name. Values follow their option as the
// next argument or after "=" (--bus=FILE).
ParsedOptions ParseOptions(const std::vector<std::string>& args);

std::string Usage();

}  // namespace orvel::logger
