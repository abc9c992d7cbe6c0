#pragma once

#include <cstdint>

#include "core/clock.h"
#include "core/platform.h"
#include "onewire/bus_session.h"
#include "onewire/current_sens.h"
#include "sensors/bridge_sensors.h"
#include "sensors/ds28e17_transfers.h"

namespace orvel::sensors {

// The identification byte of the pressure sensor.
inline constexpr std::uint8_t kBmp280ChipId = 0x58;

// The BMP280 behind a bridge probe: an identification check and one forced
// measurement with the factory calibration read afresh each time. The
// pressure in kPa goes into the slot's Hu (0.0: no pressure obtained).
class PressureSensor {
 public:
  PressureSensor(onewire::BusSession& bus, onewire::DeviceTable& Asens, BridgeTransfers& transfers,
                 core::Clock& clock, core::Dialogs& dialogs);

  // buf[0] receives the identification byte; all six bytes 0 on failure.
  void getSerialP(std::uint8_t* buf, std::int16_t Indx);
  // temperature: Temperature was stored; humidity: a non-zero pressure was
  // stored in Hu. The chip's data carry no check, so the data registers and
  // the calibration are each read three times and must come back the same,
  // and the results must lie in the chip's range; otherwise nothing but
  // Hu = 0 is stored.
  ValuesRead getValue_HDC_TP(std::int16_t Indx);

 private:
  void StrongAccess();
  void ShowError(BridgeResult result);
  // Fresh access, register pointer without stop, fresh access, read of n
  // bytes; false on a failed transfer, with the message where one is due.
  bool ReadRegisters(std::uint8_t reg, std::uint8_t* buf, std::int32_t n, bool pointerMessage);
  // The same block read kReads times; false when a read fails or differs.
  bool ReadAlike(std::uint8_t reg, std::uint8_t* buf, std::int32_t n, bool pointerMessage);

  onewire::BusSession& bus_;
  onewire::DeviceTable& Asens_;
  BridgeTransfers& transfers_;
  core::Clock& clock_;
  core::Dialogs& dialogs_;
};

}  // namespace orvel::sensors
