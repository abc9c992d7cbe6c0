#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "onewire/one_wire_master.h"
#include "onewire/serial/byte_stream.h"

namespace orvel::onewire {

// Time slots made by the UART of a passive serial adapter: the bus is wired
// to both data lines, so every byte sent comes back as the line saw it. A
// 0xF0 at 9600 baud is a reset pulse, and a presence pulse spoils its echo;
// at 115200 baud 0xFF is a write-1 (read) slot and 0x00 a write-0 slot. The
// adapter has no strong pull-up of its own.
class PassiveSerialMaster final : public OneWireMaster {
 public:
  using StreamOpener = std::function<std::unique_ptr<ByteStream>(std::string* error)>;

  PassiveSerialMaster(StreamOpener opener, std::string port_name);

  bool Setup() override;
  std::optional<bool> Reset() override;
  std::optional<int> TouchBit(int bit) override;
  std::optional<std::uint8_t> TouchByte(std::uint8_t byte) override;
  std::optional<Triplet> SearchTriplet(int direction) override;
  void ArmStrongPullupAfterNextByte() override {}
  void SetNormalLevel() override {}
  void SetStrongPullupNow() override {}
  bool StrongPullupActive() const override { return false; }
  std::string Description() const override;

  LinkError last_error() const { return last_error_; }
  const std::string& last_message() const { return message_; }

 private:
  bool Open();
  bool Baud(int baud);
  // Sends the slot bytes and reads their echoes; a missing echo drops the line.
  bool Slots(const std::uint8_t* out, std::uint8_t* echo, std::size_t n);

  StreamOpener opener_;
  std::string port_name_;
  std::unique_ptr<ByteStream> stream_;
  int baud_ = 0;
  LinkError last_error_ = LinkError::kNone;
  std::string message_;
};

}  // namespace orvel::onewire
