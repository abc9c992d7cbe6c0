#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include "core/virtual_clock.h"
#include "onewire/bus_session.h"
#include "onewire/current_sens.h"
#include "onewire/rom_code.h"
#include "onewire/sim/simulated_driver.h"
#include "support/fake_platform.h"
#include "support/recording_tmex.h"

namespace orvel::sensors::simbench {

// A simulated bus in virtual time, reached through a recording driver and
// an open session, with a device table the readers write into.
class SensorBench {
 public:
  SensorBench() = default;
  explicit SensorBench(sim::BusSpec spec) : driver_(clock_, std::move(spec)) {}

  template <typename Device, typename... Args>
  Device& Add(Args&&... args) {
    auto device = std::make_unique<Device>(std::forward<Args>(args)...);
    auto& ref = *device;
    driver_.bus().Add(std::move(device));
    return ref;
  }

  void OpenSession() {
    bus_.SHandle = recorder_.TMExtendedStartSession(1, 6, nullptr);
    recorder_.TMSetup(bus_.SHandle);
    recorder_.Clear();
  }

  // How many times the transcript holds exactly this call line.
  int Count(const std::string& call) const {
    const auto& c = recorder_.calls();
    return static_cast<int>(std::count(c.begin(), c.end(), call));
  }

  // Fills a slot the way the scan would for this code.
  void PutInSlot(std::size_t slot, const onewire::RomCode& rom) {
    auto& s = Asens_[slot];
    for (std::size_t i = 0; i < rom.size(); ++i) s.ROM[i] = rom[i];
    s.ROMS = onewire::RomText(rom);
    s.Family = rom[0];
  }

  core::VirtualClock clock_;
  sim::SimulatedDriver driver_{clock_};
  orvel::testing_support::RecordingTmex recorder_{driver_.tmex()};
  onewire::BusSession bus_{recorder_};
  onewire::DeviceTable Asens_{};
  orvel::testing_support::FakePump pump_;
};

// Compares a transcript with tests/sensors/golden/<name>; with
// ORVEL_UPDATE_GOLDEN set, writes it instead.
inline std::string GoldenPath(const std::string& name) {
#ifdef ORVEL_SENSORS_GOLDEN_DIR
  return std::string(ORVEL_SENSORS_GOLDEN_DIR) + "/" + name;
#else
  const char* root = std::getenv("ORVEL_SOURCE_DIR");
  return std::string(root != nullptr ? root : ".") + "/tests/sensors/golden/" + name;
#endif
}

inline std::string ReadGolden(const std::string& name, const std::string& actual) {
  const std::string path = GoldenPath(name);
  if (std::getenv("ORVEL_UPDATE_GOLDEN") != nullptr) {
    std::ofstream(path, std::ios::binary) << actual;
    return actual;
  }
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

}  // namespace orvel::sensors::simbench
