#pragma once

#include <cstdint>
#include <functional>
#include <set>

#include "core/clock.h"
#include "core/controls.h"
#include "core/date_time.h"
#include "core/platform.h"
#include "core/settings.h"
#include "onewire/bus_session.h"
#include "onewire/device_catalog.h"

namespace orvel::onewire {

// The window controls the scan writes: the status text and the two lists of
// the settings tab that choose port and adapter type.
struct ScanControls {
  core::TextControl& stat1;
  core::ListControl& cbbPort;
  core::ListControl& cbAdapter;
};

// Opens a driver session on the chosen port, checks the adapter and
// enumerates the bus into the device table. The session stays open for the
// measurement cycle that follows; the next scan ends it before it opens its
// own.
class BusScanner {
 public:
  BusScanner(BusSession& bus, DeviceCatalog& catalog, ScanControls controls, core::Dialogs& dialogs,
             core::MessagePump& pump, core::Clock& clock, const core::StartupSettings& settings,
             core::DateTime& lastTimeConvert);

  // The measurement cycle's list rebuild; the scan calls it with true when
  // there is no port, so that the lists and value labels are emptied.
  void SetRefreshMeasurements(std::function<void(bool rebuild)> refresh);

  // Start-up: both lists emptied and filled, neither with a selection.
  void FillPortAndAdapterLists();

  // 1 when the adapter answered (with or without devices); 0 on failure,
  // reported in stat1. A session start that gives no handle is a failure.
  // Codes with a bad CRC are not registered; the devices beyond the table
  // are counted and named once in a notice.
  // Not re-entrant: it lets the window process messages between devices, and
  // the caller must keep a second scan or any other bus work from starting
  // then.
  std::int16_t ScanBus();

  // Every listed slot's journal gate open again, as after a scan: the
  // cycle that follows writes one line per reading.
  void ReopenJournalGates();

  // Settings-tab selection handlers.
  void cbbPortChange();
  void cbAdapterChange();

  bool portConfigDefault = true;
  std::int16_t defaultPort = 0;
  std::int16_t defaultAdapter = 0;
  std::int16_t PortNum = 0;
  std::int16_t PortType = 0;
  std::int16_t FoundDev = 0;
  std::int16_t OldFoundDev = 0;
  bool flgRedravAll = false;
  // The last scan reached the adapter but the search found no device: the
  // slots are kept, yet nothing on them answered now.
  bool flgBusSilent = false;

 private:
  enum class PortChoice { kFound, kNone };
  // What one search step left in the ROM buffer.
  struct Pass {
    bool end = false;          // no further device
    bool crcGood = false;      // the code's CRC-8 holds
    std::int16_t romRead = 0;  // TMRom's result
  };
  // Devices of one enumeration.
  struct Tally {
    std::int16_t registered = 0;
    int leftOut = 0;  // good codes beyond the table
  };

  PortChoice ChoosePort();
  // Steps after the port choice; writes 0 into result on a failure.
  void OpenAndEnumerate(std::int16_t& result);
  // TMFirst or TMNext with TMRom; a code with a bad CRC is searched again
  // from the same state, a bounded number of times.
  Pass Search(bool first);
  // Registers the code in the ROM buffer unless it is damaged, already
  // registered in this enumeration or beyond the table.
  void Keep(const Pass& pass, Tally& tally);
  // Counts and the deadline after a complete enumeration.
  void FinishEnumeration(const Tally& tally);
  void EndOpenSession();
  void Fail(const char* status, bool redraw);

  BusSession& bus_;
  DeviceCatalog& catalog_;
  ScanControls controls_;
  core::Dialogs& dialogs_;
  core::MessagePump& pump_;
  core::Clock& clock_;
  const core::StartupSettings& settings_;
  core::DateTime& lastTimeConvert_;
  std::function<void(bool)> refresh_;
  StateBuffer savedState_{};
  // Damaged codes already reported, so that each is reported once.
  std::set<RomCode> reportedBad_;
  int leftOutReported_ = 0;
};

}  // namespace orvel::onewire
