// The window's frame and controls: names, places, fonts, colours, texts.
#include <gtest/gtest.h>

#include <QFontInfo>
#include <QTabBar>

#include "app/window_rig.h"

namespace orvel::app {
namespace {

constexpr char kBus[] = R"({"devices": []})";

class MainFormTest : public testing::Test {
 protected:
  void SetUp() override {
    rig.Open();
    rig.window->show();
  }
  QWidget* W(const char* name) {
    return rig.window->findChild<QWidget*>(QString::fromLatin1(name));
  }
  test::WindowRig rig{kBus};
};

TEST_F(MainFormTest, FixedFrameOfTheClientSizeAtTheTopLeft) {
  TFrmMain& w = *rig.window;
  EXPECT_EQ(w.size(), QSize(375, 248));
  EXPECT_EQ(w.minimumSize(), QSize(375, 248));
  EXPECT_EQ(w.maximumSize(), QSize(375, 248));
  EXPECT_EQ(w.pos(), QPoint(0, 0));
  const Qt::WindowFlags flags = w.windowFlags();
  EXPECT_FALSE(flags.testFlag(Qt::WindowMinimizeButtonHint));
  EXPECT_FALSE(flags.testFlag(Qt::WindowMaximizeButtonHint));
  EXPECT_TRUE(flags.testFlag(Qt::WindowCloseButtonHint));
  EXPECT_TRUE(flags.testFlag(Qt::MSWindowsFixedSizeDialogHint));
  EXPECT_FALSE(w.windowIcon().isNull());
}

struct Place {
  const char* name;
  const char* parent;  // the window or a tab page
  int x, y;
  int w = 0, h = 0;  // 0: not fixed by the layout
};
// A case prints as its name, in test listings and failures alike.
void PrintTo(const Place& c, std::ostream* os) { *os << c.name; }

class ControlPlaces : public MainFormTest, public testing::WithParamInterface<Place> {};

TEST_P(ControlPlaces, AtItsPlace) {
  const Place& p = GetParam();
  QWidget* w = W(p.name);
  ASSERT_NE(w, nullptr) << p.name;
  const QString parent = QString::fromLatin1(p.parent);
  EXPECT_EQ(w->parentWidget()->objectName(), parent) << p.name;
  EXPECT_EQ(w->pos(), QPoint(p.x, p.y)) << p.name;
  if (p.w > 0) {
    EXPECT_EQ(w->width(), p.w) << p.name;
  }
  if (p.h > 0) {
    EXPECT_EQ(w->height(), p.h) << p.name;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Layout, ControlPlaces,
    testing::Values(Place{"shpindik", "FrmMain", 8, 0, 12, 17}, Place{"stat1", "FrmMain", 48, 0},
                    Place{"shpTimer", "FrmMain", 309, 0, 10, 10},
                    Place{"lblBackTimer", "FrmMain", 325, 0},
                    Place{"btnPathToDir", "FrmMain", 280, 16, 87, 18},
                    Place{"pgc1", "FrmMain", 8, 16, 359, 192}, Place{"txt1", "FrmMain", 112, 210},
                    Place{"lbl6", "FrmMain", 118, 224}, Place{"lbl1", "ds1820", 16, 16},
                    Place{"cmb1820", "ds1820", 88, 16, 233}, Place{"lblT", "ds1820", 48, 80},
                    Place{"lblTvalue", "ds1820", 88, 72}, Place{"lbl4", "HLT", 16, 16},
                    Place{"cmbhlt", "HLT", 88, 16, 233}, Place{"lblH", "HLT", 48, 80},
                    Place{"lblHvalue", "HLT", 88, 72}, Place{"cmbds28e17", "DS28Q17", 88, 16, 219},
                    Place{"edtSNHDC", "DS28Q17", 88, 43, 219}, Place{"cbbPort", "set_up", 3, 39},
                    Place{"cbAdapter", "set_up", 3, 76},
                    Place{"MemoInfo", "about", 3, 3, 345, 143}),
    [](const auto& info) { return std::string(info.param.name); });

struct Look {
  const char* name;
  int pixels;
  bool bold;
  const char* family;
  QRgb colour;  // 0: the palette's default
  const char* text;
};
void PrintTo(const Look& c, std::ostream* os) { *os << c.name; }

class ControlLooks : public MainFormTest, public testing::WithParamInterface<Look> {};

TEST_P(ControlLooks, FontColourAndInitialText) {
  const Look& l = GetParam();
  QWidget* w = W(l.name);
  ASSERT_NE(w, nullptr) << l.name;
  EXPECT_EQ(w->font().pixelSize(), l.pixels) << l.name;
  EXPECT_EQ(w->font().bold(), l.bold) << l.name;
  EXPECT_EQ(w->font().family(), QString::fromLatin1(l.family)) << l.name;
  // Whatever face stands in must be a real one of the requested size.
  EXPECT_EQ(QFontInfo(w->font()).pixelSize(), l.pixels) << l.name;
  if (l.colour != 0) {
    EXPECT_EQ(w->palette().color(QPalette::WindowText).rgb(), l.colour) << l.name;
  }
  EXPECT_EQ(rig.Text(l.name), l.text) << l.name;
}

constexpr QRgb kRed = 0xFFFF0000;
constexpr QRgb kGrey = 0xFF808080;

INSTANTIATE_TEST_SUITE_P(Layout, ControlLooks,
                         testing::Values(Look{"stat1", 11, false, "Tahoma", 0, "Не подключен"},
                                         Look{"lblBackTimer", 11, false, "Tahoma", 0, "---"},
                                         Look{"lbl1", 13, true, "Tahoma", 0, "ROM SN"},
                                         Look{"lblT", 19, false, "Tahoma", 0, "T="},
                                         Look{"lblTvalue", 27, true, "Tahoma", kRed, "--,--"},
                                         Look{"lbl4", 13, true, "Tahoma", 0, "ROM SN"},
                                         Look{"lblH", 19, false, "Tahoma", 0, "H="},
                                         Look{"lblHvalue", 27, true, "Tahoma", kRed, "--,--"},
                                         Look{"lblValT28e17", 24, true, "Tahoma", kRed, "--,--"},
                                         Look{"lblValH28e17", 24, true, "Tahoma", kRed, "--,--"},
                                         Look{"lblValP28e17", 24, true, "Tahoma", kRed, "--,--"},
                                         Look{"lblValPTds28e17", 24, false, "Tahoma", kGrey,
                                              "--,--"},
                                         Look{"txt4", 11, false, "Tahoma", 0, "Порт"},
                                         Look{"txt5", 11, false, "Tahoma", 0, "Адаптер"},
                                         Look{"txt1", 11, false, "Tahoma", 0, "Orvel project"},
                                         Look{"lbl6", 13, false, "Arial", 0, "www.orvel.example"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(MainFormTest, FiveTabsInOrderTheFirstInFront) {
  auto* tabs = static_cast<QTabWidget*>(W("pgc1"));
  const std::vector<std::pair<QString, QString>> expected = {{"ds1820", "Ксил-1"},
                                                             {"HLT", "Ксил-2"},
                                                             {"DS28Q17", "Ксил-3"},
                                                             {"set_up", "Настр"},
                                                             {"about", "О программе"}};
  ASSERT_EQ(tabs->count(), 5);
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(tabs->widget(i)->objectName(), expected[i].first);
    EXPECT_EQ(tabs->tabText(i), expected[i].second);
  }
  EXPECT_EQ(tabs->currentIndex(), 0);
  // The folder button sits on the tab row: no tab may hide under it.
  const QRect last =
      tabs->tabBar()->tabRect(4).translated(tabs->tabBar()->mapTo(rig.window.get(), QPoint()));
  EXPECT_LT(last.right(), W("btnPathToDir")->x()) << "tabs run under the folder button";
}

TEST_F(MainFormTest, PressureRowStaysHidden) {
  rig.Polls(2);
  for (const char* name : {"lblPds28", "lblValP28e17", "lblPTds28", "lblValPTds28e17"}) {
    ASSERT_NE(W(name), nullptr) << name;
    EXPECT_TRUE(W(name)->isHidden()) << name;
  }
  EXPECT_FALSE(W("lblValT28e17")->isHidden());
  EXPECT_EQ(W("lblPTds28")->toolTip(), QStringLiteral("Клик мышкой для показа/скрытия."));
  // The humidity list's hint is kept but not shown.
  EXPECT_TRUE(W("cmbhlt")->toolTip().isEmpty());
}

TEST_F(MainFormTest, OnlyTheWebAddressHasTheHandCursor) {
  std::vector<std::string> hands;
  for (const QWidget* w : rig.window->findChildren<QWidget*>()) {
    if (w->testAttribute(Qt::WA_SetCursor) && w->cursor().shape() == Qt::PointingHandCursor)
      hands.push_back(w->objectName().toStdString());
  }
  EXPECT_EQ(hands, std::vector<std::string>{"lbl6"});
}

TEST_F(MainFormTest, ListsArePickOnlyExceptPortAndAdapter) {
  for (const char* name : {"cmb1820", "cmbhlt", "cmbds28e17"})
    EXPECT_FALSE(static_cast<QComboBox*>(W(name))->isEditable()) << name;
  for (const char* name : {"cbbPort", "cbAdapter"})
    EXPECT_TRUE(static_cast<QComboBox*>(W(name))->isEditable()) << name;
  auto* adapter = static_cast<QComboBox*>(W("cbAdapter"));
  QStringList items;
  for (int i = 0; i < adapter->count(); ++i) items << adapter->itemText(i);
  EXPECT_EQ(items, (QStringList{"DS9097E", "Parallel", "--------", "--------", "DS90907U", "USB"}));
  EXPECT_EQ(static_cast<QComboBox*>(W("cbbPort"))->count(), 12);
  EXPECT_TRUE(static_cast<QLineEdit*>(W("edtSNHDC"))->isReadOnly());
  auto* memo = static_cast<QPlainTextEdit*>(W("MemoInfo"));
  EXPECT_TRUE(memo->isReadOnly());
  EXPECT_EQ(memo->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
  EXPECT_TRUE(memo->toPlainText().contains("support@orvel.example"));
}

TEST(ShapeColours, PaintedInTheToolkitColour) {
  struct Case {
    core::Color color;
    QRgb rgb;
  };
  for (const Case& c : {Case{core::kRed, 0xFFFF0000}, Case{core::kLime, 0xFF00FF00},
                        Case{core::kGreen, 0xFF008000}}) {
    for (auto kind : {ShapeWidget::Kind::kCircle, ShapeWidget::Kind::kSquare}) {
      ShapeWidget shape(kind, nullptr);
      shape.resize(12, 17);
      shape.SetColor(c.color);
      const QImage image = shape.grab().toImage();
      EXPECT_EQ(image.pixel(6, 8), c.rgb);  // the middle is filled
      EXPECT_EQ(shape.GetColor(), c.color);
    }
  }
}

}  // namespace
}  // namespace orvel::app
