#include "onewire/ds2480b/ds2480b_protocol.h"

#include <gtest/gtest.h>

namespace orvel::onewire::ds2480b {
namespace {

// Command codes from the datasheet's tables: parameter code in bits 6..4,
// value code in bits 3..1, bit 0 set.
TEST(Ds2480bProtocol, ConfigurationCodes) {
  struct Case {
    Param param;
    std::uint8_t value;
    std::uint8_t code;
  };
  const Case cases[] = {
      {Param::kSlewRate, kSlew1_37VPerUs, 0x17},
      {Param::kWrite1Low, kWrite1Low10us, 0x45},
      {Param::kSampleOffset, kSampleOffset8us, 0x5B},
      {Param::kPullupDuration, kPullupInfinite, 0x3F},
      {Param::kBaud, kBaud9600, 0x71},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(WriteParam(c.param, c.value), c.code);
    EXPECT_EQ(ExpectedWriteReply(c.code), c.code - 1);
  }
  EXPECT_EQ(ReadParam(Param::kBaud), 0x0F);
  EXPECT_EQ(DecodeReadParam(0x00), 0);             // 9600 baud
  EXPECT_EQ(DecodeReadParam(0x06), 3);             // 115200 baud
  EXPECT_EQ(DecodeReadParam(0x0F), std::nullopt);  // bit 0 set: not a reply
  EXPECT_EQ(DecodeReadParam(0x16), std::nullopt);  // a write reply
}

TEST(Ds2480bProtocol, ResetReplies) {
  struct Case {
    std::uint8_t reply;
    std::optional<ResetResult> result;
  };
  const Case cases[] = {
      {0xCD, ResetResult::kPresence},
      {0xCE, ResetResult::kAlarmPresence},
      {0xCF, ResetResult::kNoPresence},
      {0xCC, ResetResult::kShorted},
      {0xED, std::nullopt},
      {0x93, std::nullopt},
      {0x00, std::nullopt},
  };
  for (const auto& c : cases) EXPECT_EQ(DecodeReset(c.reply), c.result) << int{c.reply};
  for (auto r : {ResetResult::kShorted, ResetResult::kPresence, ResetResult::kNoPresence}) {
    EXPECT_EQ(DecodeReset(EncodeReset(r)), r);
  }
  EXPECT_EQ(EncodeReset(ResetResult::kPresence), 0xCD);
}

TEST(Ds2480bProtocol, SingleBitCommandsAndReplies) {
  EXPECT_EQ(SingleBit(0), 0x81);
  EXPECT_EQ(SingleBit(1), 0x91);
  EXPECT_EQ(SingleBit(0, true), 0x83);
  EXPECT_EQ(SingleBit(1, true), 0x93);
  struct Case {
    std::uint8_t command, reply;
    std::optional<int> bit;
  };
  const Case cases[] = {
      {0x91, 0x93, 1},
      {0x91, 0x90, 0},
      {0x81, 0x80, 0},
      {0x93, 0x93, 1},
      {0x91, 0x91, std::nullopt},  // the two read bits disagree
      {0x91, 0x83, std::nullopt},  // echo of another command
      {0x81, 0xCD, std::nullopt},
  };
  for (const auto& c : cases) EXPECT_EQ(DecodeSingleBit(c.command, c.reply), c.bit);
}

TEST(Ds2480bProtocol, SearchFramesPutEachRomBitInItsPair) {
  RomCode choices{};
  choices[0] = 0x01;  // bit 0
  choices[7] = 0x80;  // bit 63
  const AccelFrame frame = EncodeSearchChoices(choices);
  AccelFrame expected{};
  expected[0] = 0x02;   // r0 is bit 1 of the first byte
  expected[15] = 0x80;  // r63 is bit 7 of the last byte
  EXPECT_EQ(frame, expected);

  // A reply with the path 28 12 34 ... and a conflict at bit 3 only.
  const RomCode rom = MakeRom(0x28, 0x0000012A3B4C);
  AccelFrame reply = EncodeSearchChoices(rom);
  reply[0] |= 0x40;  // d3
  const AccelResult result = DecodeSearchReply(reply);
  EXPECT_EQ(result.rom, rom);
  EXPECT_EQ(result.flags, std::uint64_t{1} << 3);
  EXPECT_TRUE(result.complete);

  AccelFrame lost{};
  lost[15] = 0xC0;  // d63 and r63 both set: the adapter lost every device
  EXPECT_FALSE(DecodeSearchReply(lost).complete);
}

}  // namespace
}  // namespace orvel::onewire::ds2480b
