#pragma once

#include <cstddef>
#include <cstdint>

namespace orvel::onewire {

// A serial line as the adapter drivers see it: bytes out, bytes in with a
// deadline, the line speed and a break. The POSIX port implements it; tests
// wrap it to drop or damage bytes.
class ByteStream {
 public:
  virtual ~ByteStream() = default;

  // Sends all n bytes; false when the line is gone.
  virtual bool Write(const std::uint8_t* data, std::size_t n) = 0;
  // Reads up to n bytes, waiting at most timeout_ms in all; returns how many
  // arrived. Fewer than n means a timeout or a line that is gone.
  virtual std::size_t Read(std::uint8_t* data, std::size_t n, int timeout_ms) = 0;
  virtual bool SetBaud(int baud) = 0;
  virtual void SendBreak() = 0;
  // Drops whatever has arrived and not been read. Only the input side: on a
  // pseudo-terminal an output flush would throw away bytes not yet read by
  // the other end.
  virtual void FlushInput() = 0;
  // False once the line has hung up (device unplugged); the owner reopens.
  virtual bool Alive() const = 0;
};

}  // namespace orvel::onewire
