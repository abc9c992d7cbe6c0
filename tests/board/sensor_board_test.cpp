#include "board/sensor_board.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/feed_devices.h"

namespace orvel::board {
namespace {

using testing_support::FeedDevice;

using measure::DeviceId;
using measure::Quantity;
using measure::ReadState;

// One poll as the station tells it: the scan, the readings, the states.
struct Poll {
  std::vector<DeviceId> present;
  std::vector<measure::Reading> readings;
  std::vector<measure::StateReport> states;
};

void Feed(SensorBoard& board, const Poll& poll, core::DateTime time) {
  board.OnScan(poll.present, time);
  for (const auto& r : poll.readings) board.OnReading(r);
  for (const auto& s : poll.states) board.OnState(s);
  board.OnPollDone(time);
}

const BoardRow& RowOf(const std::vector<BoardRow>& rows, const DeviceId& d) {
  for (const BoardRow& r : rows) {
    if (r.device.rom == d.rom) return r;
  }
  static BoardRow none;
  ADD_FAILURE() << "no row for " << d.romText;
  return none;
}

TEST(SensorBoard, StateWordsAreDistinctAndRussian) {
  const ReadState all[] = {ReadState::NotReadYet,   ReadState::Fresh, ReadState::ReadError,
                           ReadState::PowerOnValue, ReadState::Busy,  ReadState::FaultCode,
                           ReadState::NoSensor,     ReadState::Gone};
  std::vector<std::string> seen;
  for (ReadState s : all) {
    const std::string words = StateWords(s);
    // Cyrillic letters are two bytes in UTF-8, starting 0xD0 or 0xD1.
    EXPECT_NE(words.find('\xD0'), std::string::npos) << words;
    for (const std::string& other : seen) EXPECT_NE(words, other);
    seen.push_back(words);
  }
}

TEST(SensorBoard, KindInWordsByFamily) {
  EXPECT_EQ(KindWords(0x28, ""), "термометр DS18B20");
  EXPECT_EQ(KindWords(0x10, ""), "термометр DS18S20");
  EXPECT_EQ(KindWords(0x26, ""), "модуль влажности");
  EXPECT_EQ(KindWords(0x19, ""), "зонд с мостом DS28E17");
  EXPECT_EQ(KindWords(0x19, "HDC, BMP280"), "зонд с мостом DS28E17: HDC, BMP280");
  EXPECT_EQ(KindWords(0x01, ""), "устройство семейства 01");
}

TEST(SensorBoard, RowsCarryBothSpellingsAndNames) {
  SensorBoard board;
  const DeviceId t = FeedDevice(0x28, 0x12A3B4C);
  Feed(board, {{t}, {}, {}}, 1.0);
  board.SetName(t.rom, "Подвал");
  const auto rows = board.Snapshot();
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0].device.romText, t.romText);
  EXPECT_EQ(rows[0].familyFirst.substr(0, 2), "28");
  EXPECT_EQ(rows[0].familyFirst.substr(14, 2), t.romText.substr(0, 2));
  EXPECT_EQ(rows[0].name, "Подвал");
  EXPECT_EQ(rows[0].state, ReadState::NotReadYet);
  EXPECT_TRUE(rows[0].values.empty());
  board.SetName(t.rom, "");
  EXPECT_EQ(board.Snapshot()[0].name, "");
}

// Each way a reading can end, told by the station, shows as its state; a
// value read before never stays current through a failed reading.
TEST(SensorBoard, FailedReadingsNeverLeaveAValueCurrent) {
  const ReadState failures[] = {ReadState::ReadError, ReadState::PowerOnValue, ReadState::Busy,
                                ReadState::FaultCode, ReadState::NoSensor};
  for (ReadState failure : failures) {
    SCOPED_TRACE(measure::ReadStateName(failure));
    SensorBoard board;
    const DeviceId d = FeedDevice(0x26, 0xA1B2C3);
    Feed(board,
         {{d},
          {{d, Quantity::Temperature, 24.0, 1.0}, {d, Quantity::Humidity, 45.0, 1.0}},
          {{d, ReadState::Fresh, "", 1.0}}},
         1.0);
    auto row = board.Snapshot()[0];
    ASSERT_EQ(row.values.size(), 2u);
    EXPECT_TRUE(row.values[0].current && row.values[1].current);
    EXPECT_EQ(row.lastFresh, 1.0);

    // Checked before the poll ends: the failure alone takes the values back.
    board.OnScan({d}, 2.0);
    board.OnState({d, failure, "x", 2.0});
    row = board.Snapshot()[0];
    EXPECT_EQ(row.state, failure);
    EXPECT_EQ(row.reason, "x");
    EXPECT_FALSE(row.values[0].current);
    EXPECT_FALSE(row.values[1].current);
    EXPECT_EQ(row.values[0].value, 24.0);  // kept for reference
    EXPECT_EQ(row.lastFresh, 1.0);
  }
}

