#include <gtest/gtest.h>

#include "core/date_time.h"
#include "onewire/scan_fixture.h"
#include "onewire/sim/bus_file.h"

namespace orvel::onewire {
namespace {

using ScanEnumeration = ScanFixture;

TEST_F(ScanEnumeration, EmptyBusFindsTheAdapterAndKeepsTheCounts) {
  AddDevice(0x28, 1);
  AddDevice(0x26, 2);
  AddDevice(0x19, 3);
  ASSERT_EQ(scanner_.ScanBus(), 1);
  ASSERT_EQ(scanner_.FoundDev, 3);
  for (const RomCode& rom : Slots()) ASSERT_TRUE(driver_.bus().Remove(rom));
  lastTimeConvert_ = 77.0;

  EXPECT_EQ(scanner_.ScanBus(), 1);
  EXPECT_EQ(stat1_.Text(), "Адаптер найден");
  EXPECT_EQ(scanner_.FoundDev, 3);
  EXPECT_EQ(scanner_.OldFoundDev, 3);
  EXPECT_FALSE(scanner_.flgRedravAll);
  EXPECT_EQ(lastTimeConvert_, 77.0);
}

TEST_F(ScanEnumeration, AFourthDeviceRebuildsTheListsAndLeavesThePollDeadline) {
  std::vector<RomCode> roms{AddDevice(0x28, 10), AddDevice(0x10, 11), AddDevice(0x26, 12)};
  ASSERT_EQ(scanner_.ScanBus(), 1);
  EXPECT_EQ(Slots(), InSearchOrder(roms));
  EXPECT_TRUE(scanner_.flgRedravAll);

  roms.push_back(AddDevice(0x19, 13));
  lastTimeConvert_ = 55.0;
  EXPECT_EQ(scanner_.ScanBus(), 1);
  EXPECT_EQ(scanner_.FoundDev, 4);
  EXPECT_EQ(scanner_.OldFoundDev, 4);
  EXPECT_TRUE(scanner_.flgRedravAll);
  EXPECT_EQ(lastTimeConvert_, 55.0);
  EXPECT_EQ(Slots(), InSearchOrder(roms));
}

TEST_F(ScanEnumeration, SameCountSetsTheNextDeadlineFromTheEndOfTheScan) {
  AddDevice(0x28, 1);
  AddDevice(0x28, 2);
  ASSERT_EQ(scanner_.ScanBus(), 1);
  ASSERT_TRUE(scanner_.flgRedravAll);

  EXPECT_EQ(scanner_.ScanBus(), 1);
  EXPECT_FALSE(scanner_.flgRedravAll);
  // The pump lets time pass during the scan: the deadline counts from its end.
  EXPECT_GT(pump_.calls, 2);
  EXPECT_EQ(core::SecsOf(lastTimeConvert_), core::SecsOf(clock_.Now()) + 30);
  EXPECT_NEAR((lastTimeConvert_ - clock_.Now()) * core::kSecondsPerDay, 30.0, 1e-3);
}

TEST_F(ScanEnumeration, AnExchangedDeviceWithTheSameCountKeepsTheLists) {
  const RomCode old_rom = AddDevice(0x28, 1);
  ASSERT_EQ(scanner_.ScanBus(), 1);
  ASSERT_TRUE(driver_.bus().Remove(old_rom));
  const RomCode new_rom = AddDevice(0x10, 2);
  EXPECT_EQ(scanner_.ScanBus(), 1);
  EXPECT_FALSE(scanner_.flgRedravAll);
  EXPECT_EQ(Slots(), std::vector<RomCode>{new_rom});
  EXPECT_EQ(catalog_.Asens[0].Family, 0x10);
}

TEST_F(ScanEnumeration, AnIdChipPutsItsCodeIntoTheStatus) {
  AddDevice(0x28, 1);
  const RomCode id = AddDevice(0x81, 0xBADCAFE);
  AddDevice(0x20, 5);
  ASSERT_EQ(scanner_.ScanBus(), 1);
  EXPECT_EQ(stat1_.Text(), "Адаптер найден  " + RomText(id));
  EXPECT_EQ(scanner_.FoundDev, 3);
}

TEST_F(ScanEnumeration, AFailedFirstRomReadStillRegistersOneDevice) {
  AddDevice(0x28, 1);
  AddDevice(0x28, 2);
  rec_.SetHook([](const std::string& op, int index, std::int32_t* result) {
    if (op != "TMRom" || index != 0) return false;
    *result = 0;
    return true;
  });
  EXPECT_EQ(scanner_.ScanBus(), 1);
  EXPECT_EQ(scanner_.FoundDev, 1);
  EXPECT_TRUE(Calls("TMNext").empty());
  // The buffer was not filled: the slot holds what it had, element 0 zeroed.
  EXPECT_EQ(catalog_.Asens[0].ROMS, "0000000000000000");
}

TEST_F(ScanEnumeration, LongPrefixesAreFoundOnceEachInSearchOrder) {
  std::vector<RomCode> roms;
  for (std::uint64_t i = 0; i < 64; ++i) {
    roms.push_back(AddDevice(0x28, 0x123456789AULL | (i << 42)));
  }
  ASSERT_EQ(scanner_.ScanBus(), 1);
  EXPECT_EQ(Slots(), InSearchOrder(roms));
}

TEST_F(ScanEnumeration, MoreThanTheTableRegistersTheFirstHundredAndStops) {
  std::vector<RomCode> roms;
  for (std::uint64_t i = 0; i < 120; ++i) roms.push_back(AddDevice(0x28, 0x1000 + i * 7919));
  ASSERT_EQ(scanner_.ScanBus(), 1);
  EXPECT_EQ(scanner_.FoundDev, 100);
  EXPECT_EQ(scanner_.OldFoundDev, 100);
  auto expected = InSearchOrder(roms);
  expected.resize(100);
  EXPECT_EQ(Slots(), expected);
  EXPECT_EQ(Calls("TMNext").size(), 99U);  // no search for a device with no slot
  // The same bus again: no change of count.
  EXPECT_EQ(scanner_.ScanBus(), 1);
  EXPECT_FALSE(scanner_.flgRedravAll);
}

struct LeaveCase {
  const char* name;
  int bit;  // the search step of the second pass after which the device leaves
  int found;
};
// A case prints as its name, in test listings and failures alike.
void PrintTo(const LeaveCase& c, std::ostream* os) { *os << c.name; }

class LeavingDevice : public ScanFixture, public testing::WithParamInterface<LeaveCase> {};

// Serials 1, 2, 3 are found in the order 2, 1, 3: the first serial bit
// splits 2 from the others and the second splits 1 from 3. Serial 1 leaves
// during the second pass, which is the one that would find it.
TEST_P(LeavingDevice, InTheMiddleOfASearchPass) {
  const auto& c = GetParam();
  const RomCode one = AddDevice(0x28, 1);
  const RomCode two = AddDevice(0x28, 2);
  const RomCode three = AddDevice(0x28, 3);
  sim::SimDevice* leaving = driver_.bus().Find(one);
  auto& bus = driver_.bus();
  std::uint64_t pass_start = 0;
  // Resets: TMSetup, first pass, second pass.
  bus.SetSlotHook([&](std::uint64_t slots) {
    if (bus.traffic().resets != 3) return;
    if (pass_start == 0) pass_start = slots - 1;
    if (slots - pass_start == static_cast<std::uint64_t>(8 + 3 * (c.bit + 1))) {
      leaving->SetPresent(false);
    }
  });
  ASSERT_EQ(scanner_.ScanBus(), 1);
  bus.SetSlotHook(nullptr);
  EXPECT_EQ(scanner_.FoundDev, c.found);
  std::vector<RomCode> expected{two, three};
  expected.resize(static_cast<std::size_t>(c.found));
  EXPECT_EQ(Slots(), expected);

  // Still away at the next scan: both others, once each.
  EXPECT_EQ(scanner_.ScanBus(), 1);
  EXPECT_EQ(Slots(), (std::vector<RomCode>{two, three}));
  // Back again.
  leaving->SetPresent(true);
  EXPECT_EQ(scanner_.ScanBus(), 1);
  EXPECT_EQ(Slots(), (std::vector<RomCode>{two, one, three}));
  EXPECT_TRUE(scanner_.flgRedravAll);
}

INSTANTIATE_TEST_SUITE_P(Steps, LeavingDevice,
                         testing::Values(
                             // Before the branch: the pass goes on to serial 3.
                             LeaveCase{"BeforeItsBranch", 4, 2},
                             // After it took serial 1's branch: nobody answers, the search ends.
                             LeaveCase{"AfterItsBranch", 20, 1}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(ScanEnumeration, AbsentAfterAndReturnsAfterFollowThePresenceCycles) {
  // Two devices take three resets per scan (setup, two passes); one alone
  // takes two. The faulty one stops answering at its fifth reset and is
  // back from its eleventh.
  const std::string text = R"({ "devices": [
      { "family": "28", "serial": "000000000001" },
      { "family": "28", "serial": "000000000002",
        "faults": { "absent_after": 4, "returns_after": 10 } } ] })";
  sim::SimulatedDriver driver(clock_, sim::ParseBusFile(text, "faults.json"));
  BusSession bus(driver.tmex());
  DeviceCatalog catalog(bus, stat1_);
  BusScanner scanner(bus, catalog, {stat1_, cbbPort_, cbAdapter_}, dialogs_, pump_, clock_,
                     settings_, lastTimeConvert_);
  std::vector<int> found;
  std::vector<bool> redraw;
  for (int i = 0; i < 6; ++i) {
    ASSERT_EQ(scanner.ScanBus(), 1);
    found.push_back(scanner.FoundDev);
    redraw.push_back(scanner.flgRedravAll);
  }
  EXPECT_EQ(found, (std::vector<int>{2, 1, 1, 1, 2, 2}));
  EXPECT_EQ(redraw, (std::vector<bool>{true, true, false, false, true, false}));
}

}  // namespace
}  // namespace orvel::onewire
