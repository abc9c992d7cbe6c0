#pragma once

#include <cstddef>

#include "onewire/rom_code.h"

namespace orvel::testing_support {

// Sorting by the bits from the least significant end is the order in which
// a search that takes 0 first finds devices.
inline bool SearchOrder(const onewire::RomCode& a, const onewire::RomCode& b) {
  for (int i = 0; i < 64; ++i) {
    const int ba = (a[static_cast<std::size_t>(i / 8)] >> (i % 8)) & 1;
    const int bb = (b[static_cast<std::size_t>(i / 8)] >> (i % 8)) & 1;
    if (ba != bb) return ba < bb;
  }
  return false;
}

}  // namespace orvel::testing_support
