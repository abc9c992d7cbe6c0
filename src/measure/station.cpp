#include "measure/station.h"

#include <exception>

#include "measure/bus_sensor_readers.h"
#include "measure/journal.h"
#include "measure/measurement_cycle.h"
#include "measure/poll_loop.h"
#include "measure/scan_report.h"
#include "onewire/bus_scanner.h"
#include "onewire/device_catalog.h"

namespace orvel::measure {

// Declared in dependency order: each unit is built from the ones above it.
struct Station::Units {
  Units(onewire::Tmex& tmex, const StationControls& c, const StationPlatform& p,
        core::StartupSettings s)
      : settings(std::move(s)),
        separators(p.separators),
        session(tmex),
        catalog(session, c.scan.stat1),
        scanner(session, catalog, c.scan, p.dialogs, p.pump, p.clock, settings, lastTimeConvert),
        readers(session, catalog.Asens, p.clock, p.pump, p.dialogs),
        catalogCalls(catalog),
        journal(catalog.Asens, settings, p.clock, p.dialogs, separators, p.files),
        cycle(catalog.Asens, CycleState{scanner.FoundDev, flagExit, session.ROM}, c.cycle, readers,
              catalogCalls, journal, p.clock, settings, separators, &feed),
        scanReport(feed),
        tmrg(p.timers, p.poster),
        poll(tmrg,
             PollSteps{[this, &stat1 = c.scan.stat1] { return ScanAndReport(stat1); },
                       [this] { return scanner.flgRedravAll; },
                       [this](bool rebuild) { cycle.RefreshMeasurements(rebuild); },
                       [this] { session.tmex.TMClose(session.SHandle); },
                       [this] { return scanner.flgBusSilent; }, [this] { cycle.ClearValues(); },
                       [this] { feed.OnPollDone(clock.Now()); }},
             c.poll, p.clock, p.dialogs, settings, lastTimeConvert, flagExit),
        dialogs(p.dialogs),
        clock(p.clock) {
    scanner.SetRefreshMeasurements([this](bool rebuild) { cycle.RefreshMeasurements(rebuild); });
    tmrg.SetPeriod(1000);
    tmrg.SetDueTime(1000);
    tmrg.OnTimer = [this](TksTimer&) { poll.tmrgTimer(); };
    tmrg.OnException = [this](std::exception_ptr e) { dialogs.ShowNotice(ExceptionText(e)); };
  }

  core::StartupSettings settings;
  core::LocaleSeparators separators;
  std::int16_t flagExit = kRunning;
  ReadingFanOut feed;
  core::DateTime lastTimeConvert = 0.0;
  onewire::BusSession session;
  onewire::DeviceCatalog catalog;
  onewire::BusScanner scanner;
  BusSensorReaders readers;
  CatalogCallsOf catalogCalls;
  Journal journal;
  MeasurementCycle cycle;
  ScanReport scanReport;
  TksTimer tmrg;
  PollLoop poll;
  core::Dialogs& dialogs;
  core::Clock& clock;

  std::int16_t ScanAndReport(const core::TextControl& stat1) {
    const std::int16_t result = scanner.ScanBus();
    if (!feed.empty()) {
      scanReport.AfterScan(result, scanner.flgBusSilent, catalog.Asens, scanner.FoundDev,
                           stat1.Text(), clock.Now());
    }
    return result;
  }
};

Station::Station(onewire::Tmex& tmex, StationControls controls, StationPlatform platform,
                 core::StartupSettings settings)
    : units_(std::make_unique<Units>(tmex, controls, platform, std::move(settings))) {}

Station::~Station() = default;

void Station::FillPortAndAdapterLists() { units_->scanner.FillPortAndAdapterLists(); }
core::StartupSettings& Station::settings() { return units_->settings; }
void Station::Start() { units_->tmrg.SetEnabled(true); }

void Station::Tick(std::uint32_t threadCount) { units_->tmrg.TimerWndProc(threadCount); }
void Station::TimerCheckTmrTimer() { units_->poll.TimerCheckTmrTimer(); }
bool Station::TimerCheckTmrEnabled() const { return units_->poll.TimerCheckTmrEnabled(); }
void Station::FormCloseQuery() { units_->poll.FormCloseQuery(); }
void Station::RescanRequested() { units_->poll.RescanRequested(); }

void Station::cmb1820Change() { units_->cycle.cmb1820Change(); }
void Station::cmbhltChange() { units_->cycle.cmbhltChange(); }
void Station::cmbds28e17Change() { units_->cycle.cmbds28e17Change(); }
void Station::lblValPTds28e17Click() { units_->cycle.lblValPTds28e17Click(); }
void Station::cbbPortChange() { units_->scanner.cbbPortChange(); }
void Station::cbAdapterChange() { units_->scanner.cbAdapterChange(); }

onewire::BusSession& Station::session() { return units_->session; }
onewire::DeviceTable& Station::Asens() { return units_->catalog.Asens; }
onewire::DeviceCatalog& Station::catalog() { return units_->catalog; }
onewire::BusScanner& Station::scanner() { return units_->scanner; }
MeasurementCycle& Station::cycle() { return units_->cycle; }
Journal& Station::journal() { return units_->journal; }
PollLoop& Station::poll() { return units_->poll; }
TksTimer& Station::tmrg() { return units_->tmrg; }
std::int16_t Station::flagExit() const { return units_->flagExit; }
core::DateTime Station::lastTimeConvert() const { return units_->lastTimeConvert; }
ReadingFanOut& Station::feed() { return units_->feed; }

}  // namespace orvel::measure
