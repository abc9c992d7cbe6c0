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

}  // namespace orvel::publish
