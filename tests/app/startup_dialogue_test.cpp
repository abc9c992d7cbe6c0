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

struct OptionsCase {
  const char* name;
  std::vector<std::string> args;
  std::optional<bool> journal;
  std::string folder;
  std::optional<int> interval;
  std::string bus;
  std::string adapter;
};
void PrintTo(const OptionsCase& c, std::ostream* os) { *os << c.name; }

class StartupOptionsGood : public testing::TestWithParam<OptionsCase> {};

TEST_P(StartupOptionsGood, Parses) {
  const OptionsCase& c = GetParam();
  const StartupOptions o = ParseStartupOptions(c.args);
  EXPECT_EQ(o.answers.journal, c.journal);
  EXPECT_EQ(o.answers.folder, c.folder);
  EXPECT_EQ(o.answers.interval, c.interval);
  EXPECT_EQ(o.bus_file, c.bus);
  EXPECT_EQ(o.adapter, c.adapter);
}

INSTANTIATE_TEST_SUITE_P(
    Args, StartupOptionsGood,
    testing::Values(OptionsCase{"Nothing", {}, std::nullopt, "", std::nullopt, "", ""},
                    OptionsCase{"BusNoJournal",
                                {"--bus", "b.json", "--no-journal"},
                                false,
                                "",
                                std::nullopt,
                                "b.json",
                                ""},
                    OptionsCase{
                        "JournalInterval",
                        {"--journal", "/tmp/j", "--interval", "60", "--adapter", "ds2490:2"},
                        true,
                        "/tmp/j",
                        60,
                        "",
                        "ds2490:2"},
                    OptionsCase{"IntervalAlone", {"--interval", "4"}, std::nullopt, "", 4, "", ""}),
    [](const auto& info) { return std::string(info.param.name); });

class StartupOptionsBad : public testing::TestWithParam<std::vector<std::string>> {};

TEST_P(StartupOptionsBad, Refused) {
  EXPECT_THROW(ParseStartupOptions(GetParam()), StartupOptionsError);
}

INSTANTIATE_TEST_SUITE_P(
    Args, StartupOptionsBad,
    testing::Values(std::vector<std::string>{"--bus"}, std::vector<std::string>{"--journal", ""},
                    std::vector<std::string>{"--interval", "0"},
                    std::vector<std::string>{"--interval", "-3"},
                    std::vector<std::string>{"--interval", "x"},
                    std::vector<std::string>{"--bus", "a", "--adapter", "b"},
                    std::vector<std::string>{"--journal", "/j", "--no-journal"},
                    std::vector<std::string>{"--no-journal", "--interval", "5"},
                    std::vector<std::string>{"--frobnicate"}, std::vector<std::string>{"stray"}));

TEST(StartupOptionsFast, FastModeAndItsSearchInterval) {
  const StartupOptions plain = ParseStartupOptions({"--bus", "b.json"});
  EXPECT_FALSE(plain.fast.enabled);
  EXPECT_EQ(plain.fast.rescanEvery, kDefaultRescanEvery);
  const StartupOptions fast = ParseStartupOptions({"--fast"});
  EXPECT_TRUE(fast.fast.enabled);
  EXPECT_EQ(fast.fast.rescanEvery, kDefaultRescanEvery);
  const StartupOptions every = ParseStartupOptions({"--rescan-every", "25", "--fast"});
  EXPECT_TRUE(every.fast.enabled);
  EXPECT_EQ(every.fast.rescanEvery, 25);
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"--rescan-every", "5"},
        std::vector<std::string>{"--fast", "--rescan-every", "0"},
        std::vector<std::string>{"--fast", "--rescan-every", "x"},
        std::vector<std::string>{"--fast", "--rescan-every"}}) {
    EXPECT_THROW(ParseStartupOptions(args), StartupOptionsError);
  }
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
