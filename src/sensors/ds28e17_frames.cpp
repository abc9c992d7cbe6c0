#include "sensors/ds28e17_frames.h"

#include <span>

#include "onewire/crc.h"

namespace orvel::sensors {
namespace {

// Appends the inverted CRC of everything so far, low byte first.
void Seal(BridgeFrame& frame) {
  const auto crc = static_cast<std::uint16_t>(~CalcCRC16(frame.bytes.data(), frame.size));
  frame.bytes[static_cast<std::size_t>(frame.size++)] = static_cast<std::uint8_t>(crc & 0xFF);
  frame.bytes[static_cast<std::size_t>(frame.size++)] = static_cast<std::uint8_t>(crc >> 8);
}

}  // namespace

std::uint16_t CalcCRC16(const std::uint8_t* buf, int count) {
  return onewire::Crc16(std::span(buf, static_cast<std::size_t>(count)));
}

BridgeFrame BuildReadFrame(std::uint8_t address, std::uint8_t n) {
  BridgeFrame frame;
  frame.bytes[0] = kCmdReadDataWithStop;
  frame.bytes[1] = ReadAddressByte(address);
  frame.bytes[2] = n;
  frame.size = 3;
  Seal(frame);
  return frame;
}

BridgeFrame BuildWriteFrame(std::uint8_t command, std::uint8_t address, const std::uint8_t* data,
                            std::uint8_t n) {
  BridgeFrame frame;
  frame.bytes[0] = command;
  frame.bytes[1] = WriteAddressByte(address);
  frame.bytes[2] = n;
  frame.size = 3;
  for (std::uint8_t i = 0; i < n; ++i)
    frame.bytes[static_cast<std::size_t>(frame.size++)] = data[i];
  Seal(frame);
  return frame;
}

}  // namespace orvel::sensors
