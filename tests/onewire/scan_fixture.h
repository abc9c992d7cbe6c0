#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "app/scripted_dialogs.h"
#include "core/memory_controls.h"
#include "core/settings.h"
#include "core/virtual_clock.h"
#include "onewire/bus_scanner.h"
#include "onewire/device_catalog.h"
#include "onewire/sim/devices/rom_only_device.h"
#include "onewire/sim/simulated_driver.h"
#include "support/fake_platform.h"
#include "support/recording_tmex.h"
#include "support/search_order.h"

namespace orvel::onewire {

// The scan as the window wires it, over a simulated bus seen through a
// recording driver.
class ScanFixture : public testing::Test {
 protected:
  ScanFixture() {
    // A millisecond passes with each message-pump call, so "the end of the
    // scan" is a later time than its start.
    pump_.hook = [this](int) { clock_.Advance(1000); };
    scanner_.SetRefreshMeasurements([this](bool rebuild) {
      refreshes_.push_back(rebuild);
      if (refresh_throws_) throw std::runtime_error("refresh failed");
    });
    scanner_.FillPortAndAdapterLists();
  }

  RomCode AddDevice(std::uint8_t family, std::uint64_t serial, sim::Faults faults = {}) {
    const RomCode rom = MakeRom(family, serial);
    driver_.bus().Add(std::make_unique<sim::RomOnlyDevice>(rom, faults));
    return rom;
  }

  std::vector<RomCode> Slots() const {
    std::vector<RomCode> out;
    for (int i = 0; i < scanner_.FoundDev; ++i) {
      out.push_back(catalog_.Asens[static_cast<std::size_t>(i)].Rom());
    }
    return out;
  }

  static std::vector<RomCode> InSearchOrder(std::vector<RomCode> roms) {
    std::sort(roms.begin(), roms.end(), testing_support::SearchOrder);
    return roms;
  }

  // The transcript lines of one operation, in order.
  std::vector<std::string> Calls(const std::string& op) const {
    std::vector<std::string> out;
    for (const auto& c : rec_.calls()) {
      if (c.rfind(op + "(", 0) == 0) out.push_back(c);
    }
    return out;
  }

  core::VirtualClock clock_;
  sim::SimulatedDriver driver_{clock_};
  testing_support::RecordingTmex rec_{driver_.tmex()};
  BusSession bus_{rec_};
  core::MemoryText stat1_{"Не подключен"};
  core::MemoryList cbbPort_;
  core::MemoryList cbAdapter_;
  test::ScriptedDialogs dialogs_;
  testing_support::FakePump pump_;
  core::StartupSettings settings_{false, {}, 30};
  core::DateTime lastTimeConvert_ = 0.0;
  DeviceCatalog catalog_{bus_, stat1_};
  BusScanner scanner_{bus_,      catalog_,        {stat1_, cbbPort_, cbAdapter_},
                      dialogs_,  pump_,           clock_,
                      settings_, lastTimeConvert_};
  std::vector<bool> refreshes_;
  bool refresh_throws_ = false;
};

}  // namespace orvel::onewire
