#include "onewire/bus_scanner.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include "onewire/scan_fixture.h"

namespace orvel::onewire {
namespace {

constexpr const char* kNoDefaultPortNotice =
    "Порт 1-wire \"по умолчанию\" не найден. Произведите настройку вручную.";

using ScanBusTest = ScanFixture;

TEST_F(ScanBusTest, ListsAreFilledInOrderWithoutSelection) {
  scanner_.FillPortAndAdapterLists();  // a second fill must not add items
  const std::vector<std::string> adapters{"DS9097E",  "Parallel", "--------",
                                          "--------", "DS90907U", "USB"};
  ASSERT_EQ(cbAdapter_.Count(), 6);
  for (int i = 0; i < 6; ++i) EXPECT_EQ(cbAdapter_.Item(i), adapters[static_cast<size_t>(i)]);
  ASSERT_EQ(cbbPort_.Count(), 12);
  for (int i = 0; i < 12; ++i) EXPECT_EQ(cbbPort_.Item(i), std::to_string(i + 1));
  EXPECT_EQ(cbbPort_.Selected(), -1);
  EXPECT_EQ(cbAdapter_.Selected(), -1);
}

TEST_F(ScanBusTest, FirstStartWithoutDefaultPortShowsOneNoticeThenUsesTheSettingsTab) {
  driver_.tmex().SetDefaultPort(std::nullopt);
  const RomCode rom = AddDevice(0x28, 0x42);

  EXPECT_EQ(scanner_.ScanBus(), 0);
  EXPECT_EQ(dialogs_.Notices(), std::vector<std::string>{kNoDefaultPortNotice});
  EXPECT_EQ(stat1_.Text(), "Не выбран порт для подключения!!!");
  EXPECT_EQ(cbbPort_.Text(), "1");
  EXPECT_EQ(cbAdapter_.Text(), "USB");
  EXPECT_FALSE(scanner_.portConfigDefault);
  EXPECT_EQ(scanner_.FoundDev, 0);
  EXPECT_EQ(scanner_.OldFoundDev, 0);
  EXPECT_TRUE(scanner_.flgRedravAll);
  EXPECT_EQ(refreshes_, std::vector<bool>{true});
  EXPECT_TRUE(Calls("TMExtendedStartSession").empty());
  // The choice the lists now show is the one the next scan uses.
  EXPECT_EQ(scanner_.defaultPort, 1);
  EXPECT_EQ(scanner_.defaultAdapter, 6);

  EXPECT_EQ(scanner_.ScanBus(), 1);
  EXPECT_EQ(dialogs_.Notices().size(), 1U);  // shown once only
  EXPECT_EQ(Calls("TMReadDefaultPort").size(), 1U);
  EXPECT_EQ(Calls("TMExtendedStartSession").back().substr(0, 28), "TMExtendedStartSession(1,6)=");
  EXPECT_EQ(Slots(), std::vector<RomCode>{rom});

  // A user's selection on the settings tab takes effect at the next scan.
  cbbPort_.Select(2);
  scanner_.cbbPortChange();
  cbAdapter_.Select(0);
  scanner_.cbAdapterChange();
  EXPECT_EQ(scanner_.ScanBus(), 1);
  EXPECT_EQ(Calls("TMExtendedStartSession").back().substr(0, 28), "TMExtendedStartSession(3,1)=");
  EXPECT_EQ(Calls("TMGetTypeVersion").back(), "TMGetTypeVersion(1)=1");
}

TEST_F(ScanBusTest, SelectionHandlersTakeIndexPlusOneAndZeroForNoSelection) {
  cbbPort_.Select(11);
  scanner_.cbbPortChange();
  cbAdapter_.Select(3);  // a "--------" row still gives its port type
  scanner_.cbAdapterChange();
  EXPECT_EQ(scanner_.defaultPort, 12);
  EXPECT_EQ(scanner_.defaultAdapter, 4);
  cbbPort_.Select(-1);
  scanner_.cbbPortChange();
  cbAdapter_.Select(-1);
  scanner_.cbAdapterChange();
  EXPECT_EQ(scanner_.defaultPort, 0);
  EXPECT_EQ(scanner_.defaultAdapter, 0);
}

TEST_F(ScanBusTest, WhileTheDriverHasADefaultPortTheSettingsTabIsIgnored) {
  AddDevice(0x28, 1);
  cbbPort_.Select(4);
  scanner_.cbbPortChange();
  cbAdapter_.Select(1);
  scanner_.cbAdapterChange();
  EXPECT_EQ(scanner_.ScanBus(), 1);
  EXPECT_EQ(scanner_.PortNum, 1);
  EXPECT_EQ(scanner_.PortType, 6);
  EXPECT_EQ(Calls("TMExtendedStartSession").back().substr(0, 28), "TMExtendedStartSession(1,6)=");
  EXPECT_TRUE(dialogs_.Notices().empty());
  EXPECT_TRUE(refreshes_.empty());
}

TEST_F(ScanBusTest, TheDriverCallsComeInTheirOrder) {
  AddDevice(0x28, 1);
  AddDevice(0x10, 2);
  ASSERT_EQ(scanner_.ScanBus(), 1);
  const std::vector<std::string> expected{
      "TMReadDefaultPort()=1", "Get_Version()=1",
      "TMGetTypeVersion(6)=1", "TMExtendedStartSession(1,6)=1",
      "TMSetup()=1",           "TMFirst()=1",
      "TMRom(read)=1",         "TMNext()=1",
      "TMRom(read)=1",         "TMNext()=0",
  };
  EXPECT_EQ(rec_.calls(), expected);
  EXPECT_EQ(pump_.calls, 2);  // before every TMNext
}

struct FailureCase {
  const char* name;
  const char* op;       // the call whose result is replaced
  std::int32_t result;  // what it returns instead
  std::int16_t scan;    // ScanBus result
  const char* status;   // stat1 afterwards
  bool counts_cleared;  // FoundDev and OldFoundDev back to 0
  bool redraw;          // flgRedravAll
  bool silent;          // flgBusSilent: the adapter answered, no device did
};
// A case prints as its name, in test listings and failures alike.
void PrintTo(const FailureCase& c, std::ostream* os) { *os << c.name; }

class ScanFailures : public ScanFixture, public testing::WithParamInterface<FailureCase> {};

// Each branch after a good scan of two devices: what it reports and which
// state it clears.
TEST_P(ScanFailures, ReportThroughStatusAndResult) {
  const auto& c = GetParam();
  AddDevice(0x28, 1);
  AddDevice(0x28, 2);
  ASSERT_EQ(scanner_.ScanBus(), 1);
  ASSERT_EQ(scanner_.FoundDev, 2);
  const std::string status_before = stat1_.Text();
  const auto slots_before = Slots();
  lastTimeConvert_ = 123.0;

  rec_.SetHook([&c](const std::string& op, int, std::int32_t* result) {
    if (op != c.op) return false;
    *result = c.result;
    return true;
  });
  EXPECT_EQ(scanner_.ScanBus(), c.scan);
  EXPECT_EQ(stat1_.Text(), c.status ? std::string(c.status) : status_before);
  EXPECT_EQ(scanner_.FoundDev, c.counts_cleared ? 0 : 2);
  EXPECT_EQ(scanner_.OldFoundDev, c.counts_cleared ? 0 : 2);
  EXPECT_EQ(scanner_.flgRedravAll, c.redraw);
  EXPECT_EQ(scanner_.flgBusSilent, c.silent);
  EXPECT_EQ(lastTimeConvert_, 123.0);
  if (!c.counts_cleared) {
    EXPECT_EQ(Slots(), slots_before);
  }
  EXPECT_TRUE(refreshes_.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Branches, ScanFailures,
    testing::Values(
        FailureCase{"SessionStartError", "TMExtendedStartSession", -1, 0,
                    "Ошибка настройки драйвера порта!!!", true, false, false},
        // No handle: nothing was scanned, so it fails as an adapter that
        // does not answer rather than pass the old slots off as current.
        FailureCase{"NoSessionNoError", "TMExtendedStartSession", 0, 0,
                    " Проверьте подключение адаптера 1Wire!!!", true, true, false},
        FailureCase{"SetupZero", "TMSetup", 0, 0, " Проверьте подключение адаптера 1Wire!!!", true,
                    true, false},
        FailureCase{"SetupThree", "TMSetup", 3, 0, " Проверьте подключение адаптера 1Wire!!!", true,
                    true, false},
        FailureCase{"SetupNegative", "TMSetup", -200, 0, " Проверьте подключение адаптера 1Wire!!!",
                    true, true, false},
        FailureCase{"FirstNotExactlyOne", "TMFirst", 2, 1, "Адаптер найден", false, false, true},
        FailureCase{"FirstError", "TMFirst", -12, 1, "Адаптер найден", false, false, true},
        FailureCase{"FirstZero", "TMFirst", 0, 1, "Адаптер найден", false, false, true}),
    [](const auto& info) { return std::string(info.param.name); });

// A search that fails after a good scan keeps the slots, yet the cycle that
// follows reads them again and must be able to journal what it reads.
TEST_F(ScanBusTest, AFailedSearchKeepsTheSlotsButReopensTheirJournalGates) {
  AddDevice(0x28, 1);
  AddDevice(0x26, 2);
  ASSERT_EQ(scanner_.ScanBus(), 1);
  const auto slots_before = Slots();
  for (auto& slot : catalog_.Asens) slot.lastWrLogDateTime = 50000.0;  // shut by the last cycle
  rec_.SetHook([](const std::string& op, int, std::int32_t* result) {
    if (op != "TMFirst") return false;
    *result = 0;
    return true;
  });
  EXPECT_EQ(scanner_.ScanBus(), 1);
  EXPECT_EQ(Slots(), slots_before);
  EXPECT_EQ(catalog_.Asens[0].lastWrLogDateTime, 0.0);
  EXPECT_EQ(catalog_.Asens[1].lastWrLogDateTime, 0.0);
  EXPECT_EQ(catalog_.Asens[2].lastWrLogDateTime, 50000.0);  // not a device of the last scan
}

TEST_F(ScanBusTest, SetupTwoCountsAsReady) {
  AddDevice(0x28, 1);
  rec_.SetHook([](const std::string& op, int, std::int32_t* result) {
    if (op != "TMSetup") return false;
    *result = 2;
    return true;
  });
  EXPECT_EQ(scanner_.ScanBus(), 1);
  EXPECT_EQ(stat1_.Text(), "Адаптер найден");
  EXPECT_EQ(scanner_.FoundDev, 1);
}

TEST_F(ScanBusTest, AbsentAdapterEndsTheSessionItOpened) {
  AddDevice(0x28, 1);
  driver_.bus().SetAdapterPresent(false);
  EXPECT_EQ(scanner_.ScanBus(), 0);
  EXPECT_EQ(stat1_.Text(), " Проверьте подключение адаптера 1Wire!!!");
  const auto& calls = rec_.calls();
  ASSERT_GE(calls.size(), 2U);
  EXPECT_EQ(calls[calls.size() - 2], "TMSetup()=0");
  EXPECT_EQ(calls.back(), "TMEndSession()=1");
  EXPECT_EQ(bus_.SHandle, 0);

  // Plugged in again: the next scan finds the device and counts a change.
  driver_.bus().SetAdapterPresent(true);
  EXPECT_EQ(scanner_.ScanBus(), 1);
  EXPECT_EQ(scanner_.FoundDev, 1);
  EXPECT_TRUE(scanner_.flgRedravAll);
}

TEST_F(ScanBusTest, EveryScanEndsThePreviousSessionBeforeStartingOne) {
  AddDevice(0x28, 1);
  ASSERT_EQ(scanner_.ScanBus(), 1);
  const std::int32_t first = bus_.SHandle;
  EXPECT_TRUE(Calls("TMEndSession").empty());  // nothing was open before the first
  rec_.Clear();

  ASSERT_EQ(scanner_.ScanBus(), 1);
  const std::int32_t second = bus_.SHandle;
  EXPECT_NE(first, second);
  const auto& calls = rec_.calls();
  const auto end = std::find(calls.begin(), calls.end(), "TMEndSession()=1");
  const auto start = std::find_if(calls.begin(), calls.end(), [](const std::string& c) {
    return c.rfind("TMExtendedStartSession", 0) == 0;
  });
  ASSERT_NE(end, calls.end());  // =1: the handle it ended was the open one
  ASSERT_NE(start, calls.end());
  EXPECT_LT(end, start);
  EXPECT_EQ(driver_.tmex().TMValidSession(first), 0);
  EXPECT_EQ(driver_.tmex().TMValidSession(second), 1);
}

TEST_F(ScanBusTest, ExceptionsInsideTheScanAreSwallowed) {
  AddDevice(0x28, 1);
  AddDevice(0x28, 2);
  rec_.SetHook([](const std::string& op, int, std::int32_t*) -> bool {
    if (op == "TMNext") throw std::runtime_error("adapter unplugged");
    return false;
  });
  EXPECT_EQ(scanner_.ScanBus(), 1);
  EXPECT_EQ(stat1_.Text(), "Адаптер найден");
  EXPECT_FALSE(catalog_.Asens[0].ROMS.empty());  // registered before the throw
  EXPECT_EQ(scanner_.FoundDev, 0);               // the enumeration never completed

  rec_.SetHook([](const std::string& op, int, std::int32_t*) -> bool {
    if (op == "TMReadDefaultPort") throw std::runtime_error("driver gone");
    return false;
  });
  EXPECT_EQ(scanner_.ScanBus(), 1);
}

TEST_F(ScanBusTest, ThrowingRefreshKeepsTheFailureResult) {
  driver_.tmex().SetDefaultPort(std::nullopt);
  refresh_throws_ = true;
  EXPECT_EQ(scanner_.ScanBus(), 0);
  EXPECT_EQ(stat1_.Text(), "Не выбран порт для подключения!!!");
}

}  // namespace
}  // namespace orvel::onewire
