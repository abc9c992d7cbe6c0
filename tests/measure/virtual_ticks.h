#pragma once

#include <cstdint>
#include <deque>

#include "core/virtual_clock.h"
#include "measure/station.h"
#include "measure/timer_service.h"

namespace orvel::measure::testing {

// Ticks posted by the poll timer, delivered by the test.
class QueuePoster final : public TickPoster {
 public:
  void PostTick(std::uint32_t n) override { queue.push_back(n); }
  std::deque<std::uint32_t> queue;
};

// Delivers the posted ticks to the station and moves virtual time to the
// next due timer, until `done()` or until no timer is due.
template <typename Done>
void RunTicksUntil(Station& station, QueuePoster& poster, ManualTimerService& timers,
                   core::VirtualClock& clock, Done done) {
  while (!done()) {
    while (!poster.queue.empty()) {
      const std::uint32_t n = poster.queue.front();
      poster.queue.pop_front();
      station.Tick(n);
    }
    const std::int64_t due = timers.NextDueMicros();
    if (due < 0) return;
    clock.Advance(due - clock.MonotonicMicros());
    timers.FireDue();
  }
}

}  // namespace orvel::measure::testing
