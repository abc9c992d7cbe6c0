#include "publish/mqtt_setup.h"

#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <climits>

namespace orvel::publish {

std::string HostName() {
  char name[HOST_NAME_MAX + 1] = {};
  if (gethostname(name, sizeof name - 1) != 0 || name[0] == '\0') return "orvel";
  return name;
}

std::optional<PublisherSettings> SettingsFromOptions(const MqttOptions& options,
                                                     std::string& error) {
  if (!options.url) {
    error = "--station, --mqtt-ca, --mqtt-credentials and --mqtt-queue need --mqtt";
    return std::nullopt;
  }
  PublisherSettings s;
  const auto url = ParseMqttUrl(*options.url, error);
  if (!url) return std::nullopt;
  s.url = *url;
  s.station = options.station.value_or(HostName());
  if (!ValidStationName(s.station)) {
    error = "the station name \"" + s.station +
            "\" must not be empty nor hold '/', '+', '#' or control characters";
    return std::nullopt;
  }
  if (options.caFile) {
    if (!s.url.tls) {
      error = "--mqtt-ca needs an mqtts:// address";
      return std::nullopt;
    }
    if (access(options.caFile->c_str(), R_OK) != 0) {
      error = "cannot read the CA file \"" + *options.caFile + "\"";
      return std::nullopt;
    }
    s.caFile = options.caFile;
  }
  if (options.credentials) {
    s.credentials = ReadCredentials(*options.credentials, error);
    if (!s.credentials) return std::nullopt;
  }
  if (options.queue) s.queueSize = *options.queue;
  return s;
}

}  // namespace orvel::publish
