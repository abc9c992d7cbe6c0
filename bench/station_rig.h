#pragma once

// The program's units without a window, over any driver, journal on, driven
// tick by tick in virtual time: the poll benchmarks run whole polls on it.
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <memory>
#include <string>

#include "core/memory_controls.h"
#include "core/virtual_clock.h"
#include "measure/journal_files.h"
#include "measure/station.h"
#include "measure/timer_service.h"
#include "onewire/tmex.h"
#include "support/fake_platform.h"

namespace orvel::bench {

class QueuePoster final : public measure::TickPoster {
 public:
  void PostTick(std::uint32_t n) override { queue.push_back(n); }
  std::deque<std::uint32_t> queue;
};

struct StationRig {
  StationRig(core::VirtualClock& clock_in, onewire::Tmex& tmex, measure::FastMode fast = {})
      : clock(clock_in) {
    char pattern[] = "/tmp/orvel-bench-XXXXXX";
    dir = mkdtemp(pattern);
    station = std::make_unique<measure::Station>(
        tmex,
        measure::StationControls{{stat1, cbbPort, cbAdapter},
                                 {cmb1820, lblTvalue, cmbhlt, lblHvalue, cmbds28e17, edtSNHDC,
                                  lblValT28e17, lblValH28e17, lblValP28e17, lblValPTds28e17},
                                 {shpindik, shpTimer, lblBackTimer}},
        measure::StationPlatform{clock, pump, dialogs, {',', '.', ':'}, timers, poster, files},
        core::StartupSettings{true, dir, 30}, fast);
    station->poll().OnPollEnd = [this] {
      ++polls;
      poll_us = clock.MonotonicMicros() - tick_us;
    };
    station->FillPortAndAdapterLists();
    station->Start();
  }
  ~StationRig() {
    station.reset();
    std::filesystem::remove_all(dir);
  }
  StationRig(const StationRig&) = delete;
  StationRig& operator=(const StationRig&) = delete;

  // Moves virtual time tick by tick until the next poll has ended.
  void OnePoll() {
    const std::uint64_t before = polls;
    while (polls == before) {
      const std::int64_t due = timers.NextDueMicros();
      if (due < 0) std::abort();
      clock.Advance(due - clock.MonotonicMicros());
      timers.FireDue();
      while (!poster.queue.empty()) {
        const std::uint32_t n = poster.queue.front();
        poster.queue.pop_front();
        tick_us = clock.MonotonicMicros();
        station->Tick(n);
      }
    }
  }

  core::VirtualClock& clock;
  measure::ManualTimerService timers{clock};
  QueuePoster poster;
  testing_support::FakePump pump;
  testing_support::FakeDialogs dialogs;
  measure::OsJournalFiles files;
  core::MemoryText stat1, lblTvalue, lblHvalue, edtSNHDC, lblValT28e17, lblValH28e17, lblValP28e17,
      lblValPTds28e17, lblBackTimer;
  core::MemoryList cbbPort, cbAdapter, cmb1820, cmbhlt, cmbds28e17;
  core::MemoryShape shpindik, shpTimer;
  std::string dir;
  std::unique_ptr<measure::Station> station;
  std::uint64_t polls = 0;
  std::int64_t tick_us = 0;
  std::int64_t poll_us = 0;  // virtual time of the last poll: its waits
};

}  // namespace orvel::bench
