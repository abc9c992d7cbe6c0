#include "measure/measurement_cycle.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "core/memory_controls.h"
#include "core/virtual_clock.h"
#include "measure/fake_readers.h"
#include "measure/fakes.h"
#include "measure/poll_loop.h"
#include "support/fake_platform.h"

namespace orvel::measure {
namespace {

using ::testing::ElementsAre;
using testing::FakeBridge;
using testing::FakeCatalog;
using testing::FakeJournalFiles;
using testing::FakeReaders;
using ::testing::IsEmpty;
using testing_support::FakeDialogs;

class CycleTest : public ::testing::Test {
 protected:
  CycleTest() {
    settings = {true, "/j", 30};
    for (core::MemoryText* t :
         {&lblTvalue, &lblHvalue, &lblValT28e17, &lblValH28e17, &lblValP28e17, &lblValPTds28e17}) {
      t->SetText("old");
    }
    edtSNHDC.SetText("serial");
  }

  // A device in the next slot, as the scan registers it.
  int Add(std::uint8_t family, std::uint64_t serial) {
    const int slot = FoundDev++;
    const onewire::RomCode code = onewire::MakeRom(family, serial);
    auto& sens = Asens[static_cast<std::size_t>(slot)];
    for (std::size_t i = 0; i < 8; ++i) sens.ROM[i] = code[i];
    sens.ROMS = onewire::RomText(code);
    sens.Family =
        (family == 0x10 || family == 0x28 || family == 0x26 || family == 0x19) ? family : 0;
    sens.lastWrLogDateTime = 0.0;
    return slot;
  }
  std::string Rom(int slot) const { return Asens[static_cast<std::size_t>(slot)].ROMS; }
  // The next poll's scan: every gate open again.
  void Rescan() {
    for (int i = 0; i < FoundDev; ++i) Asens[static_cast<std::size_t>(i)].lastWrLogDateTime = 0;
    clock.Advance(30'000'000);
  }
  std::string File(const std::string& prefix, int slot) {
    auto it = files.files.find("/j/" + prefix + Rom(slot) + ".csv");
    return it == files.files.end() ? "<none>" : it->second;
  }
  static std::string Line(const std::string& value, const char* stamp = "2026.12.07 12:00:00") {
    return std::string(stamp) + " ; " + value + "\r\n";
  }

