// The DS2490 driver against the adapter model at the level of its USB
// transfers: exact control requests, the search command against plain
// search steps, the program's readers, and unplugging.
#include "onewire/ds2490/ds2490_master.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <memory>
#include <vector>

#include "adapters/adapter_test_support.h"
#include "adapters/reading_rig.h"
#include "core/virtual_clock.h"
#include "onewire/ds2490/ds2490_protocol.h"
#include "onewire/sim/adapters/ds2490_model.h"
#include "onewire/sim/bus_file.h"
#include "onewire/sim/simulated_driver.h"
#include "onewire/tmex_over_master.h"

namespace orvel::onewire {
namespace {

using Transfer = sim::Ds2490Model::ControlTransfer;
using Transfers = std::vector<Transfer>;

// Hands the test's model to the driver without giving up ownership.
class Borrowed final : public UsbTransport {
 public:
  explicit Borrowed(UsbTransport& inner) : inner_(inner) {}
  bool Control(std::uint8_t r, std::uint16_t v, std::uint16_t i) override {
    return inner_.Control(r, v, i);
  }
  int BulkOut(const std::uint8_t* d, int n) override { return inner_.BulkOut(d, n); }
  int BulkIn(std::uint8_t* d, int n) override { return inner_.BulkIn(d, n); }
  int InterruptIn(std::uint8_t* d, int n) override { return inner_.InterruptIn(d, n); }

 private:
  UsbTransport& inner_;
};

class Ds2490Test : public testing::Test {
 protected:
  Ds2490Test() { testing_support::AddEveryKind(bus_); }
  Transfers Controls() {
    Transfers t(usb_.controls.begin() + static_cast<std::ptrdiff_t>(seen_), usb_.controls.end());
    seen_ = usb_.controls.size();
    return t;
  }

