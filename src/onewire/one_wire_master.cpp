#include "onewire/one_wire_master.h"

namespace orvel::onewire {
namespace {

constexpr std::uint8_t kSearchRomCommand = 0xF0;

}  // namespace

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

bool OneWireMaster::TouchBlock(std::uint8_t* bytes, std::size_t n) {
  for (std::size_t i = 0; i < n; ++i) {
    const auto read = TouchByte(bytes[i]);
    if (!read) return false;
    bytes[i] = *read;
  }
  return true;
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

std::optional<OneWireMaster::SearchPathResult> OneWireMaster::SearchPath(const RomCode& choices) {
  SearchPathResult result{{}, 0, true};
  const auto presence = Reset();
  if (!presence) return std::nullopt;
  if (!*presence) {
    result.complete = false;
    return result;
  }
  if (!TouchByte(kSearchRomCommand)) return std::nullopt;
  for (int i = 0; i < 64; ++i) {
    const auto index = static_cast<std::size_t>(i / 8);
    const auto mask = static_cast<std::uint8_t>(1U << (i % 8));
    const auto t = SearchTriplet((choices[index] & mask) ? 1 : 0);
    if (!t) return std::nullopt;
    if (t->id_bit == 1 && t->cmp_bit == 1) {
      result.complete = false;  // nobody answered: the rest of the path is void
      return result;
    }
    if (t->id_bit == 0 && t->cmp_bit == 0) result.conflicts |= std::uint64_t{1} << i;
    if (t->direction) result.rom[index] = static_cast<std::uint8_t>(result.rom[index] | mask);
  }
  return result;
}

}  // namespace orvel::onewire
