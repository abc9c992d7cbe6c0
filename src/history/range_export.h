#pragma once

#include <ostream>
#include <span>
#include <string>
#include <vector>

#include "history/journal_reader.h"

namespace orvel::history {

struct NamedRange {
  std::string sensor;  // as the plot names it
  std::string unit;
  std::span<const Sample> samples;
};

// The shown range as CSV for a spreadsheet: a header, then one line per
// sample "sensor;yyyy-mm-dd hh:mm:ss;value;unit" with a full stop as the
// decimal sign; a gap has no value and "сбой" in place of the unit.
void WriteRangeCsv(std::ostream& out, const std::vector<NamedRange>& ranges);

// "yyyy-mm-dd hh:mm:ss" of a journal second.
std::string SecsText(std::int64_t secs);

}  // namespace orvel::history