  onewire::DeviceTable Asens{};
  std::int16_t FoundDev = 0;
  std::int16_t flagExit = kRunning;
  std::array<std::int16_t, 9> ROM{};
  core::MemoryList cmb1820, cmbhlt, cmbds28e17;
  core::MemoryText lblTvalue, lblHvalue, edtSNHDC, lblValT28e17, lblValH28e17, lblValP28e17,
      lblValPTds28e17;
  core::StartupSettings settings;
  core::VirtualClock clock;  // 2026-12-07 12:00:00
  FakeDialogs dialogs;
  core::LocaleSeparators separators{',', '.', ':'};
  FakeJournalFiles files;
  Journal journal{Asens, settings, clock, dialogs, separators, files};
  FakeReaders readers{Asens};
  FakeCatalog catalog{ROM};
  MeasurementCycle cycle{Asens,
                         CycleState{FoundDev, flagExit, ROM},
                         CycleControls{cmb1820, lblTvalue, cmbhlt, lblHvalue, cmbds28e17, edtSNHDC,
                                       lblValT28e17, lblValH28e17, lblValP28e17, lblValPTds28e17},
                         readers,
                         catalog,
                         journal,
                         clock,
                         settings,
                         separators};
};

TEST_F(CycleTest, NoDevicesEmptiesEverythingAndSendsNoBroadcast) {
  cmb1820.Append("00 X");
  cmb1820.Select(0);
  cycle.RefreshMeasurements(false);
  EXPECT_EQ(cmb1820.Count(), 0);
  EXPECT_EQ(cmb1820.Text(), "");
  for (auto* t :
       {&lblTvalue, &lblHvalue, &lblValT28e17, &lblValH28e17, &lblValP28e17, &lblValPTds28e17}) {
    EXPECT_EQ(t->Text(), "--,--");
  }
  EXPECT_EQ(edtSNHDC.Text(), "serial");
  EXPECT_THAT(readers.calls, IsEmpty());
  EXPECT_EQ(catalog.broadcasts, 0);
}

TEST_F(CycleTest, OtherFamiliesOnlyStillBroadcast) {
  Add(0x01, 1);
  Add(0x20, 2);
  cycle.RefreshMeasurements(true);
  EXPECT_EQ(cmb1820.Count() + cmbhlt.Count() + cmbds28e17.Count(), 0);
  EXPECT_THAT(readers.calls, IsEmpty());
  EXPECT_EQ(catalog.broadcasts, 1);
}

TEST_F(CycleTest, ItemNumbersAreSharedByTheThreeLists) {
  settings.LogEnabled = false;
  const int t1 = Add(0x28, 1);
  const int h = Add(0x26, 2);
  Add(0x01, 3);  // no item, no number
  const int t2 = Add(0x10, 4);
  readers.thermometer = {{t1, 20.0}, {t2, 21.0}};
  cycle.RefreshMeasurements(true);
  EXPECT_THAT(cmb1820.Item(0), "00 " + Rom(t1));
  EXPECT_THAT(cmb1820.Item(1), "02 " + Rom(t2));
  EXPECT_THAT(cmbhlt.Item(0), "01 " + Rom(h));
  EXPECT_EQ(cmb1820.Text(), cmb1820.Item(0));
  EXPECT_EQ(lblTvalue.Text(), "20 °C");

  cmb1820.Select(1);
  cycle.cmb1820Change();
  EXPECT_EQ(lblTvalue.Text(), "--,--");
  readers.calls.clear();
  cycle.RefreshMeasurements(false);
  EXPECT_EQ(readers.calls.front(), "T" + std::to_string(t2));
  EXPECT_EQ(lblTvalue.Text(), "21 °C");
}

// A rebuild after a device came or went keeps each list on the device the
// user chose while it is still on the bus; a list whose device left falls
// back to its first item. Journal off, so the labels show what was read
// for the selected devices only.
struct RebuildCase {
  const char* name;
  std::vector<std::pair<std::uint8_t, std::uint64_t>> after;  // family, serial in slot order
  std::uint64_t thermometer, humidity, bridge;                // serials selected afterwards
};
void PrintTo(const RebuildCase& c, std::ostream* os) { *os << c.name; }

class RebuildSelectionTest : public CycleTest, public ::testing::WithParamInterface<RebuildCase> {
 protected:
  // The scan's slots for this bus; each device's readings follow its serial.
  void Lay(const std::vector<std::pair<std::uint8_t, std::uint64_t>>& bus) {
    FoundDev = 0;
    readers.thermometer.clear();
    readers.humidity.clear();
    readers.bridges.clear();
    for (const auto& [family, serial] : bus) {
      const int slot = Add(family, serial);
      const double v = static_cast<double>(serial);
      if (family == 0x28) readers.thermometer[slot] = v;
      if (family == 0x26) readers.humidity[slot] = 10 * v;
      if (family == 0x19) {
        readers.bridges[slot].hdc = {
            {0, 0, 0, 0, 0, static_cast<std::uint8_t>(serial)}, v, v, true};
      }
    }
  }
  static std::string RomOf(std::uint8_t family, std::uint64_t serial) {
    return onewire::RomText(onewire::MakeRom(family, serial));
  }
};

TEST_P(RebuildSelectionTest, SelectionFollowsTheRomCode) {
  settings.LogEnabled = false;
  Lay({{0x28, 1}, {0x28, 2}, {0x26, 3}, {0x26, 4}, {0x19, 5}, {0x19, 6}});
  cycle.RefreshMeasurements(true);
  // The user picks the second device of each list.
  for (core::MemoryList* list : {&cmb1820, &cmbhlt, &cmbds28e17}) list->Select(1);
  cycle.RefreshMeasurements(false);
  ASSERT_EQ(lblTvalue.Text(), "2 °C");
  ASSERT_EQ(lblHvalue.Text(), "40 %");
  ASSERT_EQ(edtSNHDC.Text(), "000000000006");

  const RebuildCase& c = GetParam();
  Lay(c.after);
  cycle.RefreshMeasurements(true);
  EXPECT_EQ(ItemRomText(cmb1820.Text()), RomOf(0x28, c.thermometer));
  EXPECT_EQ(ItemRomText(cmbhlt.Text()), RomOf(0x26, c.humidity));
  EXPECT_EQ(ItemRomText(cmbds28e17.Text()), RomOf(0x19, c.bridge));
  EXPECT_EQ(lblTvalue.Text(), std::to_string(c.thermometer) + " °C");
  EXPECT_EQ(lblHvalue.Text(), std::to_string(10 * c.humidity) + " %");
  EXPECT_EQ(edtSNHDC.Text(), "00000000000" + std::to_string(c.bridge));  // serials below 10
}

INSTANTIATE_TEST_SUITE_P(
    Buses, RebuildSelectionTest,
    ::testing::Values(
        RebuildCase{"DeviceCameInFront",
                    {{0x28, 7}, {0x28, 1}, {0x28, 2}, {0x26, 3}, {0x26, 4}, {0x19, 5}, {0x19, 6}},
                    2,
                    4,
                    6},
        RebuildCase{"OtherDevicesLeftAndOrderChanged",
                    {{0x19, 6}, {0x26, 4}, {0x28, 2}, {0x01, 9}},
                    2,
                    4,
                    6},
        RebuildCase{"SelectedDevicesLeft", {{0x28, 1}, {0x26, 3}, {0x19, 5}, {0x28, 7}}, 1, 3, 5},
        RebuildCase{"OnlyTheThermometerLeft",
                    {{0x28, 7}, {0x28, 1}, {0x26, 3}, {0x26, 4}, {0x19, 5}, {0x19, 6}},
                    7,
                    4,
                    6}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(CycleTest, SelectionIsKeptThroughABusWithoutDevices) {
  settings.LogEnabled = false;
  Add(0x28, 1);
  Add(0x28, 2);
  cycle.RefreshMeasurements(true);
  cmb1820.Select(1);
  const std::string chosen = cmb1820.Text();
  FoundDev = 0;  // the line was cut for a while
  cycle.RefreshMeasurements(true);
  ASSERT_EQ(cmb1820.Count(), 0);
  Add(0x28, 1);
  Add(0x28, 2);
  cycle.RefreshMeasurements(true);
  EXPECT_EQ(cmb1820.Text(), chosen);
}

struct ThermoCase {
  double correct;
  const char* label;
  const char* journal;
};
void PrintTo(const ThermoCase& c, std::ostream* os) { *os << "reading " << c.correct; }

class ThermometerShownTest : public CycleTest, public ::testing::WithParamInterface<ThermoCase> {};

TEST_P(ThermometerShownTest, LabelRoundsToHundredthsJournalGetsTheFixedForm) {
  const int t = Add(0x28, 1);
  readers.thermometer = {{t, GetParam().correct}};
  cycle.RefreshMeasurements(true);
  EXPECT_EQ(lblTvalue.Text(), GetParam().label);
  EXPECT_EQ(File("t_", t), Line(GetParam().journal));
}

INSTANTIATE_TEST_SUITE_P(Values, ThermometerShownTest,
                         ::testing::Values(ThermoCase{23.125, "23,12 °C", "23,12"},
                                           ThermoCase{23.375, "23,38 °C", "23,38"},
                                           ThermoCase{23.1875, "23,19 °C", "23,19"},
                                           ThermoCase{20.0, "20 °C", "20,00"},
                                           ThermoCase{-10.125, "-10,12 °C", "-10,12"}));

TEST_F(CycleTest, ThermometerWithoutAcceptedReadingIsNotJournalled) {
  const int t = Add(0x28, 1);
  readers.thermometer = {{t, std::nullopt}};
  cycle.RefreshMeasurements(true);
  EXPECT_EQ(lblTvalue.Text(), "--,--");
  EXPECT_EQ(File("t_", t), "<none>") << "a never-read thermometer must not be journalled as 0,00";

  readers.thermometer = {{t, 22.5}};
  Rescan();
  cycle.RefreshMeasurements(false);
  EXPECT_EQ(File("t_", t), Line("22,50", "2026.12.07 12:00:30"));

  // The reading fails: the label keeps the last value, the journal gets no
  // copy of it under a new stamp.
  readers.thermometer = {{t, std::nullopt}};
  Rescan();
  cycle.RefreshMeasurements(false);
  EXPECT_EQ(lblTvalue.Text(), "22,5 °C");
  EXPECT_EQ(File("t_", t), Line("22,50", "2026.12.07 12:00:30"));
}

struct HumidityCase {
  double hu;
  const char* label;
  const char* journal;
};
void PrintTo(const HumidityCase& c, std::ostream* os) { *os << "reading " << c.hu; }

class HumidityShownTest : public CycleTest, public ::testing::WithParamInterface<HumidityCase> {};

TEST_P(HumidityShownTest, FaultCodesAsTextsAndJournalledAsCodes) {
  const int h = Add(0x26, 1);
  readers.humidity = {{h, GetParam().hu}};
  cycle.RefreshMeasurements(true);
  EXPECT_EQ(lblHvalue.Text(), GetParam().label);
  EXPECT_EQ(File("h_", h), Line(GetParam().journal));
}

INSTANTIATE_TEST_SUITE_P(
    Values, HumidityShownTest,
    ::testing::Values(HumidityCase{998, "Питание?", "998,00"},
                      HumidityCase{999, "Конденсат?", "999,00"}, HumidityCase{995, "---", "995,00"},
                      HumidityCase{996, "---", "996,00"}, HumidityCase{997, "---", "997,00"},
                      HumidityCase{0, "Неиспр.?", "0,00"}, HumidityCase{45.3, "45,3 %", "45,30"}));

TEST_F(CycleTest, UnreachableHumidityModuleIsNotJournalled) {
  const int h = Add(0x26, 1);
  readers.humidity = {{h, std::nullopt}};
  cycle.RefreshMeasurements(true);
  EXPECT_EQ(File("h_", h), "<none>");
}

TEST_F(CycleTest, JournalOffReadsOnlyTheSelectedDevices) {
  settings.LogEnabled = false;
  const int t1 = Add(0x28, 1);
  const int t2 = Add(0x28, 2);
  const int b1 = Add(0x19, 3);
  const int b2 = Add(0x19, 4);
  readers.thermometer = {{t1, 1.0}, {t2, 2.0}};
  cycle.RefreshMeasurements(true);
  EXPECT_THAT(readers.calls, ElementsAre("T" + std::to_string(t1), "sHDC" + std::to_string(b1),
                                         "sSHT" + std::to_string(b1), "sSTS" + std::to_string(b1),
                                         "sP" + std::to_string(b1)));
  EXPECT_TRUE(files.files.empty());
  EXPECT_EQ(catalog.broadcasts, 1);
  (void)b2;
}

TEST_F(CycleTest, VanishedHumidityModuleSkipsOnlyItsTab) {
  settings.LogEnabled = false;
  Add(0x28, 1);
  const int h = Add(0x26, 2);
  const int b = Add(0x19, 3);
  cycle.RefreshMeasurements(true);
  // The module is exchanged for another, the count stays: no rebuild.
  const onewire::RomCode other = onewire::MakeRom(0x26, 99);
  for (std::size_t i = 0; i < 8; ++i) Asens[static_cast<std::size_t>(h)].ROM[i] = other[i];
  Asens[static_cast<std::size_t>(h)].ROMS = onewire::RomText(other);
  readers.calls.clear();
  cycle.RefreshMeasurements(false);
  EXPECT_EQ(catalog.broadcasts, 2) << "the broadcast must still be sent";
  EXPECT_THAT(readers.calls, ::testing::Contains("sHDC" + std::to_string(b)));
  EXPECT_THAT(readers.calls, ::testing::Not(::testing::Contains("H" + std::to_string(h))));
}

TEST_F(CycleTest, SelectedHumidityModuleIsFoundThroughItsRomCode) {
  settings.LogEnabled = false;
  const int h = Add(0x26, 5);
  readers.humidity = {{h, 45.3}};
  cycle.RefreshMeasurements(true);
  EXPECT_EQ(catalog.hex2rom, 1);
  EXPECT_EQ(lblHvalue.Text(), "45,3 %");
}

struct BridgeCase {
  double t;
  double h;
  const char* labelT;
  const char* labelH;
  const char* fileT;
  const char* fileH;
};
void PrintTo(const BridgeCase& c, std::ostream* os) { *os << "t " << c.t << " h " << c.h; }

class BridgeRangeTest : public CycleTest, public ::testing::WithParamInterface<BridgeCase> {};

TEST_P(BridgeRangeTest, OutOfRangeValuesShowQuestionMarksAndAreNotJournalled) {
  const int b = Add(0x19, 1);
  FakeBridge bridge;
  bridge.hdc = {{1, 2, 3, 4, 5, 0xA6}, GetParam().t, GetParam().h, true};
  readers.bridges[b] = bridge;
  cycle.RefreshMeasurements(true);
  EXPECT_EQ(edtSNHDC.Text(), "0102030405A6");
  EXPECT_EQ(lblValT28e17.Text(), GetParam().labelT);
  EXPECT_EQ(lblValH28e17.Text(), GetParam().labelH);
  EXPECT_EQ(File("t_", b), GetParam().fileT);
  EXPECT_EQ(File("h_", b), GetParam().fileH);
}

INSTANTIATE_TEST_SUITE_P(
    Bounds, BridgeRangeTest,
    ::testing::Values(BridgeCase{21.3, 45.2, "21,30 °C", "45,20 %",
                                 "2026.12.07 12:00:00 ; 21,30\r\n",
                                 "2026.12.07 12:00:00 ; 45,20\r\n"},
                      BridgeCase{-50.0, 0.1, "??,??", "??,??", "<none>", "<none>"},
                      BridgeCase{150.0, 100.1, "??,??", "??,??", "<none>", "<none>"},
                      BridgeCase{123.456, 100.0, "123,46 °C", "100,00 %",
                                 "2026.12.07 12:00:00 ; 123,46\r\n",
                                 "2026.12.07 12:00:00 ; 100,00\r\n"}));

TEST_F(CycleTest, SelectedBridgeWithoutSensorWritesTheNoSensorLines) {
  const int selected = Add(0x19, 1);
  const int other = Add(0x19, 2);
  cycle.RefreshMeasurements(true);
  EXPECT_EQ(edtSNHDC.Text(), "- - - - - -");
  EXPECT_EQ(lblValT28e17.Text(), "??,??");
  EXPECT_EQ(lblValH28e17.Text(), "??,??");
  EXPECT_EQ(File("t_", selected), Line("-51,00"));
  EXPECT_EQ(File("h_", selected), Line("0,00"));
  EXPECT_EQ(File("t_", other), "<none>");
  EXPECT_EQ(File("h_", other), "<none>");
  EXPECT_EQ(Asens[static_cast<std::size_t>(selected)].Temperature, -51.0);
}

TEST_F(CycleTest, FailedChipReadIsNeitherShownNorJournalled) {
  const int b = Add(0x19, 1);
  readers.bridges[b].sht = {{0x1A, 0x2B, 0x3C, 0x4D, 0, 0}, 19.0, 55.0, true};
  cycle.RefreshMeasurements(true);
  EXPECT_EQ(lblValT28e17.Text(), "19,00 °C");
  readers.bridges[b].sht.readOk = false;
  Rescan();
  cycle.RefreshMeasurements(false);
  EXPECT_EQ(lblValT28e17.Text(), "??,??");
  EXPECT_EQ(lblValH28e17.Text(), "??,??");
  EXPECT_EQ(File("t_", b), Line("19,00")) << "the old value came back with a new stamp";
  EXPECT_EQ(File("h_", b), Line("55,00"));
}

TEST_F(CycleTest, FailedHdcAfterAPressureReadingShowsNoPressureAsHumidity) {
  const int b = Add(0x19, 1);
  readers.bridges[b].hdc = {{1, 1, 1, 1, 1, 1}, 21.0, 40.0, true};
  readers.bridges[b].pressureId = 0x58;
  readers.bridges[b].pressure = 99.0;
  readers.bridges[b].pressureTemperature = 23.5;
  cycle.RefreshMeasurements(true);
  EXPECT_EQ(lblValT28e17.Text(), "21,00 °C");
  EXPECT_EQ(lblValH28e17.Text(), "40,00 %");
  // The slot now holds the pressure sensor's temperature and the pressure.
  readers.bridges[b].hdc.readOk = false;
  Rescan();
  cycle.RefreshMeasurements(false);
  EXPECT_EQ(lblValT28e17.Text(), "??,??");
  EXPECT_EQ(lblValH28e17.Text(), "??,??");
  EXPECT_EQ(File("t_", b), Line("21,00"));
  EXPECT_EQ(File("h_", b), Line("40,00"));
  EXPECT_EQ(File("p_", b), Line("99,00") + Line("99,00", "2026.12.07 12:00:30"));
}

TEST_F(CycleTest, TwoSensorKindsGiveTwoTemperatureLinesAndTheLaterOneIsShown) {
  const int b = Add(0x19, 1);
  readers.bridges[b].hdc = {{1, 1, 1, 1, 1, 1}, 21.0, 40.0, true};
  readers.bridges[b].sts = {{2, 2, 2, 2, 2, 2}, 22.0, 0.0, true};
  cycle.RefreshMeasurements(true);
  EXPECT_EQ(File("t_", b), Line("21,00") + Line("22,00"));
  EXPECT_EQ(edtSNHDC.Text(), "020202020202");
  EXPECT_EQ(lblValT28e17.Text(), "22,00 °C");
}

TEST_F(CycleTest, PressureLinesAndLabels) {
  const int b = Add(0x19, 1);
  readers.bridges[b].hdc = {{1, 1, 1, 1, 1, 1}, 21.0, 40.0, true};
  readers.bridges[b].pressureId = 0x58;
  readers.bridges[b].pressure = 100.653;
  readers.bridges[b].pressureTemperature = 22.1;
  cycle.RefreshMeasurements(true);
  EXPECT_EQ(File("p_", b), Line("100,65"));
  EXPECT_EQ(File("tp_", b), "<none>");
  EXPECT_EQ(lblValP28e17.Text(), "100,653kPa");
  EXPECT_EQ(lblValPTds28e17.Text(), "....");

  cycle.lblValPTds28e17Click();
  EXPECT_EQ(lblValPTds28e17.Text(), "--,--");
  Rescan();
  cycle.RefreshMeasurements(false);
  EXPECT_EQ(File("tp_", b), Line("22,10", "2026.12.07 12:00:30"));
  EXPECT_EQ(lblValPTds28e17.Text(), "22,1 °C");
  cycle.lblValPTds28e17Click();
  EXPECT_EQ(lblValPTds28e17.Text(), "....");
}

TEST_F(CycleTest, ZeroPressureLeavesLabelsAndJournalAlone) {
  const int b = Add(0x19, 1);
  readers.bridges[b].hdc = {{1, 1, 1, 1, 1, 1}, 21.0, 40.0, true};
  readers.bridges[b].pressureId = 0x58;
  readers.bridges[b].pressure = 0.0;
  cycle.RefreshMeasurements(true);
  EXPECT_EQ(File("p_", b), "<none>");
  EXPECT_EQ(lblValP28e17.Text(), "--,--");
  EXPECT_EQ(lblValPTds28e17.Text(), "--,--");
}

TEST_F(CycleTest, BridgeGateMovesOnceAfterAllItsLines) {
  const int b = Add(0x19, 1);
  readers.bridges[b].hdc = {{1, 1, 1, 1, 1, 1}, 21.0, 40.0, true};
  cycle.RefreshMeasurements(true);
  EXPECT_EQ(Asens[static_cast<std::size_t>(b)].lastWrLogDateTime,
            core::AddSeconds(clock.Now(), 30));
  cycle.RefreshMeasurements(false);  // no rescan: the gate holds
  EXPECT_EQ(File("t_", b), Line("21,00"));
}

TEST_F(CycleTest, CloseRequestDuringAThermometerWaitEndsTheCycle) {
  const int t1 = Add(0x28, 1);
  const int t2 = Add(0x28, 2);
  const int h = Add(0x26, 3);
  const int b = Add(0x19, 4);
  readers.thermometer = {{t1, 20.0}, {t2, 21.0}};
  readers.during = [&](const std::string& call) {
    if (call == "T" + std::to_string(t1)) flagExit = kCloseRequested;
  };
  cycle.RefreshMeasurements(true);
  EXPECT_THAT(readers.calls, ElementsAre("T" + std::to_string(t1)));
  EXPECT_EQ(catalog.broadcasts, 0);
  (void)h;
  (void)b;
}

TEST_F(CycleTest, CloseRequestWithJournalOffStopsBeforeTheNextTab) {
  settings.LogEnabled = false;
  const int t = Add(0x28, 1);
  Add(0x26, 2);
  Add(0x19, 3);
  readers.during = [&](const std::string&) { flagExit = kCloseRequested; };
  cycle.RefreshMeasurements(true);
  EXPECT_THAT(readers.calls, ElementsAre("T" + std::to_string(t)));
  EXPECT_EQ(catalog.broadcasts, 0);
}

TEST_F(CycleTest, SelectionChangedDuringAReadTakesEffectInTheSameCycle) {
  const int t1 = Add(0x28, 1);
  const int t2 = Add(0x28, 2);
  readers.thermometer = {{t1, 20.0}, {t2, 21.0}};
  readers.during = [&](const std::string& call) {
    if (call == "T" + std::to_string(t1)) {
      cmb1820.Select(1);
      cycle.cmb1820Change();
    }
  };
  cycle.RefreshMeasurements(true);
  EXPECT_EQ(lblTvalue.Text(), "21 °C");
}

TEST(ItemTextTest, NumberAndRomText) {
  EXPECT_EQ(ItemText(0, "5666554433221128"), "00 5666554433221128");
  EXPECT_EQ(ItemText(7, "X"), "07 X");
  EXPECT_EQ(ItemText(123, "X"), "123 X");
  EXPECT_EQ(ItemRomText("02 5666554433221128"), "5666554433221128");
  EXPECT_EQ(ItemRomText("02 "), "");
  EXPECT_EQ(ItemRomText("02"), "");
}

}  // namespace
}  // namespace orvel::measure
