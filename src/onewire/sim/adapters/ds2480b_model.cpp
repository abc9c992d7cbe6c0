#include "onewire/sim/adapters/ds2480b_model.h"

#include "onewire/ds2480b/ds2480b_protocol.h"

namespace orvel::sim {
namespace {

namespace d = onewire::ds2480b;

constexpr int kBaudOfCode[4] = {9600, 19200, 57600, 115200};

double ByteMicros(int baud) { return 10.0e6 / baud; }

int BitAt(const std::uint8_t* bytes, int index) { return (bytes[index / 8] >> (index % 8)) & 1; }

}  // namespace

Ds2480bModel::Ds2480bModel(SimBus& bus) : bus_(bus) { PowerUp(); }

void Ds2480bModel::PowerUp() {
  mode_ = Mode::kCommand;
  calibrating_ = true;
  accelerator_ = false;
  if (pulse_) bus_.SetNormalLevel();
  pulse_ = false;
  params_.fill(0);
  search_frame_.clear();
}

int Ds2480bModel::Baud() const { return kBaudOfCode[params_[7] & 3]; }

void Ds2480bModel::SetUnplugged(bool unplugged) {
  if (unplugged_ && !unplugged) PowerUp();
  unplugged_ = unplugged;
}

void Ds2480bModel::SetShorted(bool shorted) {
  shorted_ = shorted;
  bus_.SetShorted(shorted);
}

void Ds2480bModel::Reply(std::uint8_t byte, std::vector<std::uint8_t>& out) {
  if (garble_after_ > 0) {
    --garble_after_;
  } else if (garble_ > 0) {
    --garble_;
    byte = static_cast<std::uint8_t>(~byte);
  }
  // The answer leaves at the chip's speed, the new one after a speed change.
  if (Baud() != host_baud_) byte = 0x00;
  out.push_back(byte);
  ++bytes_out_;
  serial_us_ += ByteMicros(Baud());
}

void Ds2480bModel::Receive(std::uint8_t byte, int baud, std::vector<std::uint8_t>& out) {
  if (unplugged_) return;
  ++bytes_in_;
  serial_us_ += ByteMicros(Baud());
  host_baud_ = baud;
  if (baud != Baud()) byte = 0x00;
  switch (mode_) {
    case Mode::kCommand:
      Command(byte, out);
      break;
    case Mode::kData:
      if (byte == d::kCommandMode) {
        mode_ = Mode::kDataAfterE3;
      } else {
        Data(byte, out);
      }
      break;
    case Mode::kDataAfterE3:
      // 0xE3 twice is a data byte; anything else was a switch to command
      // mode and is itself a command.
      if (byte == d::kCommandMode) {
        mode_ = Mode::kData;
        Data(byte, out);
      } else {
        mode_ = Mode::kCommand;
        Command(byte, out);
      }
      break;
  }
}

void Ds2480bModel::EndPulse(std::vector<std::uint8_t>& out) {
  bus_.SetNormalLevel();
  pulse_ = false;
  Reply(0xEC, out);
}

void Ds2480bModel::Command(std::uint8_t byte, std::vector<std::uint8_t>& out) {
  if (calibrating_) {
    calibrating_ = false;  // the timing byte gets no answer
    return;
  }
  if (pulse_) {
    // Any byte ends a pull-up; the stop code does nothing else.
    EndPulse(out);
    if (byte == d::kStopPulse) return;
  }
  if ((byte & 0x01) == 0) return;  // not a command
  if ((byte & 0x80) == 0) {
    // Configuration: parameter 0 reads the parameter named in bits 3..1.
    const int param = byte >> 4 & 7;
    if (param == 0) {
      Reply(static_cast<std::uint8_t>(params_[byte >> 1 & 7] << 1), out);
    } else {
      if (param != static_cast<int>(d::Param::kBaud) || !ignore_baud_) {
        params_[static_cast<std::size_t>(param)] = static_cast<std::uint8_t>(byte >> 1 & 7);
      }
      Reply(static_cast<std::uint8_t>(byte & 0xFE), out);
    }
    return;
  }
  if (byte == d::kDataMode) {
    mode_ = Mode::kData;
    return;
  }
  switch (byte >> 5 & 3) {
    case 0: {  // single bit, with an optional pull-up after it
      const int bit = byte >> 4 & 1;
      const auto read = bus_.TouchBit(bit);
      const int value = read ? *read : 1;
      Reply(static_cast<std::uint8_t>((byte & 0xFC) | (value ? 3 : 0)), out);
      if (byte & 0x02) {
        bus_.SetStrongPullupNow();
        pulse_ = true;
      }
      return;
    }
    case 1:  // search accelerator on or off
      accelerator_ = (byte & 0x10) != 0;
      search_frame_.clear();
      return;
    case 2: {  // reset
      const auto presence = bus_.Reset();
      d::ResetResult result = d::ResetResult::kNoPresence;
      if (shorted_) {
        result = d::ResetResult::kShorted;
      } else if (presence && *presence) {
        result = d::ResetResult::kPresence;
      }
      Reply(d::EncodeReset(result), out);
      return;
    }
    default:
      if ((byte & 0x0C) == 0x0C && (byte & 0x10) == 0 && (byte & 0x02) == 0) {
        bus_.SetStrongPullupNow();  // answered when it ends
        pulse_ = true;
      }
      return;  // other mode codes (0xE3, 0xF1 without a pulse) change nothing
  }
}

void Ds2480bModel::Data(std::uint8_t byte, std::vector<std::uint8_t>& out) {
  if (!accelerator_) {
    const auto read = bus_.TouchByte(byte);
    Reply(read ? *read : 0xFF, out);
    return;
  }
  search_frame_.push_back(byte);
  if (search_frame_.size() == 16) Search(out);
}

void Ds2480bModel::Search(std::vector<std::uint8_t>& out) {
  d::AccelFrame reply{};
  bool lost = false;
  for (int n = 0; n < 64; ++n) {
    int flag = 1;
    int path = 1;
    if (!lost) {
      const auto id = bus_.TouchBit(1);
      const auto cmp = bus_.TouchBit(1);
      const int a = id ? *id : 1;
      const int b = cmp ? *cmp : 1;
      if (a == 0 && b == 0) {
        path = BitAt(search_frame_.data(), 2 * n + 1);
      } else if (a != b) {
        flag = 0;
        path = a;
      } else {
        lost = true;  // nobody answered: write 1 and report 1s from here on
      }
      bus_.TouchBit(path);
    }
    if (flag)
      reply[static_cast<std::size_t>(n / 4)] |= static_cast<std::uint8_t>(1U << (2 * (n % 4)));
    if (path)
      reply[static_cast<std::size_t>(n / 4)] |= static_cast<std::uint8_t>(2U << (2 * (n % 4)));
  }
  search_frame_.clear();
  for (std::uint8_t b : reply) Reply(b, out);
}

}  // namespace orvel::sim
