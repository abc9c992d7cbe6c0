// The DS2480B driver end to end: the program's scan and readers over a real
// pseudo-terminal, with the adapter model and the simulated bus at the
// other end, compared with the simulated driver on the same bus.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "adapters/adapter_test_support.h"
#include "adapters/model_fixtures.h"
#include "adapters/reading_rig.h"
#include "core/virtual_clock.h"
#include "onewire/ds2480b/ds2480b_master.h"
#include "onewire/serial/serial_port.h"
#include "onewire/sim/adapters/ds2480b_model.h"
#include "onewire/sim/adapters/pty_server.h"
#include "onewire/sim/bus_file.h"
#include "onewire/sim/simulated_driver.h"
#include "onewire/tmex_over_master.h"

namespace orvel::onewire {
namespace {

using testing_support::ReadingRig;

class Ds2480bPty : public testing_support::ModelOnPty<sim::Ds2480bModel> {
 protected:
  // What the simulated driver reports on the same bus.
  std::string Reference() {
    return testing_support::SimulatedReport(testing_support::kEveryKindBus);
  }

  std::shared_ptr<Ds2480bMaster> master_;
  TmexOverMaster tmex_{
      [this](std::int16_t, std::int16_t, std::int32_t*) {
        master_ = std::make_shared<Ds2480bMaster>(
            [this](std::string* error) { return SerialPort::Open(path_, 9600, error); }, path_);
        return master_;
      },
      DefaultPort{1, 5}, "test"};
  ReadingRig rig_{tmex_, clock_};
};

TEST_F(Ds2480bPty, ScanAndEveryReaderGiveWhatTheSimulatedDriverGives) {
  ASSERT_EQ(rig_.Scan(1, 5), 7);
  const std::string report = rig_.Report();
  EXPECT_EQ(report, Reference());
  // Not merely equal: the readings themselves are there.
  EXPECT_NE(report.find("fam 40 T 23.5000 CT 23.5000"), std::string::npos) << report;
  EXPECT_NE(report.find("fam 16 T -10.2500 CT -10.2500"), std::string::npos) << report;
  EXPECT_NE(report.find("hdc 0102030405A6 th"), std::string::npos) << report;
  EXPECT_NE(report.find("sht 1A2B3C4D th"), std::string::npos) << report;
  EXPECT_NE(report.find("sts 0A0B0C0D t"), std::string::npos) << report;
  EXPECT_NE(report.find("H ok"), std::string::npos) << report;
  EXPECT_NE(report.find("p 58 p"), std::string::npos) << report;
  EXPECT_GT(master_->bytes_sent(), 500U);
}

TEST_F(Ds2480bPty, ParasiteThermometerIsPoweredThroughTheConversion) {
  ASSERT_EQ(rig_.Scan(1, 5), 7);
  int slot = -1;
  for (int i = 0; i < rig_.found; ++i) {
    if (rig_.catalog.Asens[static_cast<std::size_t>(i)].Family == 0x10) slot = i;
  }
  ASSERT_GE(slot, 0);
  std::int64_t before = 0;
  WithModel([&] { before = bus_.traffic().strong_pullup_us; });
  EXPECT_EQ(rig_.ReadSlot(slot), "T ok");
  std::int64_t pulled = 0;
  WithModel([&] { pulled = bus_.traffic().strong_pullup_us - before; });
  // The pull-up spans the conversion wait and ends with it.
  EXPECT_GE(pulled, 750'000);
  EXPECT_LT(pulled, 1'500'000);
  EXPECT_FALSE(master_->StrongPullupActive());
  EXPECT_DOUBLE_EQ(rig_.catalog.Asens[static_cast<std::size_t>(slot)].CorrectTemp, -10.25);
}

TEST_F(Ds2480bPty, UnpluggedDuringAReadingFailsItAndTheNextScanReconnects) {
  ASSERT_EQ(rig_.Scan(1, 5), 7);
  const auto before = rig_.catalog.Asens[0];
  // The adapter is pulled out while the reader waits for the conversion.
  rig_.pump.hook = [&](int) { WithModel([&] { model_.SetUnplugged(true); }); };
  for (int i = 0; i < rig_.found; ++i) {
    if (rig_.catalog.Asens[static_cast<std::size_t>(i)].Family == 0x28) {
      EXPECT_EQ(rig_.ReadSlot(i), "T failed");
      EXPECT_DOUBLE_EQ(rig_.catalog.Asens[static_cast<std::size_t>(i)].CorrectTemp, 0.0);
    }
  }
  rig_.pump.hook = nullptr;
  EXPECT_EQ(master_->last_error(), LinkError::kNoAdapter);
  EXPECT_EQ(rig_.Scan(1, 5), -1);  // setup fails while it is out
  WithModel([&] { model_.SetUnplugged(false); });
  EXPECT_EQ(rig_.Scan(1, 5), 7);
  EXPECT_EQ(rig_.catalog.Asens[0].ROMS, before.ROMS);
}

TEST_F(Ds2480bPty, GarbageInTheMiddleOfAScanFailsItCleanlyAndTheNextScanIsWhole) {
  ASSERT_EQ(rig_.Scan(1, 5), 7);
  // Setup's check and two resets pass; the echo of Search ROM comes back
  // inverted.
  WithModel([&] { model_.GarbleReplies(3, 3); });
  const int garbled = rig_.Scan(1, 5);
  EXPECT_LT(garbled, 7);
  EXPECT_GE(master_->resyncs(), 2);
  EXPECT_EQ(rig_.Scan(1, 5), 7);
  EXPECT_EQ(rig_.Report(), Reference());
}

TEST_F(Ds2480bPty, NoReplyAtAllMeansNoAdapter) {
  WithModel([&] { model_.SetUnplugged(true); });
  EXPECT_EQ(rig_.Scan(1, 5), -1);
  EXPECT_EQ(master_->last_error(), LinkError::kNoAdapter);
}

TEST_F(Ds2480bPty, ShortOnTheBusFindsNothingAndReadsNothing) {
  ASSERT_EQ(rig_.Scan(1, 5), 7);
  WithModel([&] { model_.SetShorted(true); });
  EXPECT_EQ(rig_.Scan(1, 5), 0);
  EXPECT_EQ(master_->last_error(), LinkError::kShorted);
  rig_.found = 7;
  EXPECT_EQ(rig_.ReadSlot(0).find("ok"), std::string::npos);
  WithModel([&] { model_.SetShorted(false); });
  EXPECT_EQ(rig_.Scan(1, 5), 7);
}

}  // namespace
}  // namespace orvel::onewire
