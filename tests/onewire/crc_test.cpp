#include "onewire/crc.h"

#include <gtest/gtest.h>

#include <array>
#include <iomanip>
#include <string_view>
#include <vector>

#include "onewire/rom_code.h"

namespace orvel::onewire {
namespace {

struct Crc8Case {
  std::vector<std::uint8_t> bytes;
  std::uint8_t crc;
};
// The bytes in hex and the CRC they give.
void PrintTo(const Crc8Case& c, std::ostream* os) {
  *os << std::hex << std::uppercase << std::setfill('0');
  for (const auto b : c.bytes) *os << std::setw(2) << int{b} << ' ';
  *os << (c.bytes.empty() ? "nothing gives " : "gives ") << std::setw(2) << int{c.crc};
}

class Crc8Vectors : public testing::TestWithParam<Crc8Case> {};

TEST_P(Crc8Vectors, MatchesPublishedValue) {
  const auto& c = GetParam();
  EXPECT_EQ(Crc8(c.bytes), c.crc);
  // Appending the CRC gives 0, which is how every reader checks a block.
  auto with_crc = c.bytes;
  with_crc.push_back(c.crc);
  EXPECT_EQ(Crc8(with_crc), 0);
}

INSTANTIATE_TEST_SUITE_P(ApplicationNoteVectors, Crc8Vectors,
                         testing::Values(
                             // The worked ROM example of the 1-Wire CRC application note.
                             Crc8Case{{0x02, 0x1C, 0xB8, 0x01, 0x00, 0x00, 0x00}, 0xA2},
                             // DS18B20 power-on scratchpad (+85 C): CRC byte 0x1C.
                             Crc8Case{{0x50, 0x05, 0x4B, 0x46, 0x7F, 0xFF, 0x0C, 0x10}, 0x1C},
                             Crc8Case{{}, 0x00}));

TEST(Crc16, CheckValueAndFrameForm) {
  constexpr std::string_view kDigits = "123456789";
  const std::vector<std::uint8_t> bytes(kDigits.begin(), kDigits.end());
  EXPECT_EQ(Crc16(bytes), 0xBB3D);
  EXPECT_EQ(static_cast<std::uint16_t>(~Crc16(bytes)), 0x44C2);
}

TEST(RomText, CrcFirstFamilyLastAndBack) {
  const RomCode rom{0x28, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x56};
  EXPECT_EQ(RomText(rom), "5666554433221128");
  EXPECT_EQ(ParseRomText("5666554433221128"), rom);
  EXPECT_EQ(ParseRomText("566655443322112"), std::nullopt);
  EXPECT_EQ(ParseRomText("56665544332211G8"), std::nullopt);
}

TEST(MakeRom, SerialMostSignificantByteLandsNextToTheCrc) {
  const RomCode rom = MakeRom(0x28, 0x0000012A3B4CULL);
  EXPECT_EQ(RomText(rom).substr(2), "0000012A3B4C28");
  EXPECT_TRUE(RomCrcValid(rom));
}

}  // namespace
}  // namespace orvel::onewire
