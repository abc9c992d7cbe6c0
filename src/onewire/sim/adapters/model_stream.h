#pragma once

#include <cstdint>
#include <deque>
#include <vector>

#include "onewire/serial/byte_stream.h"
#include "onewire/sim/adapters/serial_device_model.h"

namespace orvel::sim {

// A serial line straight into a device model, in the caller's thread: what
// the driver wrote, byte for byte, and faults on the way back. For tests and
// benchmarks that need no pseudo-terminal.
class ModelStream final : public onewire::ByteStream {
 public:
  explicit ModelStream(SerialDeviceModel& model) : model_(model) {}

  bool Write(const std::uint8_t* data, std::size_t n) override {
    if (hung_up) return false;
    for (std::size_t i = 0; i < n; ++i) {
      written.push_back(data[i]);
      std::vector<std::uint8_t> out;
      model_.Receive(data[i], baud, out);
      if (!drop_replies) pending_.insert(pending_.end(), out.begin(), out.end());
    }
    return true;
  }
  std::size_t Read(std::uint8_t* data, std::size_t n, int) override {
    std::size_t got = 0;
    while (got < n && !pending_.empty()) {
      data[got++] = pending_.front();
      pending_.pop_front();
    }
    return got;
  }
  bool SetBaud(int b) override {
    baud = b;
    return !hung_up;
  }
  void SendBreak() override { ++breaks; }
  void FlushInput() override { pending_.clear(); }
  // What was written since the last call.
  std::vector<std::uint8_t> TakeWritten() {
    std::vector<std::uint8_t> b(written.begin() + static_cast<std::ptrdiff_t>(taken_),
                                written.end());
    taken_ = written.size();
    return b;
  }
  bool Alive() const override { return !hung_up; }

  std::vector<std::uint8_t> written;
  int baud = 9600;
  int breaks = 0;
  bool drop_replies = false;
  bool hung_up = false;

 private:
  SerialDeviceModel& model_;
  std::deque<std::uint8_t> pending_;
  std::size_t taken_ = 0;
};

}  // namespace orvel::sim
