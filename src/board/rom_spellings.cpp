#include "board/rom_spellings.h"

#include <algorithm>

namespace orvel::board {

std::string FamilyFirstText(const onewire::RomCode& rom) {
  onewire::RomCode reversed = rom;
  std::reverse(reversed.begin(), reversed.end());
  return onewire::RomText(reversed);
}

std::optional<onewire::RomCode> ParseEitherSpelling(std::string_view text) {
  std::optional<onewire::RomCode> own = onewire::ParseRomText(text);
  if (!own) return std::nullopt;
  if (onewire::RomCrcValid(*own)) return own;
  onewire::RomCode busOrder = *own;
  std::reverse(busOrder.begin(), busOrder.end());
  if (onewire::RomCrcValid(busOrder)) return busOrder;
  return std::nullopt;
}

}  // namespace orvel::board
