#include "measure/journal.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "core/virtual_clock.h"
#include "measure/fakes.h"
#include "support/fake_platform.h"

namespace orvel::measure {
namespace {

namespace fs = std::filesystem;
using testing::FakeJournalFiles;
using testing_support::FakeDialogs;

constexpr const char* kRom = "5666554433221128";
const std::string kFile = std::string("/j/t_") + kRom + ".csv";
const std::string kHeldOpen =
    std::string("Файл t_") + kRom + ".csv  открыт в другой программе и не может быть записан!";
const std::string kNotWritten = std::string("Файл t_") + kRom + ".csv не может быть записан!";

// A journal message with the system's reason for the failure.
std::string Because(const std::string& text, int error) {
  return text + " (" + std::strerror(error) + ")";
}

class JournalTest : public ::testing::Test {
 protected:
  JournalTest() {
    Asens[0].ROMS = kRom;
    Asens[1].ROMS = "0000000000000028";
    settings.LogEnabled = true;
    settings.LogFolder = "/j";
    settings.LogInterval = 30;
  }

  onewire::DeviceTable Asens{};
  core::StartupSettings settings;
  core::VirtualClock clock{core::EncodeDateTime({2026, 12, 7, 15, 23, 44, 0})};
  FakeDialogs dialogs;
  core::LocaleSeparators separators{',', '.', ':'};
  FakeJournalFiles files;
  Journal journal{Asens, settings, clock, dialogs, separators, files};
};

TEST_F(JournalTest, FirstWriteCreatesTheFileWithOneLineAndNoHeader) {
  journal.WriteJournal(0, "t_", true, 23.4);
  ASSERT_EQ(files.files.size(), 1u);
  EXPECT_EQ(files.files[kFile], "2026.12.07 15:23:44 ; 23,40\r\n");
  EXPECT_TRUE(dialogs.notices.empty());
  EXPECT_EQ(files.openNow, 0) << "the file stays open after the write";
}

TEST_F(JournalTest, FullStopLocaleWritesSlashDateAndFullStopDecimal) {
  separators = {'.', '/', ':'};
  journal.WriteJournal(0, "t_", true, 23.4);
  EXPECT_EQ(files.files[kFile], "2026/12/07 15:23:44 ; 23.40\r\n");
}

TEST_F(JournalTest, ValuesInTheFixedForm) {
  const std::pair<double, const char*> cases[] = {
      {-51.0, "-51,00"}, {0.0, "0,00"}, {998.0, "998,00"}, {23.456, "23,46"}, {100.653, "100,65"}};
  for (const auto& [value, text] : cases) {
    files.files.clear();
    journal.WriteJournal(0, "p_", false, value);
    EXPECT_EQ(files.files[std::string("/j/p_") + kRom + ".csv"],
              std::string("2026.12.07 15:23:44 ; ") + text + "\r\n");
  }
}

TEST_F(JournalTest, GateHoldsBackASecondWriteUntilTheIntervalHasPassed) {
  journal.WriteJournal(0, "t_", true, 1.0);
  journal.WriteJournal(0, "t_", true, 2.0);  // same cycle
  journal.WriteJournal(0, "h_", true, 3.0);  // another prefix, same slot
  clock.Advance(30'000'000);                 // the gate time itself is not later
  journal.WriteJournal(0, "t_", true, 4.0);
  clock.Advance(1'000'000);
  journal.WriteJournal(0, "t_", true, 5.0);
  EXPECT_EQ(files.files[kFile], "2026.12.07 15:23:44 ; 1,00\r\n2026.12.07 15:24:15 ; 5,00\r\n");
  EXPECT_EQ(files.files.count(std::string("/j/h_") + kRom + ".csv"), 0u);
}

TEST_F(JournalTest, WritesWithoutGateUpdateAllPassInOneCycle) {
  journal.WriteJournal(0, "t_", false, 1.0);
  journal.WriteJournal(0, "t_", false, 2.0);
  journal.WriteJournal(0, "h_", false, 3.0);
  EXPECT_EQ(files.files[kFile], "2026.12.07 15:23:44 ; 1,00\r\n2026.12.07 15:23:44 ; 2,00\r\n");
  EXPECT_EQ(Asens[0].lastWrLogDateTime, 0.0);
}

TEST_F(JournalTest, ScanReopeningTheGateLetsTheNextCycleWrite) {
  journal.WriteJournal(0, "t_", true, 1.0);
  clock.Advance(3'000'000);
  Asens[0].lastWrLogDateTime = 0.0;  // what the scan does to every slot it fills
  journal.WriteJournal(0, "t_", true, 2.0);
  EXPECT_EQ(files.files[kFile], "2026.12.07 15:23:44 ; 1,00\r\n2026.12.07 15:23:47 ; 2,00\r\n");
}

TEST_F(JournalTest, NoFolderWritesNothingAndSaysNothing) {
  settings.LogFolder.clear();
  journal.WriteJournal(0, "t_", true, 1.0);
  EXPECT_EQ(files.opens, 0);
  EXPECT_TRUE(dialogs.notices.empty());
  EXPECT_EQ(Asens[0].lastWrLogDateTime, 0.0);
}

TEST_F(JournalTest, FileHeldOpenShowsTheMessageAndStillMovesTheGate) {
  files.refuseOpen = {kFile};
  journal.WriteJournal(0, "t_", true, 1.0);
  ASSERT_EQ(dialogs.notices, std::vector<std::string>{Because(kHeldOpen, EACCES)});
  journal.WriteJournal(0, "t_", true, 1.0);  // held back by the gate
  EXPECT_EQ(dialogs.notices.size(), 1u);
  clock.Advance(31'000'000);
  files.refuseOpen.clear();
  journal.WriteJournal(0, "t_", true, 2.0);
  EXPECT_EQ(files.files[kFile], "2026.12.07 15:24:15 ; 2,00\r\n");
}

TEST_F(JournalTest, FullDiskCutsThePartialLineBackAndReports) {
  journal.WriteJournal(0, "t_", false, 1.0);
  const std::string before = files.files[kFile];
  files.spaceLeft = 10;  // less than a line
  journal.WriteJournal(0, "t_", true, 2.0);
  EXPECT_EQ(files.files[kFile], before) << "a half line was left behind";
  EXPECT_EQ(dialogs.notices, std::vector<std::string>{Because(kNotWritten, ENOSPC)});
  EXPECT_GT(Asens[0].lastWrLogDateTime, clock.Now()) << "the gate moves after a failure too";
  files.spaceLeft = -1;
  clock.Advance(31'000'000);
  journal.WriteJournal(0, "t_", true, 3.0);
  EXPECT_EQ(files.files[kFile], before + "2026.12.07 15:24:15 ; 3,00\r\n");
}

TEST_F(JournalTest, DiskAlreadyFullLeavesTheFileAlone) {
  journal.WriteJournal(1, "t_", false, 1.0);
  files.spaceLeft = 0;
  journal.WriteJournal(0, "t_", false, 2.0);
  EXPECT_EQ(files.files[kFile], "");
  EXPECT_EQ(dialogs.notices, std::vector<std::string>{Because(kNotWritten, ENOSPC)});
}

TEST_F(JournalTest, FailedCloseIsReported) {
  files.failClose = true;
  journal.WriteJournal(0, "t_", false, 1.0);
  EXPECT_EQ(dialogs.notices, std::vector<std::string>{Because(kNotWritten, EIO)});
}

// The same journal on the real file system.
class RealJournalTest : public ::testing::Test {
 protected:
  RealJournalTest() {
    char pattern[] = "/tmp/orvel-journal-XXXXXX";
    dir = mkdtemp(pattern);
    Asens[0].ROMS = kRom;
    settings = {true, dir.string(), 30};
  }
  ~RealJournalTest() override {
    chmod(dir.c_str(), 0700);
    fs::remove_all(dir);
  }
  std::string Read(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }

