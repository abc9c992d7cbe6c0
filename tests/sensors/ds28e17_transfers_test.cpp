#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <string>
#include <vector>

#include "bridge_fixture.h"
#include "sensors/ds28e17_frames.h"

namespace orvel::sensors::testing {
namespace {

constexpr const char* kAllChips = R"({"hdc": {}, "sht": {}, "bmp280": {}})";

TEST(CalcCrc16, CheckStringAndItsInvertedForm) {
  const std::string digits = "123456789";
  const auto crc = CalcCRC16(reinterpret_cast<const std::uint8_t*>(digits.data()), 9);
  EXPECT_EQ(crc, 0xBB3D);
  EXPECT_EQ(static_cast<std::uint16_t>(~crc), 0x44C2);
}

struct FrameCase {
  const char* name;
  std::function<BridgeResult(BridgeTransfers&)> transfer;
  std::vector<int> frame;
  BridgeResult result;
};
// A case prints as its name, in test listings and failures alike.
void PrintTo(const FrameCase& c, std::ostream* os) { *os << c.name; }

class BridgeFrames : public BridgeBusTest, public ::testing::WithParamInterface<FrameCase> {};

// The frames go to chips that answer, so the bridge model must also accept
// their CRCs for the transfer to succeed.
TEST_P(BridgeFrames, SendsTheExactFrameAndSucceeds) {
  LoadProbe(kAllChips);
  Address();
  EXPECT_EQ(GetParam().transfer(*transfers_), GetParam().result);
  const auto sent = SentBytes();
  ASSERT_GE(sent.size(), GetParam().frame.size());
  EXPECT_EQ(std::vector<int>(sent.begin(), sent.begin() + GetParam().frame.size()),
            GetParam().frame);
  EXPECT_EQ(bridges_[0]->crc_errors(), 0);
}

std::uint8_t g_buf[26];
const std::uint8_t kZero[] = {0x00};
const std::uint8_t kSingleShot[] = {0x2C, 0x06};
const std::uint8_t kIdPointer[] = {0xD0};

INSTANTIATE_TEST_SUITE_P(
    Frames, BridgeFrames,
    // No conversion was started, so the HDC refuses the read itself.
    ::testing::Values(FrameCase{"ReadTwoFromHdc",
                                [](auto& t) { return t.I2CReadHDC(g_buf, 2); },
                                {0x87, 0x81, 0x02, 0xAE, 0x47},
                                -5},
                      FrameCase{"WriteZeroToHdc",
                                [](auto& t) { return t.I2CWriteHDC(kZero, 1); },
                                {0x4B, 0x80, 0x01, 0x00, 0xE8, 0x63},
                                1},
                      FrameCase{"SingleShotToSht",
                                [](auto& t) { return t.I2CWriteSHT(kSingleShot, 2); },
                                {0x4B, 0x88, 0x02, 0x2C, 0x06, 0x4D, 0x53},
                                2},
                      FrameCase{"IdPointerNoStop",
                                [](auto& t) { return t.I2CWriteP(kIdPointer, 1, 0); },
                                {0x5A, 0xEE, 0x01, 0xD0, 0x8D, 0x1E},
                                1},
                      FrameCase{"StopTwoMeansNoStop",
                                [](auto& t) { return t.I2CWriteP(kIdPointer, 1, 2); },
                                {0x5A, 0xEE, 0x01, 0xD0},
                                1},
                      FrameCase{"StopOneMeansStop",
                                [](auto& t) { return t.I2CWriteP(kIdPointer, 1, 1); },
                                {0x4B, 0xEE, 0x01, 0xD0},
                                1}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(BridgeBusTest, TwentySixBytesMakeAThirtyOneByteFrame) {
  LoadProbe(kAllChips);
  Address();
  std::array<std::uint8_t, 26> data{};
  for (std::size_t i = 0; i < data.size(); i += 2) data[i] = 0xF5;  // register, value pairs
  EXPECT_EQ(transfers_->I2CWriteP(data.data(), 26, 1), 26);
  const auto calls = rec_->calls();
  const auto first_poll = std::find_if(calls.begin(), calls.end(), [](const std::string& c) {
    return c.rfind("TMTouchBit(", 0) == 0;
  });
  EXPECT_EQ(first_poll - calls.begin(), 31);
  EXPECT_EQ(SentBytes()[2], 26);
}

TEST_F(BridgeBusTest, CountsOutsideOneToTwentySixSendNothing) {
  LoadProbe(kAllChips);
  Address();
  std::array<std::uint8_t, 32> buf{};
  for (const std::int32_t n : {0, 27, -1}) {
    EXPECT_EQ(transfers_->I2CReadHDC(buf.data(), n), -1) << n;
    EXPECT_EQ(transfers_->I2CReadP(buf.data(), n), -1) << n;
    EXPECT_EQ(transfers_->I2CWriteSHT(buf.data(), n), -1) << n;
    EXPECT_EQ(transfers_->I2CWriteP(buf.data(), n, 1), -1) << n;
  }
  EXPECT_TRUE(rec_->calls().empty());
}

struct PollCase {
  const char* name;
  std::function<BridgeResult(BridgeTransfers&)> transfer;
  int limit;
};
void PrintTo(const PollCase& c, std::ostream* os) { *os << c.name; }

class BridgePollLimits : public BridgeBusTest, public ::testing::WithParamInterface<PollCase> {};

TEST_P(BridgePollLimits, ABridgeThatStaysBusyIsPolledExactlyToTheLimit) {
  LoadProbe(kAllChips, R"(, "faults": {"busy_forever": true})");
  Address();
  EXPECT_EQ(GetParam().transfer(*transfers_), -4);
  EXPECT_EQ(Count("TMTouchBit"), GetParam().limit);
  EXPECT_EQ(pump_.calls, GetParam().limit);
  // No status byte after the last poll.
  EXPECT_EQ(rec_->calls().back().rfind("TMTouchBit(", 0), 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Limits, BridgePollLimits,
    ::testing::Values(
        PollCase{"ReadHdc", [](auto& t) { return t.I2CReadHDC(g_buf, 2); }, 600},
        PollCase{"ReadSht", [](auto& t) { return t.I2CReadSHT(g_buf, 6); }, 600},
        PollCase{"ReadSts", [](auto& t) { return t.I2CReadSTS(g_buf, 4); }, 600},
        PollCase{"ReadP", [](auto& t) { return t.I2CReadP(g_buf, 6); }, 600},
        PollCase{"WriteHdc", [](auto& t) { return t.I2CWriteHDC(kZero, 1); }, 60000},
        PollCase{"WriteSht", [](auto& t) { return t.I2CWriteSHT(kSingleShot, 2); }, 60000},
        PollCase{"WriteSts", [](auto& t) { return t.I2CWriteSTS(kSingleShot, 2); }, 60000},
        PollCase{"WriteP", [](auto& t) { return t.I2CWriteP(kIdPointer, 1, 1); }, 6000}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(BridgeBusTest, ABridgeDoneAtTheFirstPollGoesStraightToItsStatus) {
  LoadProbe(kAllChips, R"(, "busy_polls": 0)");
  Address();
  EXPECT_EQ(transfers_->I2CWriteHDC(kZero, 1), 1);
  EXPECT_EQ(Count("TMTouchBit"), 1);
  EXPECT_EQ(pump_.calls, 0);
}

TEST_F(BridgeBusTest, EachBusyPollLetsMessagesThrough) {
  LoadProbe(kAllChips, R"(, "busy_polls": 5)");
  Address();
  EXPECT_EQ(transfers_->I2CWriteHDC(kZero, 1), 1);
  EXPECT_EQ(Count("TMTouchBit"), 6);
  EXPECT_EQ(pump_.calls, 5);
}

TEST_F(BridgeBusTest, ADriverErrorOnTheThirdFrameByteStopsTheFrame) {
  LoadProbe(kAllChips);
  Address();
  rec_->SetHook([](const std::string& op, int index, std::int32_t* r) {
    if (op != "TMTouchByte" || index != 2) return false;
    *r = -1;
    return true;
  });
  std::array<std::uint8_t, 2> buf{};
  EXPECT_EQ(transfers_->I2CReadHDC(buf.data(), 2), -2);
  EXPECT_EQ(Count("TMTouchByte"), 3);
  EXPECT_EQ(Count("TMTouchBit"), 0);
}

TEST_F(BridgeBusTest, ADriverErrorWhilePollingIsMinusThree) {
  LoadProbe(kAllChips, R"(, "busy_polls": 3)");
  Address();
  rec_->SetHook([](const std::string& op, int index, std::int32_t* r) {
    if (op != "TMTouchBit" || index != 1) return false;
    *r = -7;
    return true;
  });
  EXPECT_EQ(transfers_->I2CWriteSHT(kSingleShot, 2), -3);
  EXPECT_EQ(Count("TMTouchBit"), 2);
  EXPECT_EQ(rec_->calls().back().rfind("TMTouchBit(", 0), 0u);
}

TEST_F(BridgeBusTest, AReadWithABadStatusClocksInNoDataAndKeepsTheBuffer) {
  LoadProbe(R"({"hdc": {}})");  // no STS fitted: its address is not acknowledged
  Address();
  std::array<std::uint8_t, 4> buf{0xAA, 0xAA, 0xAA, 0xAA};
  EXPECT_EQ(transfers_->I2CReadSTS(buf.data(), 4), -5);
  EXPECT_EQ(RepliesAfterPolls(), std::vector<int>{sim::Ds28e17Device::kStatusAddressNack});
  EXPECT_EQ(buf, (std::array<std::uint8_t, 4>{0xAA, 0xAA, 0xAA, 0xAA}));
  EXPECT_TRUE(dialogs_.notices.empty());  // only the pressure read shows it
}

TEST_F(BridgeBusTest, AGoodReadClocksInExactlyNBytes) {
  LoadProbe(R"({"hdc": {"serial": "0102030405A6"}})");
  Address();
  const std::uint8_t reg = 0xFC;
  ASSERT_EQ(transfers_->I2CWriteHDC(&reg, 1), 1);
  Address();
  std::array<std::uint8_t, 2> buf{};
  EXPECT_EQ(transfers_->I2CReadHDC(buf.data(), 2), 2);
  EXPECT_EQ(RepliesAfterPolls(), (std::vector<int>{0x00, 0x03, 0x04}));
  EXPECT_EQ(buf, (std::array<std::uint8_t, 2>{0x03, 0x04}));
}

TEST_F(BridgeBusTest, ThePressureReadShowsABadStatusAsABareNumber) {
  LoadProbe(R"({"hdc": {}})");
  Address();
  std::uint8_t id = 0;
  EXPECT_EQ(transfers_->I2CReadP(&id, 1), -5);
  EXPECT_EQ(dialogs_.notices, std::vector<std::string>{"2"});
}

struct WriteStatusCase {
  const char* name;
  std::function<BridgeResult(BridgeTransfers&)> transfer;
  std::vector<int> status_bytes;  // status, write status
  BridgeResult result;
};
void PrintTo(const WriteStatusCase& c, std::ostream* os) { *os << c.name; }

class BridgeWriteStatus : public BridgeBusTest,
                          public ::testing::WithParamInterface<WriteStatusCase> {};

// A write fails when either status byte is set: an address NACK alone, or a
// refused data byte alone, is a failed write.
TEST_P(BridgeWriteStatus, EitherStatusByteFailsTheWrite) {
  LoadProbe(R"({"sht": {}})");
  Address();
  EXPECT_EQ(GetParam().transfer(*transfers_), GetParam().result);
  EXPECT_EQ(RepliesAfterPolls(), GetParam().status_bytes);
}

const std::uint8_t kUnknownCommand[] = {0x12, 0x34};

INSTANTIATE_TEST_SUITE_P(
    Writes, BridgeWriteStatus,
    ::testing::Values(
        WriteStatusCase{
            "Accepted", [](auto& t) { return t.I2CWriteSHT(kSingleShot, 2); }, {0, 0}, 2},
        WriteStatusCase{"AddressNackOnly",
                        [](auto& t) { return t.I2CWriteSTS(kSingleShot, 2); },
                        {sim::Ds28e17Device::kStatusAddressNack, 0},
                        -5},
        WriteStatusCase{
            "DataNackOnly", [](auto& t) { return t.I2CWriteSHT(kUnknownCommand, 2); }, {0, 2}, -5}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(BridgeBusTest, AFrameWithABadCrcNeverReachesTheChip) {
  LoadProbe(R"({"hdc": {}})");
  Address();
  // The HDC temperature pointer with its CRC's low byte spoiled.
  for (const int b : {0x4B, 0x80, 0x01, 0x00, 0xE9, 0x63}) rec_->TMTouchByte(bus_->SHandle, b);
  int polls = 0;
  while (rec_->TMTouchBit(bus_->SHandle, 1) == 1 && polls < 100) ++polls;
  EXPECT_EQ(rec_->TMTouchByte(bus_->SHandle, 0xFF), sim::Ds28e17Device::kStatusCrc);
  EXPECT_EQ(rec_->TMTouchByte(bus_->SHandle, 0xFF), 0);
  EXPECT_EQ(bridges_[0]->crc_errors(), 1);
  EXPECT_EQ(bridges_[0]->frames_run(), 0);
  // No conversion was started, so the temperature register has nothing.
  clock_.Sleep(20);
  Address();
  std::array<std::uint8_t, 2> buf{};
  EXPECT_EQ(transfers_->I2CReadHDC(buf.data(), 2), -5);
}

TEST_F(BridgeBusTest, SelectionNeedsAllThreeCallsInOrder) {
  LoadProbe(kAllChips);
  EXPECT_TRUE(transfers_->SelectDevice(0));
  std::vector<std::string> ops;
  for (const auto& c : rec_->calls()) ops.push_back(c.substr(0, c.find('(')));
  EXPECT_EQ(ops, (std::vector<std::string>{"TMRom", "TMValidSession", "TMStrongAccess"}));
  for (const char* failing : {"TMRom", "TMValidSession", "TMStrongAccess"}) {
    rec_->SetHook([failing](const std::string& op, int, std::int32_t* r) {
      if (op != failing) return false;
      *r = 0;
      return true;
    });
    EXPECT_FALSE(transfers_->SelectDevice(0)) << failing;
  }
  // A probe that is not on the bus does not answer its ROM code.
  rec_->SetHook(nullptr);
  Asens_[1].ROM = Asens_[0].ROM;
  Asens_[1].ROM[3] ^= 0x40;
  EXPECT_FALSE(transfers_->SelectDevice(1));
}

}  // namespace
}  // namespace orvel::sensors::testing
