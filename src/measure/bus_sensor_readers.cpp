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
      pressure(bus, Asens, transfers, clock, dialogs),
      Asens_(Asens),
      dialogs_(dialogs) {}

template <typename Read>
auto BusSensorReaders::About(std::int16_t slot, const char* reading, Read read) {
  const bool listed = slot >= 0 && slot < onewire::kSlotCount;
  const core::NoticeContext context(
      dialogs_, listed ? Asens_[static_cast<std::size_t>(slot)].ROMS + " " + reading : reading);
  return read();
}

bool BusSensorReaders::ReadThermometer(std::int16_t slot) {
  return About(slot, "thermometer", [&] { return thermometer.ReadThermometer(slot) == 1.0; });
}

std::pair<ReadState, std::string> BusSensorReaders::ThermometerFailure() const {
  using sensors::ThermometerFault;
  switch (thermometer.lastFault) {
    case ThermometerFault::kNotSelected:
      return {ReadState::ReadError, "no answer to Match ROM"};
    case ThermometerFault::kNoAnswer:
      return {ReadState::ReadError, "no answer after the conversion"};
    case ThermometerFault::kCrc:
      return {ReadState::ReadError, "scratchpad CRC error"};
    case ThermometerFault::kPowerOn:
      return {ReadState::PowerOnValue, "power-on value"};
    case ThermometerFault::kContent:
      return {ReadState::ReadError, "implausible scratchpad"};
    case ThermometerFault::kNone:
      break;
  }
  return SensorReaders::ThermometerFailure();
}

bool BusSensorReaders::getValueHLT(std::int16_t slot) {
  return About(slot, "humidity module", [&] { return humidity.getValueHLT(slot); });
}

void BusSensorReaders::getSerial_HDC_THP(std::uint8_t* buf, std::int16_t slot) {
  About(slot, "HDC serial", [&] { bridge.getSerial_HDC_THP(buf, slot); });
}

void BusSensorReaders::getSerial_SHT_TH(std::uint8_t* buf, std::int16_t slot) {
  About(slot, "SHT serial", [&] { bridge.getSerial_SHT_TH(buf, slot); });
}

void BusSensorReaders::getSerial_STS_T(std::uint8_t* buf, std::int16_t slot) {
  About(slot, "STS serial", [&] { bridge.getSerial_STS_T(buf, slot); });
}

ChipValues BusSensorReaders::getValue_HDC_THP(std::int16_t slot) {
  return About(slot, "HDC temperature and humidity",
               [&] { return Of(bridge.getValue_HDC_THP(slot)); });
}

ChipValues BusSensorReaders::getValue_SHT_TH(std::int16_t slot) {
  return About(slot, "SHT temperature and humidity",
               [&] { return Of(bridge.getValue_SHT_TH(slot)); });
}

ChipValues BusSensorReaders::getValue_STS_T(std::int16_t slot) {
  return About(slot, "STS temperature", [&] { return Of(bridge.getValue_STS_T(slot)); });
}

void BusSensorReaders::getSerialP(std::uint8_t* buf, std::int16_t slot) {
  About(slot, "BMP280 identification", [&] { pressure.getSerialP(buf, slot); });
}

ChipValues BusSensorReaders::getValue_HDC_TP(std::int16_t slot) {
  return About(slot, "BMP280 pressure", [&] { return Of(pressure.getValue_HDC_TP(slot)); });
}

}  // namespace orvel::measure
