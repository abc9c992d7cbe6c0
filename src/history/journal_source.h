#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "measure/reading_feed.h"

namespace orvel::history {

// What a journal file holds, told by its name: prefix + ROM text + ".csv".
struct JournalSource {
  measure::Quantity quantity = measure::Quantity::Temperature;
  std::string romText;  // the program's own form, CRC first
  std::int32_t family = 0;
};

// Nullopt for a name that is not a journal's (another prefix, a ROM text
// that is not 16 hex digits). Takes the bare file name or a whole path.
std::optional<JournalSource> SourceOfJournalName(std::string_view path);

// The journal's prefix of a quantity: "t_", "h_", "p_", "tp_".
const char* JournalPrefix(measure::Quantity q);

// True for a journalled value that is no measurement: the humidity fault
// codes 0 and 995 to 999 and a bridge probe's no-sensor lines (-51 in its
// temperature file, 0 in its humidity file).
bool IsStandIn(const JournalSource& source, double value);

}  // namespace orvel::history
