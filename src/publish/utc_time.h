#pragma once

#include <cstdint>
#include <string>

#include "core/date_time.h"

namespace orvel::publish {

// Turns the program's local date-times into UTC through the process time
// zone. In the hour repeated when clocks go back, a local time has two
// meanings; readings come in time order, so the earlier meaning is taken
// unless it lies well before the last time converted. The zone's offsets
// are looked up once per quarter hour of local time (the system's lookup
// costs tens of microseconds; clocks change on the quarter hour).
class UtcConverter {
 public:
  // Milliseconds since 1970-01-01 UTC.
  std::int64_t ToUtcMillis(core::DateTime local);

 private:
  std::int64_t last_ = INT64_MIN;
  // Offsets (local minus UTC, seconds) valid in one quarter hour.
  std::int64_t quarter_ = INT64_MIN;
  int offsetCount_ = 0;
  std::int64_t offsets_[2] = {};
};

// "2026-12-08T22:43:58.123Z".
std::string IsoUtc(std::int64_t utcMillis);

}  // namespace orvel::publish
