#pragma once

#include <cstdint>
#include <vector>

namespace orvel::sim {

// A device at the far end of a serial line: it takes the host's bytes one
// by one, at the line speed the host has set, and appends its answers.
class SerialDeviceModel {
 public:
  virtual ~SerialDeviceModel() = default;
  virtual void Receive(std::uint8_t byte, int baud, std::vector<std::uint8_t>& out) = 0;
};

}  // namespace orvel::sim
