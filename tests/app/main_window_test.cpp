// The window at work on a simulated bus in virtual time: start-up, keys,
// list handlers, value texts and closing in the middle of a poll.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QApplication>
#include <QMessageBox>
#include <QTest>
#include <QTimer>
#include <QWindow>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>

#include "app/form_texts.h"
#include "app/qt_dialogs.h"
#include "app/window_rig.h"
#include "onewire/sim/sim_bus.h"

namespace orvel::app {
namespace {

using test::WindowRig;

constexpr char kThermometer[] =
    R"({"devices": [{"family": "28", "serial": "0000012A3B4C", "temperature": 23.5}]})";

// One device of each tab, the thermometer first in search order.
constexpr char kEachTab[] = R"({"devices": [
  {"family": "28", "serial": "0000012A3B4C", "temperature": 23.5},
  {"family": "26", "serial": "000000A1B2C3", "temperature": 25.0, "vdd": 5.0, "rh": 45.0},
  {"family": "19", "serial": "0000001D2E3F",
   "i2c": {"hdc": {"temperature": 21.3, "humidity": 45.2, "serial": "0102030405A6"},
           "bmp280": {"temperature": 22.1, "pressure": 100653.27}}}]})";

int CountCalls(const std::vector<std::string>& calls, const std::string& prefix,
               std::size_t from = 0, std::size_t to = std::string::npos) {
  to = std::min(to, calls.size());
  int n = 0;
  for (std::size_t i = from; i < to; ++i) n += calls[i].rfind(prefix, 0) == 0 ? 1 : 0;
  return n;
}

std::size_t FindCall(const std::vector<std::string>& calls, const std::string& prefix,
                     std::size_t from = 0) {
  for (std::size_t i = from; i < calls.size(); ++i)
    if (calls[i].rfind(prefix, 0) == 0) return i;
  return std::string::npos;
}

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
// A case prints as its name, in test listings and failures alike.
void PrintTo(const StartCase& c, std::ostream* os) { *os << c.name; }

class WindowStart : public testing::TestWithParam<StartCase> {};

TEST_P(WindowStart, CaptionButtonAndTimerAfterTheQuestions) {
  const StartCase& c = GetParam();
  WindowRig rig(kThermometer, {});
  rig.dialogs.yes_no = c.yes_no;
  rig.dialogs.folders = c.folders;
  rig.dialogs.texts = c.texts;
  // While a question is open: no poll timer running, no bus traffic.
  // The indicator timer runs from start-up, the questions included.
  int questions = 0;
  rig.dialogs.on_question = [&] {
    ++questions;
    EXPECT_LT(rig.timers.NextDueMicros(), 0) << "poll timer runs during the questions";
    EXPECT_TRUE(rig.tmex.calls().empty()) << "bus touched during the questions";
    int windows = 0;
    for (QWidget* top : QApplication::topLevelWidgets()) {
      if (const auto* w = dynamic_cast<const TFrmMain*>(top)) {
        ++windows;
        EXPECT_TRUE(w->TimerCheckTmrActive()) << "indicator timer stopped during the questions";
      }
    }
    EXPECT_EQ(windows, 1);
  };
  TFrmMain& w = rig.Open();
  EXPECT_GT(questions, 0);
  EXPECT_EQ(w.windowTitle().toStdString(), c.caption);
  EXPECT_EQ(w.form().btnPathToDir->isEnabled(), c.button);
  EXPECT_EQ(w.settings().LogInterval, c.interval);
  EXPECT_EQ(static_cast<int>(rig.dialogs.Notices().size()), c.notices);
  EXPECT_EQ(w.form().pgc1->currentIndex(), 0);
  // The first tick comes 1000 ms after start-up.
  EXPECT_EQ(rig.timers.NextDueMicros(), rig.clock.MonotonicMicros() + 1'000'000);
  EXPECT_TRUE(w.TimerCheckTmrActive());
}

