#pragma once

#include <optional>
#include <string>

namespace orvel::publish {

struct MqttUrl {
  std::string host;
  int port = 1883;
  bool tls = false;
};

// mqtt://host[:port] (port 1883) or mqtts://host[:port] (port 8883); an IPv6
// address goes in brackets. nullopt with `error` set for anything else.
std::optional<MqttUrl> ParseMqttUrl(const std::string& text, std::string& error);

struct Credentials {
  std::string user;
  std::string password;
};

// The user name on the first line, the password on the second (line ends
// LF or CRLF); the password line may be absent. nullopt with `error` set
// when the file cannot be read or has no user name.
std::optional<Credentials> ReadCredentials(const std::string& path, std::string& error);

// A station name fit for a topic level: not empty, no '/', '+', '#' and no
// control characters.
bool ValidStationName(const std::string& name);

}  // namespace orvel::publish
