#pragma once

#include <string>
#include <vector>

#include "board/sensor_board.h"
#include "board/station_counters.h"

namespace orvel::web {

// Seconds since 1970 UTC of a local date-time, as Prometheus takes times.
double UnixSeconds(core::DateTime localTime);

// The Prometheus text exposition (format 0.0.4) of a station: a gauge per
// device and quantity holding its current value (a value that is not
// current is left out rather than shown as fresh), the time of each last
// fresh reading, and the counters. The ROM label is the family-first form.
std::string MetricsText(const std::string& station, const std::vector<board::BoardRow>& rows,
                        const board::CounterValues& counters, const board::MqttCounts& mqtt);

}  // namespace orvel::web
