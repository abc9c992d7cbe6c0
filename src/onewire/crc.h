#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace orvel::onewire {

// The 1-Wire CRC-8 (x^8 + x^5 + x^4 + 1, reflected). Over a block that ends
// with its own CRC the result is 0.
std::uint8_t Crc8(std::span<const std::uint8_t> bytes, std::uint8_t seed = 0);

// The 1-Wire CRC-16 (x^16 + x^15 + x^2 + 1, reflected as 0xA001), not
// inverted. "123456789" gives 0xBB3D.
std::uint16_t Crc16(std::span<const std::uint8_t> bytes, std::uint16_t seed = 0);

}  // namespace orvel::onewire
