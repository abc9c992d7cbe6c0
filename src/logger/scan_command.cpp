#include "logger/scan_command.h"

#include <cstdio>

#include "core/memory_controls.h"
#include "core/settings.h"
#include "logger/console_platform.h"
#include "onewire/bus_scanner.h"
#include "onewire/bus_session.h"
#include "onewire/device_catalog.h"

namespace orvel::logger {

std::string FormatScan(const std::string& status, int result, int found,
                       const onewire::DeviceTable& Asens) {
  std::string text = "status: " + status + "\nresult: " + std::to_string(result) +
                     "\nfound: " + std::to_string(found) + "\n";
  for (int slot = 0; slot < found && slot < onewire::kSlotCount; ++slot) {
    const auto& sens = Asens[static_cast<std::size_t>(slot)];
    char number[12];  // room for any int, not only a slot index
    std::snprintf(number, sizeof number, "%02d", slot);
    text += std::string(number) + " " + sens.ROMS + " " + std::to_string(sens.Family) + "\n";
  }
  return text;
}

int RunScan(drivers::Driver& driver, core::Clock& clock, std::ostream& out, std::ostream& err) {
  onewire::BusSession bus(driver.tmex());
  core::MemoryText stat1("Не подключен");
  core::MemoryList cbbPort;
  core::MemoryList cbAdapter;
  ConsoleDialogs dialogs(err);
  ConsolePump pump;
  const core::StartupSettings settings{false, {}, 3};
  core::DateTime lastTimeConvert = clock.Now();

  onewire::DeviceCatalog catalog(bus, stat1);
  onewire::BusScanner scanner(bus, catalog, {stat1, cbbPort, cbAdapter}, dialogs, pump, clock,
                              settings, lastTimeConvert);
  scanner.FillPortAndAdapterLists();
  const int result = scanner.ScanBus();
  out << FormatScan(stat1.Text(), result, scanner.FoundDev, catalog.Asens) << std::flush;
  driver.tmex().TMClose(bus.SHandle);
  return 0;
}

}  // namespace orvel::logger
