#pragma once

#include <array>
#include <cstdint>

namespace orvel::sensors {

// DS28E17 command codes the transfers send.
inline constexpr std::uint8_t kCmdWriteDataWithStop = 0x4B;
inline constexpr std::uint8_t kCmdWriteDataNoStop = 0x5A;
inline constexpr std::uint8_t kCmdReadDataWithStop = 0x87;

// The bridge moves at most this many data bytes per frame.
inline constexpr std::int32_t kMaxTransferBytes = 26;

// One command frame, built in place: command, address, length, data, then
// the inverted CRC-16 low byte first.
struct BridgeFrame {
  std::array<std::uint8_t, kMaxTransferBytes + 5> bytes{};
  int size = 0;
};

// The 1-Wire CRC-16 of the first count bytes, not inverted.
std::uint16_t CalcCRC16(const std::uint8_t* buf, int count);

// The I2C address byte for a 7-bit address.
inline std::uint8_t WriteAddressByte(std::uint8_t address) {
  return static_cast<std::uint8_t>(address << 1);
}
inline std::uint8_t ReadAddressByte(std::uint8_t address) {
  return static_cast<std::uint8_t>(address << 1 | 1);
}

// Read Data With Stop for n bytes (1..26) from the 7-bit address.
BridgeFrame BuildReadFrame(std::uint8_t address, std::uint8_t n);
// A write command (0x4B or 0x5A) with n data bytes (1..26).
BridgeFrame BuildWriteFrame(std::uint8_t command, std::uint8_t address, const std::uint8_t* data,
                            std::uint8_t n);

}  // namespace orvel::sensors
