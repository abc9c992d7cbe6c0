#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace orvel::fuzz {

// A command line from fuzz bytes: arguments separated by NUL, as the
// kernel hands them to main.
inline std::vector<std::string> Arguments(const std::uint8_t* data, std::size_t size) {
  std::vector<std::string> args(1);
  for (std::size_t i = 0; i < size; ++i) {
    if (data[i] == 0) {
      args.emplace_back();
    } else {
      args.back().push_back(static_cast<char>(data[i]));
    }
  }
  if (size == 0) args.clear();
  return args;
}

}  // namespace orvel::fuzz
