#pragma once

#include <memory>
#include <string>

#include "onewire/serial/byte_stream.h"

namespace orvel::onewire {

// A POSIX serial device (or pseudo-terminal) in raw 8N1 mode.
class SerialPort final : public ByteStream {
 public:
  // nullptr with a reason in *error when the device cannot be opened.
  static std::unique_ptr<SerialPort> Open(const std::string& path, int baud, std::string* error);
  ~SerialPort() override;
  SerialPort(const SerialPort&) = delete;
  SerialPort& operator=(const SerialPort&) = delete;

  bool Write(const std::uint8_t* data, std::size_t n) override;
  std::size_t Read(std::uint8_t* data, std::size_t n, int timeout_ms) override;
  bool SetBaud(int baud) override;
  void SendBreak() override;
  void FlushInput() override;
  bool Alive() const override { return alive_; }

 private:
  explicit SerialPort(int fd) : fd_(fd) {}

  int fd_;
  bool alive_ = true;
};

}  // namespace orvel::onewire
