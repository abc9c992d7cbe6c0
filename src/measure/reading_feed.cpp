#include "measure/reading_feed.h"

namespace orvel::measure {

const char* QuantityName(Quantity q) {
  switch (q) {
    case Quantity::Temperature:
      return "temperature";
    case Quantity::Humidity:
      return "humidity";
    case Quantity::Pressure:
      return "pressure";
    case Quantity::PressureSensorTemperature:
      return "pressure_sensor_temperature";
  }
  return "temperature";
}

const char* QuantityUnit(Quantity q) {
  switch (q) {
    case Quantity::Humidity:
      return "%";
    case Quantity::Pressure:
      return "kPa";
    case Quantity::Temperature:
    case Quantity::PressureSensorTemperature:
      return "°C";
  }
  return "°C";
}

const char* ReadStateName(ReadState s) {
  switch (s) {
    case ReadState::NotReadYet:
      return "not_read";
    case ReadState::Fresh:
      return "fresh";
    case ReadState::ReadError:
      return "read_error";
    case ReadState::PowerOnValue:
      return "power_on";
    case ReadState::Busy:
      return "busy";
    case ReadState::FaultCode:
      return "fault_code";
    case ReadState::NoSensor:
      return "no_sensor";
    case ReadState::Gone:
      return "gone";
  }
  return "not_read";
}

DeviceId DeviceIdOf(const onewire::CurrentSens& sens) {
  return DeviceId{sens.Rom(), sens.ROMS, sens.Family};
}

}  // namespace orvel::measure