INSTANTIATE_TEST_SUITE_P(
    Branches, WindowStart,
    testing::Values(
        StartCase{"No", {false}, {}, {}, "Orvel-viewer V0.2.1", false, 3, 0},
        StartCase{"FolderCancelled", {true}, {""}, {}, "Orvel-viewer V0.2.1", false, 0, 0},
        StartCase{"DefaultInterval",
                  {true},
                  {"/data/journal"},
                  {"30"},
                  "Orvel-viewer V0.2.1  /data/journal",
                  true,
                  30,
                  0},
        StartCase{"ZeroNegativeThenGood",
                  {true},
                  {"/j"},
                  {"0", "-5", "7"},
                  "Orvel-viewer V0.2.1  /j",
                  true,
                  7,
                  0},
        StartCase{"NotANumber", {true}, {"/j"}, {"x"}, "Orvel-viewer V0.2.1  /j", true, 3, 1}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(WindowStart, CommandLineAnswersShowNoQuestion) {
  WindowRig rig(kThermometer, {true, "/var/j", 15});
  TFrmMain& w = rig.Open();
  EXPECT_TRUE(rig.dialogs.shown.empty());
  EXPECT_EQ(w.windowTitle(), QStringLiteral("Orvel-viewer V0.2.1  /var/j"));
  EXPECT_EQ(w.settings().LogInterval, 15);
}

TEST(WindowStart, FolderButtonOpensTheJournalFolder) {
  WindowRig rig(kThermometer, {true, "/var/j", 15});
  TFrmMain& w = rig.Open();
  QTest::mouseClick(w.form().btnPathToDir, Qt::LeftButton);
  QTest::mouseClick(w.form().lbl6, Qt::LeftButton);
  QTest::mouseClick(w.form().txt1, Qt::LeftButton);
  EXPECT_EQ(rig.dialogs.shown,
            (std::vector<std::string>{"open:/var/j", std::string("open:") + kMakerSiteUrl,
                                      std::string("open:") + kMakerSiteUrl}));
}

TEST(WindowStart, DisabledFolderButtonOpensNothing) {
  WindowRig rig(kThermometer);
  TFrmMain& w = rig.Open();
  QTest::mouseClick(w.form().btnPathToDir, Qt::LeftButton);
  EXPECT_TRUE(rig.dialogs.shown.empty());
}

// ---- keys ----

struct KeyCase {
  const char* name;
  Qt::Key key;
  Qt::KeyboardModifiers modifiers;
  bool help;
  bool scan;
};
void PrintTo(const KeyCase& c, std::ostream* os) { *os << c.name; }

class WindowKeys : public testing::TestWithParam<KeyCase> {};

TEST_P(WindowKeys, SeenBeforeTheFocusedControl) {
  const KeyCase& c = GetParam();
  WindowRig rig(kThermometer);
  TFrmMain& w = rig.Open();
  w.show();
  w.form().cmb1820->setFocus();
  QTest::keyClick(w.form().cmb1820, c.key, c.modifiers);
  const auto notices = rig.dialogs.Notices();
  EXPECT_EQ(notices, c.help ? std::vector<std::string>{kHelpText} : std::vector<std::string>{});
  EXPECT_EQ(CountCalls(rig.tmex.calls(), "TMFirst") > 0, c.scan);
  EXPECT_EQ(rig.Text("stat1"), c.scan ? "Адаптер найден" : "Не подключен");
}

INSTANTIATE_TEST_SUITE_P(
    Keys, WindowKeys,
    testing::Values(KeyCase{"F1", Qt::Key_F1, Qt::NoModifier, true, false},
                    KeyCase{"ShiftF1", Qt::Key_F1, Qt::ShiftModifier, true, false},
                    KeyCase{"AltF1", Qt::Key_F1, Qt::AltModifier, true, false},
                    KeyCase{"CtrlF1", Qt::Key_F1, Qt::ControlModifier, false, true},
                    KeyCase{"CtrlShiftF1", Qt::Key_F1, Qt::ControlModifier | Qt::ShiftModifier,
                            false, true},
                    KeyCase{"F2", Qt::Key_F2, Qt::NoModifier, false, false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(WindowKeys, HelpTextHasFourLinesEndingWithTheSupportAddress) {
  const std::string help = kHelpText;
  EXPECT_EQ(std::count(help.begin(), help.end(), '\n'), 3);
  EXPECT_EQ(
      help.rfind("Требуется помощь?\nобращайтесь в службу техподдержки\nили пишите на адрес\n", 0),
      0u);
  EXPECT_EQ(help.substr(help.rfind('\n') + 1), kSupportAddress);
}

TEST(WindowKeys, CtrlF1DuringAThermometerWaitScansAfterThePoll) {
  WindowRig rig(kEachTab);
  TFrmMain& w = rig.Open();
  w.show();
  std::size_t pressed_at = 0;
  test::MidPollProbe probe([&] { return rig.driver.bus().StrongPullupActive(); },
                           [&] {
                             pressed_at = rig.tmex.calls().size();
                             QTest::keyClick(w.form().cmb1820, Qt::Key_F1, Qt::ControlModifier);
                             // Nothing may touch the bus inside the reading.
                             EXPECT_EQ(rig.tmex.calls().size(), pressed_at);
                           });
  rig.Polls(1);
  ASSERT_TRUE(probe.fired()) << "no thermometer wait seen";
  const auto& calls = rig.tmex.calls();
  const std::size_t broadcast = FindCall(calls, "TMTouchByte(1E)", pressed_at);
  ASSERT_NE(broadcast, std::string::npos) << "the poll did not finish";
  EXPECT_EQ(CountCalls(calls, "TMFirst", pressed_at, broadcast), 0);
  EXPECT_EQ(CountCalls(calls, "TMFirst", broadcast), 1) << "the held-back scan did not run";
  EXPECT_TRUE(rig.dialogs.Notices().empty());
  // The rest of the poll went on as usual.
  EXPECT_EQ(rig.Text("lblTvalue"), "23,5 °C");
  EXPECT_NE(rig.Text("lblValT28e17"), "--,--");
}

// ---- value texts ----

struct ValueCase {
  const char* name;
  const char* device;  // one device object of a bus file
  std::vector<std::pair<const char*, const char*>> texts;
};
void PrintTo(const ValueCase& c, std::ostream* os) { *os << c.name; }

class ValueTexts : public testing::TestWithParam<ValueCase> {};

TEST_P(ValueTexts, AfterAPoll) {
  const ValueCase& c = GetParam();
  WindowRig rig(std::string(R"({"devices": [)") + c.device + "]}");
  rig.Open();
  for (const auto& [name, text] : c.texts) {
    // The serial box starts empty, every value label with the placeholder.
    EXPECT_EQ(rig.Text(name), std::string(name) == "edtSNHDC" ? "" : "--,--") << name;
  }
  rig.Polls(1);
  for (const auto& [name, text] : c.texts) EXPECT_EQ(rig.Text(name), text) << name;
}

INSTANTIATE_TEST_SUITE_P(
    Sim, ValueTexts,
    testing::Values(ValueCase{"Thermometer",
                              R"({"family": "28", "serial": "0000012A3B4C", "temperature": 23.5})",
                              {{"lblTvalue", "23,5 °C"}}},
                    // 12-bit reading 23.125: to hundredths, ties to even.
                    ValueCase{
                        "ThermometerTieToEven",
                        R"({"family": "28", "serial": "0000012A3B4C", "temperature": 23.125})",
                        {{"lblTvalue", "23,12 °C"}}},
                    ValueCase{"ThermometerWhole",
                              R"({"family": "28", "serial": "0000012A3B4C", "temperature": 20.0})",
                              {{"lblTvalue", "20 °C"}}},
                    ValueCase{"ThermometerNeverConverts",
                              R"({"family": "28", "serial": "0000012A3B4C", "temperature": 20.0,
                      "faults": {"power_on": true}})",
                              {{"lblTvalue", "--,--"}}},
                    ValueCase{"Humidity",
                              R"({"family": "26", "serial": "000000A1B2C3", "temperature": 25.0,
                      "vdd": 5.0, "rh": 45.0})",
                              {{"lblHvalue", "45 %"}}},
                    ValueCase{"HumidityLowSupply",
                              R"({"family": "26", "serial": "000000A1B2C3", "temperature": 25.0,
                      "vdd": 3.0, "rh": 45.0})",
                              {{"lblHvalue", "Питание?"}}},
                    ValueCase{"HumidityAboveRange",
                              R"({"family": "26", "serial": "000000A1B2C3", "temperature": 25.0,
                      "vdd": 5.0, "vad": 4.9})",
                              {{"lblHvalue", "Конденсат?"}}},
                    ValueCase{"HumidityBelowRange",
                              R"({"family": "26", "serial": "000000A1B2C3", "temperature": 25.0,
                      "vdd": 5.0, "vad": 0.0})",
                              {{"lblHvalue", "Неиспр.?"}}},
                    ValueCase{"BridgeWithoutSensor",
                              R"({"family": "19", "serial": "0000001D2E40", "i2c": {}})",
                              {{"edtSNHDC", "- - - - - -"},
                               {"lblValT28e17", "??,??"},
                               {"lblValH28e17", "??,??"},
                               {"lblValP28e17", "--,--"},
                               {"lblValPTds28e17", "--,--"}}},
                    ValueCase{"BridgeHdcAndPressure",
                              R"({"family": "19", "serial": "0000001D2E3F",
                      "i2c": {"hdc": {"temperature": 21.3, "humidity": 45.2,
                                      "serial": "0102030405A6"},
                              "bmp280": {"temperature": 22.1, "pressure": 100653.27}}})",
                              {{"edtSNHDC", "0102030405A6"},
                               {"lblValT28e17", "21,30 °C"},
                               {"lblValH28e17", "45,20 %"},
                               // Pa to kPa with two decimals.
                               {"lblValP28e17", "100,65kPa"},
                               {"lblValPTds28e17", "...."}}},
                    // Humidity 0 lies outside 0.1 < H < 100.1.
                    ValueCase{"BridgeHumidityOutOfRange",
                              R"({"family": "19", "serial": "0000001D2E3F",
                      "i2c": {"hdc": {"temperature": 21.3, "humidity": 0.0,
                                      "serial": "0102030405A6"}}})",
                              {{"lblValT28e17", "21,30 °C"}, {"lblValH28e17", "??,??"}}}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- list handlers ----

