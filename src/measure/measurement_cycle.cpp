#include "measure/measurement_cycle.h"

#include <algorithm>
#include <cstdio>

#include "core/rounding.h"
#include "measure/number_forms.h"

namespace orvel::measure {
namespace {

constexpr std::uint8_t kBmp280Id = 0x58;
constexpr double kNoSensorTemperature = -51.0;

bool TemperatureInRange(double t) { return t > -50.0 && t < 150.0; }
bool HumidityInRange(double h) { return h > 0.1 && h < 100.1; }

std::string SerialText(const std::uint8_t (&buf)[6]) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string text;
  for (std::uint8_t b : buf) {
    text += kHex[b >> 4];
    text += kHex[b & 0x0F];
  }
  return text;
}

bool AnyNonZero(const std::uint8_t (&buf)[6]) {
  return std::any_of(std::begin(buf), std::end(buf), [](std::uint8_t b) { return b != 0; });
}

// The label's text for a humidity fault code; empty for a value.
std::string HumidityFaultText(double hu) {
  if (hu > 900.0) {
    const double code = core::RoundHalfEven(hu);
    return code == 998.0 ? "Питание?" : code == 999.0 ? "Конденсат?" : "---";
  }
  if (hu == 0.0) return "Неиспр.?";
  return {};
}

}  // namespace

std::string ItemRomText(const std::string& item) {
  return item.size() < 4 ? std::string() : item.substr(3, 16);
}

std::string ItemText(unsigned number, const std::string& romText) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%.2u", number);
  return std::string(buf) + " " + romText;
}

MeasurementCycle::MeasurementCycle(onewire::DeviceTable& Asens, CycleState state,
                                   CycleControls controls, SensorReaders& readers,
                                   CatalogCalls& catalog, Journal& journal, core::Clock& clock,
                                   const core::StartupSettings& settings,
                                   const core::LocaleSeparators& separators, ReadingFeed* feed)
    : Asens_(Asens),
      state_(state),
      c_(controls),
      readers_(readers),
      catalog_(catalog),
      journal_(journal),
      clock_(clock),
      settings_(settings),
      separators_(separators),
      feed_(feed) {}

void MeasurementCycle::Tell(int slot, Quantity quantity, double value) {
  if (feed_ == nullptr) return;
  feed_->OnReading(
      Reading{DeviceIdOf(Asens_[static_cast<std::size_t>(slot)]), quantity, value, clock_.Now()});
}

void MeasurementCycle::Tell(int slot, ReadState state, std::string reason) {
  if (feed_ == nullptr) return;
  feed_->OnState(StateReport{DeviceIdOf(Asens_[static_cast<std::size_t>(slot)]), state,
                             std::move(reason), clock_.Now()});
}

bool MeasurementCycle::Continuing() const { return state_.flagExit != 1 && state_.flagExit != 2; }

int MeasurementCycle::FindSlotByText(const std::string& romText) const {
  if (romText.empty()) return -1;
  const int found = std::clamp<int>(state_.FoundDev, 0, onewire::kSlotCount);
  for (int slot = 0; slot < found; ++slot) {
    if (Asens_[static_cast<std::size_t>(slot)].ROMS == romText) return slot;
  }
  return -1;
}

int MeasurementCycle::FindThermometerSlot(std::int16_t position) const {
  return FindSlotByText(ItemRomText(c_.cmb1820.Item(position)));
}

int MeasurementCycle::FindHumiditySlot(std::int16_t position) const {
  return FindSlotByText(ItemRomText(c_.cmbhlt.Item(position)));
}

int MeasurementCycle::FindBridgeSlot(std::int16_t position) const {
  return FindSlotByText(ItemRomText(c_.cmbds28e17.Item(position)));
}

int MeasurementCycle::FindSelectedHumiditySlot() {
  const std::string romText = ItemRomText(c_.cmbhlt.Text());
  if (romText.empty()) return -1;
  catalog_.Hex2Rom(romText);
  const int found = std::clamp<int>(state_.FoundDev, 0, onewire::kSlotCount);
  for (int slot = 0; slot < found; ++slot) {
    const auto& rom = Asens_[static_cast<std::size_t>(slot)].ROM;
    if (std::equal(rom.begin(), rom.begin() + 8, state_.ROM.begin())) return slot;
  }
  return -1;
}

void MeasurementCycle::ResetLists() {
  for (core::ListControl* list : {&c_.cmb1820, &c_.cmbhlt, &c_.cmbds28e17}) {
    list->Clear();
    list->SetText("");
  }
  ClearValues();
}

