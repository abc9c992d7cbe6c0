#include <gtest/gtest.h>

#include <set>

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
  EXPECT_TRUE(scanner_.flgBusSilent);
  EXPECT_EQ(lastTimeConvert_, 77.0);

  AddDevice(0x28, 1);
  EXPECT_EQ(scanner_.ScanBus(), 1);
  EXPECT_FALSE(scanner_.flgBusSilent);
  EXPECT_EQ(scanner_.FoundDev, 1);
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

TEST_F(ScanEnumeration, MoreThanTheTableRegistersTheFirstHundredAndNamesTheRest) {
  std::vector<RomCode> roms;
  for (std::uint64_t i = 0; i < 120; ++i) roms.push_back(AddDevice(0x28, 0x1000 + i * 7919));
  const auto ordered = InSearchOrder(roms);
  ASSERT_EQ(scanner_.ScanBus(), 1);
  EXPECT_EQ(scanner_.FoundDev, 100);
  EXPECT_EQ(scanner_.OldFoundDev, 100);
  EXPECT_EQ(Slots(), std::vector<RomCode>(ordered.begin(), ordered.begin() + 100));
  EXPECT_EQ(Calls("TMNext").size(), 120U);  // the rest are counted, up to the end of the search
  const std::vector<std::string> first{
      "Найдено устройств: 120, в таблицу вошли первые 100; не показано устройств: 20."};
  EXPECT_EQ(dialogs_.Notices(), first);

  // The same bus again: no change of count, and no second notice.
  EXPECT_EQ(scanner_.ScanBus(), 1);
  EXPECT_FALSE(scanner_.flgRedravAll);
  EXPECT_EQ(dialogs_.Notices(), first);

  // Five of those beyond the table leave: a new number is a new notice.
  for (std::size_t i = 115; i < 120; ++i) ASSERT_TRUE(driver_.bus().Remove(ordered[i]));
  EXPECT_EQ(scanner_.ScanBus(), 1);
  EXPECT_EQ(scanner_.FoundDev, 100);
  ASSERT_EQ(dialogs_.Notices().size(), 2U);
  EXPECT_EQ(dialogs_.Notices().back(),
            "Найдено устройств: 115, в таблицу вошли первые 100; не показано устройств: 15.");

  // Down to the table's size, then over it again: told again.
  for (std::size_t i = 100; i < 115; ++i) ASSERT_TRUE(driver_.bus().Remove(ordered[i]));
  EXPECT_EQ(scanner_.ScanBus(), 1);
  EXPECT_EQ(dialogs_.Notices().size(), 2U);
  AddDevice(0x28, 0x1000 + 500 * 7919);
  EXPECT_EQ(scanner_.ScanBus(), 1);
  ASSERT_EQ(dialogs_.Notices().size(), 3U);
  EXPECT_EQ(dialogs_.Notices().back(),
            "Найдено устройств: 101, в таблицу вошли первые 100; не показано устройств: 1.");
}

// A driver whose search never ends, on one device found over and over:
// the scan ends all the same, with that device once.
TEST_F(ScanEnumeration, ASearchThatNeverEndsIsCutShort) {
  const RomCode rom = AddDevice(0x28, 1);
  rec_.SetHook([](const std::string& op, int, std::int32_t* result) {
    if (op != "TMNext") return false;
    *result = 1;
    return true;
  });
  ASSERT_EQ(scanner_.ScanBus(), 1);
  EXPECT_EQ(Slots(), std::vector<RomCode>{rom});
  EXPECT_EQ(Calls("TMNext").size(), 999U);
}

// A code whose CRC-8 is wrong is no device: each search pass that ends on
// it is repeated, and a code that stays bad is skipped once reported.
struct BadCrcCase {
  const char* name;
  std::vector<std::uint64_t> good;  // serials of family 0x28 devices
  std::uint64_t bad;                // serial of the device with a damaged CRC
};
void PrintTo(const BadCrcCase& c, std::ostream* os) { *os << c.name; }

class BadCrcDevice : public ScanFixture, public testing::WithParamInterface<BadCrcCase> {};

TEST_P(BadCrcDevice, IsSkippedAndTheRestOfTheBusRegistered) {
  const auto& c = GetParam();
  std::vector<RomCode> good;
  for (std::uint64_t serial : c.good) good.push_back(AddDevice(0x28, serial));
  RomCode bad = MakeRom(0x28, c.bad);
  bad[7] ^= 0x5A;
  driver_.bus().Add(std::make_unique<sim::RomOnlyDevice>(bad, sim::Faults{}));
  const std::vector<std::string> notice{
      "Устройство с неверной контрольной суммой ROM-кода пропущено: " + RomText(bad)};

  for (int scan = 0; scan < 2; ++scan) {
    rec_.Clear();
    ASSERT_EQ(scanner_.ScanBus(), 1);
    EXPECT_EQ(Slots(), InSearchOrder(good));
    EXPECT_EQ(scanner_.flgBusSilent, false);
    EXPECT_EQ(dialogs_.Notices(), notice);  // once, not at every scan
    // Every device's pass plus three repeats of the bad one's, and the
    // pass that ends the search.
    EXPECT_EQ(Calls("TMFirst").size() + Calls("TMNext").size(), good.size() + 4 + 1);
  }
}

INSTANTIATE_TEST_SUITE_P(Places, BadCrcDevice,
                         testing::Values(BadCrcCase{"Alone", {}, 5},
                                         BadCrcCase{"FirstInSearchOrder", {1, 3}, 0},
                                         BadCrcCase{"AmongGood", {1, 2, 3, 7}, 5},
                                         BadCrcCase{"LastInSearchOrder", {0, 2}, 0xFFFFFFFFFFFF}),
                         [](const auto& info) { return std::string(info.param.name); });

// The bus file's own way to put a damaged code on the bus.
TEST_F(ScanEnumeration, ABusFileRomWithABadCrcIsNotListed) {
  const std::string text = R"({ "devices": [
      { "family": "28", "serial": "000000000001" },
      { "rom": "0000000000000020" },
      { "rom": "5666554433221128" } ] })";
  sim::SimulatedDriver driver(clock_, sim::ParseBusFile(text, "bad-crc.json"));
  BusSession bus(driver.tmex());
  DeviceCatalog catalog(bus, stat1_);
  BusScanner scanner(bus, catalog, {stat1_, cbbPort_, cbAdapter_}, dialogs_, pump_, clock_,
                     settings_, lastTimeConvert_);
  ASSERT_EQ(scanner.ScanBus(), 1);
  ASSERT_EQ(scanner.FoundDev, 2);
  std::set<std::string> listed{catalog.Asens[0].ROMS, catalog.Asens[1].ROMS};
  EXPECT_EQ(listed, (std::set<std::string>{RomText(MakeRom(0x28, 1)), "5666554433221128"}));
  EXPECT_EQ(dialogs_.Notices(),
            std::vector<std::string>{
                "Устройство с неверной контрольной суммой ROM-кода пропущено: 0000000000000020"});
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
