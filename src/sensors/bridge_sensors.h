#pragma once

#include <cstdint>
#include <optional>

#include "core/clock.h"
#include "onewire/bus_session.h"
#include "onewire/current_sens.h"
#include "sensors/ds28e17_transfers.h"

namespace orvel::sensors {

// What a value read stored in the slot in this call.
struct ValuesRead {
  bool temperature = false;
  bool humidity = false;
};

// The HDC, SHT and STS chips behind a bridge probe. A serial read clears
// six bytes and fills them only when every step succeeded (all zero: the
// chip is not fitted); a value read stores into the probe's slot and leaves
// it alone on failure. Nothing is reported: a failure just ends the call.
class BridgeSensors {
 public:
  BridgeSensors(onewire::BusSession& bus, onewire::DeviceTable& Asens, BridgeTransfers& transfers,
                core::Clock& clock);

  void getSerial_HDC_THP(std::uint8_t* buf, std::int16_t Indx);
  void getSerial_SHT_TH(std::uint8_t* buf, std::int16_t Indx);
  void getSerial_STS_T(std::uint8_t* buf, std::int16_t Indx);

  ValuesRead getValue_HDC_THP(std::int16_t Indx);
  ValuesRead getValue_SHT_TH(std::int16_t Indx);
  // Hu is set to 0.0 with the temperature; that is no measurement, so
  // humidity is reported false.
  ValuesRead getValue_STS_T(std::int16_t Indx);

 private:
  using ReadFn = BridgeResult (BridgeTransfers::*)(std::uint8_t*, std::int32_t);
  using WriteFn = BridgeResult (BridgeTransfers::*)(const std::uint8_t*, std::int32_t);

  void StrongAccess();
  // Fresh access, write, optional wait, fresh access, read; false on the
  // first failed transfer.
  bool Exchange(WriteFn write, const std::uint8_t* cmd, std::int32_t cmd_len, std::uint32_t wait_ms,
                ReadFn read, std::uint8_t* reply, std::int32_t reply_len);
  // The HDC's data carry no check: the register is converted twice, and
  // when the codes differ a third time, whose median counts when it lies
  // within one step of the 14-bit code of a neighbour; nullopt on a failed
  // transfer or a disagreement.
  std::optional<double> HdcValue(std::uint8_t reg, double (*decode)(std::uint16_t));
  void SensirionSerial(WriteFn write, ReadFn read, std::uint8_t* buf, std::int16_t Indx);
  // The 15 ms single-shot measurement of SHT and STS; false on failure.
  bool SensirionMeasure(WriteFn write, ReadFn read, std::uint8_t* reply, std::int32_t len,
                        std::int16_t Indx);

  onewire::BusSession& bus_;
  onewire::DeviceTable& Asens_;
  BridgeTransfers& transfers_;
  core::Clock& clock_;
};

}  // namespace orvel::sensors
