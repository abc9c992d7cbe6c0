#include "onewire/sim/devices/ds28e17_device.h"

#include <span>

#include "onewire/crc.h"

namespace orvel::sim {
namespace {

constexpr std::uint8_t kWriteWithStop = 0x4B;
constexpr std::uint8_t kWriteNoStop = 0x5A;
constexpr std::uint8_t kWriteOnly = 0x69;
constexpr std::uint8_t kWriteOnlyWithStop = 0x78;
constexpr std::uint8_t kReadWithStop = 0x87;
constexpr std::uint8_t kWriteReadWithStop = 0x2D;
constexpr std::uint8_t kEnableSleep = 0x1E;

// 400 kHz: 2.5 us per bit, nine bits per byte with its acknowledge.
constexpr std::int64_t kBitNanos = 2500;
constexpr std::int64_t kByteNanos = 9 * kBitNanos;

}  // namespace

// One frame's work on the I2C side, with the time it takes.
class Ds28e17Device::I2cRun {
 public:
  I2cRun(Ds28e17Device& bridge, SimTime start) : bridge_(bridge), start_(start) {}

  // Start (or repeated start) and address; false on an address NACK, after
  // which the bridge has let go of the bus.
  bool Address(std::uint8_t address_byte, bool read) {
    nanos_ += kBitNanos + kByteNanos;
    chip_ = bridge_.Chip(static_cast<std::uint8_t>(address_byte >> 1));
    const I2cAck ack = chip_ ? chip_->Start(read, Now()) : I2cAck{};
    nanos_ += ack.stretch_us * 1000;
    if (!ack.ack) {
      status |= kStatusAddressNack;
      chip_ = nullptr;
      nanos_ += kBitNanos;  // stop
      bridge_.claimed_ = nullptr;
      return false;
    }
    return true;
  }
  // Resumes the bus held by Write Data No Stop.
  bool Resume() {
    chip_ = bridge_.claimed_;
    if (chip_ == nullptr) status |= kStatusNoStart;
    return chip_ != nullptr;
  }
  // Data bytes; a NACK ends the transfer with a stop and puts the 1-based
  // position of the refused byte into the write status.
  bool Write(std::span<const std::uint8_t> data) {
    for (std::size_t i = 0; i < data.size(); ++i) {
      nanos_ += kByteNanos;
      if (!chip_->Write(data[i], Now())) {
        write_status = static_cast<std::uint8_t>(i + 1);
        Stop();
        return false;
      }
    }
    return true;
  }
  void Read(std::uint8_t count, std::vector<std::uint8_t>& out) {
    for (std::uint8_t i = 0; i < count; ++i) {
      nanos_ += kByteNanos;
      out.push_back(chip_->Read(Now()));
    }
  }
  void Stop() {
    nanos_ += kBitNanos;
    if (chip_ != nullptr) chip_->Stop(Now());
    bridge_.claimed_ = nullptr;
  }
  void Hold() { bridge_.claimed_ = chip_; }

  SimTime Micros() const { return (nanos_ + 999) / 1000; }

  std::uint8_t status = 0;
  std::uint8_t write_status = 0;

 private:
  SimTime Now() const { return start_ + nanos_ / 1000; }

