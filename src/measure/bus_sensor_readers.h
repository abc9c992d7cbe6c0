#pragma once

#include "core/clock.h"
#include "core/platform.h"
#include "measure/sensor_readers.h"
#include "onewire/bus_session.h"
#include "onewire/current_sens.h"
#include "onewire/device_catalog.h"
#include "sensors/bridge_sensors.h"
#include "sensors/ds28e17_transfers.h"
#include "sensors/humidity_reader.h"
#include "sensors/pressure_sensor.h"
#include "sensors/thermometer_reader.h"

namespace orvel::measure {

// The cycle's reader calls on the real readers of the bus. Each call tells
// the dialogs which device and reading the notices raised inside it are
// about.
class BusSensorReaders final : public SensorReaders {
 public:
  BusSensorReaders(onewire::BusSession& bus, onewire::DeviceTable& Asens, core::Clock& clock,
                   core::MessagePump& pump, core::Dialogs& dialogs);

  bool ReadThermometer(std::int16_t slot) override;
  std::pair<ReadState, std::string> ThermometerFailure() const override;
  bool getValueHLT(std::int16_t slot) override;
  void getSerial_HDC_THP(std::uint8_t* buf, std::int16_t slot) override;
  void getSerial_SHT_TH(std::uint8_t* buf, std::int16_t slot) override;
  void getSerial_STS_T(std::uint8_t* buf, std::int16_t slot) override;
  ChipValues getValue_HDC_THP(std::int16_t slot) override;
  ChipValues getValue_SHT_TH(std::int16_t slot) override;
  ChipValues getValue_STS_T(std::int16_t slot) override;
  void getSerialP(std::uint8_t* buf, std::int16_t slot) override;
  ChipValues getValue_HDC_TP(std::int16_t slot) override;

  sensors::ThermometerReader thermometer;
  sensors::HumidityReader humidity;
  sensors::BridgeTransfers transfers;
  sensors::BridgeSensors bridge;
  sensors::PressureSensor pressure;

 private:
  // Runs `read` with the slot's ROM text and `reading` as the notice context.
  template <typename Read>
  auto About(std::int16_t slot, const char* reading, Read read);

  onewire::DeviceTable& Asens_;
  core::Dialogs& dialogs_;
};

// The catalogue's two calls for the cycle.
class CatalogCallsOf final : public CatalogCalls {
 public:
  explicit CatalogCallsOf(onewire::DeviceCatalog& catalog) : catalog_(catalog) {}
  void Hex2Rom(const std::string& text) override { catalog_.Hex2Rom(text); }
  void sendAllDevices() override { catalog_.sendAllDevices(); }

 private:
  onewire::DeviceCatalog& catalog_;
};

}  // namespace orvel::measure
