// The Windows window on a simulated bus in virtual time, driven through its
// message procedure: the start-up answers, the keys seen before the focused
// control, the label colours and the close request.
#include "win32/main_window.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "app/form_texts.h"
#include "app/scripted_dialogs.h"
#include "core/virtual_clock.h"
#include "measure/fakes.h"
#include "measure/poll_loop.h"
#include "measure/timer_service.h"
#include "onewire/sim/bus_file.h"
#include "onewire/sim/simulated_driver.h"
#include "support/recording_tmex.h"
#include "win32/win32_controls.h"

namespace orvel::win32 {
namespace {

constexpr char kThermometer[] =
    R"({"devices": [{"family": "28", "serial": "0000012A3B4C", "temperature": 23.5}]})";

int CountCalls(const std::vector<std::string>& calls, const std::string& prefix) {
  int n = 0;
  for (const auto& call : calls) n += call.rfind(prefix, 0) == 0 ? 1 : 0;
  return n;
}

// The window with scripted dialogues, timers fired by the test and journal
// files in memory.
struct Rig {
  explicit Rig(measure::StartupAnswers answers = {false, "", std::nullopt})
      : driver(clock, sim::ParseBusFile(kThermometer, "test-bus.json")),
        tmex(driver.tmex()),
        answers_(std::move(answers)) {}

  MainWindow& Open() {
    window = std::make_unique<MainWindow>(MainWindowDeps{
        tmex, clock, dialogs, timers, files, core::LocaleSeparators{',', '.', ':'}, answers_});
    window->FormCreate();
    return *window;
  }

  // Virtual time to the poll timer's next tick, delivered through the
  // window's queue; false when no timer runs.
  bool NextTick() {
    const std::int64_t due = timers.NextDueMicros();
    if (due < 0) return false;
    if (due > clock.MonotonicMicros()) clock.Advance(due - clock.MonotonicMicros());
    timers.FireDue();
    window->pump().ProcessMessages();
    return true;
  }

  std::string Text(HWND control) const { return WindowText(control); }

  core::VirtualClock clock;
  sim::SimulatedDriver driver;
  testing_support::RecordingTmex tmex;
  test::ScriptedDialogs dialogs;
  measure::ManualTimerService timers{clock};
  measure::testing::FakeJournalFiles files;
  std::unique_ptr<MainWindow> window;

