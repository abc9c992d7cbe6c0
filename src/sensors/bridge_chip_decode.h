#pragma once

#include <cstdint>

namespace orvel::sensors {

// The CRC-8 the SHT and STS chips append to every 16-bit word
// (polynomial 0x31, start 0xFF, no final XOR). BE EF gives 0x92.
std::uint8_t CalcCRC8(const std::uint8_t* buf, std::uint8_t count);

// True when bytes[2] is the CRC of bytes[0..1].
bool WordCrcOk(const std::uint8_t* bytes);

// MSB-first 16-bit register or word.
inline std::uint16_t Word(const std::uint8_t* bytes) {
  return static_cast<std::uint16_t>(bytes[0] << 8 | bytes[1]);
}

// HDC readings as they are stored: temperature in degrees C to 2 decimals,
// humidity in % RH to 1 decimal (halves to even).
double HdcTemperature(std::uint16_t raw);
double HdcHumidity(std::uint16_t raw);

// SHT and STS readings, not rounded.
double ShtTemperature(std::uint16_t raw);
double ShtHumidity(std::uint16_t raw);

}  // namespace orvel::sensors
