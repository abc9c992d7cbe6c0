#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace orvel::testing_support {

// A command line as a test case's readable name: "args --bus x", with an
// empty argument shown as ''.
inline void PrintArgs(const std::vector<std::string>& args, std::ostream* os) {
  *os << "args";
  for (const auto& a : args) *os << ' ' << (a.empty() ? "''" : a);
}

}  // namespace orvel::testing_support
