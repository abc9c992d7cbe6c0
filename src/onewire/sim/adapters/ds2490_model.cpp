#include "onewire/sim/adapters/ds2490_model.h"

#include <algorithm>

#include "onewire/ds2490/ds2490_protocol.h"

namespace orvel::sim {
namespace {

namespace d = onewire::ds2490;

// The command code without its flag bits IM and D/SM.
constexpr std::uint16_t CommandOf(std::uint16_t value) { return value & 0x00F6; }

}  // namespace

bool Ds2490Model::Control(std::uint8_t request, std::uint16_t value, std::uint16_t index) {
  if (unplugged_) return false;
  controls.push_back({request, value, index});
  if (request == d::kCommCmd) {
    Communicate(value, index);
  } else if (request == d::kModeCmd && value == d::kModPulseEnable) {
    pullup_enabled_ = (index & d::kPulseEnableStrongPullup) != 0;
  } else if (request == d::kControlCmd) {
    if (value == d::kCtlHaltExeIdle || value == d::kCtlResetDevice) bus_.SetNormalLevel();
    if (value == d::kCtlResetDevice || value == d::kCtlFlushRcvBuffer) ep3_.clear();
    if (value == d::kCtlResetDevice || value == d::kCtlFlushXmtBuffer) ep2_.clear();
  }
  return true;
}

void Ds2490Model::Communicate(std::uint16_t value, std::uint16_t index) {
  const bool spu = (value & d::kFlagStrongPullup) != 0 && pullup_enabled_;
  switch (CommandOf(value)) {
    case d::kCommReset: {
      const auto presence = bus_.Reset();
      if (shorted_) {
        results_.push_back(d::kResultShort);
      } else if (!presence || !*presence) {
        results_.push_back(d::kResultNoPresence);
      }
      break;
    }
    case d::kCommBitIo: {
      const auto read = bus_.TouchBit((value & d::kFlagData) ? 1 : 0);
      ep3_.push_back(static_cast<std::uint8_t>(read ? *read : 1));
      break;
    }
    case d::kCommByteIo: {
      const auto read = bus_.TouchByte(static_cast<std::uint8_t>(index));
      ep3_.push_back(read ? *read : 0xFF);
      break;
    }
    case d::kCommBlockIo:
      for (int i = 0; i < index && !ep2_.empty(); ++i) {
        const auto read = bus_.TouchByte(ep2_.front());
        ep2_.pop_front();
        ep3_.push_back(read ? *read : 0xFF);
      }
      break;
    case d::kCommPulse:
      if (pullup_enabled_) bus_.SetStrongPullupNow();
      break;
    case d::kCommSearchAccess:
      Search(value);
      break;
    default:
      break;
  }
  if (spu) bus_.SetStrongPullupNow();
}

void Ds2490Model::Search(std::uint16_t value) {
  onewire::RomCode path{};
  for (std::size_t i = 0; i < 8 && !ep2_.empty(); ++i) {
    path[i] = ep2_.front();
    ep2_.pop_front();
  }
  const auto presence = bus_.Reset();
  if (shorted_) {
    results_.push_back(d::kResultShort);
    return;
  }
  if (!presence || !*presence) {
    results_.push_back(d::kResultNoPresence);
    return;
  }
  bus_.TouchByte(0xF0);
  onewire::RomCode rom{};
  onewire::RomCode conflicts{};
  bool more = false;  // a conflict where 0 was taken: another device follows
  for (int n = 0; n < 64; ++n) {
    const auto byte = static_cast<std::size_t>(n / 8);
    const auto mask = static_cast<std::uint8_t>(1U << (n % 8));
    const int a = bus_.TouchBit(1).value_or(1);
    const int b = bus_.TouchBit(1).value_or(1);
    int dir = 0;
    if (a == 0 && b == 0) {
      dir = (path[byte] & mask) ? 1 : 0;
      conflicts[byte] = static_cast<std::uint8_t>(conflicts[byte] | mask);
      more = more || dir == 0;
    } else if (a != b) {
      dir = a;
    } else {
      results_.push_back(d::kResultEndOfSearch);  // lost every device: no code
      return;
    }
    bus_.TouchBit(dir);
    if (dir) rom[byte] = static_cast<std::uint8_t>(rom[byte] | mask);
  }
  // With a limit of one device, the discrepancy bytes follow the code only
  // when more devices remain; the last one comes alone.
  ep3_.insert(ep3_.end(), rom.begin(), rom.end());
  if (more && (value & d::kFlagReturnDiscrepancy)) {
    ep3_.insert(ep3_.end(), conflicts.begin(), conflicts.end());
  }
}

int Ds2490Model::BulkOut(const std::uint8_t* data, int length) {
  if (unplugged_) return -1;
  ep2_.insert(ep2_.end(), data, data + length);
  return length;
}

int Ds2490Model::BulkIn(std::uint8_t* data, int length) {
  if (unplugged_) return -1;
  int n = 0;
  while (n < length && !ep3_.empty()) {
    data[n++] = ep3_.front();
    ep3_.pop_front();
  }
  return n;
}

int Ds2490Model::InterruptIn(std::uint8_t* data, int length) {
  if (unplugged_) return -1;
  ++status_polls;
  std::vector<std::uint8_t> packet(d::kStatusLength, 0);
  packet[d::kStatusFlagsAt] = static_cast<std::uint8_t>(
      d::kStatusIdle | (bus_.StrongPullupActive() ? d::kStatusStrongPullup : 0));
  packet[13] = static_cast<std::uint8_t>(std::min<std::size_t>(ep3_.size(), 255));
  packet.insert(packet.end(), results_.begin(), results_.end());
  results_.clear();
  const int n = std::min(length, static_cast<int>(packet.size()));
  std::copy(packet.begin(), packet.begin() + n, data);
  return n;
}

}  // namespace orvel::sim
