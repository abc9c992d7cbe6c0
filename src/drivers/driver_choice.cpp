#include "drivers/driver_choice.h"

#include <cstdio>
#include <cstdlib>
#include <utility>

#include "onewire/sim/simulated_driver.h"
#include "onewire/tmex_over_master.h"
#ifdef _WIN32
#include "onewire/tmexdll/tmex_dll.h"
#else
#include "drivers/linux_adapters.h"
#endif

namespace orvel::drivers {
namespace {

class SimulatedBusDriver final : public Driver {
 public:
  SimulatedBusDriver(core::Clock& clock, sim::BusSpec spec) : driver_(clock, std::move(spec)) {}
  onewire::Tmex& tmex() override { return driver_.tmex(); }
  sim::SimBus* simulated_bus() override { return &driver_.bus(); }

 private:
  sim::SimulatedDriver driver_;
};

// A platform without a 1-Wire driver: no default port, and every session
// start fails with a driver error, which the scan reports in its status.
// The reason the driver could not be had is the warning.
class NoDriver final : public Driver {
 public:
  explicit NoDriver(std::string reason)
      : reason_(std::move(reason)),
        tmex_(
            [](std::int16_t, std::int16_t, std::int32_t* error) {
              *error = onewire::kTmexNoDriver;
              return std::shared_ptr<onewire::OneWireMaster>();
            },
            std::nullopt, "no 1-Wire driver") {}
  onewire::Tmex& tmex() override { return tmex_; }
  std::string Warning() const override { return reason_; }

 private:
  std::string reason_;
  onewire::TmexOverMaster tmex_;
};

#ifndef _WIN32
// The adapters this system drives itself, over the shared search and byte
// layer. A named adapter is the driver's default port; without one there is
// none and the settings tab chooses.
class LinuxAdapterDriver final : public Driver {
 public:
  explicit LinuxAdapterDriver(std::optional<AdapterSpec> named)
      : tmex_(LinuxMasterOpener(named),
              named ? std::optional<onewire::DefaultPort>(
                          onewire::DefaultPort{named->port_num, named->port_type})
                    : std::nullopt,
              "Orvel 1-Wire adapter driver") {}
  onewire::Tmex& tmex() override { return tmex_; }

 private:
  onewire::TmexOverMaster tmex_;
};
#else
// The vendor's driver library, or the stand-in the user named.
class DllDriver final : public Driver {
 public:
  DllDriver(std::unique_ptr<onewire::TmexDll> dll, std::string name)
      : dll_(std::move(dll)), name_(std::move(name)) {}
  onewire::Tmex& tmex() override { return *dll_; }
  std::string Warning() const override {
    if (!dll_->simulated()) return {};
    return "the driver library " + name_ +
           " is the stand-in on a simulated bus: its readings are made up";
  }

 private:
  std::unique_ptr<onewire::TmexDll> dll_;
  std::string name_;
};

constexpr char kLibraryVariable[] = "ORVEL_TMEX_LIBRARY";

// The vendor's library unless the user names another. A stand-in found
// under the vendor's name is refused: only an explicit choice loads one.
std::unique_ptr<DllDriver> LoadDriverLibrary(std::string* error) {
  const char* named = std::getenv(kLibraryVariable);
  const bool chosen = named != nullptr && *named != '\0';
  const std::string library = chosen ? named : onewire::TmexDll::DefaultLibraryName();
  auto dll = onewire::TmexDll::Load(library, error);
  if (!dll) return nullptr;
  if (dll->simulated() && !chosen) {
    *error = library + " is the stand-in on a simulated bus, not the vendor's driver; name it in " +
             kLibraryVariable + " to use it";
    return nullptr;
  }
  return std::make_unique<DllDriver>(std::move(dll), library);
}

#endif

}  // namespace

std::unique_ptr<Driver> OpenDriver(const DriverChoice& choice, core::Clock& clock) {
  if (choice.bus_file && choice.adapter) {
    throw DriverChoiceError("give either a bus file or an adapter, not both");
  }
  if (choice.bus_file) {
    try {
      return std::make_unique<SimulatedBusDriver>(clock, sim::LoadBusFile(*choice.bus_file));
    } catch (const sim::BusFileError& e) {
      throw DriverChoiceError(e.what());
    }
  }
  if (choice.adapter) return OpenAdapter(*choice.adapter, clock);
  return OpenPlatformDriver(clock);
}

#ifndef _WIN32
std::unique_ptr<Driver> OpenAdapter(const std::string& spec, core::Clock&) {
  std::string error;
  auto named = ParseAdapterSpec(spec, &error);
  if (!named) throw DriverChoiceError(error);
  return std::make_unique<LinuxAdapterDriver>(std::move(named));
}

std::unique_ptr<Driver> OpenPlatformDriver(core::Clock&) {
  return std::make_unique<LinuxAdapterDriver>(std::nullopt);
}
#else
std::unique_ptr<Driver> OpenAdapter(const std::string& spec, core::Clock&) {
  // "tmex:PORT:TYPE" names the port in place of the library's default.
  std::optional<std::pair<std::int16_t, std::int16_t> > port;
  if (spec != "tmex") {
    int num = 0;
    int type = 0;
    char tail = 0;
    if (std::sscanf(spec.c_str(), "tmex:%d:%d%c", &num, &type, &tail) != 2 || num < 1 ||
        num > 255 || type < 1 || type > 255) {
      throw DriverChoiceError("unknown adapter \"" + spec + "\" (tmex or tmex:PORT:TYPE)");
    }
    port = std::make_pair(static_cast<std::int16_t>(num), static_cast<std::int16_t>(type));
  }
  std::string error;
  auto driver = LoadDriverLibrary(&error);
  if (!driver) throw DriverChoiceError(error);
  if (port)
    static_cast<onewire::TmexDll&>(driver->tmex()).OverrideDefaultPort(port->first, port->second);
  return driver;
}

// Without the library the program still runs: every session start fails
// and the status text says so.
std::unique_ptr<Driver> OpenPlatformDriver(core::Clock&) {
  std::string error;
  auto driver = LoadDriverLibrary(&error);
  if (!driver) return std::make_unique<NoDriver>(error);
  return driver;
}
#endif

}  // namespace orvel::drivers
