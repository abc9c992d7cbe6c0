#pragma once

#include <cstddef>
#include <optional>
#include <string>

namespace orvel::publish {

// The MQTT part of a front end's command line; nothing is published
// unless `url` is given.
struct MqttOptions {
  std::optional<std::string> url;          // --mqtt mqtt://host[:port] or mqtts://host[:port]
  std::optional<std::string> station;      // --station NAME; unset: the host name
  std::optional<std::string> caFile;       // --mqtt-ca FILE; unset: the system's CA store
  std::optional<std::string> credentials;  // --mqtt-credentials FILE: user, then password
  std::optional<std::size_t> queue;        // --mqtt-queue N; unset: kDefaultMqttQueue

  bool any() const { return url || station || caFile || credentials || queue; }
};

inline constexpr std::size_t kDefaultMqttQueue = 10000;
inline constexpr std::size_t kMostMqttQueue = 10000000;

// The options' lines in --help.
inline constexpr const char* kMqttUsage =
    "  --mqtt URL          publish every reading to an MQTT broker: mqtt://host[:port]\n"
    "                      or mqtts://host[:port] (TLS)\n"
    "  --station NAME      the station's name in the topics (default: the host name)\n"
    "  --mqtt-ca FILE      with mqtts: trust this CA (default: the system's CA store)\n"
    "  --mqtt-credentials FILE  user name on the first line, password on the second\n"
    "  --mqtt-queue N      readings kept while the broker is away (default 10000;\n"
    "                      the oldest are dropped)\n";

}  // namespace orvel::publish
