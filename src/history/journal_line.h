#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace orvel::history {

struct JournalLine {
  std::int64_t secs = 0;  // local wall time, seconds since 1 January 1970
  double value = 0.0;
};

// One journal line without its line end: "yyyy?mm?dd hh?mm?ss ; value",
// whatever date and time separators the writing locale used, the value with
// a full stop or a comma. Nullopt for anything else, so that a damaged line
// never becomes a reading.
std::optional<JournalLine> ParseJournalLine(std::string_view line);

}  // namespace orvel::history
