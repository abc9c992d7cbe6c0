#pragma once

#include <cstdint>
#include <memory>

#include "core/clock.h"
#include "core/controls.h"
#include "core/date_time.h"
#include "core/platform.h"
#include "core/settings.h"
#include "measure/fast_mode.h"
#include "measure/journal_files.h"
#include "measure/ks_timer.h"
#include "measure/measurement_cycle.h"
#include "measure/poll_loop.h"
#include "measure/reading_feed.h"
#include "measure/timer_service.h"
#include "onewire/bus_scanner.h"
#include "onewire/bus_session.h"
#include "onewire/current_sens.h"
#include "onewire/tmex.h"

namespace orvel::onewire {
class DeviceCatalog;
class BusScanner;
}  // namespace orvel::onewire

namespace orvel::measure {

class Journal;
class MeasurementCycle;
class PollLoop;

// Every control the units write or read, owned by the front end: the
// scan's, the cycle's and the poll loop's, in that order.
struct StationControls {
  onewire::ScanControls scan;
  CycleControls cycle;
  PollControls poll;
};

// The outside world as the front end provides it. All of it must outlive
// the station.
struct StationPlatform {
  core::Clock& clock;
  core::MessagePump& pump;
  core::Dialogs& dialogs;
  core::LocaleSeparators separators;
  TimerService& timers;  // ThreadTimerService, or ManualTimerService in virtual time
  TickPoster& poster;    // delivers ticks back through Station::Tick on the UI thread
  JournalFiles& files;   // OsJournalFiles outside tests
};

// The window's units without the window: the driver session, the device
// table, catalogue, scan, readers, measurement cycle, journal, poll loop and
// poll timer, wired together. The Qt window and the console logger forward
// their events here; everything runs on the thread that calls in.
class Station {
 public:
  // `fast`: the opt-in fast mode; off, everything runs as specified.
  Station(onewire::Tmex& tmex, StationControls controls, StationPlatform platform,
          core::StartupSettings settings, FastMode fast = {});
  ~Station();
  Station(const Station&) = delete;
  Station& operator=(const Station&) = delete;

  // Start-up, in the window's order: FillPortAndAdapterLists, the journal
  // questions (settings() may be changed until Start), then Start, which
  // enables the poll timer; its first tick comes DueTime ms later.
  void FillPortAndAdapterLists();
  core::StartupSettings& settings();
  void Start();

  // A tick posted through the TickPoster, on the UI thread.
  void Tick(std::uint32_t threadCount);
  // The 200 ms indicator timer; the front end stops calling it once
  // TimerCheckTmrEnabled() is false.
  void TimerCheckTmrTimer();
  bool TimerCheckTmrEnabled() const;
  // The close request: granted at once; the driver closes on the next tick.
  void FormCloseQuery();
  // Ctrl+F1.
  void RescanRequested();

  // Handlers of the lists and the label.
  void cmb1820Change();
  void cmbhltChange();
  void cmbds28e17Change();
  void lblValPTds28e17Click();
  void cbbPortChange();
  void cbAdapterChange();

  // Read access to the units, for the front ends and tests.
  onewire::BusSession& session();
  onewire::DeviceTable& Asens();
  onewire::DeviceCatalog& catalog();
  onewire::BusScanner& scanner();
  MeasurementCycle& cycle();
  Journal& journal();
  PollLoop& poll();
  TksTimer& tmrg();
  std::int16_t flagExit() const;
  core::DateTime lastTimeConvert() const;
  // Listeners to every scan, reading and state change; add them before Start.
  ReadingFanOut& feed();

 private:
  struct Units;
  std::unique_ptr<Units> units_;
};

}  // namespace orvel::measure
