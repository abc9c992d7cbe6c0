#pragma once

#include <optional>
#include <string>

namespace orvel::web {

// The web options both front ends take: --metrics [ADDR:]PORT,
// --http [ADDR:]PORT and --names FILE.
struct WebOptions {
  std::optional<std::string> metrics;
  std::optional<std::string> http;
  std::optional<std::string> names;

  bool any() const { return metrics || http; }
};

// An empty string, or the line saying which option is wrong.
std::string CheckWebOptions(const WebOptions& options);

}  // namespace orvel::web
