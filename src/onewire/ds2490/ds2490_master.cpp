#include "onewire/ds2490/ds2490_master.h"

#include <algorithm>
#include <array>

#include "onewire/ds2490/ds2490_protocol.h"

namespace orvel::onewire {
namespace {

namespace d = ds2490;

constexpr int kMaxStatusPolls = 200;
constexpr std::uint16_t kRegularSpeed = 0;
constexpr std::uint8_t kSearchRomCommand = 0xF0;

}  // namespace

Ds2490Master::Ds2490Master(TransportOpener opener, std::string name)
    : opener_(std::move(opener)), name_(std::move(name)) {}

void Ds2490Master::Drop(const std::string& why) {
  usb_.reset();
  pulse_on_ = false;
  armed_ = false;
  last_error_ = LinkError::kNoAdapter;
  message_ = why;
}

bool Ds2490Master::Configure() {
  // A known state: commands and buffers flushed, regular speed, strong
  // pull-up enabled for its longest duration (ended early by the driver).
  const std::array<std::pair<std::uint8_t, std::array<std::uint16_t, 2>>, 6> setup = {{
      {d::kControlCmd, {d::kCtlResetDevice, 0}},
      {d::kModeCmd, {d::kModSpeedChangeEnable, 1}},
      {d::kModeCmd, {d::kMod1WireSpeed, kRegularSpeed}},
      {d::kModeCmd, {d::kModPulseEnable, d::kPulseEnableStrongPullup}},
      {d::kModeCmd, {d::kModStrongPullupDuration, d::kPullupLongest}},
      {d::kControlCmd, {d::kCtlFlushRcvBuffer, 0}},
  }};
  for (const auto& [request, args] : setup) {
    if (!usb_->Control(request, args[0], args[1])) return false;
  }
  return WaitIdle();
}

bool Ds2490Master::Setup() {
  armed_ = false;
  if (usb_ && EndPulse() && WaitIdle()) {
    last_error_ = LinkError::kNone;
    return true;
  }
  usb_.reset();
  std::string error;
  usb_ = opener_(&error);
  if (!usb_) {
    Drop(error.empty() ? "no DS2490 adapter " + name_ : error);
    return false;
  }
  if (!Configure()) {
    Drop("DS2490 adapter " + name_ + " does not answer");
    return false;
  }
  last_error_ = LinkError::kNone;
  return true;
}

bool Ds2490Master::WaitIdle() {
  if (!usb_) return false;
  std::array<std::uint8_t, 64> status{};
  for (int poll = 0; poll < kMaxStatusPolls; ++poll) {
    const int n = usb_->InterruptIn(status.data(), static_cast<int>(status.size()));
    if (n < d::kStatusLength) {
      Drop("DS2490 adapter " + name_ + " unplugged");
      return false;
    }
    for (int i = d::kStatusLength; i < n; ++i) {
      if (status[static_cast<std::size_t>(i)] != d::kResultDeviceDetect) {
        results_.push_back(status[static_cast<std::size_t>(i)]);
      }
    }
    if ((status[d::kStatusFlagsAt] & d::kStatusIdle) && status[d::kCommBufferAt] == 0) return true;
  }
  Drop("DS2490 adapter " + name_ + " stays busy");
  return false;
}

bool Ds2490Master::Comm(std::uint16_t command, std::uint16_t index) {
  if (!usb_) return false;
  results_.clear();
  if (!usb_->Control(d::kCommCmd, command, index)) {
    Drop("DS2490 adapter " + name_ + " unplugged");
    return false;
  }
  return WaitIdle();
}

bool Ds2490Master::HasResult(std::uint8_t flag) const {
  for (std::uint8_t r : results_) {
    if (r & flag) return true;
  }
  return false;
}

bool Ds2490Master::EndPulse() {
  if (!pulse_on_) return true;
  pulse_on_ = false;
  if (!usb_ || !usb_->Control(d::kControlCmd, d::kCtlHaltExeIdle, 0) ||
      !usb_->Control(d::kControlCmd, d::kCtlResumeExe, 0)) {
    Drop("DS2490 adapter " + name_ + " unplugged");
    return false;
  }
  return true;
}

std::optional<bool> Ds2490Master::Reset() {
  armed_ = false;
  if (!EndPulse()) return std::nullopt;
  if (!Comm(d::kCommReset | d::kFlagImmediate | d::kFlagClearOnError, kRegularSpeed)) {
    return std::nullopt;
  }
  if (HasResult(d::kResultShort)) {
    last_error_ = LinkError::kShorted;
    return false;
  }
  last_error_ = LinkError::kNone;
  return !HasResult(d::kResultNoPresence);
}

std::optional<int> Ds2490Master::TouchBit(int bit) {
  if (!EndPulse()) return std::nullopt;
  if (!Comm(
          static_cast<std::uint16_t>(d::kCommBitIo | d::kFlagImmediate | (bit ? d::kFlagData : 0)),
          0)) {
    return std::nullopt;
  }
  std::uint8_t read = 0;
  if (usb_->BulkIn(&read, 1) != 1) {
    Drop("DS2490 adapter " + name_ + " unplugged");
    return std::nullopt;
  }
  return read & 1;
}

std::optional<std::uint8_t> Ds2490Master::TouchByte(std::uint8_t byte) {
  const bool pullup = armed_;
  armed_ = false;
  if (!EndPulse()) return std::nullopt;
  const auto command = static_cast<std::uint16_t>(d::kCommByteIo | d::kFlagImmediate |
                                                  (pullup ? d::kFlagStrongPullup : 0));
  if (!Comm(command, byte)) return std::nullopt;
  std::uint8_t read = 0;
  if (usb_->BulkIn(&read, 1) != 1) {
    Drop("DS2490 adapter " + name_ + " unplugged");
    return std::nullopt;
  }
  pulse_on_ = pullup;
  return read;
}

bool Ds2490Master::TouchBlock(std::uint8_t* bytes, std::size_t n) {
  // A pull-up armed for after the next byte goes byte by byte, so that it
  // starts after the right one.
  if (armed_) return OneWireMaster::TouchBlock(bytes, n);
  // Well inside the adapter's 128-byte data FIFOs.
  constexpr std::size_t kChunk = 64;
  for (std::size_t done = 0; done < n; done += kChunk) {
    if (!EndPulse() || !usb_) return false;
    std::uint8_t* chunk = bytes + done;
    const int len = static_cast<int>(std::min(kChunk, n - done));
    if (usb_->BulkOut(chunk, len) != len) {
      Drop("DS2490 adapter " + name_ + " unplugged");
      return false;
    }
    if (!Comm(d::kCommBlockIo | d::kFlagImmediate, static_cast<std::uint16_t>(len))) return false;
    if (usb_->BulkIn(chunk, len) != len) {
      Drop("DS2490 adapter " + name_ + " unplugged");
      return false;
    }
  }
  return true;
}

std::optional<std::vector<std::uint8_t>> Ds2490Master::TouchBlock(
    const std::vector<std::uint8_t>& out) {
  std::vector<std::uint8_t> io(out);
  if (!TouchBlock(io.data(), io.size())) return std::nullopt;
  return io;
}

std::optional<OneWireMaster::SearchPathResult> Ds2490Master::SearchPath(const RomCode& choices) {
  // The adapter's search command: reset, Search ROM and 64 steps taking the
  // bits of the code written first wherever both values answer; it returns
  // the code found and, with RTS, a map of the conflicts.
  armed_ = false;
  if (!EndPulse() || !usb_) return std::nullopt;
  if (usb_->BulkOut(choices.data(), 8) != 8) {
    Drop("DS2490 adapter " + name_ + " unplugged");
    return std::nullopt;
  }
  const auto command =
      static_cast<std::uint16_t>(d::kCommSearchAccess | d::kFlagImmediate | d::kFlagSearchMode |
                                 d::kFlagClearOnError | d::kFlagReset | d::kFlagReturnDiscrepancy);
  if (!Comm(command, static_cast<std::uint16_t>(1 << 8 | kSearchRomCommand))) return std::nullopt;
  SearchPathResult result{{}, 0, false};
  if (HasResult(d::kResultShort)) last_error_ = LinkError::kShorted;
  if (HasResult(d::kResultNoPresence | d::kResultShort)) return result;
  // The code found, then the conflict map only while a branch that took 0
  // remains: the last device of a search comes alone. Nothing at all: no
  // device answered to the end.
  std::array<std::uint8_t, 16> in{};
  const int n = usb_->BulkIn(in.data(), static_cast<int>(in.size()));
  if (n < 0) {
    Drop("DS2490 adapter " + name_ + " unplugged");
    return std::nullopt;
  }
  if (n != 8 && n != 16) return result;
  for (std::size_t i = 0; i < 8; ++i) {
    result.rom[i] = in[i];
    if (n == 16) result.conflicts |= std::uint64_t{in[8 + i]} << (8 * i);
  }
  result.complete = true;
  return result;
}

void Ds2490Master::SetNormalLevel() {
  armed_ = false;
  EndPulse();
}

void Ds2490Master::SetStrongPullupNow() {
  armed_ = false;
  if (pulse_on_ || !usb_) return;
  if (Comm(d::kCommPulse | d::kFlagImmediate, 0)) pulse_on_ = true;
}

}  // namespace orvel::onewire
