#include "board/rom_spellings.h"

#include <gtest/gtest.h>

namespace orvel::board {
namespace {

// 28 FF 64 1E 0F 16 04 13 in bus order has a valid CRC (0x13).
TEST(RomSpellings, BothFormsOfOneCode) {
  const onewire::RomCode rom{0x28, 0xFF, 0x64, 0x1E, 0x0F, 0x16, 0x04, 0x13};
  ASSERT_TRUE(onewire::RomCrcValid(rom));
  EXPECT_EQ(FamilyFirstText(rom), "28FF641E0F160413");
  EXPECT_EQ(onewire::RomText(rom), "1304160F1E64FF28");
  EXPECT_EQ(ParseEitherSpelling("28FF641E0F160413"), rom);
  EXPECT_EQ(ParseEitherSpelling("1304160f1e64ff28"), rom);
}

TEST(RomSpellings, RefusesCodesNeitherWayValid) {
  EXPECT_FALSE(ParseEitherSpelling("28FF641E0F160414"));
  EXPECT_FALSE(ParseEitherSpelling("28FF641E0F1604"));
  EXPECT_FALSE(ParseEitherSpelling("28FF641E0F16041G"));
}

}  // namespace
}  // namespace orvel::board
