#include <clocale>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/real_clock.h"
#include "core/virtual_clock.h"
#include "drivers/driver_choice.h"
#include "logger/options.h"
#include "logger/run_command.h"
#include "logger/scan_command.h"

// orvel-logger: the window's units on the console. Exit status 0 on success,
// 2 on bad arguments or a bad bus file, 1 when the adapter cannot be opened,
// 3 when standard output failed (the polls and the journal went on).
int main(int argc, char** argv) {
  using namespace orvel;
  std::setlocale(LC_ALL, "");  // numbers and time stamps follow the process locale

  const auto parsed = logger::ParseOptions(std::vector<std::string>(argv + 1, argv + argc));
  if (!parsed.options) {
    std::cerr << "orvel-logger: " << parsed.error << " (see --help)\n";
    return 2;
  }
  const logger::Options& options = *parsed.options;
  if (options.help) {
    std::cout << logger::Usage();
    return 0;
  }
  if (options.version) {
    std::cout << "orvel-logger " ORVEL_VERSION "\n";
    return 0;
  }

  core::RealClock real_clock;
  std::optional<core::VirtualClock> virtual_clock;
  if (options.virtual_time) virtual_clock.emplace(real_clock.Now());
  core::Clock& clock = virtual_clock ? static_cast<core::Clock&>(*virtual_clock) : real_clock;

  std::unique_ptr<drivers::Driver> driver;
  try {
    driver = drivers::OpenDriver({options.bus, options.adapter}, clock);
  } catch (const drivers::DriverChoiceError& e) {
    std::cerr << "orvel-logger: " << e.what() << "\n";
    return 2;
  }

  if (options.scan) return logger::RunScan(*driver, clock, std::cout, std::cerr);
  const auto service = logger::SystemServiceNotifier();
  return logger::RunPolls(*driver, clock, virtual_clock ? &*virtual_clock : nullptr, options,
                          logger::StandardOutput(), std::cerr, service.get());
}
