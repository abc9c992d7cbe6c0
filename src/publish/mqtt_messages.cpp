#include "publish/mqtt_messages.h"

#include <cstdio>
#include <nlohmann/json.hpp>

#include "publish/utc_time.h"

namespace orvel::publish {
namespace {

// Keys in the order they are listed for people reading the payloads.
using json = nlohmann::ordered_json;

std::string Dump(const json& j) { return j.dump(-1, ' ', false, json::error_handler_t::replace); }

std::string DeviceTopic(const std::string& station, const measure::DeviceId& device) {
  return "orvel/" + station + "/" + FamilyFirstRom(device.rom);
}

// Letters, digits, '_' and '-' only: what a discovery topic and id allow.
std::string IdPart(const std::string& text) {
  std::string id;
  for (const char c : text) {
    const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                    c == '_' || c == '-';
    id += ok ? c : '_';
  }
  return id;
}

const char* DeviceClass(measure::Quantity q) {
  switch (q) {
    case measure::Quantity::Humidity:
      return "humidity";
    case measure::Quantity::Pressure:
      return "pressure";
    case measure::Quantity::Temperature:
    case measure::Quantity::PressureSensorTemperature:
      return "temperature";
  }
  return "temperature";
}

const char* EntityName(measure::Quantity q) {
  switch (q) {
    case measure::Quantity::Temperature:
      return "Temperature";
    case measure::Quantity::Humidity:
      return "Humidity";
    case measure::Quantity::Pressure:
      return "Pressure";
    case measure::Quantity::PressureSensorTemperature:
      return "Pressure sensor temperature";
  }
  return "Temperature";
}

}  // namespace

std::string FamilyFirstRom(const onewire::RomCode& rom) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string text;
  for (const std::uint8_t b : rom) {
    text += kHex[b >> 4];
    text += kHex[b & 0x0F];
  }
  return text;
}

std::string SensorKind(std::int32_t family) {
  switch (family) {
    case onewire::kFamilyDs18b20:
      return "DS18B20";
    case onewire::kFamilyDs18s20:
      return "DS18S20";
    case onewire::kFamilyDs2438:
      return "DS2438";
    case onewire::kFamilyDs28e17:
      return "DS28E17";
    default: {
      char text[16];
      std::snprintf(text, sizeof text, "family 0x%02X", static_cast<unsigned>(family) & 0xFFu);
      return text;
    }
  }
}

std::string AvailabilityTopic(const std::string& station) {
  return "orvel/" + station + "/availability";
}

Message ReadingMessage(const std::string& station, const measure::Reading& reading,
                       std::int64_t utcMillis) {
  const json payload = {{"value", reading.value},
                        {"unit", measure::QuantityUnit(reading.quantity)},
                        {"time", IsoUtc(utcMillis)},
                        {"rom", FamilyFirstRom(reading.device.rom)},
                        {"rom_text", reading.device.romText},
                        {"kind", SensorKind(reading.device.family)}};
  return {DeviceTopic(station, reading.device) + "/" + measure::QuantityName(reading.quantity),
          Dump(payload), false};
}

std::optional<std::string> StateWord(measure::ReadState state) {
  switch (state) {
    case measure::ReadState::NotReadYet:
      return std::nullopt;
    case measure::ReadState::Fresh:
      return "fresh";
    case measure::ReadState::Gone:
      return "gone";
    case measure::ReadState::ReadError:
    case measure::ReadState::PowerOnValue:
    case measure::ReadState::Busy:
    case measure::ReadState::FaultCode:
    case measure::ReadState::NoSensor:
      return "failed";
  }
  return std::nullopt;
}

std::optional<Message> StateMessage(const std::string& station, const measure::StateReport& report,
                                    std::int64_t utcMillis) {
  const auto word = StateWord(report.state);
  if (!word) return std::nullopt;
  json payload = {
      {"state", *word},
      {"time", IsoUtc(utcMillis)},
      {"reason",
       report.state == measure::ReadState::Fresh ? "" : measure::ReadStateName(report.state)}};
  if (!report.reason.empty()) payload["detail"] = report.reason;
  return Message{DeviceTopic(station, report.device) + "/state", Dump(payload), true};
}

Message DiscoveryMessage(const std::string& station, const measure::DeviceId& device,
                         measure::Quantity quantity) {
  const std::string rom = FamilyFirstRom(device.rom);
  const std::string deviceId = "orvel_" + IdPart(station) + "_" + rom;
  const std::string unique = deviceId + "_" + measure::QuantityName(quantity);
  const std::string kind = SensorKind(device.family);
  const json payload = {
      {"name", EntityName(quantity)},
      {"unique_id", unique},
      {"object_id", unique},
      {"state_topic", DeviceTopic(station, device) + "/" + measure::QuantityName(quantity)},
      {"value_template", "{{ value_json.value }}"},
      {"unit_of_measurement", measure::QuantityUnit(quantity)},
      {"device_class", DeviceClass(quantity)},
      {"state_class", "measurement"},
      {"availability_topic", AvailabilityTopic(station)},
      {"payload_available", kOnline},
      {"payload_not_available", kOffline},
      {"device",
       {{"identifiers", json::array({deviceId})},
        {"name", kind + " " + rom},
        {"model", kind},
        {"serial_number", rom}}}};
  return {"homeassistant/sensor/" + unique + "/config", Dump(payload), true};
}

}  // namespace orvel::publish
