#pragma once

#include <array>
#include <cstdint>

#include "onewire/tmex.h"

namespace orvel::onewire {

// The open driver session every unit talks through: the handle the last
// scan obtained, the driver's state buffer and the scan's ROM buffer.
struct BusSession {
  explicit BusSession(Tmex& driver) : tmex(driver) {}

  Tmex& tmex;
  std::int32_t SHandle = 0;
  StateBuffer StateBuf{};
  std::array<std::int16_t, 9> ROM{};
};

}  // namespace orvel::onewire
