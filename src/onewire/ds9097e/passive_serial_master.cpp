#include "onewire/ds9097e/passive_serial_master.h"

#include <array>

namespace orvel::onewire {
namespace {

constexpr int kResetBaud = 9600;
constexpr int kSlotBaud = 115200;
constexpr std::uint8_t kResetByte = 0xF0;
constexpr std::uint8_t kWrite1 = 0xFF;
constexpr std::uint8_t kWrite0 = 0x00;
constexpr int kEchoTimeoutMs = 100;

// A read slot reads 1 only if nobody pulled the line while the UART
// sampled its data bits.
int SlotBit(std::uint8_t echo) { return echo == kWrite1 ? 1 : 0; }

}  // namespace

PassiveSerialMaster::PassiveSerialMaster(StreamOpener opener, std::string port_name)
    : opener_(std::move(opener)), port_name_(std::move(port_name)) {}

std::string PassiveSerialMaster::Description() const {
  return "Passive serial 1-Wire adapter on " + port_name_;
}

bool PassiveSerialMaster::Open() {
  if (stream_ && stream_->Alive()) return true;
  stream_.reset();
  baud_ = 0;
  std::string error;
  stream_ = opener_(&error);
  if (!stream_) {
    last_error_ = LinkError::kNoAdapter;
    message_ = error;
    return false;
  }
  return true;
}

bool PassiveSerialMaster::Baud(int baud) {
  if (baud_ == baud) return true;
  if (!stream_->SetBaud(baud)) return false;
  baud_ = baud;
  return true;
}

bool PassiveSerialMaster::Slots(const std::uint8_t* out, std::uint8_t* echo, std::size_t n) {
  if (!stream_ || !Baud(kSlotBaud)) return false;
  if (!stream_->Write(out, n) ||
      stream_->Read(echo, n, kEchoTimeoutMs + static_cast<int>(n)) != n) {
    // No echo: the adapter is not there or the line went away.
    last_error_ = LinkError::kNoAdapter;
    message_ = "no echo on " + port_name_;
    stream_->FlushInput();
    stream_.reset();
    return false;
  }
  return true;
}

bool PassiveSerialMaster::Setup() {
  if (!Open()) return false;
  stream_->FlushInput();
  // Any echo of a reset shows the adapter is there, bus empty or not.
  if (!Reset()) return false;
  last_error_ = LinkError::kNone;
  return true;
}

std::optional<bool> PassiveSerialMaster::Reset() {
  if (!stream_ || !Baud(kResetBaud)) return std::nullopt;
  std::uint8_t echo = 0;
  if (!stream_->Write(&kResetByte, 1) || stream_->Read(&echo, 1, kEchoTimeoutMs) != 1) {
    last_error_ = LinkError::kNoAdapter;
    message_ = "no echo on " + port_name_;
    stream_.reset();
    return std::nullopt;
  }
  if (echo == 0x00) {
    last_error_ = LinkError::kShorted;  // the line never came back up
    return false;
  }
  last_error_ = LinkError::kNone;
  return echo != kResetByte;
}

std::optional<int> PassiveSerialMaster::TouchBit(int bit) {
  const std::uint8_t out = bit ? kWrite1 : kWrite0;
  std::uint8_t echo = 0;
  if (!Slots(&out, &echo, 1)) return std::nullopt;
  return SlotBit(echo);
}

std::optional<std::uint8_t> PassiveSerialMaster::TouchByte(std::uint8_t byte) {
  // All eight slots in one write: the UART keeps them back to back.
  std::array<std::uint8_t, 8> out{};
  std::array<std::uint8_t, 8> echo{};
  for (int i = 0; i < 8; ++i) out[static_cast<std::size_t>(i)] = byte >> i & 1 ? kWrite1 : kWrite0;
  if (!Slots(out.data(), echo.data(), out.size())) return std::nullopt;
  std::uint8_t read = 0;
  for (int i = 0; i < 8; ++i) {
    read = static_cast<std::uint8_t>(read | SlotBit(echo[static_cast<std::size_t>(i)]) << i);
  }
  return read;
}

std::optional<OneWireMaster::Triplet> PassiveSerialMaster::SearchTriplet(int direction) {
  // The two read slots go out together; the write slot depends on them.
  const std::array<std::uint8_t, 2> reads = {kWrite1, kWrite1};
  std::array<std::uint8_t, 2> echo{};
  if (!Slots(reads.data(), echo.data(), reads.size())) return std::nullopt;
  const int id = SlotBit(echo[0]);
  const int cmp = SlotBit(echo[1]);
  int dir = direction;
  if (id != cmp) dir = id;
  if (id == 1 && cmp == 1) dir = 1;  // nobody there: the pass is void anyway
  const std::uint8_t write = dir ? kWrite1 : kWrite0;
  std::uint8_t written = 0;
  if (!Slots(&write, &written, 1)) return std::nullopt;
  return Triplet{id, cmp, dir};
}

}  // namespace orvel::onewire
