#pragma once

#include <optional>
#include <string>
#include <vector>

#include "publish/mqtt_options.h"
#include "publish/mqtt_publisher.h"

namespace orvel::publish {

// The publisher's settings from the command line: the address parsed, the
// station named (the host name by default), the credentials file read.
// nullopt with `error` set when something is wrong, or when MQTT options
// come without --mqtt.
std::optional<PublisherSettings> SettingsFromOptions(const MqttOptions& options,
                                                     std::string& error);

// The host name, or "orvel" when it cannot be had.
std::string HostName();

}  // namespace orvel::publish
