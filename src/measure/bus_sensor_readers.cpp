#include "measure/bus_sensor_readers.h"

namespace orvel::measure {
namespace {

ChipValues Of(sensors::ValuesRead read) { return ChipValues{read.temperature, read.humidity}; }

}  // namespace

BusSensorReaders::BusSensorReaders(onewire::BusSession& bus, onewire::DeviceTable& Asens,
                                   core::Clock& clock, core::MessagePump& pump,
                                   core::Dialogs& dialogs)
    : thermometer(bus, Asens, clock, pump),
      humidity(bus, Asens, clock, pump),
      transfers(bus, Asens, pump, dialogs),
      bridge(bus, Asens, transfers, clock),
      pressure(bus, Asens, transfers, clock, dialogs) {}

bool BusSensorReaders::ReadThermometer(std::int16_t slot) {
  return thermometer.ReadThermometer(slot) == 1.0;
}

bool BusSensorReaders::getValueHLT(std::int16_t slot) { return humidity.getValueHLT(slot); }

void BusSensorReaders::getSerial_HDC_THP(std::uint8_t* buf, std::int16_t slot) {
  bridge.getSerial_HDC_THP(buf, slot);
}

void BusSensorReaders::getSerial_SHT_TH(std::uint8_t* buf, std::int16_t slot) {
  bridge.getSerial_SHT_TH(buf, slot);
}

void BusSensorReaders::getSerial_STS_T(std::uint8_t* buf, std::int16_t slot) {
  bridge.getSerial_STS_T(buf, slot);
}

ChipValues BusSensorReaders::getValue_HDC_THP(std::int16_t slot) {
  return Of(bridge.getValue_HDC_THP(slot));
}

ChipValues BusSensorReaders::getValue_SHT_TH(std::int16_t slot) {
  return Of(bridge.getValue_SHT_TH(slot));
}

ChipValues BusSensorReaders::getValue_STS_T(std::int16_t slot) {
  return Of(bridge.getValue_STS_T(slot));
}

void BusSensorReaders::getSerialP(std::uint8_t* buf, std::int16_t slot) {
  pressure.getSerialP(buf, slot);
}

ChipValues BusSensorReaders::getValue_HDC_TP(std::int16_t slot) {
  return Of(pressure.getValue_HDC_TP(slot));
}

}  // namespace orvel::measure
