#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "onewire/rom_code.h"
#include "publish/mqtt_messages.h"

namespace orvel::publish {
namespace {

using nlohmann::json;

measure::DeviceId Device(const onewire::RomCode& rom) {
  return {rom, onewire::RomText(rom), rom[0]};
}

const onewire::RomCode kRom{0x28, 0xFF, 0x64, 0x1E, 0x0F, 0x16, 0x04, 0x13};

TEST(MqttMessages, RomFormsAreMirrorImages) {
  EXPECT_EQ(FamilyFirstRom(kRom), "28FF641E0F160413");
  EXPECT_EQ(onewire::RomText(kRom), "1304160F1E64FF28");
  for (const auto& rom : {onewire::MakeRom(0x10, 0x0008023F1A2B), onewire::MakeRom(0x26, 1),
                          onewire::MakeRom(0x19, 0xFFFFFFFFFFFF)}) {
    const std::string family = FamilyFirstRom(rom);
    const std::string own = onewire::RomText(rom);
    ASSERT_EQ(family.size(), 16u);
    for (std::size_t i = 0; i < 8; ++i) {
      EXPECT_EQ(family.substr(2 * i, 2), own.substr(14 - 2 * i, 2)) << own;
    }
  }
}

TEST(MqttMessages, ReadingTopicAndPayloadPerQuantity) {
  struct Case {
    measure::Quantity quantity;
    double value;
    const char* topicEnd;
    const char* unit;
  };
  const Case cases[] = {
      {measure::Quantity::Temperature, -10.125, "/temperature", "°C"},
      {measure::Quantity::Humidity, 45.2, "/humidity", "%"},
      {measure::Quantity::Pressure, 100.65327, "/pressure", "kPa"},
      {measure::Quantity::PressureSensorTemperature, 22.1, "/pressure_sensor_temperature", "°C"},
  };
  for (const Case& c : cases) {
    const measure::Reading r{Device(kRom), c.quantity, c.value, 0.0};
    const Message m = ReadingMessage("lab", r, 1798757038123);
    EXPECT_EQ(m.topic, std::string("orvel/lab/28FF641E0F160413") + c.topicEnd);
    EXPECT_FALSE(m.retain);
    const json p = json::parse(m.payload);
    EXPECT_EQ(p.size(), 6u) << m.payload;
    EXPECT_EQ(p.at("value").get<double>(), c.value);  // bit for bit
    EXPECT_EQ(p.at("unit"), c.unit);
    EXPECT_EQ(p.at("time"), "2026-12-31T22:43:58.123Z");
    EXPECT_EQ(p.at("rom"), "28FF641E0F160413");
    EXPECT_EQ(p.at("rom_text"), "1304160F1E64FF28");
    EXPECT_EQ(p.at("kind"), "DS18B20");
  }
  // Units as UTF-8 text, not \u escapes.
  const Message m =
      ReadingMessage("lab", {Device(kRom), measure::Quantity::Temperature, 1.0, 0.0}, 0);
  EXPECT_NE(m.payload.find("\"°C\""), std::string::npos) << m.payload;
}

TEST(MqttMessages, KindsByFamily) {
  const std::pair<std::int32_t, const char*> kinds[] = {
      {0x28, "DS18B20"}, {0x10, "DS18S20"},     {0x26, "DS2438"},
      {0x19, "DS28E17"}, {0x01, "family 0x01"},
  };
  for (const auto& [family, kind] : kinds) EXPECT_EQ(SensorKind(family), kind);
}

TEST(MqttMessages, StatesMapToFreshFailedGone) {
  struct Case {
    measure::ReadState state;
    const char* word;  // null: nothing published
    const char* reason;
  };
  const Case cases[] = {
      {measure::ReadState::NotReadYet, nullptr, ""},
      {measure::ReadState::Fresh, "fresh", ""},
      {measure::ReadState::ReadError, "failed", "read_error"},
      {measure::ReadState::PowerOnValue, "failed", "power_on"},
      {measure::ReadState::Busy, "failed", "busy"},
      {measure::ReadState::FaultCode, "failed", "fault_code"},
      {measure::ReadState::NoSensor, "failed", "no_sensor"},
      {measure::ReadState::Gone, "gone", "gone"},
  };
  for (const Case& c : cases) {
    const auto m = StateMessage("lab", {Device(kRom), c.state, "why", 0.0}, 0);
    ASSERT_EQ(m.has_value(), c.word != nullptr) << measure::ReadStateName(c.state);
    if (!m) continue;
    EXPECT_EQ(m->topic, "orvel/lab/28FF641E0F160413/state");
    EXPECT_TRUE(m->retain);
    const json p = json::parse(m->payload);
    EXPECT_EQ(p.at("state"), c.word);
    EXPECT_EQ(p.at("reason"), c.reason);
    EXPECT_EQ(p.at("time"), "1970-01-01T00:00:00.000Z");
    EXPECT_EQ(p.at("detail"), "why");
    EXPECT_FALSE(p.contains("value"));
  }
}

TEST(MqttMessages, DiscoveryPerSensorAndQuantity) {
  struct Case {
    measure::Quantity quantity;
    const char* deviceClass;
    const char* unit;
  };
  const Case cases[] = {
      {measure::Quantity::Temperature, "temperature", "°C"},
      {measure::Quantity::Humidity, "humidity", "%"},
      {measure::Quantity::Pressure, "pressure", "kPa"},
      {measure::Quantity::PressureSensorTemperature, "temperature", "°C"},
  };
  const auto rom = onewire::MakeRom(0x19, 0x0000001D2E3F);
  const std::string family = FamilyFirstRom(rom);
  for (const Case& c : cases) {
    const std::string q = measure::QuantityName(c.quantity);
    const Message m = DiscoveryMessage("lab.site 1", Device(rom), c.quantity);
    const std::string unique = "orvel_lab_site_1_" + family + "_" + q;
    EXPECT_EQ(m.topic, "homeassistant/sensor/" + unique + "/config");
    EXPECT_TRUE(m.retain);
    const json p = json::parse(m.payload);
    EXPECT_EQ(p.at("unique_id"), unique);
    EXPECT_EQ(p.at("state_topic"), "orvel/lab.site 1/" + family + "/" + q);
    EXPECT_EQ(p.at("value_template"), "{{ value_json.value }}");
    EXPECT_EQ(p.at("unit_of_measurement"), c.unit);
    EXPECT_EQ(p.at("device_class"), c.deviceClass);
    EXPECT_EQ(p.at("state_class"), "measurement");
    EXPECT_EQ(p.at("availability_topic"), "orvel/lab.site 1/availability");
    EXPECT_EQ(p.at("device").at("identifiers"), json::array({"orvel_lab_site_1_" + family}));
    EXPECT_EQ(p.at("device").at("model"), "DS28E17");
  }
}

}  // namespace
}  // namespace orvel::publish