  fs::path dir;
  onewire::DeviceTable Asens{};
  core::StartupSettings settings;
  core::VirtualClock clock{core::EncodeDateTime({2026, 12, 7, 15, 23, 44, 0})};
  FakeDialogs dialogs;
  core::LocaleSeparators separators{',', '.', ':'};
  OsJournalFiles files;
  Journal journal{Asens, settings, clock, dialogs, separators, files};
  fs::path file() const { return dir / (std::string("t_") + kRom + ".csv"); }
};

TEST_F(RealJournalTest, AppendsCrLfLines) {
  journal.WriteJournal(0, "t_", false, 23.4);
  clock.Advance(1'000'000);
  journal.WriteJournal(0, "t_", false, -51.0);
  EXPECT_EQ(Read(file()), "2026.12.07 15:23:44 ; 23,40\r\n2026.12.07 15:23:45 ; -51,00\r\n");
  EXPECT_TRUE(dialogs.notices.empty());
}

TEST_F(RealJournalTest, MissingFolderReportsTheOpenFailure) {
  settings.LogFolder = (dir / "gone").string();
  journal.WriteJournal(0, "t_", true, 1.0);
  EXPECT_EQ(dialogs.notices, std::vector<std::string>{Because(kHeldOpen, ENOENT)});
}

TEST_F(RealJournalTest, UnwritableFolderReportsTheOpenFailure) {
  int expected = EACCES;
  if (geteuid() == 0) {
    // Root writes into read-only folders; /proc refuses new files to anyone.
    settings.LogFolder = "/proc";
    expected = ENOENT;
  } else {
    chmod(dir.c_str(), 0500);
  }
  journal.WriteJournal(0, "t_", true, 1.0);
  EXPECT_EQ(dialogs.notices, std::vector<std::string>{Because(kHeldOpen, expected)});
}

TEST_F(RealJournalTest, NameTakenByAFolderReportsTheOpenFailure) {
  fs::create_directory(file());
  journal.WriteJournal(0, "t_", true, 1.0);
  EXPECT_EQ(dialogs.notices, std::vector<std::string>{Because(kHeldOpen, EISDIR)});
}

TEST_F(RealJournalTest, DeviceWithoutSpaceReportsTheWriteFailure) {
  if (!fs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
  fs::create_symlink("/dev/full", file());
  journal.WriteJournal(0, "t_", true, 1.0);
  EXPECT_EQ(dialogs.notices, std::vector<std::string>{Because(kNotWritten, ENOSPC)});
}

// Boxes that stay on screen until the test dismisses them, as the window's
// journal boxes do; a waiting box is written down apart.
class StandingBoxes final : public core::Dialogs {
 public:
  bool AskYesNo(const std::string&) override { return false; }
  std::string ChooseFolder(const std::string&) override { return {}; }
  std::string AskText(const std::string&, const std::string&, const std::string& d) override {
    return d;
  }
  void ShowNotice(const std::string& text) override { waited.push_back(text); }
  void OpenNotice(const std::string& text, std::function<void()> dismissed) override {
    opened.push_back(text);
    standing.push_back(std::move(dismissed));
  }
  void OpenWithShell(const std::string&) override {}
  void DismissOldest() {
    std::function<void()> dismissed = std::move(standing.front());
    standing.erase(standing.begin());
    dismissed();
  }

  std::vector<std::string> waited;  // boxes that held up the cycle
  std::vector<std::string> opened;
  std::vector<std::function<void()>> standing;
};

// The journal folder removed while the program runs: four devices, a write
// for each every cycle, over three cycles.
TEST_F(RealJournalTest, RemovedFolderShowsOneBoxAtATimeWithTheSystemsReason) {
  StandingBoxes boxes;
  Journal shown{Asens, settings, clock, boxes, separators, files};
  for (std::size_t i = 1; i < 4; ++i) Asens[i].ROMS = std::string(15, '0') + char('0' + i);
  fs::remove_all(dir);
  const auto cycle = [&] {
    for (std::int16_t slot = 0; slot < 4; ++slot) {
      Asens[static_cast<std::size_t>(slot)].lastWrLogDateTime = 0.0;  // the scan's doing
      shown.WriteJournal(slot, "t_", true, 20.0);
    }
    clock.Advance(30'000'000);
  };
  cycle();
  ASSERT_EQ(boxes.opened, std::vector<std::string>{Because(kHeldOpen, ENOENT)});
  cycle();
  cycle();
  EXPECT_TRUE(boxes.waited.empty()) << "a journal box held up the cycle";
  EXPECT_EQ(boxes.opened.size(), 1u);
  EXPECT_EQ(boxes.standing.size(), 1u);

  // Dismissed: the last of the eleven held back is shown, with their count.
  boxes.DismissOldest();
  ASSERT_EQ(boxes.opened.size(), 2u);
  EXPECT_EQ(boxes.opened[1],
            Because("Файл t_0000000000000003.csv  открыт в другой программе и не может быть "
                    "записан!",
                    ENOENT) +
                "\n" + kHeldJournalErrors + "11");
  EXPECT_EQ(boxes.standing.size(), 1u);
  boxes.DismissOldest();
  EXPECT_TRUE(boxes.standing.empty()) << "nothing was held back meanwhile";

  // The next failure opens a box of its own again.
  cycle();
  EXPECT_EQ(boxes.opened.size(), 3u);
  EXPECT_EQ(boxes.opened[2], Because(kHeldOpen, ENOENT));
  EXPECT_EQ(boxes.standing.size(), 1u);
}

}  // namespace
}  // namespace orvel::measure