  core::VirtualClock clock_;
  sim::SimBus bus_{clock_};
  sim::Ds2490Model usb_{bus_};
  bool present_ = true;
  int opens_ = 0;
  std::size_t seen_ = 0;
  std::shared_ptr<Ds2490Master> master_ = std::make_shared<Ds2490Master>(
      [this](std::string* error) -> std::unique_ptr<UsbTransport> {
        if (!present_) {
          *error = "no DS2490 adapter number 1";
          return nullptr;
        }
        ++opens_;
        return std::make_unique<Borrowed>(usb_);
      },
      "1");
};

TEST_F(Ds2490Test, SetupAndEachOperationSendTheirControlRequests) {
  ASSERT_TRUE(master_->Setup());
  EXPECT_EQ(Controls(), (Transfers{{0, 0x0000, 0},
                                   {2, 0x0001, 1},
                                   {2, 0x0002, 0},
                                   {2, 0x0000, 1},
                                   {2, 0x0003, 0xFF},
                                   {0, 0x0008, 0}}));
  EXPECT_EQ(master_->Reset(), true);
  EXPECT_EQ(master_->TouchByte(0xCC), 0xCC);
  EXPECT_EQ(master_->TouchBit(1), 1);
  EXPECT_EQ(master_->TouchBit(0), 0);
  EXPECT_EQ(Controls(),
            (Transfers{{1, 0x0843, 0}, {1, 0x0053, 0xCC}, {1, 0x0029, 0}, {1, 0x0021, 0}}));
  // A second Setup only reads the status.
  const int polls = usb_.status_polls;
  ASSERT_TRUE(master_->Setup());
  EXPECT_TRUE(Controls().empty());
  EXPECT_EQ(usb_.status_polls, polls + 1);
  EXPECT_EQ(opens_, 1);
}

TEST_F(Ds2490Test, StrongPullupAfterTheByteUntilHalted) {
  ASSERT_TRUE(master_->Setup());
  Controls();
  master_->ArmStrongPullupAfterNextByte();
  EXPECT_EQ(master_->TouchByte(0x44), 0x44);
  EXPECT_EQ(Controls(), (Transfers{{1, 0x1053, 0x44}}));
  EXPECT_TRUE(bus_.StrongPullupActive());
  clock_.Advance(750'000);
  master_->SetNormalLevel();
  EXPECT_EQ(Controls(), (Transfers{{0, 0x0003, 0}, {0, 0x0002, 0}}));
  EXPECT_FALSE(bus_.StrongPullupActive());
  EXPECT_FALSE(master_->StrongPullupActive());
  EXPECT_EQ(bus_.traffic().strong_pullup_us, 750'000);  // from the end of the byte
}

TEST_F(Ds2490Test, BlockIoIsOneCommand) {
  ASSERT_TRUE(master_->Setup());
  ASSERT_EQ(master_->Reset(), true);
  Controls();
  const auto read = master_->TouchBlock({0xCC, 0xFF, 0x00});
  ASSERT_TRUE(read);
  EXPECT_EQ(Controls(), (Transfers{{1, 0x0075, 3}}));
  // Skip ROM echoes; a read slot with nobody selected reads 1s.
  EXPECT_EQ(*read, (std::vector<std::uint8_t>{0xCC, 0xFF, 0x00}));
}

// Where every conflict took 1 the pass found the last device: the adapter
// sends its code alone, without the conflict map.
bool LastOfTheSearch(const OneWireMaster::SearchPathResult& path) {
  for (int i = 0; i < 64; ++i) {
    if ((path.conflicts >> i & 1) && !(path.rom[static_cast<std::size_t>(i / 8)] >> (i % 8) & 1)) {
      return false;
    }
  }
  return true;
}

TEST_F(Ds2490Test, SearchCommandMatchesPlainSearchSteps) {
  core::VirtualClock clock;
  sim::SimBus plain(clock);
  testing_support::AddEveryKind(plain);
  ASSERT_TRUE(master_->Setup());
  const std::vector<RomCode> choices = {
      RomCode{}, RomCode{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF},
      MakeRom(0x19, 0x0000001D2E40), MakeRom(0x26, 0x000000A1B2C3), MakeRom(0x19, 0x0000001D2E3F)};
  int last = 0;
  for (const auto& c : choices) {
    Controls();
    const auto fast = master_->SearchPath(c);
    EXPECT_EQ(Controls(), (Transfers{{1, 0x49FD, 0x01F0}}));
    const auto slow = plain.SearchPath(c);
    ASSERT_TRUE(fast && slow);
    EXPECT_EQ(fast->rom, slow->rom);
    EXPECT_TRUE(fast->complete);
    if (LastOfTheSearch(*slow)) {
      ++last;
      EXPECT_EQ(fast->conflicts, 0U);
    } else {
      EXPECT_EQ(fast->conflicts, slow->conflicts);
    }
  }
  EXPECT_EQ(last, 2);  // all ones, and the last device's own code
  usb_.SetShorted(true);
  const auto shorted = master_->SearchPath(RomCode{});
  ASSERT_TRUE(shorted);
  EXPECT_FALSE(shorted->complete);
  EXPECT_EQ(master_->last_error(), LinkError::kShorted);
}

// The search command's reply as the adapter sends it: the code, and the
// eight discrepancy bytes only while another device follows.
TEST_F(Ds2490Test, SearchReplyCarriesTheDiscrepancyBytesOnlyWhileDevicesRemain) {
  struct Case {
    RomCode start;
    std::vector<std::uint8_t> reply;
  };
  const std::vector<Case> cases = {
      // First in order, the DS18S20: the conflicts at bits 0, 1 and 3 took 0.
      {RomCode{}, {0x10, 0xC4, 0xB3, 0xA2, 0x01, 0x08, 0x00, 0xCA, 0x0B, 0, 0, 0, 0, 0, 0, 0}},
      // Every conflict taking 1: the last device, its code alone.
      {RomCode{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF},
       {0x19, 0x3F, 0x2E, 0x1D, 0x00, 0x00, 0x00, 0x01}},
  };
  for (const auto& c : cases) {
    ASSERT_EQ(usb_.BulkOut(c.start.data(), 8), 8);
    ASSERT_TRUE(usb_.Control(ds2490::kCommCmd, 0x49FD, 0x01F0));
    std::vector<std::uint8_t> in(32);
    in.resize(static_cast<std::size_t>(std::max(usb_.BulkIn(in.data(), 32), 0)));
    EXPECT_EQ(in, c.reply);
  }
}

// The last device in search order is found, and a directed search at it
// (the readers' check before reading) answers.
TEST_F(Ds2490Test, LastDeviceIsFoundAndAnswersTheDirectedSearch) {
  TmexOverMaster tmex([this](std::int16_t, std::int16_t, std::int32_t*) { return master_; },
                      DefaultPort{1, 6}, "test");
  const std::int32_t h = tmex.TMExtendedStartSession(1, 6, nullptr);
  ASSERT_GT(h, 0);
  ASSERT_EQ(tmex.TMSetup(h), 1);
  StateBuffer state{};
  std::vector<std::array<std::int16_t, 8>> found;
  for (auto more = tmex.TMFirst(h, state.data()); more == 1; more = tmex.TMNext(h, state.data())) {
    std::array<std::int16_t, 8> rom{};
    ASSERT_EQ(tmex.TMRom(h, state.data(), rom.data()), 1);
    found.push_back(rom);
  }
  ASSERT_EQ(found.size(), 7U);
  EXPECT_EQ(found.back()[0], 0x19);
  EXPECT_EQ(found.back()[1], 0x3F);
  for (auto rom : found) {
    ASSERT_EQ(tmex.TMRom(h, state.data(), rom.data()), 1);
    EXPECT_EQ(tmex.TMStrongAccess(h, state.data()), 1) << std::hex << rom[0] << " " << rom[1];
  }
}

TEST_F(Ds2490Test, ScanAndEveryReaderGiveWhatTheSimulatedDriverGives) {
  TmexOverMaster tmex([this](std::int16_t, std::int16_t, std::int32_t*) { return master_; },
                      DefaultPort{1, 6}, "test");
  testing_support::ReadingRig rig(tmex, clock_);
  ASSERT_EQ(rig.Scan(1, 6), 7);
  const std::string report = rig.Report();

  EXPECT_EQ(report, testing_support::SimulatedReport(testing_support::kEveryKindBus));
  EXPECT_NE(report.find("fam 16 T -10.2500 CT -10.2500"), std::string::npos) << report;
  EXPECT_NE(report.find("hdc 0102030405A6 th"), std::string::npos) << report;
}

TEST_F(Ds2490Test, UnpluggedMidReadingThenReconnectedOnTheNextScan) {
  TmexOverMaster tmex([this](std::int16_t, std::int16_t, std::int32_t*) { return master_; },
                      DefaultPort{1, 6}, "test");
  testing_support::ReadingRig rig(tmex, clock_);
  ASSERT_EQ(rig.Scan(1, 6), 7);
  // Pulled out during the thermometer's conversion wait.
  rig.pump.hook = [&](int) {
    usb_.SetUnplugged(true);
    present_ = false;
  };
  int thermometer = -1;
  for (int i = 0; i < rig.found; ++i) {
    if (rig.catalog.Asens[static_cast<std::size_t>(i)].Family == 0x28) thermometer = i;
  }
  ASSERT_GE(thermometer, 0);
  EXPECT_EQ(rig.ReadSlot(thermometer), "T failed");
  rig.pump.hook = nullptr;
  EXPECT_EQ(master_->last_error(), LinkError::kNoAdapter);
  EXPECT_EQ(rig.Scan(1, 6), -1);
  EXPECT_EQ(master_->last_message(), "no DS2490 adapter number 1");
  usb_.SetUnplugged(false);
  present_ = true;
  EXPECT_EQ(rig.Scan(1, 6), 7);
  EXPECT_EQ(opens_, 2);
  EXPECT_EQ(rig.ReadSlot(thermometer), "T ok");
}

}  // namespace
}  // namespace orvel::onewire
