#pragma once

#include <ostream>
#include <string>

#include "core/clock.h"
#include "drivers/driver_choice.h"
#include "onewire/current_sens.h"

namespace orvel::logger {

// The --scan report: "status: ", "result: ", "found: " lines, then one line
// per registered slot: two-digit slot, ROM text, family in decimal.
std::string FormatScan(const std::string& status, int result, int found,
                       const onewire::DeviceTable& Asens);

// One bus scan as the window's first poll runs it (notices to `err`), the
// report to `out`, then the driver closed. Returns the exit status.
int RunScan(drivers::Driver& driver, core::Clock& clock, std::ostream& out, std::ostream& err);

}  // namespace orvel::logger
