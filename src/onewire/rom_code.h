#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace orvel::onewire {

// Family code, six serial bytes, CRC-8 of the seven: byte 0 first.
using RomCode = std::array<std::uint8_t, 8>;

inline constexpr std::uint8_t kFamilyDs18s20 = 0x10;
inline constexpr std::uint8_t kFamilyDs18b20 = 0x28;
inline constexpr std::uint8_t kFamilyDs2438 = 0x26;
inline constexpr std::uint8_t kFamilyDs28e17 = 0x19;
inline constexpr std::uint8_t kFamilySerialId = 0x01;
inline constexpr std::uint8_t kFamilySerialIdAlt = 0x81;

// 16 upper-case hex digits, byte 7 (the CRC) first and the family code last.
std::string RomText(const RomCode& rom);

// The strict inverse of RomText (upper- or lower-case digits); nullopt for
// anything that is not exactly 16 hex digits.
std::optional<RomCode> ParseRomText(std::string_view text);

// A code for family and a 48-bit serial, with its CRC computed.
RomCode MakeRom(std::uint8_t family, std::uint64_t serial);

bool RomCrcValid(const RomCode& rom);

}  // namespace orvel::onewire
