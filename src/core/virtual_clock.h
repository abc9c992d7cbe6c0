#pragma once

#include <cstdint>

#include "core/clock.h"

namespace orvel::core {

// A clock whose time moves only when someone sleeps or advances it, so that
// an 800 ms conversion wait costs nothing in a test or a fast demo.
class VirtualClock final : public Clock {
 public:
  explicit VirtualClock(DateTime start = EncodeDateTime({2026, 12, 7, 12, 0, 0, 0}),
                        std::uint32_t start_tick = 0)
      : start_(start), start_tick_(start_tick) {}

  DateTime Now() override;
  std::uint32_t TickCount() override;
  void Sleep(std::uint32_t ms) override { Advance(static_cast<std::int64_t>(ms) * 1000); }
  std::int64_t MonotonicMicros() override { return elapsed_us_; }

  void Advance(std::int64_t micros) { elapsed_us_ += micros; }
  std::int64_t ElapsedMicros() const { return elapsed_us_; }
  std::int64_t SleptMicros() const { return elapsed_us_; }

 private:
  DateTime start_;
  std::uint32_t start_tick_;
  std::int64_t elapsed_us_ = 0;
};

}  // namespace orvel::core
