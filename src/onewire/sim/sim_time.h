#pragma once

#include <cstdint>

namespace orvel::sim {

// Microseconds on the simulated bus's monotonic clock.
using SimTime = std::int64_t;

inline constexpr SimTime kMillis = 1000;

}  // namespace orvel::sim
