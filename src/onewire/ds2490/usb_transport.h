#pragma once

#include <cstdint>

namespace orvel::onewire {

// The USB side of a DS2490 as its driver needs it: vendor control requests
// for the communication, mode and control commands, the bulk pipes for
// data, and the interrupt pipe for the status packet. Each call fails (false
// or -1) when the device is gone.
class UsbTransport {
 public:
  virtual ~UsbTransport() = default;
  virtual bool Control(std::uint8_t request, std::uint16_t value, std::uint16_t index) = 0;
  virtual int BulkOut(const std::uint8_t* data, int length) = 0;
  virtual int BulkIn(std::uint8_t* data, int length) = 0;
  // The status packet: 16 status bytes, then any result bytes.
  virtual int InterruptIn(std::uint8_t* data, int length) = 0;
};

}  // namespace orvel::onewire
