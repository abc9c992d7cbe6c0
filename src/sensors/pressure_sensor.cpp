#include "sensors/pressure_sensor.h"

#include <algorithm>
#include <array>
#include <string>

#include "sensors/bmp280_compensation.h"

namespace orvel::sensors {
namespace {

constexpr std::uint8_t kStop = 1;
constexpr std::uint8_t kNoStop = 0;
constexpr std::uint8_t kRegId = 0xD0;
constexpr std::array<std::uint8_t, 2> kConfigOff{0xF5, 0x00};
// Temperature and pressure oversampling x8, forced mode.
constexpr std::array<std::uint8_t, 2> kForcedX8{0xF4, 0x91};
constexpr std::uint8_t kRegData = 0xF7;
constexpr std::uint8_t kRegCalibration = 0x88;
constexpr std::uint32_t kMeasureWaitMs = 100;
// The chip's measuring range; outside it a value has been corrupted.
constexpr double kMinCelsius = -40.0, kMaxCelsius = 85.0;
constexpr double kMinKpa = 30.0, kMaxKpa = 110.0;

// The chip holds its data registers after a forced measurement and its
// calibration for good, so every read must bring the same bytes. On a noisy
// line two reads share the same corruption too often; three rarely do.
constexpr int kReads = 3;
constexpr std::size_t kMaxBlock = 24;

bool InRange(double v, double lo, double hi) { return v >= lo && v <= hi; }

}  // namespace

PressureSensor::PressureSensor(onewire::BusSession& bus, onewire::DeviceTable& Asens,
                               BridgeTransfers& transfers, core::Clock& clock,
                               core::Dialogs& dialogs)
    : bus_(bus), Asens_(Asens), transfers_(transfers), clock_(clock), dialogs_(dialogs) {}

void PressureSensor::StrongAccess() {
  bus_.tmex.TMStrongAccess(bus_.SHandle, bus_.StateBuf.data());
}

void PressureSensor::ShowError(BridgeResult result) {
  dialogs_.ShowNotice("ErrorRead " + std::to_string(result));
}

void PressureSensor::getSerialP(std::uint8_t* buf, std::int16_t Indx) {
  std::fill_n(buf, 6, std::uint8_t{0});
  if (!transfers_.SelectDevice(Indx)) return;
  StrongAccess();
  if (transfers_.I2CWriteP(&kRegId, 1, kNoStop) < 0) return;
  StrongAccess();
  std::uint8_t id = 0;
  if (transfers_.I2CReadP(&id, 1) < 0) return;
  buf[0] = id;
}

bool PressureSensor::ReadRegisters(std::uint8_t reg, std::uint8_t* buf, std::int32_t n,
                                   bool pointerMessage) {
  StrongAccess();
  if (const BridgeResult r = transfers_.I2CWriteP(&reg, 1, kNoStop); r < 0) {
    if (pointerMessage) ShowError(r);
    return false;
  }
  StrongAccess();
  if (const BridgeResult r = transfers_.I2CReadP(buf, n); r < 0) {
    ShowError(r);
    return false;
  }
  return true;
}

bool PressureSensor::ReadAlike(std::uint8_t reg, std::uint8_t* buf, std::int32_t n,
                               bool pointerMessage) {
  if (!ReadRegisters(reg, buf, n, pointerMessage)) return false;
  for (int i = 1; i < kReads; ++i) {
    std::array<std::uint8_t, kMaxBlock> again{};
    if (!ReadRegisters(reg, again.data(), n, pointerMessage)) return false;
    if (!std::equal(buf, buf + n, again.begin())) return false;
  }
  return true;
}

ValuesRead PressureSensor::getValue_HDC_TP(std::int16_t Indx) {
  auto& slot = Asens_.at(static_cast<std::size_t>(Indx));
  slot.Hu = 0.0;
  if (!transfers_.SelectDevice(Indx)) return {};
  // The selection has just addressed the bridge for the first transfer.
  if (const BridgeResult r = transfers_.I2CWriteP(kConfigOff.data(), 2, kStop); r < 0) {
    ShowError(r);
    return {};
  }
  StrongAccess();
  if (const BridgeResult r = transfers_.I2CWriteP(kForcedX8.data(), 2, kStop); r < 0) {
    ShowError(r);
    return {};
  }
  clock_.Sleep(kMeasureWaitMs);
  std::array<std::uint8_t, 6> data{};
  if (!ReadAlike(kRegData, data.data(), 6, false)) return {};
  std::array<std::uint8_t, kMaxBlock> calibration{};
  if (!ReadAlike(kRegCalibration, calibration.data(), 24, true)) return {};
  const Bmp280Values v =
      Compensate(ParseCalibration(calibration.data()), ParseRawData(data.data()));
  if (!InRange(v.stored_temperature, kMinCelsius, kMaxCelsius)) return {};
  if (v.has_pressure && !InRange(v.stored_pressure_kpa, kMinKpa, kMaxKpa)) return {};
  slot.Temperature = v.stored_temperature;
  slot.Hu = v.stored_pressure_kpa;
  return {true, slot.Hu != 0.0};
}

}  // namespace orvel::sensors
