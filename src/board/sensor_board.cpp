#include "board/sensor_board.h"

#include <algorithm>
#include <cstdio>

#include "board/rom_spellings.h"

namespace orvel::board {

using measure::Quantity;
using measure::ReadState;

const char* StateWords(ReadState state) {
  switch (state) {
    case ReadState::NotReadYet:
      return "ещё не прочитан";
    case ReadState::Fresh:
      return "свежее показание";
    case ReadState::ReadError:
      return "ошибка CRC или чтения";
    case ReadState::PowerOnValue:
      return "значение при включении питания";
    case ReadState::Busy:
      return "занят, измерение не закончено";
    case ReadState::FaultCode:
      return "код неисправности датчика";
    case ReadState::NoSensor:
      return "нет датчика за мостом";
    case ReadState::Gone:
      return "пропал с шины";
  }
  return "ещё не прочитан";
}

std::string KindWords(std::int32_t family, const std::string& chips) {
  switch (family) {
    case onewire::kFamilyDs18b20:
      return "термометр DS18B20";
    case onewire::kFamilyDs18s20:
      return "термометр DS18S20";
    case onewire::kFamilyDs2438:
      return "модуль влажности";
    case onewire::kFamilyDs28e17:
      return chips.empty() ? "зонд с мостом DS28E17" : "зонд с мостом DS28E17: " + chips;
    default:
      break;
  }
  char text[8];
  std::snprintf(text, sizeof text, "%02X", static_cast<unsigned>(family & 0xFF));
  return std::string("устройство семейства ") + text;
}

SensorBoard::Entry& SensorBoard::EntryFor(const measure::DeviceId& device) {
  for (Entry& e : entries_) {
    if (e.row.device.rom == device.rom) return e;
  }
  Entry& e = entries_.emplace_back();
  e.row.device = device;
  e.row.familyFirst = FamilyFirstText(device.rom);
  return e;
}

void SensorBoard::MarkAllStale(Entry& e) {
  for (BoardValue& v : e.row.values) v.current = false;
}

void SensorBoard::OnScan(const std::vector<measure::DeviceId>& present, core::DateTime time) {
  std::lock_guard lock(mutex_);
  for (const measure::DeviceId& d : present) {
    Entry& e = EntryFor(d);
    if (e.row.state == ReadState::Gone) {
      // Back on the bus: nothing read from it yet this time.
      e.row.state = ReadState::NotReadYet;
      e.row.reason.clear();
      e.row.stateTime = time;
    }
  }
  for (Entry& e : entries_) {
    const bool listed =
        std::any_of(present.begin(), present.end(),
                    [&](const measure::DeviceId& d) { return d.rom == e.row.device.rom; });
    if (!listed && e.row.state != ReadState::Gone) {
      e.row.state = ReadState::Gone;
      e.row.reason.clear();
      e.row.stateTime = time;
      MarkAllStale(e);
    }
  }
}

void SensorBoard::OnReading(const measure::Reading& reading) {
  std::lock_guard lock(mutex_);
  Entry& e = EntryFor(reading.device);
  auto it = std::find_if(e.row.values.begin(), e.row.values.end(),
                         [&](const BoardValue& v) { return v.quantity == reading.quantity; });
  if (it == e.row.values.end()) {
    it = e.row.values.insert(
        std::upper_bound(e.row.values.begin(), e.row.values.end(), reading.quantity,
                         [](Quantity q, const BoardValue& v) { return q < v.quantity; }),
        BoardValue{reading.quantity});
  }
  it->value = reading.value;
  it->time = reading.time;
  it->current = true;
  e.readInPoll[reading.quantity] = poll_;
  e.row.lastFresh = std::max(e.row.lastFresh, reading.time);
  if (reading.quantity == Quantity::Pressure && chips_.find(reading.device.rom) == chips_.end()) {
    chips_[reading.device.rom] = "BMP280";
  }
}

void SensorBoard::OnState(const measure::StateReport& report) {
  std::lock_guard lock(mutex_);
  Entry& e = EntryFor(report.device);
  e.row.state = report.state;
  e.row.reason = report.reason;
  e.row.stateTime = report.time;
  if (report.state != ReadState::Fresh) MarkAllStale(e);
}

void SensorBoard::OnPollDone(core::DateTime /*time*/) {
  std::lock_guard lock(mutex_);
  for (Entry& e : entries_) {
    for (BoardValue& v : e.row.values) {
      auto it = e.readInPoll.find(v.quantity);
      if (it == e.readInPoll.end() || it->second != poll_) v.current = false;
    }
  }
  ++poll_;
}

void SensorBoard::SetName(const onewire::RomCode& rom, const std::string& name) {
  std::lock_guard lock(mutex_);
  if (name.empty()) {
    names_.erase(rom);
  } else {
    names_[rom] = name;
  }
}

void SensorBoard::SetChips(const onewire::RomCode& rom, const std::string& chips) {
  std::lock_guard lock(mutex_);
  chips_[rom] = chips;
}

std::vector<BoardRow> SensorBoard::Snapshot() const {
  std::lock_guard lock(mutex_);
  std::vector<BoardRow> rows;
  rows.reserve(entries_.size());
  for (const Entry& e : entries_) {
    BoardRow& row = rows.emplace_back(e.row);
    auto name = names_.find(row.device.rom);
    if (name != names_.end()) row.name = name->second;
    auto chips = chips_.find(row.device.rom);
    row.kind = KindWords(row.device.rom[0], chips == chips_.end() ? std::string() : chips->second);
  }
  return rows;
}

}  // namespace orvel::board
