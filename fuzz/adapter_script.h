#pragma once

#include <cstdint>
#include <cstdlib>
#include <functional>
#include <vector>

#include "onewire/one_wire_master.h"
#include "onewire/rom_code.h"

namespace orvel::fuzz {

// Match ROM of a thermometer and its scratchpad read, as one block.
inline const std::vector<std::uint8_t> kBlock = {0x55, 0x28, 0x4C, 0x3B, 0x2A,
                                                 0x01, 0,    0,    0xFF, 0xBE};

// What a measurement cycle asks of an adapter, in one pass: set-up, a
// search pass each way, a conversion with the strong pull-up, a scratchpad
// read, single slots and a search step. `extra` adds an adapter's own
// operations. Results are checked only where any reply must keep them in
// range.
inline void RunAdapterPass(onewire::OneWireMaster& m, const std::function<void()>& extra = {}) {
  const auto check_bit = [](std::optional<int> bit) {
    if (bit && *bit != 0 && *bit != 1) std::abort();
  };
  m.Setup();
  onewire::RomCode zeros{};
  onewire::RomCode ones{};
  ones.fill(0xFF);
  m.SearchPath(zeros);
  m.SearchPath(ones);
  m.Reset();
  m.TouchByte(0xCC);
  m.ArmStrongPullupAfterNextByte();
  m.TouchByte(0x44);
  m.SetNormalLevel();
  m.Reset();
  m.TouchByte(0xCC);
  m.TouchByte(0xBE);
  for (int i = 0; i < 9; ++i) m.TouchByte(0xFF);
  check_bit(m.TouchBit(1));
  check_bit(m.TouchBit(0));
  m.SetStrongPullupNow();
  m.SetNormalLevel();
  if (const auto t = m.SearchTriplet(1)) {
    check_bit(t->id_bit);
    check_bit(t->cmp_bit);
    check_bit(t->direction);
  }
  if (extra) extra();
  m.Description();
}

}  // namespace orvel::fuzz
