#include "web/listen_address.h"

#include <charconv>

namespace orvel::web {

std::optional<ListenAddress> ParseListenAddress(std::string_view text) {
  ListenAddress a;
  std::string_view port = text;
  const auto colon = text.rfind(':');
  if (colon != std::string_view::npos) {
    std::string_view host = text.substr(0, colon);
    port = text.substr(colon + 1);
    if (host.size() >= 2 && host.front() == '[' && host.back() == ']') {
      host = host.substr(1, host.size() - 2);
    } else if (host.find(':') != std::string_view::npos) {
      return std::nullopt;  // a bare IPv6 address needs its brackets
    }
    if (host.empty()) return std::nullopt;
    a.host = std::string(host);
  }
  if (port.empty()) return std::nullopt;
  const auto [end, ec] = std::from_chars(port.data(), port.data() + port.size(), a.port);
  if (ec != std::errc() || end != port.data() + port.size() || a.port < 0 || a.port > 65535) {
    return std::nullopt;
  }
  return a;
}

}  // namespace orvel::web
