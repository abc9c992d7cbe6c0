#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "core/clock.h"
#include "core/platform.h"
#include "measure/broadcast_conversion.h"
#include "measure/sensor_readers.h"
#include "onewire/bus_session.h"
#include "onewire/current_sens.h"
#include "sensors/thermometer_decode.h"

namespace orvel::measure {

// The fast mode's readers: the first thermometer reading of a cycle
// converts every thermometer at once and reads each scratchpad by Match
// ROM; the cycle's later thermometer calls take those results. A value is
// accepted only from a conversion of this cycle. A parasite bus needs the
// adapter's strong pull-up; without one the normal reader serves. Humidity modules and
// bridges are read by the normal readers. Failed accesses are noted, so
// that the next poll searches the bus.
class FastThermometers final : public SensorReaders {
 public:
  FastThermometers(SensorReaders& normal, onewire::BusSession& bus, onewire::DeviceTable& Asens,
                   const std::int16_t& FoundDev, core::Clock& clock, core::MessagePump& pump,
                   std::function<bool()> continuing);

  // A new cycle: the next thermometer reading converts them all again.
  // After a search the bus is asked again how its devices are powered.
  void NewCycle(bool searched) {
    converted_ = false;
    if (searched) {
      parasite_.reset();
      noPullup_ = false;
    }
  }
  // Whether an access failed since the last call.
  bool TakeFailure();

  bool ReadThermometer(std::int16_t slot) override;
  std::pair<ReadState, std::string> ThermometerFailure() const override;
  bool getValueHLT(std::int16_t slot) override;
  void getSerial_HDC_THP(std::uint8_t* buf, std::int16_t slot) override {
    normal_.getSerial_HDC_THP(buf, slot);
  }
  void getSerial_SHT_TH(std::uint8_t* buf, std::int16_t slot) override {
    normal_.getSerial_SHT_TH(buf, slot);
  }
  void getSerial_STS_T(std::uint8_t* buf, std::int16_t slot) override {
    normal_.getSerial_STS_T(buf, slot);
  }
  ChipValues getValue_HDC_THP(std::int16_t slot) override { return normal_.getValue_HDC_THP(slot); }
  ChipValues getValue_SHT_TH(std::int16_t slot) override { return normal_.getValue_SHT_TH(slot); }
  ChipValues getValue_STS_T(std::int16_t slot) override { return normal_.getValue_STS_T(slot); }
  void getSerialP(std::uint8_t* buf, std::int16_t slot) override { normal_.getSerialP(buf, slot); }
  ChipValues getValue_HDC_TP(std::int16_t slot) override { return normal_.getValue_HDC_TP(slot); }

 private:
  // One conversion of every thermometer and the reading of `slots`; the
  // slots whose scratchpad asks for another conversion are returned with
  // what the first one said.
  struct Again {
    int slot;
    sensors::PadVerdict first;
  };
  std::vector<Again> ConvertAndRead(const std::vector<int>& slots,
                                    const std::vector<Again>* second);
  void ReadAll();
  // The slot's scratchpad by Match ROM with an intact CRC, read twice at most.
  std::optional<sensors::Scratchpad> ReadPad(int slot);
  bool Accept(int slot, const sensors::Scratchpad& pad);
  // Notes why the slot gave nothing this cycle; false.
  bool Refuse(int slot, ReadState state, const char* reason);
  std::uint32_t ConversionMillis(const std::vector<int>& slots) const;

  SensorReaders& normal_;
  onewire::BusSession& bus_;
  onewire::DeviceTable& Asens_;
  const std::int16_t& FoundDev_;
  std::function<bool()> continuing_;
  BroadcastConversion conversion_;
  bool converted_ = false;
  std::optional<bool> parasite_;  // Read Power Supply's answer since the last search
  // A parasite bus behind an adapter without strong pull-up: until the next
  // search the thermometers are read one at a time, as specified.
  bool noPullup_ = false;
  bool failed_ = false;
  std::uint32_t waitedMs_ = 0;
  std::array<bool, onewire::kSlotCount> fresh_{};
  std::array<std::pair<ReadState, const char*>, onewire::kSlotCount> why_{};
  std::int16_t lastSlot_ = 0;
  // Configuration byte of each 0x28 seen, by ROM text: its resolution sets
  // the wait.
  std::map<std::string, std::uint8_t> configs_;
};

}  // namespace orvel::measure
