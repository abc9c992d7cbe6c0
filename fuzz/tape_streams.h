#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "onewire/ds2490/usb_transport.h"
#include "onewire/serial/byte_stream.h"
#include "reply_tape.h"

namespace orvel::fuzz {

// A serial line whose answers come off a reply tape.
class TapeStream final : public onewire::ByteStream {
 public:
  explicit TapeStream(ReplyTape& tape) : tape_(tape) {}
  bool Write(const std::uint8_t*, std::size_t) override { return alive_ = tape_.Succeeds(); }
  std::size_t Read(std::uint8_t* data, std::size_t n, int) override {
    const int got = tape_.Read(data, static_cast<int>(n), 0);
    if (got < 0) alive_ = false;
    return got < 0 ? 0 : static_cast<std::size_t>(got);
  }
  bool SetBaud(int) override { return tape_.Succeeds(); }
  void SendBreak() override {}
  void FlushInput() override {}
  bool Alive() const override { return alive_; }

 private:
  ReplyTape& tape_;
  bool alive_ = true;
};

// A DS2490's USB pipes whose answers come off a reply tape.
class TapeTransport final : public onewire::UsbTransport {
 public:
  explicit TapeTransport(ReplyTape& tape) : tape_(tape) {}
  bool Control(std::uint8_t, std::uint16_t, std::uint16_t) override { return tape_.Succeeds(); }
  int BulkOut(const std::uint8_t*, int length) override { return tape_.Succeeds() ? length : -1; }
  int BulkIn(std::uint8_t* data, int length) override { return tape_.Read(data, length, -1); }
  int InterruptIn(std::uint8_t* data, int length) override { return tape_.Read(data, length, -1); }

 private:
  ReplyTape& tape_;
};

// A driver's way to open its adapter: a fresh line on the same tape, three
// times at most, as an adapter unplugged and plugged in again; then none.
template <typename Interface, typename Line>
auto TapeOpener(ReplyTape& tape) {
  return [&tape, opens = 0](std::string* error) mutable -> std::unique_ptr<Interface> {
    if (++opens > 3) {
      *error = "unplugged";
      return nullptr;
    }
    return std::make_unique<Line>(tape);
  };
}

}  // namespace orvel::fuzz
