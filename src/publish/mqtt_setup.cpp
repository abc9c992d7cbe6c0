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

std::string TakeMqttOptions(std::vector<std::string>& args, MqttOptions& options) {
  std::optional<std::string> queue;
  const std::pair<const char*, std::optional<std::string>*> fields[] = {
      {"--mqtt", &options.url},
      {"--station", &options.station},
      {"--mqtt-ca", &options.caFile},
      {"--mqtt-credentials", &options.credentials},
      {"--mqtt-queue", &queue}};
  std::size_t i = 0;
  while (i < args.size()) {
    const std::string arg = args[i];
    const auto eq = arg.find('=');
    const std::string name = arg.substr(0, eq);
    const auto field = std::find_if(std::begin(fields), std::end(fields),
                                    [&](const auto& f) { return name == f.first; });
    if (field == std::end(fields)) {
      ++i;
      continue;
    }
    std::size_t taken = 1;
    std::string value;
    if (eq != std::string::npos) {
      value = arg.substr(eq + 1);
    } else if (i + 1 < args.size() && args[i + 1].rfind("--", 0) != 0) {
      value = args[i + 1];
      taken = 2;
    }
    if (value.empty()) return name + " needs a value";
    if (field->second->has_value()) return name + " is given twice";
    *field->second = value;
    args.erase(args.begin() + static_cast<std::ptrdiff_t>(i),
               args.begin() + static_cast<std::ptrdiff_t>(i + taken));
  }
  if (queue) {
    std::size_t n = 0;
    const auto [end, ec] = std::from_chars(queue->data(), queue->data() + queue->size(), n);
    if (ec != std::errc() || end != queue->data() + queue->size() || n < 1 || n > kMostMqttQueue) {
      return "--mqtt-queue expects a whole number from 1 to " + std::to_string(kMostMqttQueue) +
             ", not \"" + *queue + "\"";
    }
    options.queue = n;
  }
  return {};
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