void MeasurementCycle::ClearValues() {
  for (core::TextControl* label : {&c_.lblTvalue, &c_.lblHvalue, &c_.lblValT28e17, &c_.lblValH28e17,
                                   &c_.lblValP28e17, &c_.lblValPTds28e17}) {
    label->SetText(kNoValue);
  }
}

void MeasurementCycle::NoteSelections() {
  const core::ListControl* lists[] = {&c_.cmb1820, &c_.cmbhlt, &c_.cmbds28e17};
  for (std::size_t i = 0; i < selectedRoms_.size(); ++i) {
    std::string rom = ItemRomText(lists[i]->Text());
    if (!rom.empty()) selectedRoms_[i] = std::move(rom);
  }
}

void MeasurementCycle::RebuildLists() {
  unsigned number = 0;
  const int found = std::clamp<int>(state_.FoundDev, 0, onewire::kSlotCount);
  for (int slot = 0; slot < found; ++slot) {
    const onewire::CurrentSens& sens = Asens_[static_cast<std::size_t>(slot)];
    core::ListControl* list = nullptr;
    switch (sens.Family) {
      case onewire::kFamilyDs18s20:
      case onewire::kFamilyDs18b20:
        list = &c_.cmb1820;
        break;
      case onewire::kFamilyDs2438:
        list = &c_.cmbhlt;
        break;
      case onewire::kFamilyDs28e17:
        list = &c_.cmbds28e17;
        break;
      default:
        continue;
    }
    list->Append(ItemText(number, sens.ROMS));
    ++number;
  }
  // The device selected before, while it is still listed; else the first.
  core::ListControl* lists[] = {&c_.cmb1820, &c_.cmbhlt, &c_.cmbds28e17};
  for (std::size_t i = 0; i < selectedRoms_.size(); ++i) {
    core::ListControl& list = *lists[i];
    int keep = 0;
    for (int pos = 0; pos < list.Count(); ++pos) {
      if (ItemRomText(list.Item(pos)) == selectedRoms_[i]) {
        keep = pos;
        break;
      }
    }
    if (list.Count() > 0) list.Select(keep);
  }
}

void MeasurementCycle::ShowThermometer(const onewire::CurrentSens& sens) {
  c_.lblTvalue.SetText(GeneralForm(core::RoundHalfEven(sens.CorrectTemp, 2), separators_.decimal) +
                       " °C");
}

void MeasurementCycle::ShowHumidity(const onewire::CurrentSens& sens) {
  const std::string fault = HumidityFaultText(sens.Hu);
  c_.lblHvalue.SetText(fault.empty() ? GeneralForm(sens.Hu, separators_.decimal) + " %" : fault);
}

bool MeasurementCycle::ThermometerTab() {
  core::ListControl& list = c_.cmb1820;
  if (list.Text().empty()) return true;
  if (settings_.LogEnabled) {
    for (int pos = 0; pos < list.Count(); ++pos) {
      if (!Continuing()) return false;
      const int slot = FindThermometerSlot(static_cast<std::int16_t>(pos));
      if (slot < 0) continue;
      const auto index = static_cast<std::int16_t>(slot);
      const bool fresh = readers_.ReadThermometer(index);
      const onewire::CurrentSens& sens = Asens_[static_cast<std::size_t>(slot)];
      if (list.Item(pos) == list.Text() && sens.FlagReadyValue > 0) ShowThermometer(sens);
      // Only a reading accepted now goes into the journal: a failed one
      // would repeat the last value under a new stamp.
      if (fresh) journal_.WriteJournal(index, "t_", true, sens.CorrectTemp);
      TellThermometer(slot, fresh);
    }
    return true;
  }
  if (!Continuing()) return false;
  const int slot = FindSlotByText(ItemRomText(list.Text()));
  if (slot < 0) return true;
  const bool fresh = readers_.ReadThermometer(static_cast<std::int16_t>(slot));
  const onewire::CurrentSens& sens = Asens_[static_cast<std::size_t>(slot)];
  if (sens.FlagReadyValue > 0) ShowThermometer(sens);
  TellThermometer(slot, fresh);
  return true;
}

