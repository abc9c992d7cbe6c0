#include "measure/startup_dialogue.h"

#include <gtest/gtest.h>

#include "app/scripted_dialogs.h"

namespace orvel::measure {
namespace {

const std::string kAsk = "ask:Включить запись значений датчиков в файл?";
const std::string kFolder = "folder:Выберите каталог для сохранения данных";
const std::string kText = "text:Интервал записи сек.|Введите интервал записи в журнал (сек.)|30";
const std::string kBad = "notice:Неверно задан интервал!";

struct DialogueCase {
  const char* name;
  std::deque<bool> yes_no;
  std::deque<std::string> folders;
  std::deque<std::string> texts;
  bool log_enabled;
  std::string folder;
  int interval;
  std::vector<std::string> shown;
  std::string caption;
};
// A case prints as its name, in test listings and failures alike.
void PrintTo(const DialogueCase& c, std::ostream* os) { *os << c.name; }

class StartupDialogue : public testing::TestWithParam<DialogueCase> {};

TEST_P(StartupDialogue, SettingsCaptionAndButtonFollowTheAnswers) {
  const DialogueCase& c = GetParam();
  test::ScriptedDialogs dialogs;
  dialogs.yes_no = c.yes_no;
  dialogs.folders = c.folders;
  dialogs.texts = c.texts;

  const core::StartupSettings s = RunStartupDialogue(dialogs);

  EXPECT_EQ(s.LogEnabled, c.log_enabled);
  EXPECT_EQ(s.LogFolder, c.folder);
  EXPECT_EQ(s.LogInterval, c.interval);
  EXPECT_EQ(dialogs.shown, c.shown);
  EXPECT_EQ(StartupCaption("Orvel-viewer", s), c.caption);
  EXPECT_EQ(FolderButtonEnabled(s), c.log_enabled);
  EXPECT_TRUE(dialogs.texts.empty()) << "not every scripted entry was asked for";
}

INSTANTIATE_TEST_SUITE_P(
    Branches, StartupDialogue,
    testing::Values(
        DialogueCase{"No", {false}, {}, {}, false, "", 3, {kAsk}, "Orvel-viewer V0.2.1"},
        DialogueCase{"FolderCancelled",
                     {true},
                     {""},
                     {},
                     false,
                     "",
                     0,
                     {kAsk, kFolder},
                     "Orvel-viewer V0.2.1"},
        DialogueCase{"DefaultInterval",
                     {true},
                     {"/data/j"},
                     {"30"},
                     true,
                     "/data/j",
                     30,
                     {kAsk, kFolder, kText},
                     "Orvel-viewer V0.2.1  /data/j"},
        // Cancelling the entry hands back the default text.
        DialogueCase{"Entered",
                     {true},
                     {"/d"},
                     {" 7 "},
                     true,
                     "/d",
                     7,
                     {kAsk, kFolder, kText},
                     "Orvel-viewer V0.2.1  /d"},
        DialogueCase{"ZeroAndNegativeAskAgain",
                     {true},
                     {"/d"},
                     {"0", "-5", "12"},
                     true,
                     "/d",
                     12,
                     {kAsk, kFolder, kText, kText, kText},
                     "Orvel-viewer V0.2.1  /d"},
        DialogueCase{"NotANumber",
                     {true},
                     {"/d"},
                     {"abc"},
                     true,
                     "/d",
                     3,
                     {kAsk, kFolder, kText, kBad},
                     "Orvel-viewer V0.2.1  /d"},
        DialogueCase{"ZeroThenGarbage",
                     {true},
                     {"/d"},
                     {"0", "1.5"},
                     true,
                     "/d",
                     3,
                     {kAsk, kFolder, kText, kText, kBad},
                     "Orvel-viewer V0.2.1  /d"},
        DialogueCase{"TooLargeIsNoInteger",
                     {true},
                     {"/d"},
                     {"99999999999"},
                     true,
                     "/d",
                     3,
                     {kAsk, kFolder, kText, kBad},
                     "Orvel-viewer V0.2.1  /d"}),
    [](const auto& info) { return std::string(info.param.name); });

struct AnsweredCase {
  const char* name;
  StartupAnswers answers;
  std::deque<bool> yes_no;
  std::deque<std::string> folders;
  bool log_enabled;
  std::string folder;
  int interval;
  std::size_t boxes_shown;
};
void PrintTo(const AnsweredCase& c, std::ostream* os) { *os << c.name; }

class AnsweredDialogue : public testing::TestWithParam<AnsweredCase> {};

TEST_P(AnsweredDialogue, AnsweredQuestionsAreNotShown) {
  const AnsweredCase& c = GetParam();
  test::ScriptedDialogs dialogs;
  dialogs.yes_no = c.yes_no;
  dialogs.folders = c.folders;
  const core::StartupSettings s = RunStartupDialogue(dialogs, c.answers);
  EXPECT_EQ(s.LogEnabled, c.log_enabled);
  EXPECT_EQ(s.LogFolder, c.folder);
  EXPECT_EQ(s.LogInterval, c.interval);
  EXPECT_EQ(dialogs.shown.size(), c.boxes_shown);
}

INSTANTIATE_TEST_SUITE_P(
    CommandLine, AnsweredDialogue,
    testing::Values(
        AnsweredCase{"NoJournal", {false, "", std::nullopt}, {}, {}, false, "", 3, 0},
        AnsweredCase{"JournalAndInterval", {true, "/j", 10}, {}, {}, true, "/j", 10, 0},
        // Only the interval given: the first two questions are still asked.
        AnsweredCase{"IntervalOnly", {std::nullopt, "", 5}, {true}, {"/f"}, true, "/f", 5, 2},
        AnsweredCase{
            "IntervalOnlyAnsweredNo", {std::nullopt, "", 5}, {false}, {}, false, "", 3, 1}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(StartupDialogue, JournalWithoutIntervalAsksOnlyTheInterval) {
  test::ScriptedDialogs dialogs;
  dialogs.texts = {"45"};
  const auto s = RunStartupDialogue(dialogs, {true, "/j", std::nullopt});
  EXPECT_EQ(s.LogInterval, 45);
  EXPECT_EQ(dialogs.shown, std::vector<std::string>{kText});
}

TEST(ParseIntervalEntry, WholeNumbersOnly) {
  EXPECT_EQ(ParseIntervalEntry("30"), 30);
  EXPECT_EQ(ParseIntervalEntry("+8"), 8);
  EXPECT_EQ(ParseIntervalEntry("-5"), -5);
  EXPECT_EQ(ParseIntervalEntry("2147483647"), 2147483647);
  EXPECT_EQ(ParseIntervalEntry("2147483648"), std::nullopt);
  EXPECT_EQ(ParseIntervalEntry(""), std::nullopt);
  EXPECT_EQ(ParseIntervalEntry("   "), std::nullopt);
  EXPECT_EQ(ParseIntervalEntry("1 2"), std::nullopt);
  EXPECT_EQ(ParseIntervalEntry("+-1"), std::nullopt);
  EXPECT_EQ(ParseIntervalEntry("0x10"), std::nullopt);
}

}  // namespace
}  // namespace orvel::measure
