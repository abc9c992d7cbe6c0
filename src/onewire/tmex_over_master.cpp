#include "onewire/tmex_over_master.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>

namespace orvel::onewire {
namespace {

constexpr std::uint32_t kStateMagic = 0x4F57534CU;  // marks a buffer this driver filled
constexpr std::uint8_t kMatchRom = 0x55;

void CopyText(const std::string& text, char* buf) {
  if (buf == nullptr) return;
  const std::size_t n = std::min(text.size(), kVersionBufSize - 1);
  std::memcpy(buf, text.data(), n);
  buf[n] = '\0';
}

int RomBit(const RomCode& rom, int index) {
  return (rom[static_cast<std::size_t>(index / 8)] >> (index % 8)) & 1;
}

}  // namespace

TmexOverMaster::TmexOverMaster(MasterOpener opener, std::optional<DefaultPort> default_port,
                               std::string driver_name)
    : opener_(std::move(opener)),
      default_port_(default_port),
      driver_name_(std::move(driver_name)) {}

bool TmexOverMaster::Valid(std::int32_t handle) const {
  return handle > 0 && handle == session_ && master_ != nullptr;
}

TmexOverMaster::SearchState TmexOverMaster::LoadState(const void* state) {
  SearchState s{};
  if (state != nullptr) std::memcpy(&s, state, sizeof s);
  if (s.magic != kStateMagic) s = SearchState{kStateMagic, {}, -1, 0};
  return s;
}

void TmexOverMaster::StoreState(void* state, const SearchState& s) {
  if (state != nullptr) std::memcpy(state, &s, sizeof s);
}

std::int16_t TmexOverMaster::TMReadDefaultPort(std::int16_t* port_num, std::int16_t* port_type) {
  if (!default_port_) return 0;
  if (port_num != nullptr) *port_num = default_port_->port_num;
  if (port_type != nullptr) *port_type = default_port_->port_type;
  return 1;
}

std::int16_t TmexOverMaster::Get_Version(char* buf) {
  CopyText(driver_name_, buf);
  return 1;
}

std::int16_t TmexOverMaster::TMGetTypeVersion(std::int16_t port_type, char* buf) {
  CopyText(master_ && port_type == open_port_type_
               ? master_->Description()
               : driver_name_ + " port type " + std::to_string(port_type),
           buf);
  return 1;
}

std::int32_t TmexOverMaster::TMExtendedStartSession(std::int16_t port_num, std::int16_t port_type,
                                                    void*) {
  // A new session replaces any earlier one of this caller.
  session_ = 0;
  if (!master_ || port_num != open_port_num_ || port_type != open_port_type_) {
    master_.reset();
    std::int32_t error = kTmexNoDriver;
    auto master = opener_(port_num, port_type, &error);
    if (!master) return error < 0 ? error : kTmexNoDriver;
    master_ = std::move(master);
    open_port_num_ = port_num;
    open_port_type_ = port_type;
  }
  session_ = next_handle_;
  // Handles stay positive: after the largest one, numbering starts again.
  next_handle_ = next_handle_ == INT32_MAX ? 1 : next_handle_ + 1;
  return session_;
}

std::int16_t TmexOverMaster::TMSetup(std::int32_t handle) {
  if (!Valid(handle)) return kTmexNoSession;
  if (!master_->Setup()) return 0;
  // An empty bus is a ready bus: only an adapter that fails the reset fails.
  return master_->Reset() ? 1 : 0;
}

std::int16_t TmexOverMaster::TMValidSession(std::int32_t handle) { return Valid(handle) ? 1 : 0; }

std::int16_t TmexOverMaster::TMEndSession(std::int32_t handle) {
  if (!Valid(handle)) return 0;
  session_ = 0;
  return 1;
}

std::int16_t TmexOverMaster::TMClose(std::int32_t) {
  session_ = 0;
  master_.reset();
  open_port_num_ = 0;
  open_port_type_ = 0;
  return 1;
}

std::int16_t TmexOverMaster::TMTouchReset(std::int32_t handle) {
  if (!Valid(handle)) return kTmexNoSession;
  const auto presence = master_->Reset();
  if (!presence) return kTmexAdapterError;
  return *presence ? 1 : 0;
}

std::optional<bool> TmexOverMaster::SearchPass(SearchState& s) {
  if (s.last_device) return false;
  // Below the last discrepancy follow the last code, take 1 there, 0 above.
  RomCode choices{};
  for (int i = 0; i < 64; ++i) {
    const int want = i < s.last_discrepancy ? RomBit(s.current, i) : i == s.last_discrepancy;
    if (want) choices[static_cast<std::size_t>(i / 8)] |= static_cast<std::uint8_t>(1U << (i % 8));
  }
  const auto path = master_->SearchPath(choices);
  if (!path) return std::nullopt;
  if (!path->complete) return false;
  const RomCode rom = path->rom;
  int last_zero = -1;
  for (int i = 63; i >= 0 && last_zero < 0; --i) {
    if ((path->conflicts >> i & 1) && !RomBit(rom, i)) last_zero = i;
  }
  s.current = rom;
  s.last_discrepancy = last_zero;
  s.last_device = last_zero < 0 ? 1 : 0;
  return true;
}

std::int16_t TmexOverMaster::TMFirst(std::int32_t handle, void* state) {
  if (!Valid(handle)) return kTmexNoSession;
  SearchState s = LoadState(state);
  s.last_discrepancy = -1;
  s.last_device = 0;
  const auto found = SearchPass(s);
  if (!found) return kTmexAdapterError;
  if (!*found) s.last_discrepancy = -1;
  StoreState(state, s);
  return *found ? 1 : 0;
}

std::int16_t TmexOverMaster::TMNext(std::int32_t handle, void* state) {
  if (!Valid(handle)) return kTmexNoSession;
  SearchState s = LoadState(state);
  const auto found = SearchPass(s);
  if (!found) return kTmexAdapterError;
  if (!*found) {
    // The next TMNext starts over, as after TMFirst.
    s.last_discrepancy = -1;
    s.last_device = 0;
  }
  StoreState(state, s);
  return *found ? 1 : 0;
}

std::int16_t TmexOverMaster::TMRom(std::int32_t handle, void* state, std::int16_t* rom) {
  if (!Valid(handle)) return kTmexNoSession;
  if (rom == nullptr) return 0;
  SearchState s = LoadState(state);
  if (rom[0] == 0) {
    for (std::size_t i = 0; i < 8; ++i) rom[i] = s.current[i];
  } else {
    for (std::size_t i = 0; i < 8; ++i) s.current[i] = static_cast<std::uint8_t>(rom[i]);
    StoreState(state, s);
  }
  return 1;
}

std::int16_t TmexOverMaster::TMAccess(std::int32_t handle, void* state) {
  if (!Valid(handle)) return kTmexNoSession;
  const SearchState s = LoadState(state);
  const auto presence = master_->Reset();
  if (!presence) return kTmexAdapterError;
  if (!*presence) return 0;
  // Match ROM and the code as one block: one turn of the line where the
  // adapter allows it.
  std::array<std::uint8_t, 9> match{kMatchRom};
  std::copy(s.current.begin(), s.current.end(), match.begin() + 1);
  if (!master_->TouchBlock(match.data(), match.size())) return kTmexAdapterError;
  return 1;
}

std::int16_t TmexOverMaster::TMStrongAccess(std::int32_t handle, void* state) {
  if (!Valid(handle)) return kTmexNoSession;
  const SearchState s = LoadState(state);
  // A search directed at the current code: it takes that code's bit where
  // both are present, so it ends on the code only if that device answered.
  const auto path = master_->SearchPath(s.current);
  if (!path) return kTmexAdapterError;
  if (!path->complete || path->rom != s.current) return 0;
  return 1;
}

std::int16_t TmexOverMaster::TMTouchByte(std::int32_t handle, std::int16_t byte) {
  if (!Valid(handle)) return kTmexNoSession;
  const auto read = master_->TouchByte(static_cast<std::uint8_t>(byte));
  if (!read) return kTmexAdapterError;
  return *read;
}

std::int16_t TmexOverMaster::TMTouchBit(std::int32_t handle, std::int16_t bit) {
  if (!Valid(handle)) return kTmexNoSession;
  const auto read = master_->TouchBit(bit & 1);
  if (!read) return kTmexAdapterError;
  return static_cast<std::int16_t>(*read);
}

std::int16_t TmexOverMaster::TMOneWireLevel(std::int32_t handle, std::int16_t operation,
                                            std::int16_t level_mode, std::int16_t prime) {
  if (!Valid(handle)) return kTmexNoSession;
  if (operation == kLevelSet) {
    if (level_mode == kLevelNormal) {
      master_->SetNormalLevel();
      return kLevelNormal;
    }
    if (prime == kPrimeNow) {
      master_->SetStrongPullupNow();
    } else {
      master_->ArmStrongPullupAfterNextByte();
    }
    return kLevelStrongPullup;
  }
  return master_->StrongPullupActive() ? kLevelStrongPullup : kLevelNormal;
}

}  // namespace orvel::onewire
