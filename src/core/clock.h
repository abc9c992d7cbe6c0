#pragma once

#include <cstdint>

#include "core/date_time.h"

namespace orvel::core {

// Time as the program sees it: the local wall clock, the system's
// millisecond tick counter (wraps like a 32-bit one), a blocking sleep and a
// monotonic microsecond count that simulated devices measure their work by.
class Clock {
 public:
  virtual ~Clock() = default;
  virtual DateTime Now() = 0;
  virtual std::uint32_t TickCount() = 0;
  virtual void Sleep(std::uint32_t ms) = 0;
  virtual std::int64_t MonotonicMicros() = 0;
};

}  // namespace orvel::core
