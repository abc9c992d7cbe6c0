#pragma once

#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "core/date_time.h"
#include "measure/reading_feed.h"
#include "onewire/rom_code.h"

namespace orvel::board {

// One device found on the bus, as the overview and the web page show it.
struct BoardValue {
  measure::Quantity quantity = measure::Quantity::Temperature;
  double value = 0.0;
  core::DateTime time = 0.0;  // when it was read
  // True only while this value is what the device gave at its last
  // reading; a value from an earlier poll, a failed read or a device gone
  // is kept for reference but never counts as fresh.
  bool current = false;
};

struct BoardRow {
  measure::DeviceId device;
  std::string familyFirst;  // the ROM in bus order, family first
  std::string name;         // the user's name; empty when none
  std::string kind;         // in words, e.g. "термометр DS18B20"
  measure::ReadState state = measure::ReadState::NotReadYet;
  std::string reason;  // the reader's short text; empty when fresh
  core::DateTime stateTime = 0.0;
  core::DateTime lastFresh = 0.0;  // the last fresh reading of any quantity; 0: none
  std::vector<BoardValue> values;  // one per quantity seen, in Quantity order
};

// The state in Russian words, as the overview and the page show it.
const char* StateWords(measure::ReadState state);

// The kind of a device in words from its family code; a bridge probe names
// the chips it is known to carry ("зонд с мостом DS28E17: HDC, BMP280").
std::string KindWords(std::int32_t family, const std::string& chips);

// Every device found since start, one row each in the order first found,
// kept up to date from the station's events. The events come on the polling
// thread; Snapshot may be called from any thread.
class SensorBoard final : public measure::ReadingFeed {
 public:
  void OnScan(const std::vector<measure::DeviceId>& present, core::DateTime time) override;
  void OnReading(const measure::Reading& reading) override;
  void OnState(const measure::StateReport& report) override;
  void OnPollDone(core::DateTime time) override;

  // A name for a ROM (empty: none), shown from the next snapshot on.
  void SetName(const onewire::RomCode& rom, const std::string& name);
  // The chips behind a bridge probe, for its kind in words ("HDC, BMP280").
  void SetChips(const onewire::RomCode& rom, const std::string& chips);

  std::vector<BoardRow> Snapshot() const;

 private:
  struct Entry {
    BoardRow row;
    // Per value: the poll it was read in; values not refreshed by the poll
    // that just ended lose their current flag.
    std::map<measure::Quantity, std::uint64_t> readInPoll;
  };

  Entry& EntryFor(const measure::DeviceId& device);
  static void MarkAllStale(Entry& e);

  mutable std::mutex mutex_;
  std::vector<Entry> entries_;
  std::map<onewire::RomCode, std::string> names_;
  std::map<onewire::RomCode, std::string> chips_;
  std::uint64_t poll_ = 0;
};

}  // namespace orvel::board
