#pragma once

#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "core/clock.h"
#include "core/virtual_clock.h"
#include "drivers/driver_choice.h"
#include "logger/options.h"
#include "logger/poll_output.h"
#include "logger/service_notifier.h"

namespace orvel::logger {

// One poll's stdout line: the stamp, then name="text" pairs separated by
// single spaces, with '"' and '\' inside a text escaped by '\'.
std::string FormatPollLine(const std::string& stamp,
                           const std::vector<std::pair<std::string, std::string>>& texts);

// The poll mode: the window's units driven by the logger's own loop until
// --cycles polls have run or a close request (SIGINT, SIGTERM, SIGHUP, or
// a reader of `out` that went away) arrives; the driver is closed on the
// way out. `virtual_clock` is the clock for --virtual-time, else null.
// `service` hears of readiness (the first poll whose scan reached the
// adapter), each tick, and the stop.
// Returns the exit status: 1 when polls ran and none of their scans
// reached the adapter, else 3 when a poll line could not be written for
// another reason than a reader that went away, else 0.
int RunPolls(drivers::Driver& driver, core::Clock& clock, core::VirtualClock* virtual_clock,
             const Options& options, const PollOutput::Write& out, std::ostream& err,
             ServiceNotifier* service = nullptr);

inline int RunPolls(drivers::Driver& driver, core::Clock& clock, core::VirtualClock* virtual_clock,
                    const Options& options, std::ostream& out, std::ostream& err,
                    ServiceNotifier* service = nullptr) {
  return RunPolls(driver, clock, virtual_clock, options, StreamOutput(out), err, service);
}

}  // namespace orvel::logger
