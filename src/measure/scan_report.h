#pragma once

#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "core/date_time.h"
#include "measure/reading_feed.h"
#include "onewire/current_sens.h"

namespace orvel::measure {

// Turns each scan's outcome into feed events: the devices now present, a
// "not read yet" state for a newcomer, "gone" for a device no longer found,
// and an adapter error when the scan could not reach the bus.
class ScanReport {
 public:
  explicit ScanReport(ReadingFeed& feed) : feed_(feed) {}

  // `result` is ScanBus's; `silent` when the adapter answered but found no
  // device; `found` the number of slots filled; `status` the status text.
  void AfterScan(std::int16_t result, bool silent, const onewire::DeviceTable& Asens, int found,
                 const std::string& status, core::DateTime now);

 private:
  ReadingFeed& feed_;
  std::set<std::string> present_;  // ROM texts of the last scan
  std::vector<DeviceId> known_;    // the devices of the last scan, for their Gone reports
};

}  // namespace orvel::measure
