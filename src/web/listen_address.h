#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace orvel::web {

// Where a server listens: "[ADDR:]PORT", the address 127.0.0.1 unless given
// ("[::1]:9100" for IPv6). Port 0 lets the system choose one.
struct ListenAddress {
  std::string host = "127.0.0.1";
  int port = 0;
  bool operator==(const ListenAddress&) const = default;
};

std::optional<ListenAddress> ParseListenAddress(std::string_view text);

}  // namespace orvel::web