bool MeasurementCycle::HumidityTab() {
  core::ListControl& list = c_.cmbhlt;
  if (list.Text().empty()) return true;
  if (settings_.LogEnabled) {
    for (int pos = 0; pos < list.Count(); ++pos) {
      if (!Continuing()) return false;
      const int slot = FindHumiditySlot(static_cast<std::int16_t>(pos));
      if (slot < 0) continue;
      const auto index = static_cast<std::int16_t>(slot);
      const bool fresh = readers_.getValueHLT(index);
      const onewire::CurrentSens& sens = Asens_[static_cast<std::size_t>(slot)];
      if (list.Item(pos) == list.Text()) ShowHumidity(sens);
      if (fresh) journal_.WriteJournal(index, "h_", true, sens.Hu);
      TellHumidity(slot, fresh);
    }
    return true;
  }
  // A selected module that left the bus only skips this tab; the bridge
  // tab and the broadcast still follow.
  if (!Continuing()) return false;
  const int slot = FindSelectedHumiditySlot();
  if (slot < 0) return true;
  const bool fresh = readers_.getValueHLT(static_cast<std::int16_t>(slot));
  ShowHumidity(Asens_[static_cast<std::size_t>(slot)]);
  TellHumidity(slot, fresh);
  return true;
}

void MeasurementCycle::TellThermometer(int slot, bool fresh) {
  if (fresh) {
    Tell(slot, Quantity::Temperature, Asens_[static_cast<std::size_t>(slot)].CorrectTemp);
    Tell(slot, ReadState::Fresh);
  } else {
    auto [state, reason] = readers_.ThermometerFailure();
    Tell(slot, state, std::move(reason));
  }
}

void MeasurementCycle::TellHumidity(int slot, bool fresh) {
  const double hu = Asens_[static_cast<std::size_t>(slot)].Hu;
  if (!fresh) {
    Tell(slot, ReadState::ReadError, "no valid reading");
    return;
  }
  const std::string fault = HumidityFaultText(hu);
  if (!fault.empty()) {
    Tell(slot, ReadState::FaultCode, fault);
    return;
  }
  Tell(slot, Quantity::Humidity, hu);
  Tell(slot, ReadState::Fresh);
}

bool MeasurementCycle::BridgeTemperature(int slot, bool selected, bool fresh) {
  const onewire::CurrentSens& sens = Asens_[static_cast<std::size_t>(slot)];
  // Without a fresh reading the field holds another chip's value (the
  // pressure sensor's temperature) or an earlier cycle's.
  if (fresh && TemperatureInRange(sens.Temperature)) {
    Tell(slot, Quantity::Temperature, sens.Temperature);
    if (settings_.LogEnabled) {
      journal_.WriteJournal(static_cast<std::int16_t>(slot), "t_", false, sens.Temperature);
    }
    if (selected) c_.lblValT28e17.SetText(FixedForm(sens.Temperature, separators_.decimal) + " °C");
    return true;
  }
  if (selected) c_.lblValT28e17.SetText(kBadValue);
  return false;
}

bool MeasurementCycle::BridgeHumidity(int slot, bool selected, bool fresh) {
  const onewire::CurrentSens& sens = Asens_[static_cast<std::size_t>(slot)];
  // Hu may hold the pressure in kPa or an earlier cycle's humidity.
  if (fresh && HumidityInRange(sens.Hu)) {
    Tell(slot, Quantity::Humidity, sens.Hu);
    if (settings_.LogEnabled) {
      journal_.WriteJournal(static_cast<std::int16_t>(slot), "h_", false, sens.Hu);
    }
    if (selected) c_.lblValH28e17.SetText(FixedForm(sens.Hu, separators_.decimal) + " %");
    return true;
  }
  if (selected) c_.lblValH28e17.SetText(kBadValue);
  return false;
}

