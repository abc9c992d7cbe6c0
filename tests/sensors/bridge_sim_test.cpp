// The simulated bridge and its chips as their datasheets describe them,
// driven directly at the I2C side and through hand-built frames.
#include <gtest/gtest.h>

#include <span>
#include <string>
#include <vector>

#include "bridge_fixture.h"
#include "onewire/crc.h"
#include "onewire/sim/devices/bmp280_chip.h"
#include "onewire/sim/devices/bmp280_fixed_point.h"
#include "onewire/sim/devices/hdc_chip.h"
#include "onewire/sim/devices/sensirion_chip.h"
#include "sensors/bridge_chip_decode.h"

namespace orvel::sim {
namespace {

std::vector<int> ReadBytes(I2cChip& chip, int n, SimTime now) {
  std::vector<int> out;
  for (int i = 0; i < n; ++i) out.push_back(chip.Read(now));
  return out;
}

TEST(HdcChipModel, AConversionReadBeforeItsTimeIsNacked) {
  HdcSettings settings;
  settings.temperature = SimValue::Constant(25.0);
  settings.humidity = SimValue::Constant(40.0);
  HdcChip hdc(settings, Faults{});
  struct Case {
    std::uint8_t pointer;
    SimTime conversion;
    std::uint16_t code;
  };
  for (const Case c : {Case{0x00, 6350, HdcChip::TemperatureCode(25.0)},
                       Case{0x01, 6500, HdcChip::HumidityCode(40.0)}}) {
    ASSERT_TRUE(hdc.Start(false, 1000).ack);
    ASSERT_TRUE(hdc.Write(c.pointer, 1000));
    hdc.Stop(1000);
    EXPECT_FALSE(hdc.Start(true, 1000 + c.conversion - 1).ack) << int{c.pointer};
    ASSERT_TRUE(hdc.Start(true, 1000 + c.conversion).ack);
    EXPECT_EQ(ReadBytes(hdc, 3, 0), (std::vector<int>{c.code >> 8, c.code & 0xFF, 0xFF}));
    // One result per conversion.
    EXPECT_FALSE(hdc.Start(true, 1000 + 2 * c.conversion).ack);
  }
  // 14-bit codes: the two low bits read 0.
  EXPECT_EQ(HdcChip::TemperatureCode(25.0) & 3, 0);
  EXPECT_EQ(HdcChip::TemperatureCode(-40.0), 0);
  EXPECT_EQ(HdcChip::TemperatureCode(200.0), 0xFFFC);
}

TEST(HdcChipModel, IdentificationAndSerialRegisters) {
  HdcSettings settings;
  settings.serial = {0x11, 0x22, 0x33, 0x44, 0x55, 0x80};
  HdcChip hdc(settings, Faults{});
  const std::vector<std::pair<std::uint8_t, std::vector<int>>> regs{
      {0xFB, {0x11, 0x22}}, {0xFC, {0x33, 0x44}}, {0xFD, {0x55, 0x80}},
      {0xFE, {0x54, 0x49}}, {0xFF, {0x10, 0x50}}, {0x02, {0x10, 0x00}}};
  for (const auto& [reg, bytes] : regs) {
    hdc.Start(false, 0);
    hdc.Write(reg, 0);
    ASSERT_TRUE(hdc.Start(true, 0).ack);
    EXPECT_EQ(ReadBytes(hdc, 2, 0), bytes) << int{reg};
  }
}

TEST(SensirionChipModel, SingleShotStretchesTheClockAndSendsCrcWords) {
  SensirionSettings settings;
  settings.temperature = SimValue::Constant(25.0);
  settings.humidity = SimValue::Constant(50.0);
  for (const bool sht : {true, false}) {
    SensirionChip chip(sht ? SensirionChip::kShtAddress : SensirionChip::kStsAddress, sht, settings,
                       Faults{});
    EXPECT_FALSE(chip.Start(true, 0).ack);  // nothing measured yet
    ASSERT_TRUE(chip.Start(false, 0).ack);
    ASSERT_TRUE(chip.Write(0x2C, 0));
    ASSERT_TRUE(chip.Write(0x06, 0));
    const I2cAck ack = chip.Start(true, 4000);
    ASSERT_TRUE(ack.ack);
    EXPECT_EQ(ack.stretch_us, SensirionChip::kMeasureMicros - 4000);
    const auto bytes = ReadBytes(chip, 7, 20000);
    std::vector<std::uint8_t> b(bytes.begin(), bytes.end());
    EXPECT_EQ(sensors::Word(&b[0]), SensirionChip::TemperatureCode(25.0));
    EXPECT_TRUE(sensors::WordCrcOk(&b[0]));
    if (sht) {
      EXPECT_EQ(sensors::Word(&b[3]), SensirionChip::HumidityCode(50.0));
      EXPECT_TRUE(sensors::WordCrcOk(&b[3]));
      EXPECT_EQ(b[6], 0xFF);
    } else {
      EXPECT_EQ(b[3], 0xFF);  // the STS has one word only
    }
  }
}

TEST(SensirionChipModel, UnknownCommandsAreNackedOnTheirSecondByte) {
  SensirionChip sht(SensirionChip::kShtAddress, true, SensirionSettings{}, Faults{});
  sht.Start(false, 0);
  EXPECT_TRUE(sht.Write(0x12, 0));
  EXPECT_FALSE(sht.Write(0x34, 0));
  EXPECT_FALSE(sht.Start(true, 0).ack);
}

TEST(Bmp280ChipModel, ForcedMeasurementTakesItsTimeAndThenSleeps) {
  Bmp280Settings settings;
  settings.calibration = DatasheetCalibration();
  settings.temperature = SimValue::Constant(25.08);
  settings.pressure = SimValue::Constant(100653.27);
  Bmp280Chip bmp(settings, Faults{});
  auto read_from = [&](std::uint8_t reg, int n, SimTime now) {
    bmp.Start(false, now);
    bmp.Write(reg, now);
    bmp.Start(true, now);
    return ReadBytes(bmp, n, now);
  };
  EXPECT_EQ(read_from(0xD0, 1, 0), std::vector<int>{0x58});
  EXPECT_EQ(Bmp280Chip::MeasureMicros(0x91), 38625);
  bmp.Start(false, 0);
  bmp.Write(0xF4, 0);
  bmp.Write(0x91, 0);
  EXPECT_EQ(read_from(0xF3, 1, 38624), std::vector<int>{0x08});  // measuring
  EXPECT_EQ(read_from(0xF7, 6, 38624), (std::vector<int>{0x80, 0, 0, 0x80, 0, 0}));
  EXPECT_EQ(read_from(0xF3, 2, 38625), (std::vector<int>{0x00, 0x90}));  // asleep again
  const auto d = read_from(0xF7, 6, 38625);
  const std::int32_t raw_p = d[0] << 12 | d[1] << 4 | d[2] >> 4;
  const std::int32_t raw_t = d[3] << 12 | d[4] << 4 | d[5] >> 4;
  const std::int32_t fine = FineTemperature(settings.calibration, raw_t);
  EXPECT_NEAR((fine * 5 + 128) / 256 / 100.0, 25.08, 0.006);
  EXPECT_NEAR(PressureQ24_8(settings.calibration, raw_p, fine) / 256.0, 100653.27, 0.2);
  // The soft reset brings back the power-on data.
  bmp.Start(false, 40000);
  bmp.Write(0xE0, 40000);
  bmp.Write(0xB6, 40000);
  EXPECT_EQ(read_from(0xF7, 3, 40000), (std::vector<int>{0x80, 0, 0}));
}

using sensors::testing::BridgeBusTest;

// Sends a frame with its CRC, waits out the busy bits and returns the
// bytes that follow.
std::vector<int> RunFrame(BridgeBusTest& t, onewire::Tmex& tmex, std::int32_t h,
                          std::vector<std::uint8_t> frame, int reply_bytes) {
  const auto crc = static_cast<std::uint16_t>(~onewire::Crc16(std::span(frame)));
  frame.push_back(static_cast<std::uint8_t>(crc & 0xFF));
  frame.push_back(static_cast<std::uint8_t>(crc >> 8));
  for (const auto b : frame) tmex.TMTouchByte(h, b);
  for (int polls = 0; tmex.TMTouchBit(h, 1) == 1 && polls < 1000; ++polls) {
  }
  std::vector<int> out;
  for (int i = 0; i < reply_bytes; ++i) out.push_back(tmex.TMTouchByte(h, 0xFF));
  (void)t;
  return out;
}

class BridgeCommands : public BridgeBusTest {
 protected:
  std::vector<int> Frame(std::vector<std::uint8_t> frame, int reply_bytes) {
    Address();
    return RunFrame(*this, *rec_, bus_->SHandle, std::move(frame), reply_bytes);
  }
};

TEST_F(BridgeCommands, WriteOnlyNeedsABusHeldByNoStop) {
  LoadProbe(R"({"bmp280": {}})");
  EXPECT_EQ(Frame({0x69, 0x01, 0xD0}, 2), (std::vector<int>{Ds28e17Device::kStatusNoStart, 0}));
  // Held by No Stop, the pointer can be sent on its own, then read back
  // with a repeated start.
  EXPECT_EQ(Frame({0x5A, 0xEE, 0x00}, 2), (std::vector<int>{0, 0}));
  EXPECT_EQ(Frame({0x69, 0x01, 0xD0}, 2), (std::vector<int>{0, 0}));
  EXPECT_EQ(Frame({0x87, 0xEF, 0x01}, 2), (std::vector<int>{0, 0x58}));
}

TEST_F(BridgeCommands, WriteReadWithStopInOneFrame) {
  LoadProbe(R"({"bmp280": {}})");
  EXPECT_EQ(Frame({0x2D, 0xEE, 0x01, 0xD0, 0x01}, 3), (std::vector<int>{0, 0, 0x58}));
}

TEST_F(BridgeCommands, BusyBitsLastAsLongAsTheI2cSide) {
  LoadProbe(R"({"bmp280": {}})", R"(, "busy_polls": 0)");
  Address();
  const std::uint8_t reg = 0x88;
  ASSERT_EQ(transfers_->I2CWriteP(&reg, 1, 0), 1);
  Address();
  std::vector<std::uint8_t> buf(26);
  ASSERT_EQ(transfers_->I2CReadP(buf.data(), 26), 26);
  // Repeated start, address, 26 bytes and stop at 400 kHz.
  EXPECT_EQ(bridges_[0]->last_i2c_micros(), (2500 + 27 * 22500 + 2500 + 999) / 1000);
  // One poll per 70 us slot until the bridge is done.
  EXPECT_NEAR(Count("TMTouchBit"), bridges_[0]->last_i2c_micros() / 70.0, 1.0);
}

TEST_F(BridgeBusTest, ChipFaultsMakeTheChipLookAbsent) {
  LoadProbe(R"({"sht": {"faults": {"nack": true}}, "hdc": {}})");
  std::array<std::uint8_t, 6> buf{};
  chips_->getSerial_SHT_TH(buf.data(), 0);
  EXPECT_EQ(buf, (std::array<std::uint8_t, 6>{}));
  chips_->getSerial_HDC_THP(buf.data(), 0);
  EXPECT_NE(buf, (std::array<std::uint8_t, 6>{}));
}

TEST_F(BridgeBusTest, ABridgeWhoseRepliesAreAllCorruptedGivesNothing) {
  LoadProbe(R"({"hdc": {}})", R"(, "faults": {"crc_error_rate": 1.0, "seed": 3})");
  Asens_[0].Temperature = 7.0;
  std::array<std::uint8_t, 6> buf{};
  chips_->getSerial_HDC_THP(buf.data(), 0);
  EXPECT_EQ(buf, (std::array<std::uint8_t, 6>{}));
  EXPECT_FALSE(chips_->getValue_HDC_THP(0).temperature);
  EXPECT_EQ(Asens_[0].Temperature, 7.0);
}

TEST(BridgeBusFile, RefusesWhatItDoesNotKnowAndSaysWhere) {
  const std::vector<std::pair<std::string, std::string>> cases{
      {R"("i2c": {"hdcc": {}})", "/devices/0/i2c"},
      {R"("i2c": {"hdc": {"pressure": 1}})", "/devices/0/i2c/hdc"},
      {R"("i2c": {"sts": {"humidity": 40}})", "/devices/0/i2c/sts"},
      {R"("i2c": {"sht": {"serial": "1A2B3C"}})", "serial"},
      {R"("i2c": {"bmp280": {"calibration": [1, 2, 3]}})", "calibration"},
      {R"("i2c": {"bmp280": {"raw_pressure": 1048576}})", "raw_pressure"},
      {R"("busy_polls": -1)", "busy_polls"},
      {R"("i2c": {"hdc": {"faults": {"crc_error_rate": 0.5}}})", "crc_error_rate"},
      {R"("faults": {"nack": true})", "nack"},
      {R"("temperature": 20)", "temperature"}};
  for (const auto& [body, where] : cases) {
    const std::string file =
        R"({"devices": [{"family": "19", "serial": "0000001D2E3F", )" + body + "}]}";
    try {
      ParseBusFile(file, "probe.json");
      ADD_FAILURE() << body;
    } catch (const BusFileError& e) {
      EXPECT_NE(std::string(e.what()).find("probe.json"), std::string::npos) << e.what();
      EXPECT_NE(std::string(e.what()).find(where), std::string::npos) << e.what();
    }
  }
}

}  // namespace
}  // namespace orvel::sim