struct ListCase {
  const char* name;
  const char* list;
  const char* bus;
  std::vector<const char*> reset;  // labels back to "--,--" at once
};
void PrintTo(const ListCase& c, std::ostream* os) { *os << c.name; }

class ListChange : public testing::TestWithParam<ListCase> {};

TEST_P(ListChange, NewSelectionResetsItsLabelsAndIsReadNext) {
  const ListCase& c = GetParam();
  WindowRig rig(c.bus);
  TFrmMain& w = rig.Open();
  w.show();
  rig.Polls(1);
  auto* list = w.findChild<QComboBox*>(QString::fromLatin1(c.list));
  ASSERT_EQ(list->count(), 2);
  ASSERT_EQ(list->currentIndex(), 0);
  std::vector<std::string> first;
  for (const char* label : c.reset) {
    first.push_back(rig.Text(label));
    EXPECT_NE(first.back(), "--,--") << label;
  }
  const std::string serial = rig.Text("edtSNHDC");

  QTest::keyClick(list, Qt::Key_Down);  // the user picks the second device
  ASSERT_EQ(list->currentIndex(), 1);
  for (const char* label : c.reset) EXPECT_EQ(rig.Text(label), "--,--") << label;
  EXPECT_EQ(rig.Text("edtSNHDC"), serial);  // kept until the next reading

  rig.Polls(1);
  for (std::size_t i = 0; i < c.reset.size(); ++i) {
    EXPECT_NE(rig.Text(c.reset[i]), "--,--") << c.reset[i];
    EXPECT_NE(rig.Text(c.reset[i]), first[i]) << c.reset[i] << " still shows the first device";
  }
}

