#pragma once

#include <optional>
#include <string>

#include "cli/command_line.h"
#include "measure/fast_mode.h"
#include "publish/mqtt_options.h"
#include "web/web_options.h"

namespace orvel::cli {

// The options both front ends take, from the command line or from the
// configuration file named by --config. An option for both programs is
// added here once: a field below and a line in AddCommonOptions.
struct CommonOptions {
  std::optional<std::string> bus;      // the simulated bus of this file
  std::optional<std::string> adapter;  // a real adapter, such as ds2480b:/dev/ttyUSB0
  std::optional<std::string> journal;  // journal on, into this folder
  std::optional<int> interval;         // the journal and poll interval in seconds
  std::optional<std::string> config;   // the configuration file read
  bool fast = false;                   // all thermometers convert at once
  std::optional<int> rescan_every;     // with fast: polls between searches
  web::WebOptions web;                 // --metrics, --http, --names
  publish::MqttOptions mqtt;           // --mqtt and its settings
  bool help = false;
  bool version = false;
};

// --bus, --adapter, --journal, --interval and what follows them.
void AddCommonOptions(CommandLine& line, CommonOptions& options);

// What the parser cannot check by itself (listen addresses); an empty
// string, or the line saying what is wrong.
std::string CheckCommonOptions(const CommonOptions& options);

// The fast mode the options ask for; off unless --fast.
measure::FastMode FastModeOf(const CommonOptions& options);

// --config, --help and --version, which end the option list.
void AddClosingOptions(CommandLine& line, CommonOptions& options);

}  // namespace orvel::cli
