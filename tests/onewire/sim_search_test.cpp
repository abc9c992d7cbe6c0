#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <vector>

#include "core/virtual_clock.h"
#include "onewire/sim/devices/rom_only_device.h"
#include "onewire/sim/simulated_driver.h"
#include "support/search_order.h"

namespace orvel::sim {
namespace {

using onewire::RomCode;
using testing_support::SearchOrder;

class SimSearch : public testing::Test {
 protected:
  std::vector<RomCode> Scan() {
    auto& tmex = driver_.tmex();
    const auto h = tmex.TMExtendedStartSession(1, 6, nullptr);
    EXPECT_GT(h, 0);
    EXPECT_EQ(tmex.TMSetup(h), 1);
    std::vector<RomCode> found;
    for (auto r = tmex.TMFirst(h, state_.data()); r > 0; r = tmex.TMNext(h, state_.data())) {
      std::int16_t rom[9] = {};
      EXPECT_EQ(tmex.TMRom(h, state_.data(), rom), 1);
      RomCode code{};
      for (std::size_t i = 0; i < 8; ++i) code[i] = static_cast<std::uint8_t>(rom[i]);
      found.push_back(code);
    }
    return found;
  }

  core::VirtualClock clock_;
  SimulatedDriver driver_{clock_};
  onewire::StateBuffer state_{};
};

TEST_F(SimSearch, DevicesSharingLongPrefixesAreEachFoundOnceInSearchOrder) {
  std::vector<RomCode> roms;
  // 64 codes that differ only in the top bits of the serial.
  for (std::uint64_t i = 0; i < 64; ++i) {
    roms.push_back(onewire::MakeRom(0x28, 0x123456789AULL | (i << 42)));
  }
  for (const auto& r : roms) driver_.bus().Add(std::make_unique<RomOnlyDevice>(r, Faults{}));
  auto expected = roms;
  std::sort(expected.begin(), expected.end(), SearchOrder);
  EXPECT_EQ(Scan(), expected);
}

TEST_F(SimSearch, StrongAccessSucceedsOnlyForADevicePresent) {
  const RomCode a = onewire::MakeRom(0x10, 1);
  const RomCode b = onewire::MakeRom(0x10, 2);
  driver_.bus().Add(std::make_unique<RomOnlyDevice>(a, Faults{}));
  auto& tmex = driver_.tmex();
  const auto h = tmex.TMExtendedStartSession(1, 6, nullptr);
  std::int16_t rom[9] = {};
  for (std::size_t i = 0; i < 8; ++i) rom[i] = a[i];
  ASSERT_EQ(tmex.TMRom(h, state_.data(), rom), 1);
  EXPECT_EQ(tmex.TMStrongAccess(h, state_.data()), 1);
  for (std::size_t i = 0; i < 8; ++i) rom[i] = b[i];
  ASSERT_EQ(tmex.TMRom(h, state_.data(), rom), 1);
  EXPECT_EQ(tmex.TMStrongAccess(h, state_.data()), 0);
}

TEST_F(SimSearch, EmptyBusAndEndedSession) {
  auto& tmex = driver_.tmex();
  const auto h = tmex.TMExtendedStartSession(1, 6, nullptr);
  EXPECT_EQ(tmex.TMSetup(h), 1);  // the adapter answers; nobody on the bus
  EXPECT_EQ(tmex.TMFirst(h, state_.data()), 0);
  EXPECT_EQ(tmex.TMEndSession(h), 1);
  EXPECT_EQ(tmex.TMValidSession(h), 0);
  EXPECT_LT(tmex.TMFirst(h, state_.data()), 0);
}

}  // namespace
}  // namespace orvel::sim