  Ds28e17Device& bridge_;
  SimTime start_;
  std::int64_t nanos_ = 0;
  I2cChip* chip_ = nullptr;
};

Ds28e17Device::Ds28e17Device(onewire::RomCode rom, Faults faults, int busy_polls)
    : ByteDevice(rom, faults), busy_polls_(busy_polls) {}

I2cChip& Ds28e17Device::AddChip(std::unique_ptr<I2cChip> chip) {
  chips_.push_back(std::move(chip));
  return *chips_.back();
}

I2cChip* Ds28e17Device::Chip(std::uint8_t address) const {
  for (const auto& c : chips_) {
    if (c->address() == address) return c.get();
  }
  return nullptr;
}

void Ds28e17Device::OnReset(SimTime) {
  // 1-Wire activity wakes the bridge; a held I2C bus stays held.
  sleeping_ = false;
  phase_ = Phase::kIdle;
}

void Ds28e17Device::OnFunctionStart(SimTime) {
  phase_ = Phase::kFrame;
  frame_.clear();
  reply_.clear();
  reply_pos_ = 0;
  polls_ = 0;
}

int Ds28e17Device::FrameLength() const {
  const auto have = frame_.size();
  switch (frame_[0]) {
    case kWriteWithStop:
    case kWriteNoStop:
      return have < 3 ? 0 : 3 + frame_[2] + 2;
    case kWriteOnly:
    case kWriteOnlyWithStop:
      return have < 2 ? 0 : 2 + frame_[1] + 2;
    case kReadWithStop:
      return 5;
    case kWriteReadWithStop:
      return have < 3 ? 0 : 3 + frame_[2] + 1 + 2;
    default:
      return -1;
  }
}

void Ds28e17Device::ByteReceived(std::uint8_t line, SimTime now) {
  if (phase_ != Phase::kFrame) return;
  frame_.push_back(line);
  if (frame_.size() == 1 && line == kEnableSleep) {
    sleeping_ = true;
    phase_ = Phase::kIdle;
    return;
  }
  const int length = FrameLength();
  if (length < 0) {
    phase_ = Phase::kIdle;
    return;
  }
  if (length == 0 || frame_.size() < static_cast<std::size_t>(length)) return;
  RunFrame(now);
}

void Ds28e17Device::RunFrame(SimTime now) {
  const std::size_t body = frame_.size() - 2;
  const auto crc = static_cast<std::uint16_t>(~onewire::Crc16(std::span(frame_.data(), body)));
  const auto sent = static_cast<std::uint16_t>(frame_[body] | frame_[body + 1] << 8);
  const std::uint8_t command = frame_[0];
  const bool writes = command != kReadWithStop;
  phase_ = Phase::kBusy;
  done_at_ = now;
  if (crc != sent) {
    ++crc_errors_;
    reply_ = {kStatusCrc};
    if (writes) reply_.push_back(0);
    return;
  }
  ++frames_run_;
  I2cRun run(*this, now);
  std::vector<std::uint8_t> data;
  const std::span<const std::uint8_t> f(frame_.data(), body);
  switch (command) {
    case kWriteWithStop:
    case kWriteNoStop:
      if (run.Address(f[1], false) && run.Write(f.subspan(3, f[2]))) {
        if (command == kWriteWithStop) {
          run.Stop();
        } else {
          run.Hold();
        }
      }
      break;
    case kWriteOnly:
    case kWriteOnlyWithStop:
      if (run.Resume() && run.Write(f.subspan(2, f[1]))) {
        if (command == kWriteOnlyWithStop) {
          run.Stop();
        } else {
          run.Hold();
        }
      }
      break;
    case kReadWithStop:
      if (run.Address(f[1], true)) {
        run.Read(f[2], data);
        run.Stop();
      }
      break;
    case kWriteReadWithStop:
      if (run.Address(f[1], false) && run.Write(f.subspan(3, f[2])) &&
          run.Address(static_cast<std::uint8_t>(f[1] | 1), true)) {
        run.Read(f[3 + f[2]], data);
        run.Stop();
      }
      break;
    default:
      break;
  }
  last_i2c_micros_ = run.Micros();
  done_at_ = now + run.Micros();
  reply_ = {run.status};
  if (writes) reply_.push_back(run.write_status);
  if (run.status == 0) reply_.insert(reply_.end(), data.begin(), data.end());
}

std::optional<int> Ds28e17Device::NextBit(SimTime now) {
  if (phase_ != Phase::kBusy) return std::nullopt;
  if (faults().busy_forever || polls_ < busy_polls_ || now < done_at_) {
    ++polls_;
    return 1;
  }
  phase_ = Phase::kReply;
  return 0;
}

std::optional<std::uint8_t> Ds28e17Device::NextByte(SimTime) {
  if (phase_ != Phase::kReply || reply_pos_ >= reply_.size()) return std::nullopt;
  return reply_[reply_pos_++];
}

}  // namespace orvel::sim
