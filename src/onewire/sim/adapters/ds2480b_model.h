#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "onewire/sim/adapters/serial_device_model.h"
#include "onewire/sim/sim_bus.h"

namespace orvel::sim {

// A DS2480B serial adapter driving a simulated bus, byte for byte: the
// calibration byte, command and data modes, configuration parameters (the
// line speed among them), reset, single bits, the search accelerator and the
// strong pull-up. A byte that crosses the line while host and chip use
// different speeds arrives as 0x00, as a UART would garble it. It sees no
// break on a pseudo-terminal (none is carried) and needs none.
class Ds2480bModel final : public SerialDeviceModel {
 public:
  explicit Ds2480bModel(SimBus& bus);

  // Power-up: command mode, and the next byte only calibrates.
  void PowerUp();
  void Receive(std::uint8_t byte, int baud, std::vector<std::uint8_t>& out) override;

  // Faults. Unplugged: every byte is lost and nothing answers; plugging back
  // in powers the chip up again.
  void SetUnplugged(bool unplugged);
  // After `after` good answer bytes, the next n come out bit-inverted.
  void GarbleReplies(int n, int after = 0) {
    garble_ = n;
    garble_after_ = after;
  }
  // A short on the 1-Wire line: resets report it and slots read 0.
  void SetShorted(bool shorted);
  // An adapter that answers the line speed setting but keeps 9600 baud.
  void IgnoreBaudChange(bool ignore) { ignore_baud_ = ignore; }
  // A break on the line: the chip restarts at 9600 baud, as at power-up.
  void Break() { PowerUp(); }

  std::uint64_t bytes_in() const { return bytes_in_; }
  std::uint64_t bytes_out() const { return bytes_out_; }
  // Serial time of every byte either way, 10 bits at the chip's speed.
  double serial_us() const { return serial_us_; }
  bool in_data_mode() const { return mode_ != Mode::kCommand; }
  // The line speed the chip has been told to use.
  int Baud() const;

 private:
  enum class Mode { kCommand, kData, kDataAfterE3 };

  void Command(std::uint8_t byte, std::vector<std::uint8_t>& out);
  void Data(std::uint8_t byte, std::vector<std::uint8_t>& out);
  void Search(std::vector<std::uint8_t>& out);
  void EndPulse(std::vector<std::uint8_t>& out);
  void Reply(std::uint8_t byte, std::vector<std::uint8_t>& out);

  SimBus& bus_;
  Mode mode_ = Mode::kCommand;
  bool calibrating_ = true;
  bool accelerator_ = false;
  bool pulse_ = false;
  bool unplugged_ = false;
  bool shorted_ = false;
  int garble_ = 0;
  int garble_after_ = 0;
  bool ignore_baud_ = false;
  int host_baud_ = 9600;  // the speed of the byte being answered
  std::array<std::uint8_t, 8> params_{};
  std::vector<std::uint8_t> search_frame_;
  std::uint64_t bytes_in_ = 0;
  std::uint64_t bytes_out_ = 0;
  double serial_us_ = 0;
};

}  // namespace orvel::sim
