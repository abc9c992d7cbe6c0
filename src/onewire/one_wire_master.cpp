#include "onewire/one_wire_master.h"

namespace orvel::onewire {

std::optional<std::uint8_t> OneWireMaster::TouchByte(std::uint8_t byte) {
  std::uint8_t result = 0;
  for (int i = 0; i < 8; ++i) {
    const auto bit = TouchBit((byte >> i) & 1);
    if (!bit) return std::nullopt;
    result = static_cast<std::uint8_t>(result | (*bit & 1) << i);
  }
  OnByteComplete();
  return result;
}

std::optional<OneWireMaster::Triplet> OneWireMaster::SearchTriplet(int direction) {
  const auto id = TouchBit(1);
  if (!id) return std::nullopt;
  const auto cmp = TouchBit(1);
  if (!cmp) return std::nullopt;
  int dir = direction;
  if (*id != *cmp) dir = *id;  // only one value present: follow it
  if (!TouchBit(dir)) return std::nullopt;
  return Triplet{*id, *cmp, dir};
}

}  // namespace orvel::onewire
