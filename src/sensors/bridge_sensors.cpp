#include "sensors/bridge_sensors.h"

#include <algorithm>
#include <array>

#include "sensors/bridge_chip_decode.h"

namespace orvel::sensors {
namespace {

constexpr std::uint32_t kHdcWaitMs = 20;
constexpr std::uint32_t kSensirionWaitMs = 15;
constexpr std::array<std::uint8_t, 2> kSingleShot{0x2C, 0x06};
constexpr std::array<std::uint8_t, 2> kReadSerial{0x37, 0x80};
constexpr std::uint8_t kHdcTemperature = 0x00;
constexpr std::uint8_t kHdcHumidity = 0x01;
constexpr std::array<std::uint8_t, 3> kHdcSerialRegisters{0xFB, 0xFC, 0xFD};
// One step of the 14-bit result in the 16-bit register: conversions of an
// unchanged quantity lie within it; a wider gap is a corrupted byte.
constexpr int kHdcStep = 4;

}  // namespace

BridgeSensors::BridgeSensors(onewire::BusSession& bus, onewire::DeviceTable& Asens,
                             BridgeTransfers& transfers, core::Clock& clock)
    : bus_(bus), Asens_(Asens), transfers_(transfers), clock_(clock) {}

void BridgeSensors::StrongAccess() {
  // The bridge needs its ROM selection before every frame; a failure shows
  // in the transfer that follows.
  bus_.tmex.TMStrongAccess(bus_.SHandle, bus_.StateBuf.data());
}

bool BridgeSensors::Exchange(WriteFn write, const std::uint8_t* cmd, std::int32_t cmd_len,
                             std::uint32_t wait_ms, ReadFn read, std::uint8_t* reply,
                             std::int32_t reply_len) {
  StrongAccess();
  if ((transfers_.*write)(cmd, cmd_len) < 0) return false;
  if (wait_ms > 0) clock_.Sleep(wait_ms);
  StrongAccess();
  return (transfers_.*read)(reply, reply_len) >= 0;
}

void BridgeSensors::getSerial_HDC_THP(std::uint8_t* buf, std::int16_t Indx) {
  std::fill_n(buf, 6, std::uint8_t{0});
  if (!transfers_.SelectDevice(Indx)) return;
  std::array<std::uint8_t, 6> serial{};
  for (std::size_t i = 0; i < kHdcSerialRegisters.size(); ++i) {
    if (!Exchange(&BridgeTransfers::I2CWriteHDC, &kHdcSerialRegisters[i], 1, 0,
                  &BridgeTransfers::I2CReadHDC, serial.data() + 2 * i, 2)) {
      return;
    }
  }
  std::copy(serial.begin(), serial.end(), buf);
}

void BridgeSensors::SensirionSerial(WriteFn write, ReadFn read, std::uint8_t* buf,
                                    std::int16_t Indx) {
  std::fill_n(buf, 6, std::uint8_t{0});
  if (!transfers_.SelectDevice(Indx)) return;
  std::array<std::uint8_t, 6> r{};
  if (!Exchange(write, kReadSerial.data(), 2, 0, read, r.data(), 6)) return;
  if (!WordCrcOk(&r[0]) || !WordCrcOk(&r[3])) return;
  buf[0] = r[0];
  buf[1] = r[1];
  buf[2] = r[3];
  buf[3] = r[4];
}

void BridgeSensors::getSerial_SHT_TH(std::uint8_t* buf, std::int16_t Indx) {
  SensirionSerial(&BridgeTransfers::I2CWriteSHT, &BridgeTransfers::I2CReadSHT, buf, Indx);
}

void BridgeSensors::getSerial_STS_T(std::uint8_t* buf, std::int16_t Indx) {
  SensirionSerial(&BridgeTransfers::I2CWriteSTS, &BridgeTransfers::I2CReadSTS, buf, Indx);
}

std::optional<double> BridgeSensors::HdcValue(std::uint8_t reg, double (*decode)(std::uint16_t)) {
  std::array<std::uint16_t, 3> codes{};
  std::size_t n = 0;
  const auto convert = [&] {
    std::array<std::uint8_t, 2> r{};
    if (!Exchange(&BridgeTransfers::I2CWriteHDC, &reg, 1, kHdcWaitMs, &BridgeTransfers::I2CReadHDC,
                  r.data(), 2)) {
      return false;
    }
    codes[n++] = Word(r.data());
    return true;
  };
  if (!convert() || !convert()) return std::nullopt;
  if (codes[0] == codes[1]) return decode(codes[0]);
  // A third conversion decides: the median outvotes one corrupted
  // conversion, and it must lie within a step of a neighbour.
  if (!convert()) return std::nullopt;
  std::sort(codes.begin(), codes.end());
  if (codes[1] - codes[0] > kHdcStep && codes[2] - codes[1] > kHdcStep) return std::nullopt;
  return decode(codes[1]);
}

ValuesRead BridgeSensors::getValue_HDC_THP(std::int16_t Indx) {
  ValuesRead stored;
  if (!transfers_.SelectDevice(Indx)) return stored;
  auto& slot = Asens_.at(static_cast<std::size_t>(Indx));
  const auto t = HdcValue(kHdcTemperature, &HdcTemperature);
  if (!t) return stored;
  slot.Temperature = *t;
  stored.temperature = true;
  const auto h = HdcValue(kHdcHumidity, &HdcHumidity);
  if (!h) return stored;  // the new temperature stays with the previous humidity
  slot.Hu = *h;
  stored.humidity = true;
  return stored;
}

bool BridgeSensors::SensirionMeasure(WriteFn write, ReadFn read, std::uint8_t* reply,
                                     std::int32_t len, std::int16_t Indx) {
  if (!transfers_.SelectDevice(Indx)) return false;
  return Exchange(write, kSingleShot.data(), 2, kSensirionWaitMs, read, reply, len);
}

ValuesRead BridgeSensors::getValue_SHT_TH(std::int16_t Indx) {
  std::array<std::uint8_t, 6> r{};
  if (!SensirionMeasure(&BridgeTransfers::I2CWriteSHT, &BridgeTransfers::I2CReadSHT, r.data(), 6,
                        Indx)) {
    return {};
  }
  // Both words or neither: a humidity CRC error also drops the temperature.
  if (!WordCrcOk(&r[0]) || !WordCrcOk(&r[3])) return {};
  auto& slot = Asens_.at(static_cast<std::size_t>(Indx));
  slot.Temperature = ShtTemperature(Word(&r[0]));
  slot.Hu = ShtHumidity(Word(&r[3]));
  return {true, true};
}

ValuesRead BridgeSensors::getValue_STS_T(std::int16_t Indx) {
  std::array<std::uint8_t, 4> r{};
  if (!SensirionMeasure(&BridgeTransfers::I2CWriteSTS, &BridgeTransfers::I2CReadSTS, r.data(), 4,
                        Indx)) {
    return {};
  }
  if (!WordCrcOk(&r[0])) return {};
  auto& slot = Asens_.at(static_cast<std::size_t>(Indx));
  slot.Temperature = ShtTemperature(Word(&r[0]));
  slot.Hu = 0.0;
  return {true, false};
}

}  // namespace orvel::sensors
