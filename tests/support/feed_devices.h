#pragma once

#include <cstdint>

#include "measure/reading_feed.h"

namespace orvel::testing_support {

// A device as the station's feed names it, for a family and serial.
inline measure::DeviceId FeedDevice(std::uint8_t family, std::uint64_t serial) {
  measure::DeviceId d;
  d.rom = onewire::MakeRom(family, serial);
  d.romText = onewire::RomText(d.rom);
  d.family = family;
  return d;
}

}  // namespace orvel::testing_support
