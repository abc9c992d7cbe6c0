#include "cli/common_options.h"

#include <limits>

namespace orvel::cli {

void AddCommonOptions(CommandLine& line, CommonOptions& options) {
  line.Text("--bus", options.bus, "FILE", "the simulated bus described by FILE (JSON)");
#ifdef _WIN32
  line.Text("--adapter", options.adapter, "SPEC",
            "the driver library's adapter: tmex (its default port) or\n"
            "tmex:PORT:TYPE (ORVEL_TMEX_LIBRARY names a library in\n"
            "place of the vendor's)\n"
            "(without --bus or --adapter: the platform's driver and its\n"
            "default port)");
#else
  line.Text("--adapter", options.adapter, "SPEC",
            "a real adapter: ds2480b:/dev/ttyUSB0, ds9097e:/dev/ttyS0,\n"
            "ds2490, ds2490:2\n"
            "(without --bus or --adapter: the platform's driver and its\n"
            "default port)");
#endif
  line.Text("--journal", options.journal, "DIR", "keep the CSV journal in DIR");
  line.Number("--interval", options.interval, 1, std::numeric_limits<int>::max(),
              "a whole number of seconds above 0", "SECONDS", "poll and journal interval");
  line.Flag("--fast", options.fast,
            "fast mode: all thermometers convert at once, the bus is\n"
            "searched every N polls and after a failed access");
  line.Number("--rescan-every", options.rescan_every, 1, std::numeric_limits<int>::max(),
              "a whole number of polls above 0", "N",
              "with --fast: polls between searches (default 10)");
  line.Text("--metrics", options.web.metrics, "[ADDR:]PORT",
            "serve /metrics (Prometheus) there (ADDR 127.0.0.1 unless given)");
  line.Text("--http", options.web.http, "[ADDR:]PORT",
            "serve the station's page there (ADDR 127.0.0.1 unless given)");
  line.Text("--names", options.web.names, "FILE",
            "the sensors' names (default $XDG_CONFIG_HOME/orvel/names.conf)");
  line.Text("--mqtt", options.mqtt.url, "URL",
            "publish every reading to an MQTT broker: mqtt://host[:port]\n"
            "or mqtts://host[:port] (TLS)");
  line.Text("--station", options.mqtt.station, "NAME",
            "the station's name in the topics (default: the host name)");
  line.Text("--mqtt-ca", options.mqtt.caFile, "FILE",
            "with mqtts: trust this CA (default: the system's CA store)");
  line.Text("--mqtt-credentials", options.mqtt.credentials, "FILE",
            "user name on the first line, password on the second");
  line.Number("--mqtt-queue", options.mqtt.queue, std::size_t{1}, publish::kMostMqttQueue,
              "a whole number from 1 to 10000000", "N",
              "readings kept while the broker is away (default 10000;\n"
              "the oldest are dropped)");
  line.Exclude("--bus", "--adapter");
  line.Needs("--rescan-every", "--fast");
  for (const char* option : {"--station", "--mqtt-ca", "--mqtt-credentials", "--mqtt-queue"}) {
    line.Needs(option, "--mqtt");
  }
}

measure::FastMode FastModeOf(const CommonOptions& options) {
  return measure::FastMode{options.fast,
                           options.rescan_every.value_or(measure::kDefaultRescanEvery)};
}

std::string CheckCommonOptions(const CommonOptions& options) {
  return web::CheckWebOptions(options.web);
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
