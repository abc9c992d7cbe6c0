#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "core/clock.h"
#include "core/controls.h"
#include "core/platform.h"
#include "core/settings.h"
#include "measure/journal.h"
#include "measure/reading_feed.h"
#include "measure/sensor_readers.h"
#include "onewire/current_sens.h"

namespace orvel::measure {

// The window's controls the cycle fills.
struct CycleControls {
  core::ListControl& cmb1820;
  core::TextControl& lblTvalue;
  core::ListControl& cmbhlt;
  core::TextControl& lblHvalue;
  core::ListControl& cmbds28e17;
  core::TextControl& edtSNHDC;
  core::TextControl& lblValT28e17;
  core::TextControl& lblValH28e17;
  core::TextControl& lblValP28e17;
  core::TextControl& lblValPTds28e17;
};

// Where the cycle finds the scan's results and the close request.
struct CycleState {
  const std::int16_t& FoundDev;
  const std::int16_t& flagExit;            // 1 or 2 ends a cycle at its next check
  const std::array<std::int16_t, 9>& ROM;  // the session's ROM buffer, filled by Hex2Rom
};

inline constexpr const char* kNoValue = "--,--";
inline constexpr const char* kBadValue = "??,??";
inline constexpr const char* kPressureTempOff = "....";
inline constexpr const char* kNoSensorSerial = "- - - - - -";

// The second half of a poll: keeps the three device lists in step with the
// bus, reads the sensors, shows the selected devices' values and journals
// what was measured in this cycle.
class MeasurementCycle {
 public:
  MeasurementCycle(onewire::DeviceTable& Asens, CycleState state, CycleControls controls,
                   SensorReaders& readers, CatalogCalls& catalog, Journal& journal,
                   core::Clock& clock, const core::StartupSettings& settings,
                   const core::LocaleSeparators& separators, ReadingFeed* feed = nullptr);

  void RefreshMeasurements(bool rebuild);
  // Every value label back to "--,--": nothing shown is current.
  void ClearValues();

  // Slot index of a list item's device, or -1.
  int FindThermometerSlot(std::int16_t position) const;
  int FindHumiditySlot(std::int16_t position) const;
  int FindBridgeSlot(std::int16_t position) const;
  int FindSelectedHumiditySlot();

  // List and label handlers of the window.
  void cmb1820Change();
  void cmbhltChange();
  void cmbds28e17Change();
  void lblValPTds28e17Click();

  bool flgShowBmp280Temperature = false;

 private:
  // False when the cycle must end at once.
  bool Continuing() const;
  void ResetLists();
  void RebuildLists();
  // Remembers each list's selected ROM text, kept while a list is empty.
  void NoteSelections();
  bool ThermometerTab();
  bool HumidityTab();
  bool BridgeTab();
  void ReadBridge(int slot, bool selected, core::DateTime cycleStart);
  void ShowThermometer(const onewire::CurrentSens& sens);
  void ShowHumidity(const onewire::CurrentSens& sens);
  // True when a fresh value was taken.
  bool BridgeTemperature(int slot, bool selected, bool fresh);
  bool BridgeHumidity(int slot, bool selected, bool fresh);
  void TellThermometer(int slot, bool fresh);
  void TellHumidity(int slot, bool fresh);
  int FindSlotByText(const std::string& romText) const;
  // What the feed's listeners are told; nothing without a feed.
  void Tell(int slot, Quantity quantity, double value);
  void Tell(int slot, ReadState state, std::string reason = {});

  onewire::DeviceTable& Asens_;
  CycleState state_;
  CycleControls c_;
  SensorReaders& readers_;
  CatalogCalls& catalog_;
  Journal& journal_;
  core::Clock& clock_;
  const core::StartupSettings& settings_;
  const core::LocaleSeparators& separators_;
  ReadingFeed* feed_;
  // The ROM text selected in cmb1820, cmbhlt and cmbds28e17, which a rebuild
  // selects again while that device is listed: the large value must not
  // switch to another sensor because some device came or went.
  std::array<std::string, 3> selectedRoms_;
};

// Characters 4 to 19 of a list item: its ROM text; empty when shorter.
std::string ItemRomText(const std::string& item);
// "%.2u" of the item number, a space, the ROM text.
std::string ItemText(unsigned number, const std::string& romText);

}  // namespace orvel::measure
