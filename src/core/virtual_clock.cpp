#include "core/virtual_clock.h"

namespace orvel::core {

DateTime VirtualClock::Now() { return start_ + static_cast<double>(elapsed_us_) / 86400e6; }

std::uint32_t VirtualClock::TickCount() {
  return start_tick_ + static_cast<std::uint32_t>(static_cast<std::uint64_t>(elapsed_us_ / 1000));
}

}  // namespace orvel::core