void MeasurementCycle::ReadBridge(int slot, bool selected, core::DateTime cycleStart) {
  const auto index = static_cast<std::int16_t>(slot);
  onewire::CurrentSens& sens = Asens_[static_cast<std::size_t>(slot)];
  bool anySensor = false;
  bool anyFresh = false;

  using GetSerial = void (SensorReaders::*)(std::uint8_t*, std::int16_t);
  using GetValue = ChipValues (SensorReaders::*)(std::int16_t);
  struct Chip {
    GetSerial serial;
    GetValue value;
    bool humidity;
  };
  static constexpr Chip kChips[] = {
      {&SensorReaders::getSerial_HDC_THP, &SensorReaders::getValue_HDC_THP, true},
      {&SensorReaders::getSerial_SHT_TH, &SensorReaders::getValue_SHT_TH, true},
      {&SensorReaders::getSerial_STS_T, &SensorReaders::getValue_STS_T, false},
  };
  for (const Chip& chip : kChips) {
    std::uint8_t buf[6] = {};
    (readers_.*chip.serial)(buf, index);
    if (!AnyNonZero(buf)) continue;
    anySensor = true;
    if (selected) c_.edtSNHDC.SetText(SerialText(buf));
    const ChipValues read = (readers_.*chip.value)(index);
    anyFresh |= BridgeTemperature(slot, selected, read.temperature);
    if (chip.humidity) anyFresh |= BridgeHumidity(slot, selected, read.humidity);
  }

  if (!anySensor && selected) {
    c_.edtSNHDC.SetText(kNoSensorSerial);
    sens.Temperature = kNoSensorTemperature;
    sens.Hu = 0.0;
    c_.lblValT28e17.SetText(kBadValue);
    c_.lblValH28e17.SetText(kBadValue);
    if (settings_.LogEnabled) {
      journal_.WriteJournal(index, "t_", false, kNoSensorTemperature);
      journal_.WriteJournal(index, "h_", false, 0.0);
    }
  }

  std::uint8_t id[6] = {};
  readers_.getSerialP(id, index);
  if (id[0] == kBmp280Id) {
    const ChipValues read = readers_.getValue_HDC_TP(index);
    const double pressure = sens.Hu;
    if (pressure != 0.0 && read.humidity) {
      Tell(slot, Quantity::Pressure, pressure);
      anyFresh = true;
      if (read.temperature && TemperatureInRange(sens.Temperature)) {
        Tell(slot, Quantity::PressureSensorTemperature, sens.Temperature);
      }
    }
    if (pressure != 0.0) {
      if (settings_.LogEnabled && read.humidity) {
        journal_.WriteJournal(index, "p_", false, pressure);
        if (flgShowBmp280Temperature && read.temperature && TemperatureInRange(sens.Temperature)) {
          journal_.WriteJournal(index, "tp_", false, sens.Temperature);
        }
      }
      if (selected) {
        c_.lblValP28e17.SetText(GeneralForm(pressure, separators_.decimal) + "kPa");
        c_.lblValPTds28e17.SetText(flgShowBmp280Temperature
                                       ? GeneralForm(sens.Temperature, separators_.decimal) + " °C"
                                       : kPressureTempOff);
      }
    }
  }

  if (anyFresh) {
    Tell(slot, ReadState::Fresh);
  } else if (anySensor) {
    Tell(slot, ReadState::ReadError, "no valid reading");
  } else {
    Tell(slot, ReadState::NoSensor, "no chip answers behind the bridge");
  }

  if (sens.lastWrLogDateTime < cycleStart) {
    sens.lastWrLogDateTime = core::AddSeconds(clock_.Now(), settings_.LogInterval);
  }
}

bool MeasurementCycle::BridgeTab() {
  core::ListControl& list = c_.cmbds28e17;
  if (list.Text().empty() || list.Count() == 0) return true;
  const core::DateTime cycleStart = clock_.Now();
  for (int pos = 0; pos < list.Count(); ++pos) {
    if (!Continuing()) return false;
    const int slot = FindBridgeSlot(static_cast<std::int16_t>(pos));
    const bool selected =
        slot >= 0 && ItemRomText(list.Text()) == Asens_[static_cast<std::size_t>(slot)].ROMS;
    if (slot < 0 || (!settings_.LogEnabled && !selected)) continue;
    ReadBridge(slot, selected, cycleStart);
  }
  return true;
}

void MeasurementCycle::RefreshMeasurements(bool rebuild) {
  NoteSelections();
  if (rebuild || state_.FoundDev == 0) ResetLists();
  if (state_.FoundDev == 0) return;
  if (rebuild) RebuildLists();
  if (!ThermometerTab()) return;
  if (!HumidityTab()) return;
  if (!BridgeTab()) return;
  catalog_.sendAllDevices();
}

void MeasurementCycle::cmb1820Change() { c_.lblTvalue.SetText(kNoValue); }

void MeasurementCycle::cmbhltChange() { c_.lblHvalue.SetText(kNoValue); }

void MeasurementCycle::cmbds28e17Change() {
  for (core::TextControl* label :
       {&c_.lblValT28e17, &c_.lblValH28e17, &c_.lblValP28e17, &c_.lblValPTds28e17}) {
    label->SetText(kNoValue);
  }
}

void MeasurementCycle::lblValPTds28e17Click() {
  flgShowBmp280Temperature = !flgShowBmp280Temperature;
  c_.lblValPTds28e17.SetText(flgShowBmp280Temperature ? kNoValue : kPressureTempOff);
}

}  // namespace orvel::measure
