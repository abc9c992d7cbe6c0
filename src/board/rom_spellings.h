#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "onewire/rom_code.h"

namespace orvel::board {

// The two ways a ROM code is written. The program's own (RomText) puts the
// CRC first and the family last; other tools and the published topics write
// the bytes in bus order, family first and CRC last (e.g. 28FF641E0F160413).
std::string FamilyFirstText(const onewire::RomCode& rom);

// A ROM in either spelling, 16 hex digits of either case. The CRC decides
// which spelling was meant; when both readings pass it, the program's own
// wins. nullopt when neither does.
std::optional<onewire::RomCode> ParseEitherSpelling(std::string_view text);

}  // namespace orvel::board
