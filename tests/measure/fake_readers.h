#pragma once

#include <array>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "measure/sensor_readers.h"
#include "onewire/current_sens.h"
#include "onewire/rom_code.h"

namespace orvel::measure::testing {

// One chip behind a bridge as the fake readers report it.
struct FakeChip {
  std::array<std::uint8_t, 6> serial{};  // all 0: not fitted
  double temperature = 0.0;
  double humidity = 0.0;
  bool readOk = true;  // the value read succeeds
};

struct FakeBridge {
  FakeChip hdc, sht, sts;
  std::uint8_t pressureId = 0;  // 0x58: a pressure sensor answers
  double pressure = 0.0;        // kPa; 0: the read failed
  double pressureTemperature = 0.0;
};

// Readers that write what a test scripted into the slots and log each call.
class FakeReaders final : public SensorReaders {
 public:
  explicit FakeReaders(onewire::DeviceTable& Asens) : Asens_(Asens) {}

  // Per slot: the next thermometer reading, nullopt for a failed one.
  std::map<int, std::optional<double>> thermometer;
  // Per slot: Hu written by the humidity computation, nullopt when the
  // module could not be reached.
  std::map<int, std::optional<double>> humidity;
  std::map<int, FakeBridge> bridges;
  std::vector<std::string> calls;
  std::function<void(const std::string& call)> during;  // runs inside every call

  bool ReadThermometer(std::int16_t slot) override {
    Log("T", slot);
    auto it = thermometer.find(slot);
    if (it == thermometer.end() || !it->second) return false;
    Asens_[static_cast<std::size_t>(slot)].CorrectTemp = *it->second;
    Asens_[static_cast<std::size_t>(slot)].FlagReadyValue = 1;
    return true;
  }
  bool getValueHLT(std::int16_t slot) override {
    Log("H", slot);
    auto it = humidity.find(slot);
    if (it == humidity.end() || !it->second) return false;
    Asens_[static_cast<std::size_t>(slot)].Hu = *it->second;
    return true;
  }
  void getSerial_HDC_THP(std::uint8_t* buf, std::int16_t slot) override {
    Serial("sHDC", &FakeBridge::hdc, buf, slot);
  }
  void getSerial_SHT_TH(std::uint8_t* buf, std::int16_t slot) override {
    Serial("sSHT", &FakeBridge::sht, buf, slot);
  }
  void getSerial_STS_T(std::uint8_t* buf, std::int16_t slot) override {
    Serial("sSTS", &FakeBridge::sts, buf, slot);
  }
  ChipValues getValue_HDC_THP(std::int16_t slot) override {
    return Value("vHDC", &FakeBridge::hdc, slot, true);
  }
  ChipValues getValue_SHT_TH(std::int16_t slot) override {
    return Value("vSHT", &FakeBridge::sht, slot, true);
  }
  ChipValues getValue_STS_T(std::int16_t slot) override {
    return Value("vSTS", &FakeBridge::sts, slot, false);
  }
  void getSerialP(std::uint8_t* buf, std::int16_t slot) override {
    Log("sP", slot);
    std::fill(buf, buf + 6, 0);
    buf[0] = bridges[slot].pressureId;
  }
  ChipValues getValue_HDC_TP(std::int16_t slot) override {
    Log("vP", slot);
    const FakeBridge& b = bridges[slot];
    auto& sens = Asens_[static_cast<std::size_t>(slot)];
    sens.Hu = b.pressure;
    if (b.pressure == 0.0) return {};
    sens.Temperature = b.pressureTemperature;
    return {true, true};
  }

 private:
  void Log(const char* what, int slot) {
    const std::string call = what + std::to_string(slot);
    calls.push_back(call);
    if (during) during(call);
  }
  void Serial(const char* what, FakeChip FakeBridge::*chip, std::uint8_t* buf, int slot) {
    Log(what, slot);
    const auto& serial = (bridges[slot].*chip).serial;
    std::copy(serial.begin(), serial.end(), buf);
  }
  ChipValues Value(const char* what, FakeChip FakeBridge::*chip, int slot, bool humidity) {
    Log(what, slot);
    const FakeChip& c = bridges[slot].*chip;
    if (!c.readOk) return {};
    auto& sens = Asens_[static_cast<std::size_t>(slot)];
    sens.Temperature = c.temperature;
    sens.Hu = humidity ? c.humidity : 0.0;
    return {true, humidity};
  }

  onewire::DeviceTable& Asens_;
};

// Hex2Rom and the broadcast, on the session's ROM buffer.
class FakeCatalog final : public CatalogCalls {
 public:
  explicit FakeCatalog(std::array<std::int16_t, 9>& rom) : rom_(rom) {}
  void Hex2Rom(const std::string& text) override {
    ++hex2rom;
    auto code = onewire::ParseRomText(text);
    if (!code) return;
    rom_.fill(0);
    for (std::size_t i = 0; i < 8; ++i) rom_[i] = (*code)[i];
  }
  void sendAllDevices() override { ++broadcasts; }
  int broadcasts = 0;
  int hex2rom = 0;

 private:
  std::array<std::int16_t, 9>& rom_;
};

}  // namespace orvel::measure::testing
