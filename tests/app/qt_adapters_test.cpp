// The Qt adapters behind the core's control and tick interfaces.
#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QTest>
#include <QThread>
#include <thread>

#include "app/qt_controls.h"
#include "app/qt_tick_poster.h"

namespace orvel::app {
namespace {

class ComboListTest : public testing::TestWithParam<bool> {
 protected:
  void SetUp() override {
    box.setEditable(GetParam());
    QObject::connect(&box, &QComboBox::currentIndexChanged, [this] { ++user_changes; });
  }
  QComboBox box;
  ComboList list{box};
  int user_changes = 0;
};

TEST_P(ComboListTest, ProgramChangesRaiseNoChangeHandler) {
  list.Clear();
  for (const char* item : {"00 A", "01 B", "02 C"}) list.Append(item);
  EXPECT_EQ(list.Count(), 3);
  EXPECT_EQ(list.Selected(), -1);  // appending selects nothing by itself
  EXPECT_EQ(list.Text(), "");
  list.Select(1);
  EXPECT_EQ(list.Text(), "01 B");
  EXPECT_EQ(list.Selected(), 1);
  list.SetText("02 C");
  EXPECT_EQ(list.Selected(), 2);
  list.Select(7);  // out of range: nothing selected, text empty
  EXPECT_EQ(list.Selected(), -1);
  EXPECT_EQ(list.Text(), "");
  list.Select(0);
  list.Clear();
  EXPECT_EQ(list.Count(), 0);
  EXPECT_EQ(list.Text(), "");
  EXPECT_EQ(user_changes, 0);
}

TEST_P(ComboListTest, UserChangeRaisesIt) {
  for (const char* item : {"1", "2"}) list.Append(item);
  list.Select(0);
  box.show();
  QTest::keyClick(&box, Qt::Key_Down);
  EXPECT_EQ(user_changes, 1);
  EXPECT_EQ(list.Selected(), 1);
  EXPECT_EQ(list.Item(1), "2");
  EXPECT_EQ(list.Item(5), "");
}

INSTANTIATE_TEST_SUITE_P(PickOnlyAndEditable, ComboListTest, testing::Bool());

TEST(ComboListEditable, TypedTextSelectsTheItemItNames) {
  QComboBox box;
  box.setEditable(true);
  ComboList list(box);
  for (const char* item : {"1", "2", "12"}) list.Append(item);
  box.show();
  QTest::keyClicks(box.lineEdit(), "12");
  EXPECT_EQ(list.Text(), "12");
  EXPECT_EQ(list.Selected(), 2);
  box.lineEdit()->setText(QStringLiteral("13"));
  EXPECT_EQ(list.Selected(), -1);
  list.SetText("2");
  EXPECT_EQ(list.Text(), "2");
  EXPECT_EQ(list.Selected(), 1);
}

TEST(QtTickPoster, TicksFromAnotherThreadRunOnTheUiThread) {
  QtTickPoster poster;
  std::vector<std::uint32_t> counts;
  bool on_ui_thread = true;
  poster.OnTick = [&](std::uint32_t n) {
    counts.push_back(n);
    on_ui_thread = on_ui_thread && QThread::currentThread() == qApp->thread();
  };
  std::thread timer([&] {
    for (std::uint32_t n = 1; n <= 3; ++n) poster.PostTick(n);
  });
  timer.join();
  EXPECT_TRUE(counts.empty()) << "a tick ran on the timer thread";
  QElapsedTimer waited;
  waited.start();
  while (counts.size() < 3 && waited.elapsed() < 2000) QCoreApplication::processEvents();
  EXPECT_EQ(counts, (std::vector<std::uint32_t>{1, 2, 3}));
  EXPECT_TRUE(on_ui_thread);
}

}  // namespace
}  // namespace orvel::app
