#include "onewire/rom_code.h"

#include <span>

#include "onewire/crc.h"

namespace orvel::onewire {
namespace {

constexpr char kHex[] = "0123456789ABCDEF";

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

}  // namespace

std::string RomText(const RomCode& rom) {
  std::string text;
  text.reserve(16);
  for (int i = 7; i >= 0; --i) {
    text.push_back(kHex[rom[static_cast<std::size_t>(i)] >> 4]);
    text.push_back(kHex[rom[static_cast<std::size_t>(i)] & 0x0F]);
  }
  return text;
}

std::optional<RomCode> ParseRomText(std::string_view text) {
  if (text.size() != 16) return std::nullopt;
  RomCode rom{};
  for (std::size_t j = 0; j < 8; ++j) {
    const int hi = HexValue(text[2 * j]);
    const int lo = HexValue(text[2 * j + 1]);
    if (hi < 0 || lo < 0) return std::nullopt;
    rom[7 - j] = static_cast<std::uint8_t>(hi << 4 | lo);
  }
  return rom;
}

RomCode MakeRom(std::uint8_t family, std::uint64_t serial) {
  RomCode rom{};
  rom[0] = family;
  for (std::size_t i = 0; i < 6; ++i) rom[1 + i] = static_cast<std::uint8_t>(serial >> (8 * i));
  rom[7] = Crc8(std::span<const std::uint8_t>(rom.data(), 7));
  return rom;
}

bool RomCrcValid(const RomCode& rom) { return Crc8(rom) == 0; }

}  // namespace orvel::onewire
