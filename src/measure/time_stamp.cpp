#include "measure/time_stamp.h"

#include <cstdio>

namespace orvel::measure {

std::string JournalStamp(core::DateTime t, const core::LocaleSeparators& separators) {
  const core::CivilTime c = core::DecodeDateTime(t);
  char buf[48];
  const int n = std::snprintf(buf, sizeof buf, "%04d%c%02d%c%02d %02d%c%02d%c%02d", c.year,
                              separators.date, c.month, separators.date, c.day, c.hour,
                              separators.time, c.minute, separators.time, c.second);
  return n > 0 ? std::string(buf, static_cast<std::size_t>(n)) : std::string();
}

}  // namespace orvel::measure
