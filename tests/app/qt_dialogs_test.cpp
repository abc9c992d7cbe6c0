// The real dialogue boxes, answered by a timer that finds the open box.
#include "app/qt_dialogs.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <QScreen>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>
#include <functional>

namespace orvel::app {
namespace {

// Runs `answer` on the modal box as soon as it is open.
template <typename Box>
void WhenOpen(std::function<void(Box&)> answer, bool* seen) {
  QTimer::singleShot(0, [answer, seen] {
    auto* box = qobject_cast<Box*>(QApplication::activeModalWidget());
    *seen = box != nullptr;
    if (box == nullptr) {
      if (QWidget* other = QApplication::activeModalWidget()) other->close();
      return;
    }
    answer(*box);
  });
}

struct YesNoCase {
  const char* name;
  std::function<void(QMessageBox&)> answer;
  bool result;
};
// A case prints as its name, in test listings and failures alike.
void PrintTo(const YesNoCase& c, std::ostream* os) { *os << c.name; }

class ConfirmBox : public testing::TestWithParam<YesNoCase> {};

TEST_P(ConfirmBox, TitledConfirmWithAQuestionIconCentred) {
  QtDialogs dialogs(QStringLiteral("Orvel-viewer"));
  bool seen = false;
  WhenOpen<QMessageBox>(
      [&](QMessageBox& box) {
        EXPECT_EQ(box.windowTitle(), QStringLiteral("Confirm"));
        EXPECT_EQ(box.icon(), QMessageBox::Question);
        EXPECT_EQ(box.text(), QStringLiteral("Включить запись?"));
        EXPECT_EQ(box.standardButtons(), QMessageBox::Yes | QMessageBox::No);
        const QPoint centre = box.screen()->availableGeometry().center();
        EXPECT_LE((box.geometry().center() - centre).manhattanLength(), 4);
        GetParam().answer(box);
      },
      &seen);
  EXPECT_EQ(dialogs.AskYesNo("Включить запись?"), GetParam().result);
  EXPECT_TRUE(seen);
}

INSTANTIATE_TEST_SUITE_P(
    Answers, ConfirmBox,
    testing::Values(
        YesNoCase{"Yes", [](QMessageBox& b) { b.button(QMessageBox::Yes)->click(); }, true},
        YesNoCase{"No", [](QMessageBox& b) { b.button(QMessageBox::No)->click(); }, false},
        YesNoCase{"Closed", [](QMessageBox& b) { b.close(); }, false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(NoticeBox, TitledWithTheApplicationTitle) {
  QtDialogs dialogs(QStringLiteral("Orvel-viewer"));
  bool seen = false;
  WhenOpen<QMessageBox>(
      [](QMessageBox& box) {
        EXPECT_EQ(box.windowTitle(), QStringLiteral("Orvel-viewer"));
        EXPECT_EQ(box.text(), QStringLiteral("Неверно задан интервал!"));
        EXPECT_EQ(box.standardButtons(), QMessageBox::Ok);
        box.button(QMessageBox::Ok)->click();
      },
      &seen);
  dialogs.ShowNotice("Неверно задан интервал!");
  EXPECT_TRUE(seen);
}

TEST(TextEntry, EnteredTextOrTheDefaultOnCancel) {
  QtDialogs dialogs(QStringLiteral("Orvel-viewer"));
  bool seen = false;
  WhenOpen<QInputDialog>(
      [](QInputDialog& d) {
        EXPECT_EQ(d.windowTitle(), QStringLiteral("Интервал записи сек."));
        EXPECT_EQ(d.labelText(), QStringLiteral("Введите интервал"));
        EXPECT_EQ(d.textValue(), QStringLiteral("30"));
        d.setTextValue(QStringLiteral("12"));
        d.accept();
      },
      &seen);
  EXPECT_EQ(dialogs.AskText("Интервал записи сек.", "Введите интервал", "30"), "12");
  EXPECT_TRUE(seen);

  WhenOpen<QInputDialog>(
      [](QInputDialog& d) {
        d.setTextValue(QStringLiteral("99"));
        d.reject();
      },
      &seen);
  EXPECT_EQ(dialogs.AskText("Интервал записи сек.", "Введите интервал", "30"), "30");
}

TEST(FolderChooser, FoldersOnlyAndNoNewFolderButton) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  QtDialogs dialogs(QStringLiteral("Orvel-viewer"));
  bool seen = false;
  WhenOpen<QFileDialog>(
      [&](QFileDialog& d) {
        EXPECT_EQ(d.windowTitle(), QStringLiteral("Выберите каталог"));
        EXPECT_EQ(d.fileMode(), QFileDialog::Directory);
        EXPECT_TRUE(d.testOption(QFileDialog::ShowDirsOnly));
        EXPECT_TRUE(d.testOption(QFileDialog::ReadOnly));
        auto* make = d.findChild<QToolButton*>(QStringLiteral("newFolderButton"));
        ASSERT_NE(make, nullptr);
        EXPECT_FALSE(make->isVisible());
        EXPECT_FALSE(make->isEnabled());
        d.setDirectory(dir.path());
        static_cast<QDialog&>(d).accept();  // as the Choose button does
      },
      &seen);
  EXPECT_EQ(QString::fromStdString(dialogs.ChooseFolder("Выберите каталог")), dir.path());
  EXPECT_TRUE(seen);

  WhenOpen<QFileDialog>([](QFileDialog& d) { d.reject(); }, &seen);
  EXPECT_EQ(dialogs.ChooseFolder("Выберите каталог"), "");
}

}  // namespace
}  // namespace orvel::app
