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

#ifdef _WIN32
#include <windows.h>

namespace {

// The texts are UTF-8; a console reads them so while the logger runs, and
// gets its own code page back afterwards.
class Utf8Console {
 public:
  Utf8Console() : previous_(::GetConsoleOutputCP()) {
    if (previous_ != 0) ::SetConsoleOutputCP(CP_UTF8);
  }
  ~Utf8Console() {
    if (previous_ != 0) ::SetConsoleOutputCP(previous_);
  }
  Utf8Console(const Utf8Console&) = delete;
  Utf8Console& operator=(const Utf8Console&) = delete;

 private:
  UINT previous_;  // 0 without a console
};

}  // namespace
#endif

// orvel-logger: the window's units on the console. Exit status 0 on success,
// 2 on bad arguments or a bad bus file, 1 when the adapter cannot be opened,
// 3 when standard output failed (the polls and the journal went on).
int main(int argc, char** argv) {
  using namespace orvel;
  std::setlocale(LC_ALL, "");  // numbers and time stamps follow the process locale
#ifdef _WIN32
  const Utf8Console console;
#endif

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
  if (const std::string warning = driver->Warning(); !warning.empty())
    std::cerr << "orvel-logger: " << warning << "\n";

  if (options.scan) return logger::RunScan(*driver, clock, std::cout, std::cerr);
  const auto service = logger::SystemServiceNotifier();
  return logger::RunPolls(*driver, clock, virtual_clock ? &*virtual_clock : nullptr, options,
                          logger::StandardOutput(), std::cerr, service.get());
}
