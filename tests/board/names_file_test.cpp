#include "board/names_file.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "board/rom_spellings.h"

namespace orvel::board {
namespace {

namespace fs = std::filesystem;

class NamesFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("orvel-names-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
            "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    path_ = dir_ / "names.conf";
  }
  void TearDown() override { fs::remove_all(dir_); }

  void WriteFile(const std::string& text) { std::ofstream(path_, std::ios::binary) << text; }
  std::string ReadFile() {
    std::ifstream in(path_, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }

  fs::path dir_;
  fs::path path_;
};

const onewire::RomCode kA{0x28, 0xFF, 0x64, 0x1E, 0x0F, 0x16, 0x04, 0x13};
const onewire::RomCode kB = onewire::MakeRom(0x10, 0x0801A2B3C4);
const onewire::RomCode kC = onewire::MakeRom(0x26, 0xA1B2C3);

TEST_F(NamesFileTest, ReadsBothSpellingsAndComments) {
  WriteFile(
      "# names of the sensors\n"
      "28FF641E0F160413 = Подвал\n"
      "\n"
      "  " +
      onewire::RomText(kB) +
      "=Улица, север  \r\n"
      "   # indented comment = not a name\n" +
      FamilyFirstText(kC) + " = Теплица = вторая\n");
  NamesFile names(path_);
  ASSERT_TRUE(names.Load());
  EXPECT_TRUE(names.problems().empty());
  EXPECT_EQ(names.names().size(), 3u);
  EXPECT_EQ(names.NameOf(kA), "Подвал");
  EXPECT_EQ(names.NameOf(kB), "Улица, север");
  EXPECT_EQ(names.NameOf(kC), "Теплица = вторая");
}

TEST_F(NamesFileTest, BadLinesAreReportedNotFatal) {
  WriteFile(
      "28FF641E0F160413 = Подвал\n"
      "just some words\n"
      "28FF641E0F160414 = wrong CRC\n"
      "12345 = too short\n" +
      onewire::RomText(kB) + " =   \n" + onewire::RomText(kC) + " = Теплица\n");
  NamesFile names(path_);
  ASSERT_TRUE(names.Load());
  ASSERT_EQ(names.problems().size(), 4u);
  EXPECT_EQ(names.problems()[0].line, 2);
  EXPECT_EQ(names.problems()[1].line, 3);
  EXPECT_EQ(names.problems()[2].line, 4);
  EXPECT_EQ(names.problems()[3].line, 5);
  EXPECT_EQ(names.NameOf(kA), "Подвал");
  EXPECT_EQ(names.NameOf(kC), "Теплица");
  EXPECT_EQ(names.names().size(), 2u);
}

TEST_F(NamesFileTest, MissingFileIsEmptyAndNotCreatedByReading) {
  NamesFile names(path_);
  ASSERT_TRUE(names.Load());
  EXPECT_TRUE(names.names().empty());
  EXPECT_FALSE(fs::exists(path_));
}

TEST_F(NamesFileTest, RenameKeepsOtherLinesAndSurvivesARestart) {
  const std::string before =
      "# my sensors\n"
      "28FF641E0F160413 = Подвал\n"
      "not a name line\n" +
      onewire::RomText(kB) + " = Улица\n";
  WriteFile(before);
  NamesFile names(path_);
  ASSERT_TRUE(names.Load());
  ASSERT_EQ(names.Rename(kA, "  Погреб "), "");
  ASSERT_EQ(names.Rename(kC, "Теплица"), "");
  ASSERT_EQ(names.Rename(kB, ""), "");
  EXPECT_EQ(ReadFile(),
            "# my sensors\n"
            "28FF641E0F160413 = Погреб\n"
            "not a name line\n" +
                onewire::RomText(kC) + " = Теплица\n");
  EXPECT_FALSE(fs::exists(path_.string() + ".tmp"));

  NamesFile again(path_);
  ASSERT_TRUE(again.Load());
  EXPECT_EQ(again.NameOf(kA), "Погреб");
  EXPECT_EQ(again.NameOf(kB), "");
  EXPECT_EQ(again.NameOf(kC), "Теплица");
  EXPECT_EQ(again.problems().size(), 1u);
}

TEST_F(NamesFileTest, FirstRenameCreatesFolderAndFile) {
  NamesFile names(dir_ / "orvel" / "names.conf");
  ASSERT_TRUE(names.Load());
  ASSERT_EQ(names.Rename(kA, "Подвал\nвторая строка"), "");
  NamesFile again(dir_ / "orvel" / "names.conf");
  ASSERT_TRUE(again.Load());
  EXPECT_EQ(again.NameOf(kA), "Подвал вторая строка");
}

TEST_F(NamesFileTest, FailedWriteLeavesFileAndNamesAsTheyWere) {
  WriteFile("28FF641E0F160413 = Подвал\n");
  NamesFile names(path_);
  ASSERT_TRUE(names.Load());
  // A folder where the temporary file would go makes the write fail.
  fs::create_directories(path_.string() + ".tmp");
  EXPECT_NE(names.Rename(kA, "Погреб"), "");
  EXPECT_EQ(names.NameOf(kA), "Подвал");
  EXPECT_EQ(ReadFile(), "28FF641E0F160413 = Подвал\n");
}

#ifndef _WIN32
TEST_F(NamesFileTest, DefaultPathFollowsXdgConfigHome) {
  const char* old = std::getenv("XDG_CONFIG_HOME");
  const std::string saved = old ? old : "";
  ::setenv("XDG_CONFIG_HOME", "/tmp/xdg-here", 1);
  EXPECT_EQ(NamesFile::DefaultPath(), fs::path("/tmp/xdg-here/orvel/names.conf"));
  ::setenv("XDG_CONFIG_HOME", "relative", 1);  // not absolute: ignored, as XDG's rules say
  EXPECT_EQ(NamesFile::DefaultPath().filename(), "names.conf");
  EXPECT_NE(NamesFile::DefaultPath().string().rfind("relative", 0), 0u);
  if (old) {
    ::setenv("XDG_CONFIG_HOME", saved.c_str(), 1);
  } else {
    ::unsetenv("XDG_CONFIG_HOME");
  }
}
#endif

}  // namespace
}  // namespace orvel::board