 private:
  measure::StartupAnswers answers_;
};

// ---- start-up ----

struct StartCase {
  const char* name;
  std::deque<bool> yes_no;
  std::deque<std::string> folders;
  std::deque<std::string> texts;
  const char* caption;
  bool button;
  int interval;
  int notices;
};
void PrintTo(const StartCase& c, std::ostream* os) { *os << c.name; }

class WindowStart : public testing::TestWithParam<StartCase> {};

TEST_P(WindowStart, CaptionButtonAndTimerAfterTheQuestions) {
  const StartCase& c = GetParam();
  Rig rig(measure::StartupAnswers{});
  rig.dialogs.yes_no = c.yes_no;
  rig.dialogs.folders = c.folders;
  rig.dialogs.texts = c.texts;
  int questions = 0;
  rig.dialogs.on_question = [&] {
    ++questions;
    EXPECT_LT(rig.timers.NextDueMicros(), 0) << "poll timer runs during the questions";
    EXPECT_FALSE(::IsWindowVisible(rig.window->handle())) << "window shown before the answers";
  };
  MainWindow& w = rig.Open();
  EXPECT_GT(questions, 0);
  EXPECT_EQ(WindowText(w.handle()), c.caption);
  EXPECT_EQ(::IsWindowEnabled(w.form().btnPathToDir) != FALSE, c.button);
  EXPECT_EQ(w.station().settings().LogInterval, c.interval);
  EXPECT_EQ(static_cast<int>(rig.dialogs.Notices().size()), c.notices);
  EXPECT_TRUE(::IsWindowVisible(w.handle()));
  EXPECT_GE(rig.timers.NextDueMicros(), 0) << "no poll timer after start-up";
  RECT client;
  ::GetClientRect(w.handle(), &client);
  EXPECT_EQ(client.right, 375);
  EXPECT_EQ(client.bottom, 248);
}

INSTANTIATE_TEST_SUITE_P(
    Answers, WindowStart,
    testing::Values(
        StartCase{"Journal",
                  {true},
                  {"C:\\журнал"},
                  {"45"},
                  "Orvel-viewer V0.2.1  C:\\журнал",
                  true,
                  45,
                  0},
        StartCase{"NoJournal", {false}, {}, {}, "Orvel-viewer V0.2.1", false, 3, 0},
        StartCase{"FolderCancelled", {true}, {""}, {}, "Orvel-viewer V0.2.1", false, 0, 0},
        StartCase{
            "BadInterval", {true}, {"C:\\j"}, {"abc"}, "Orvel-viewer V0.2.1  C:\\j", true, 3, 1}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(WindowStart, CommandLineAnswersShowNoQuestion) {
  Rig rig(measure::StartupAnswers{true, "C:\\j", 10});
  MainWindow& w = rig.Open();
  EXPECT_TRUE(rig.dialogs.shown.empty());
  EXPECT_EQ(WindowText(w.handle()), "Orvel-viewer V0.2.1  C:\\j");
  EXPECT_EQ(w.station().settings().LogInterval, 10);
}

// ---- keys ----

struct KeyCase {
  const char* name;
  WPARAM key;
  bool control;
  bool shift;
  bool help;
  bool scan;
};
void PrintTo(const KeyCase& c, std::ostream* os) { *os << c.name; }

class WindowKeys : public testing::TestWithParam<KeyCase> {};

TEST_P(WindowKeys, SeenBeforeTheFocusedControl) {
  const KeyCase& c = GetParam();
  Rig rig;
  MainWindow& w = rig.Open();
  ::SetFocus(w.form().cmb1820);
  BYTE keys[256] = {};
  ::GetKeyboardState(keys);
  keys[VK_CONTROL] = c.control ? 0x80 : 0;
  keys[VK_SHIFT] = c.shift ? 0x80 : 0;
  ::SetKeyboardState(keys);
  // The key goes to the focused list, as the system would send it.
  ::PostMessageW(w.form().cmb1820, WM_KEYDOWN, c.key, 1);
  w.pump().ProcessMessages();
  keys[VK_CONTROL] = 0;
  keys[VK_SHIFT] = 0;
  ::SetKeyboardState(keys);
  EXPECT_EQ(rig.dialogs.Notices(),
            c.help ? std::vector<std::string>{app::kHelpText} : std::vector<std::string>{});
  EXPECT_EQ(CountCalls(rig.tmex.calls(), "TMFirst") > 0, c.scan);
  EXPECT_EQ(rig.Text(w.form().stat1), c.scan ? "Адаптер найден" : "Не подключен");
}

INSTANTIATE_TEST_SUITE_P(Keys, WindowKeys,
                         testing::Values(KeyCase{"F1", VK_F1, false, false, true, false},
                                         KeyCase{"ShiftF1", VK_F1, false, true, true, false},
                                         KeyCase{"CtrlF1", VK_F1, true, false, false, true},
                                         KeyCase{"CtrlShiftF1", VK_F1, true, true, false, true},
                                         KeyCase{"F2", VK_F2, false, false, false, false}),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- values and their colours ----

TEST(WindowValues, AfterAPollInTheirColours) {
  Rig rig;
  MainWindow& w = rig.Open();
  for (int guard = 0; guard < 100 && w.station().poll().Polls() < 1; ++guard)
    ASSERT_TRUE(rig.NextTick());
  EXPECT_EQ(rig.Text(w.form().lblTvalue), "23,5 °C");
  EXPECT_EQ(rig.Text(w.form().stat1), "Адаптер найден");

  const HDC dc = ::CreateCompatibleDC(nullptr);
  const auto colour_of = [&](HWND control) {
    ::SendMessageW(w.handle(), WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                   reinterpret_cast<LPARAM>(control));
    return ::GetTextColor(dc);
  };
  EXPECT_EQ(colour_of(w.form().lblTvalue), RGB(255, 0, 0));
  EXPECT_EQ(colour_of(w.form().lblValH28e17), RGB(255, 0, 0));
  EXPECT_EQ(colour_of(w.form().lblValPTds28e17), RGB(128, 128, 128));
  EXPECT_EQ(colour_of(w.form().stat1), RGB(0, 0, 0));
  ::DeleteDC(dc);
  // The pressure row is kept, never shown.
  EXPECT_FALSE(::IsWindowVisible(w.form().lblValP28e17));
}

// ---- closing ----

TEST(WindowClose, GrantedAtOnceTheDriverClosesOnTheNextTick) {
  Rig rig;
  MainWindow& w = rig.Open();
  ASSERT_TRUE(rig.NextTick());
  ::SendMessageW(w.handle(), WM_CLOSE, 0, 0);
  EXPECT_TRUE(w.Closed());
  EXPECT_FALSE(::IsWindowVisible(w.handle()));
  EXPECT_FALSE(w.TimerCheckTmrActive());
  EXPECT_EQ(w.station().flagExit(), 1);
  MSG quit;
  EXPECT_TRUE(::PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_NOREMOVE))
      << "the message loop is not told to end";
  rig.NextTick();
  EXPECT_EQ(w.station().flagExit(), 2);
  EXPECT_EQ(CountCalls(rig.tmex.calls(), "TMClose"), 1);
  EXPECT_FALSE(rig.NextTick());
  // Leave no quit for the next test.
  while (::PeekMessageW(&quit, nullptr, 0, 0, PM_REMOVE)) {
  }
}

}  // namespace
}  // namespace orvel::win32