TEST(SensorBoard, GoneDeviceShowsGoneAndNoCurrentValue) {
  SensorBoard board;
  const DeviceId a = FeedDevice(0x28, 1);
  const DeviceId b = FeedDevice(0x10, 2);
  Feed(board,
       {{a, b},
        {{a, Quantity::Temperature, 21.5, 1.0}, {b, Quantity::Temperature, -10.25, 1.0}},
        {{a, ReadState::Fresh, "", 1.0}, {b, ReadState::Fresh, "", 1.0}}},
       1.0);
  // Seen in the middle of the poll that no longer finds it.
  board.OnScan({a}, 2.0);
  EXPECT_EQ(RowOf(board.Snapshot(), b).state, ReadState::Gone);
  EXPECT_FALSE(RowOf(board.Snapshot(), b).values[0].current);
  board.OnReading({a, Quantity::Temperature, 21.6, 2.0});
  board.OnState({a, ReadState::Fresh, "", 2.0});
  board.OnPollDone(2.0);
  auto rows = board.Snapshot();
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(RowOf(rows, a).state, ReadState::Fresh);
  EXPECT_TRUE(RowOf(rows, a).values[0].current);
  EXPECT_EQ(RowOf(rows, b).state, ReadState::Gone);
  EXPECT_EQ(RowOf(rows, b).stateTime, 2.0);
  EXPECT_FALSE(RowOf(rows, b).values[0].current);

  // Back again: not read yet until a reading comes, then fresh.
  Feed(board, {{a, b}, {}, {}}, 3.0);
  rows = board.Snapshot();
  EXPECT_EQ(RowOf(rows, b).state, ReadState::NotReadYet);
  EXPECT_FALSE(RowOf(rows, b).values[0].current);
  Feed(board, {{a, b}, {{b, Quantity::Temperature, -10.0, 4.0}}, {{b, ReadState::Fresh, "", 4.0}}},
       4.0);
  rows = board.Snapshot();
  EXPECT_EQ(RowOf(rows, b).state, ReadState::Fresh);
  EXPECT_TRUE(RowOf(rows, b).values[0].current);
  EXPECT_EQ(RowOf(rows, b).values[0].value, -10.0);
  // `a` was not read in that poll: its value is no longer current.
  EXPECT_FALSE(RowOf(rows, a).values[0].current);
}

TEST(SensorBoard, BridgeWithPressureNamesItsChipAndOrdersQuantities) {
  SensorBoard board;
  const DeviceId p = FeedDevice(0x19, 0x1D2E3F);
  Feed(board,
       {{p},
        {{p, Quantity::Pressure, 100.65, 1.0},
         {p, Quantity::Temperature, 21.3, 1.0},
         {p, Quantity::PressureSensorTemperature, 22.1, 1.0},
         {p, Quantity::Humidity, 45.2, 1.0}},
        {{p, ReadState::Fresh, "", 1.0}}},
       1.0);
  const auto row = board.Snapshot()[0];
  EXPECT_EQ(row.kind, "зонд с мостом DS28E17: BMP280");
  ASSERT_EQ(row.values.size(), 4u);
  EXPECT_EQ(row.values[0].quantity, Quantity::Temperature);
  EXPECT_EQ(row.values[1].quantity, Quantity::Humidity);
  EXPECT_EQ(row.values[2].quantity, Quantity::Pressure);
  EXPECT_EQ(row.values[3].quantity, Quantity::PressureSensorTemperature);
  board.SetChips(p.rom, "SHT");
  EXPECT_EQ(board.Snapshot()[0].kind, "зонд с мостом DS28E17: SHT");
}

}  // namespace
}  // namespace orvel::board
