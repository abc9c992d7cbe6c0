#include "publish/mqtt_url.h"

#include <charconv>
#include <fstream>
#include <sstream>

namespace orvel::publish {

std::optional<MqttUrl> ParseMqttUrl(const std::string& text, std::string& error) {
  MqttUrl url;
  std::string rest;
  if (text.rfind("mqtt://", 0) == 0) {
    rest = text.substr(7);
  } else if (text.rfind("mqtts://", 0) == 0) {
    rest = text.substr(8);
    url.tls = true;
    url.port = 8883;
  } else {
    error = "the MQTT address must start with mqtt:// or mqtts://, not \"" + text + "\"";
    return std::nullopt;
  }
  if (!rest.empty() && rest.back() == '/') rest.pop_back();
  std::string port;
  if (!rest.empty() && rest.front() == '[') {
    const auto close = rest.find(']');
    if (close == std::string::npos) {
      error = "unclosed '[' in the MQTT address \"" + text + "\"";
      return std::nullopt;
    }
    url.host = rest.substr(1, close - 1);
    const std::string after = rest.substr(close + 1);
    if (!after.empty()) {
      if (after.front() != ':') {
        error = "unexpected text after ']' in the MQTT address \"" + text + "\"";
        return std::nullopt;
      }
      port = after.substr(1);
      if (port.empty()) {
        error = "no port after ':' in the MQTT address \"" + text + "\"";
        return std::nullopt;
      }
    }
  } else {
    const auto colon = rest.find(':');
    url.host = rest.substr(0, colon);
    if (colon != std::string::npos) {
      port = rest.substr(colon + 1);
      if (port.empty()) {
        error = "no port after ':' in the MQTT address \"" + text + "\"";
        return std::nullopt;
      }
    }
  }
  if (url.host.empty() || url.host.find_first_of("/@?#[] ") != std::string::npos) {
    error = "no valid host in the MQTT address \"" + text + "\"";
    return std::nullopt;
  }
  if (!port.empty()) {
    int value = 0;
    const auto [end, ec] = std::from_chars(port.data(), port.data() + port.size(), value);
    if (ec != std::errc() || end != port.data() + port.size() || value < 1 || value > 65535 ||
        port.find_first_not_of("0123456789") != std::string::npos) {
      error = "the port in the MQTT address \"" + text + "\" must be a number from 1 to 65535";
      return std::nullopt;
    }
    url.port = value;
  }
  return url;
}

std::optional<Credentials> ReadCredentials(const std::string& path, std::string& error) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    error = "cannot read the MQTT credentials file \"" + path + "\"";
    return std::nullopt;
  }
  std::stringstream text;
  text << in.rdbuf();
  std::istringstream lines(text.str());
  Credentials c;
  std::getline(lines, c.user);
  std::getline(lines, c.password);
  for (std::string* s : {&c.user, &c.password}) {
    if (!s->empty() && s->back() == '\r') s->pop_back();
  }
  if (c.user.empty()) {
    error = "no user name on the first line of the MQTT credentials file \"" + path + "\"";
    return std::nullopt;
  }
  return c;
}

bool ValidStationName(const std::string& name) {
  if (name.empty()) return false;
  for (const char c : name) {
    const auto u = static_cast<unsigned char>(c);
    if (c == '/' || c == '+' || c == '#' || u < 0x20 || u == 0x7F) return false;
  }
  return true;
}

}  // namespace orvel::publish