INSTANTIATE_TEST_SUITE_P(Lists, ListChange,
                         testing::Values(ListCase{"cmb1820",
                                                  "cmb1820",
                                                  R"({"devices": [
                   {"family": "28", "serial": "0000012A3B4C", "temperature": 23.5},
                   {"family": "28", "serial": "0000012A3B4D", "temperature": -4.0}]})",
                                                  {"lblTvalue"}},
                                         ListCase{"cmbhlt",
                                                  "cmbhlt",
                                                  R"({"devices": [
                   {"family": "26", "serial": "000000A1B2C3", "temperature": 25, "vdd": 5, "rh": 45},
                   {"family": "26", "serial": "000000A1B2C4", "temperature": 25, "vdd": 5,
                    "rh": 60}]})",
                                                  {"lblHvalue"}},
                                         ListCase{
                                             "cmbds28e17",
                                             "cmbds28e17",
                                             R"({"devices": [
                   {"family": "19", "serial": "0000001D2E3F",
                    "i2c": {"hdc": {"temperature": 21.3, "humidity": 45.2, "serial": "0102030405A6"},
                            "bmp280": {"temperature": 22.1, "pressure": 100653.27}}},
                   {"family": "19", "serial": "0000001D2E40",
                    "i2c": {"sht": {"temperature": 19.0, "humidity": 55.0, "serial": "1A2B3C4D"},
                            "bmp280": {"temperature": 23.0, "pressure": 99000.0}}}]})",
                                             {"lblValT28e17", "lblValH28e17", "lblValP28e17"}}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ListChange, PressureTemperatureToggle) {
  WindowRig rig(kEachTab);
  TFrmMain& w = rig.Open();
  w.show();
  rig.Polls(1);
  QLabel* label = w.form().lblValPTds28e17;
  EXPECT_EQ(rig.Text("lblValPTds28e17"), "....");
  const auto click = [label] {
    QMouseEvent release(QEvent::MouseButtonRelease, QPointF(5, 5), QPointF(5, 5), Qt::LeftButton,
                        Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(label, &release);
  };
  click();
  EXPECT_EQ(rig.Text("lblValPTds28e17"), "--,--");
  rig.Polls(1);
  EXPECT_EQ(rig.Text("lblValPTds28e17").substr(0, 2), "22");
  EXPECT_NE(rig.Text("lblValPTds28e17").find(" °C"), std::string::npos);
  click();
  EXPECT_EQ(rig.Text("lblValPTds28e17"), "....");
  EXPECT_TRUE(label->isHidden());
}

struct PortCase {
  const char* name;
  std::function<void(TFrmMain&)> user;
  const char* session;
};
void PrintTo(const PortCase& c, std::ostream* os) { *os << c.name; }

class PortChange : public testing::TestWithParam<PortCase> {};

TEST_P(PortChange, NextScanOpensThePortTheUserChose) {
  const PortCase& c = GetParam();
  WindowRig rig(R"({"adapter": {"default_port": false}, "devices": []})");
  TFrmMain& w = rig.Open();
  w.show();
  rig.Polls(1);  // no default port: one notice, the lists show a fallback
  EXPECT_EQ(rig.dialogs.Notices().size(), 1u);
  c.user(w);
  rig.tmex.Clear();
  rig.Polls(1);
  EXPECT_EQ(FindCall(rig.tmex.calls(), "TMExtendedStartSession"),
            FindCall(rig.tmex.calls(), c.session))
      << rig.tmex.Transcript();
  EXPECT_NE(FindCall(rig.tmex.calls(), c.session), std::string::npos) << rig.tmex.Transcript();
}

INSTANTIATE_TEST_SUITE_P(Lists, PortChange,
                         testing::Values(PortCase{"PickPortAndAdapter",
                                                  [](TFrmMain& w) {
                                                    w.form().cbbPort->setCurrentIndex(2);
                                                    w.form().cbAdapter->setCurrentIndex(0);
                                                  },
                                                  "TMExtendedStartSession(3,1)"},
                                         PortCase{"TypePort",
                                                  [](TFrmMain& w) {
                                                    w.form().cbbPort->lineEdit()->clear();
                                                    QTest::keyClicks(w.form().cbbPort->lineEdit(),
                                                                     "5");
                                                  },
                                                  "TMExtendedStartSession(5,6)"}),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- closing ----

TEST(WindowClose, InTheMiddleOfAPoll) {
  WindowRig rig(kEachTab);
  TFrmMain& w = rig.Open();
  w.show();
  std::size_t closed_at = 0;
  test::MidPollProbe probe([&] { return rig.driver.bus().StrongPullupActive(); },
                           [&] {
                             closed_at = rig.tmex.calls().size();
                             w.close();
                           });
  rig.Polls(1);
  ASSERT_TRUE(probe.fired());
  EXPECT_FALSE(w.isVisible());
  EXPECT_EQ(w.station().flagExit(), 1);
  EXPECT_FALSE(w.TimerCheckTmrActive());
  // The other tabs were not read, and the cycle sent no broadcast.
  EXPECT_EQ(rig.Text("lblHvalue"), "--,--");
  EXPECT_EQ(rig.Text("lblValT28e17"), "--,--");
  EXPECT_EQ(FindCall(rig.tmex.calls(), "TMTouchByte(1E)", closed_at), std::string::npos);
  // One more tick closes the driver and leaves the poll timer off.
  rig.NextTick();
  EXPECT_EQ(w.station().flagExit(), 2);
  EXPECT_EQ(CountCalls(rig.tmex.calls(), "TMClose"), 1);
  EXPECT_FALSE(rig.NextTick());
}

// The journal folder removed under a running window, with the real boxes
// and files, everything inside the application's own loop as in the
// program: the journal's box stands alone while polls go on, blocks no
// window, and a close request from the window system ends the loop.
TEST(WindowClose, WhileAJournalBoxStandsTheProgramEnds) {
  char pattern[] = "/tmp/orvel-gone-XXXXXX";
  ASSERT_NE(mkdtemp(pattern), nullptr);
  const std::string folder = pattern;
  std::filesystem::remove(folder);
  WindowRig rig(kEachTab, {true, folder, 1});
  QtDialogs dialogs(QString::fromUtf8(kAppTitle));
  measure::OsJournalFiles files;
  TFrmMain& w = rig.Open(dialogs, files);
  dialogs.SetOwner(&w);
  w.show();

  std::vector<std::string> texts;
  bool blocked = true;
  QTimer::singleShot(0, &w, [&] {
    rig.Polls(3);  // five journal files fail in each
    for (QWidget* top : QApplication::topLevelWidgets()) {
      auto* box = qobject_cast<QMessageBox*>(top);
      if (box != nullptr && box->isVisible()) texts.push_back(box->text().toStdString());
    }
    blocked = QApplication::activeModalWidget() != nullptr;
    w.windowHandle()->close();  // as the window system sends it
  });
  // Only reached when the close is held: the loop would run for ever.
  QTimer guard;
  guard.setSingleShot(true);
  QObject::connect(&guard, &QTimer::timeout, [] { QCoreApplication::exit(1); });
  guard.start(5000);
  const int result = QApplication::exec();
  guard.stop();

  EXPECT_EQ(result, 0) << "the close request did not end the program";
  ASSERT_EQ(texts.size(), 1u) << "one journal box at a time";
  EXPECT_NE(texts[0].find(std::string("(") + std::strerror(ENOENT) + ")"), std::string::npos)
      << texts[0];
  EXPECT_FALSE(blocked) << "the journal box blocks the window";
  EXPECT_GE(w.station().poll().Polls(), 3u);
  EXPECT_FALSE(w.isVisible());
  EXPECT_EQ(w.station().flagExit(), 1);
}

}  // namespace
}  // namespace orvel::app
