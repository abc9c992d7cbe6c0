#include "onewire/crc.h"

#include <array>

#include "onewire/tmex.h"

namespace orvel::onewire {
namespace {

constexpr std::array<std::uint8_t, 256> MakeCrc8Table() {
  std::array<std::uint8_t, 256> table{};
  for (unsigned i = 0; i < 256; ++i) {
    unsigned crc = i;
    for (int bit = 0; bit < 8; ++bit) crc = (crc & 1U) ? (crc >> 1) ^ 0x8CU : crc >> 1;
    table[i] = static_cast<std::uint8_t>(crc);
  }
  return table;
}

constexpr auto kCrc8Table = MakeCrc8Table();

}  // namespace

std::uint8_t Crc8(std::span<const std::uint8_t> bytes, std::uint8_t seed) {
  std::uint8_t crc = seed;
  for (std::uint8_t b : bytes) crc = kCrc8Table[crc ^ b];
  return crc;
}

std::uint16_t Crc16(std::span<const std::uint8_t> bytes, std::uint16_t seed) {
  unsigned crc = seed;
  for (std::uint8_t b : bytes) {
    crc ^= b;
    for (int bit = 0; bit < 8; ++bit) crc = (crc & 1U) ? (crc >> 1) ^ 0xA001U : crc >> 1;
  }
  return static_cast<std::uint16_t>(crc);
}

std::uint16_t Tmex::TMCRC(std::int16_t len, const std::uint8_t* buf, std::uint16_t seed,
                          std::int16_t type) {
  const std::span<const std::uint8_t> bytes(buf, len > 0 ? static_cast<std::size_t>(len) : 0);
  return type == 0 ? Crc8(bytes, static_cast<std::uint8_t>(seed)) : Crc16(bytes, seed);
}

}  // namespace orvel::onewire
