#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "core/virtual_clock.h"
#include "onewire/bus_session.h"
#include "onewire/current_sens.h"
#include "onewire/sim/bus_file.h"
#include "onewire/sim/devices/ds28e17_device.h"
#include "onewire/sim/simulated_driver.h"
#include "sensors/bridge_sensors.h"
#include "sensors/ds28e17_transfers.h"
#include "sensors/pressure_sensor.h"
#include "support/fake_platform.h"
#include "support/recording_tmex.h"

namespace orvel::sensors::testing {

// Bridge probes on a simulated bus in virtual time, reached through a
// recording driver with an open session; the probes of the bus file fill
// slots 0, 1, ... in file order.
class BridgeBusTest : public ::testing::Test {
 protected:
  void Load(const std::string& json) {
    sim::BusSpec spec = sim::ParseBusFile(json, "test.json");
    std::vector<onewire::RomCode> roms;
    for (const auto& d : spec.devices) roms.push_back(d->rom());
    driver_ = std::make_unique<sim::SimulatedDriver>(clock_, std::move(spec));
    rec_ = std::make_unique<testing_support::RecordingTmex>(driver_->tmex());
    bus_ = std::make_unique<onewire::BusSession>(*rec_);
    bus_->SHandle = rec_->TMExtendedStartSession(1, 6, nullptr);
    ASSERT_GT(bus_->SHandle, 0);
    ASSERT_GT(rec_->TMSetup(bus_->SHandle), 0);
    for (std::size_t i = 0; i < roms.size(); ++i) {
      for (std::size_t j = 0; j < 8; ++j) Asens_[i].ROM[j] = roms[i][j];
      Asens_[i].Family = roms[i][0];
      bridges_.push_back(dynamic_cast<sim::Ds28e17Device*>(driver_->bus().Find(roms[i])));
    }
    transfers_ = std::make_unique<BridgeTransfers>(*bus_, Asens_, pump_, dialogs_);
    chips_ = std::make_unique<BridgeSensors>(*bus_, Asens_, *transfers_, clock_);
    pressure_ = std::make_unique<PressureSensor>(*bus_, Asens_, *transfers_, clock_, dialogs_);
    rec_->Clear();
  }

  // One probe with the given "i2c" object and extra keys.
  void LoadProbe(const std::string& i2c, const std::string& extra = "") {
    Load(R"({"devices": [{"family": "19", "serial": "0000001D2E3F", "i2c": )" + i2c + extra +
         "}]}");
  }

  // Addresses the probe as the sensor operations do before a transfer.
  void Address(std::int16_t slot = 0) {
    ASSERT_TRUE(transfers_->SelectDevice(slot));
    rec_->Clear();
  }

  int Count(const std::string& op) const {
    int n = 0;
    for (const auto& c : rec_->calls()) n += c.rfind(op + "(", 0) == 0 ? 1 : 0;
    return n;
  }

  // The bytes sent by TMTouchByte, in order.
  std::vector<int> SentBytes() const {
    std::vector<int> out;
    for (const auto& c : rec_->calls()) {
      if (c.rfind("TMTouchByte(", 0) == 0) out.push_back(std::stoi(c.substr(12, 2), nullptr, 16));
    }
    return out;
  }

  // The bytes TMTouchByte returned after the last busy poll.
  std::vector<int> RepliesAfterPolls() const {
    std::vector<int> out;
    for (const auto& c : rec_->calls()) {
      if (c.rfind("TMTouchBit(", 0) == 0) out.clear();
      if (c.rfind("TMTouchByte(", 0) == 0)
        out.push_back(std::stoi(c.substr(c.find('=') + 1), nullptr, 16));
    }
    return out;
  }

  core::VirtualClock clock_;
  std::unique_ptr<sim::SimulatedDriver> driver_;
  std::unique_ptr<testing_support::RecordingTmex> rec_;
  std::unique_ptr<onewire::BusSession> bus_;
  onewire::DeviceTable Asens_{};
  testing_support::FakePump pump_;
  testing_support::FakeDialogs dialogs_;
  std::vector<sim::Ds28e17Device*> bridges_;
  std::unique_ptr<BridgeTransfers> transfers_;
  std::unique_ptr<BridgeSensors> chips_;
  std::unique_ptr<PressureSensor> pressure_;
};

}  // namespace orvel::sensors::testing
