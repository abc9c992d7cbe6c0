#pragma once

#include <cstdint>

namespace orvel::onewire {

// Function command bytes of the chips this program reads, shared by the
// readers that send them and the simulated chips that answer them.

// Thermometers, families 0x10 and 0x28.
namespace thermometer_command {
inline constexpr std::uint8_t kConvertT = 0x44;
inline constexpr std::uint8_t kReadScratchpad = 0xBE;
inline constexpr std::uint8_t kWriteScratchpad = 0x4E;
inline constexpr std::uint8_t kCopyScratchpad = 0x48;
inline constexpr std::uint8_t kRecallEeprom = 0xB8;
inline constexpr std::uint8_t kReadPowerSupply = 0xB4;
}  // namespace thermometer_command

// Humidity module, family 0x26; the page commands take a page number next.
namespace humidity_module_command {
inline constexpr std::uint8_t kConvertT = 0x44;
inline constexpr std::uint8_t kConvertV = 0xB4;
inline constexpr std::uint8_t kRecallMemory = 0xB8;
inline constexpr std::uint8_t kReadScratchpad = 0xBE;
inline constexpr std::uint8_t kWriteScratchpad = 0x4E;
inline constexpr std::uint8_t kCopyScratchpad = 0x48;
}  // namespace humidity_module_command

}  // namespace orvel::onewire
