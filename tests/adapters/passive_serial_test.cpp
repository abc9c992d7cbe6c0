// The passive serial adapter: byte-exact slots against its model in the same
// thread, and the program's scan and readers through a pseudo-terminal.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "adapters/adapter_test_support.h"
#include "adapters/model_fixtures.h"
#include "adapters/reading_rig.h"
#include "core/virtual_clock.h"
#include "onewire/ds9097e/passive_serial_master.h"
#include "onewire/serial/serial_port.h"
#include "onewire/sim/adapters/model_stream.h"
#include "onewire/sim/adapters/passive_adapter_model.h"
#include "onewire/sim/adapters/pty_server.h"
#include "onewire/sim/bus_file.h"
#include "onewire/sim/simulated_driver.h"
#include "onewire/tmex_over_master.h"

namespace orvel::onewire {
namespace {

using Bytes = std::vector<std::uint8_t>;

class PassiveSerialSlots : public testing_support::ModelInThread<sim::PassiveAdapterModel> {
 protected:
  PassiveSerialMaster master_{[this](std::string* error) { return OpenStream(error); }, "test"};
};

TEST_F(PassiveSerialSlots, ResetAtLowSpeedAndSlotsAtHighSpeed) {
  ASSERT_TRUE(master_.Setup());
  EXPECT_EQ(Sent(), (Bytes{0xF0}));
  EXPECT_EQ(stream_->baud, 9600);
  // Skip ROM, least significant bit first: 0xCC is 0 0 1 1 0 0 1 1.
  EXPECT_EQ(master_.TouchByte(0xCC), 0xCC);
  EXPECT_EQ(stream_->baud, 115200);
  EXPECT_EQ(Sent(), (Bytes{0x00, 0x00, 0xFF, 0xFF, 0x00, 0x00, 0xFF, 0xFF}));
  EXPECT_EQ(master_.Reset(), true);
  EXPECT_EQ(stream_->baud, 9600);
  EXPECT_EQ(Sent(), (Bytes{0xF0}));
  EXPECT_EQ(bus_.traffic().resets, 2U);
  EXPECT_EQ(bus_.traffic().slots, 8U);
}

TEST_F(PassiveSerialSlots, TripletSendsBothReadSlotsAtOnce) {
  ASSERT_TRUE(master_.Setup());
  ASSERT_EQ(master_.TouchByte(0xF0), 0xF0);
  Sent();
  const auto t = master_.SearchTriplet(0);
  ASSERT_TRUE(t);
  EXPECT_EQ(Sent(), (Bytes{0xFF, 0xFF, static_cast<std::uint8_t>(t->direction ? 0xFF : 0x00)}));
  // Bit 0 of the codes on this bus: both values are present.
  EXPECT_EQ(t->id_bit, 0);
  EXPECT_EQ(t->cmp_bit, 0);
  EXPECT_EQ(t->direction, 0);
}

TEST_F(PassiveSerialSlots, HasNoStrongPullupOfItsOwn) {
  ASSERT_TRUE(master_.Setup());
  master_.ArmStrongPullupAfterNextByte();
  EXPECT_EQ(master_.TouchByte(0x44), 0x44);
  EXPECT_FALSE(master_.StrongPullupActive());
  EXPECT_FALSE(bus_.StrongPullupActive());
}

TEST_F(PassiveSerialSlots, FaultsNoEchoAndShort) {
  ASSERT_TRUE(master_.Setup());
  model_.SetShorted(true);
  EXPECT_EQ(master_.Reset(), false);
  EXPECT_EQ(master_.last_error(), LinkError::kShorted);
  model_.SetShorted(false);
  model_.SetUnplugged(true);
  EXPECT_EQ(master_.TouchByte(0xCC), std::nullopt);
  EXPECT_EQ(master_.last_error(), LinkError::kNoAdapter);
  EXPECT_FALSE(master_.Setup());
  model_.SetUnplugged(false);
  EXPECT_TRUE(master_.Setup());
}

class PassiveSerialPty : public testing_support::ModelOnPty<sim::PassiveAdapterModel> {
 protected:
  TmexOverMaster tmex_{
      [this](std::int16_t, std::int16_t, std::int32_t*) {
        return std::make_shared<PassiveSerialMaster>(
            [this](std::string* error) { return SerialPort::Open(path_, 9600, error); }, path_);
      },
      DefaultPort{1, 1}, "test"};
  testing_support::ReadingRig rig_{tmex_, clock_};
};

TEST_F(PassiveSerialPty, ScanAndReadersMatchTheSimulatedDriverButForTheParasitePowered) {
  ASSERT_EQ(rig_.Scan(1, 1), 7);
  const std::string report = rig_.Report();

  const std::string expected = testing_support::SimulatedReport(testing_support::kEveryKindBus);

  // Line by line: the parasite-powered thermometer needs a strong pull-up,
  // which a passive adapter cannot give, so its reading fails.
  std::size_t a = 0, b = 0;
  int lines = 0;
  while (a < report.size() && b < expected.size()) {
    const auto ea = report.find('\n', a), eb = expected.find('\n', b);
    const std::string la = report.substr(a, ea - a), lb = expected.substr(b, eb - b);
    if (la.find(" fam 16 ") != std::string::npos) {
      EXPECT_NE(la.find("T failed"), std::string::npos) << la;
    } else {
      EXPECT_EQ(la, lb);
    }
    a = ea + 1;
    b = eb + 1;
    ++lines;
  }
  EXPECT_EQ(lines, 7);
  EXPECT_NE(report.find("fam 40 T 23.5000 CT 23.5000"), std::string::npos) << report;
  EXPECT_NE(report.find("sht 1A2B3C4D th"), std::string::npos) << report;
}

TEST_F(PassiveSerialPty, UnpluggedAdapterFailsSetupUntilItIsBack) {
  WithModel([&] { model_.SetUnplugged(true); });
  EXPECT_EQ(rig_.Scan(1, 1), -1);
  WithModel([&] { model_.SetUnplugged(false); });
  EXPECT_EQ(rig_.Scan(1, 1), 7);
}

}  // namespace
}  // namespace orvel::onewire
