#pragma once

#include "core/clock.h"

namespace orvel::core {

class RealClock final : public Clock {
 public:
  DateTime Now() override;
  std::uint32_t TickCount() override;
  void Sleep(std::uint32_t ms) override;
  std::int64_t MonotonicMicros() override;
};

}  // namespace orvel::core
