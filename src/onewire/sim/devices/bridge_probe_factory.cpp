#include "onewire/sim/devices/bridge_probe_factory.h"

#include <string>

#include "onewire/sim/devices/bmp280_chip.h"
#include "onewire/sim/devices/bmp280_fixed_point.h"
#include "onewire/sim/devices/ds28e17_device.h"
#include "onewire/sim/devices/hdc_chip.h"
#include "onewire/sim/devices/sensirion_chip.h"
#include "onewire/sim/sim_families.h"

namespace orvel::sim {
namespace {

constexpr std::int64_t kRawMax = (1 << 20) - 1;

// The faults a chip behind the bridge can show; the others belong to the
// bridge itself, and a fault that would do nothing is refused rather than
// ignored.
Faults ChipFaults(const JsonObject& chip) {
  if (chip.Has("faults"))
    chip.Object("faults").AllowOnly({"absent_after", "returns_after", "nack"});
  return chip.ReadFaults();
}

// `digits` hexadecimal digits, most significant first.
std::uint64_t HexSerial(const JsonObject& chip, std::size_t digits, const std::string& fallback) {
  const std::string text = chip.String("serial", fallback);
  if (text.size() != digits ||
      text.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos) {
    chip.Fail("serial", "expected " + std::to_string(digits) + " hexadecimal digits");
  }
  return std::stoull(text, nullptr, 16);
}

std::unique_ptr<I2cChip> MakeHdc(const JsonObject& chip) {
  chip.AllowOnly({"temperature", "humidity", "serial", "faults"});
  HdcSettings settings;
  settings.temperature = chip.Value("temperature", kCelsius, 21.0);
  settings.humidity = chip.Value("humidity", kPercentRh, 45.0);
  const std::uint64_t serial = HexSerial(chip, 12, "0102030405A6");
  for (std::size_t i = 0; i < settings.serial.size(); ++i) {
    settings.serial[i] = static_cast<std::uint8_t>(serial >> (8 * (5 - i)));
  }
  return std::make_unique<HdcChip>(settings, ChipFaults(chip));
}

std::unique_ptr<I2cChip> MakeSensirion(const JsonObject& chip, bool has_humidity) {
  if (has_humidity) {
    chip.AllowOnly({"temperature", "humidity", "serial", "faults"});
  } else {
    chip.AllowOnly({"temperature", "serial", "faults"});
  }
  SensirionSettings settings;
  settings.temperature = chip.Value("temperature", kCelsius, 21.0);
  if (has_humidity) settings.humidity = chip.Value("humidity", kPercentRh, 45.0);
  const std::uint64_t serial = HexSerial(chip, 8, has_humidity ? "1A2B3C4D" : "5E6F7081");
  settings.serial = {static_cast<std::uint16_t>(serial >> 16), static_cast<std::uint16_t>(serial)};
  return std::make_unique<SensirionChip>(
      has_humidity ? SensirionChip::kShtAddress : SensirionChip::kStsAddress, has_humidity,
      settings, ChipFaults(chip));
}

sensors::Bmp280Calibration ReadCalibration(const JsonObject& chip) {
  const auto& list = chip.json().at("calibration");
  if (!list.is_array() || list.size() != 12) {
    chip.Fail("calibration", "expected the twelve words T1..P9");
  }
  std::array<std::int64_t, 12> w{};
  for (std::size_t i = 0; i < w.size(); ++i) {
    const bool unsigned_word = i == 0 || i == 3;  // T1 and P1
    const std::int64_t lo = unsigned_word ? 0 : -32768;
    const std::int64_t hi = unsigned_word ? 65535 : 32767;
    const auto word = WholeNumberIn(list[i], lo, hi);
    if (!word) {
      chip.Fail("calibration", "word " + std::to_string(i + 1) + " must be a whole number from " +
                                   std::to_string(lo) + " to " + std::to_string(hi));
    }
    w[i] = *word;
  }
  sensors::Bmp280Calibration c;
  c.T1 = static_cast<std::uint16_t>(w[0]);
  c.T2 = static_cast<std::int16_t>(w[1]);
  c.T3 = static_cast<std::int16_t>(w[2]);
  c.P1 = static_cast<std::uint16_t>(w[3]);
  c.P2 = static_cast<std::int16_t>(w[4]);
  c.P3 = static_cast<std::int16_t>(w[5]);
  c.P4 = static_cast<std::int16_t>(w[6]);
  c.P5 = static_cast<std::int16_t>(w[7]);
  c.P6 = static_cast<std::int16_t>(w[8]);
  c.P7 = static_cast<std::int16_t>(w[9]);
  c.P8 = static_cast<std::int16_t>(w[10]);
  c.P9 = static_cast<std::int16_t>(w[11]);
  return c;
}

std::unique_ptr<I2cChip> MakeBmp280(const JsonObject& chip) {
  chip.AllowOnly(
      {"temperature", "pressure", "raw_temperature", "raw_pressure", "calibration", "faults"});
  Bmp280Settings settings;
  settings.temperature = chip.Value("temperature", kCelsius, 21.0);
  settings.pressure = chip.Value("pressure", kPascal, 101325.0);
  if (chip.Has("raw_temperature")) {
    settings.raw_temperature =
        static_cast<std::int32_t>(chip.Integer("raw_temperature", 0, kRawMax));
  }
  if (chip.Has("raw_pressure")) {
    settings.raw_pressure = static_cast<std::int32_t>(chip.Integer("raw_pressure", 0, kRawMax));
  }
  settings.calibration = chip.Has("calibration") ? ReadCalibration(chip) : DatasheetCalibration();
  return std::make_unique<Bmp280Chip>(settings, ChipFaults(chip));
}

}  // namespace

std::unique_ptr<SimDevice> MakeBridgeProbe(const onewire::RomCode& rom, const JsonObject& device,
                                           const Faults& faults) {
  device.AllowOnly({ORVEL_SIM_COMMON_KEYS, "i2c", "busy_polls"});
  if (device.Has("faults")) {
    device.Object("faults").AllowOnly(
        {"absent_after", "returns_after", "crc_error_rate", "seed", "busy_forever"});
  }
  const auto busy_polls = static_cast<int>(device.Integer("busy_polls", 0, 1000000, 1));
  auto bridge = std::make_unique<Ds28e17Device>(rom, faults, busy_polls);
  if (!device.Has("i2c")) return bridge;
  const JsonObject i2c = device.Object("i2c");
  i2c.AllowOnly({"hdc", "sht", "sts", "bmp280"});
  if (i2c.Has("hdc")) bridge->AddChip(MakeHdc(i2c.Object("hdc")));
  if (i2c.Has("sht")) bridge->AddChip(MakeSensirion(i2c.Object("sht"), true));
  if (i2c.Has("sts")) bridge->AddChip(MakeSensirion(i2c.Object("sts"), false));
  if (i2c.Has("bmp280")) bridge->AddChip(MakeBmp280(i2c.Object("bmp280")));
  return bridge;
}

}  // namespace orvel::sim
