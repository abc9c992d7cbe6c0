#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "web/station_web.h"
#include "publish/mqtt_options.h"

namespace orvel::logger {

// The logger's command line:
//   orvel-logger [--bus FILE | --adapter SPEC] [--journal DIR] [--interval SECONDS]
//                [--cycles N] [--virtual-time] [--scan] [--help] [--version]
//                [--metrics [ADDR:]PORT] [--http [ADDR:]PORT] [--names FILE]
//                [--mqtt URL [--station NAME] [--mqtt-ca FILE] [--mqtt-credentials FILE]
//                 [--mqtt-queue N]]
struct Options {
  std::optional<std::string> bus;      // the simulated bus of this file
  std::optional<std::string> adapter;  // a real adapter, such as ds2480b:/dev/ttyUSB0
  std::optional<std::string> journal;  // journal on, into this folder
  std::optional<int> interval;         // the interval entry in seconds; unset: default
  std::optional<std::int64_t> cycles;  // stop after this many polls
  web::WebOptions web;                 // --metrics, --http, --names
  bool virtual_time = false;
  bool scan = false;
  bool fast = false;
  std::optional<int> rescan_every;  // with --fast: polls between searches
  bool help = false;
  bool version = false;
  publish::MqttOptions mqtt;  // nothing published without --mqtt
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
