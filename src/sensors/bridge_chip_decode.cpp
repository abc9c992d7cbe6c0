#include "sensors/bridge_chip_decode.h"

#include "core/rounding.h"

namespace orvel::sensors {

std::uint8_t CalcCRC8(const std::uint8_t* buf, std::uint8_t count) {
  std::uint8_t crc = 0xFF;
  for (std::uint8_t i = 0; i < count; ++i) {
    crc ^= buf[i];
    for (int bit = 0; bit < 8; ++bit) {
      crc = (crc & 0x80) != 0 ? static_cast<std::uint8_t>(crc << 1 ^ 0x31)
                              : static_cast<std::uint8_t>(crc << 1);
    }
  }
  return crc;
}

bool WordCrcOk(const std::uint8_t* bytes) { return CalcCRC8(bytes, 2) == bytes[2]; }

double HdcTemperature(std::uint16_t raw) {
  const double t = raw / 65536.0 * 165.0 - 40.0;
  return core::RoundHalfEven(t * 100.0) / 100.0;
}

double HdcHumidity(std::uint16_t raw) {
  const double h = raw / 65536.0 * 100.0;
  return core::RoundHalfEven(h * 10.0) / 10.0;
}

double ShtTemperature(std::uint16_t raw) { return raw / 65535.0 * 175.0 - 45.0; }

double ShtHumidity(std::uint16_t raw) { return raw / 65535.0 * 100.0; }

}  // namespace orvel::sensors
