#include "app/main_form.h"

#include <QMouseEvent>
#include <QProxyStyle>

#include "app/form_texts.h"

namespace orvel::app {
namespace {

constexpr int kComboHeight = 21;
const QColor kValueRed(255, 0, 0);
const QColor kDarkGrey(128, 128, 128);

template <typename W>
W* Make(QWidget* parent, const char* name) {
  auto* w = new W(parent);
  w->setObjectName(QString::fromLatin1(name));
  return w;
}

QLabel* Label(QWidget* parent, const char* name, const QString& text, int x, int y,
              const QFont* font = nullptr) {
  auto* label = Make<QLabel>(parent, name);
  if (font != nullptr) label->setFont(*font);
  label->setText(text);
  label->move(x, y);
  label->adjustSize();
  return label;
}

void Colour(QWidget* w, const QColor& colour) {
  QPalette p = w->palette();
  p.setColor(QPalette::WindowText, colour);
  w->setPalette(p);
}

// A value label: wide enough for any value up to the page's right edge, as
// tall as its font.
template <typename L = QLabel>
L* Value(QWidget* parent, const char* name, int x, int y, const QFont& font, const QColor& colour,
         int width = 0) {
  auto* label = Make<L>(parent, name);
  label->setFont(font);
  label->setText(QStringLiteral("--,--"));
  Colour(label, colour);
  const int h = QFontMetrics(font).height();
  label->setGeometry(x, y, width > 0 ? width : 345 - x, h);
  return label;
}

QComboBox* Combo(QWidget* parent, const char* name, int x, int y, int width, bool editable) {
  auto* box = Make<QComboBox>(parent, name);
  box->setEditable(editable);
  if (editable) box->setInsertPolicy(QComboBox::NoInsert);
  box->setGeometry(x, y, width, kComboHeight);
  return box;
}

// Tabs as narrow as their captions allow, so the five fit left of the folder
// button that sits at the right end of the tab row.
class CompactTabStyle final : public QProxyStyle {
 public:
  int pixelMetric(PixelMetric metric, const QStyleOption* option,
                  const QWidget* widget) const override {
    if (metric == PM_TabBarTabHSpace) return 10;
    return QProxyStyle::pixelMetric(metric, option, widget);
  }
};

QWidget* Page(QTabWidget* tabs, const char* name, const QString& caption) {
  auto* page = new QWidget;
  page->setObjectName(QString::fromLatin1(name));
  tabs->addTab(page, caption);
  return page;
}

}  // namespace

void ClickLabel::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
    Q_EMIT clicked();
  QLabel::mouseReleaseEvent(event);
}

QFont FormFont(int pixels, bool bold, const char* family) {
  QFont font(QString::fromLatin1(family));
  // Where the named face is missing: the metric twin of Arial, then any sans.
  font.setFamilies({QString::fromLatin1(family), QStringLiteral("Liberation Sans"),
                    QStringLiteral("DejaVu Sans")});
  font.setStyleHint(QFont::SansSerif);
  font.setPixelSize(pixels);
  font.setBold(bold);
  return font;
}

MainForm BuildMainForm(QWidget& window) {
  MainForm f{};
  window.setFont(FormFont(11));
  QWidget* w = &window;

  f.shpindik = new ShapeWidget(ShapeWidget::Kind::kCircle, w);
  f.shpindik->setObjectName(QStringLiteral("shpindik"));
  f.shpindik->setGeometry(8, 0, 12, 17);
  f.stat1 = Label(w, "stat1", QStringLiteral("Не подключен"), 48, 0);
  f.stat1->resize(309 - 48 - 4, f.stat1->height());
  f.shpTimer = new ShapeWidget(ShapeWidget::Kind::kSquare, w);
  f.shpTimer->setObjectName(QStringLiteral("shpTimer"));
  f.shpTimer->setGeometry(309, 0, 10, 10);
  f.lblBackTimer = Label(w, "lblBackTimer", QStringLiteral("---"), 325, 0);
  f.lblBackTimer->resize(kClientWidth - 325, f.lblBackTimer->height());

  f.pgc1 = Make<QTabWidget>(w, "pgc1");
  f.pgc1->setGeometry(8, 16, 359, 192);
  f.pgc1->setUsesScrollButtons(false);
  f.pgc1->tabBar()->setExpanding(false);
  auto* tab_style = new CompactTabStyle;
  tab_style->setParent(f.pgc1);  // a widget does not own the style it is given
  f.pgc1->tabBar()->setStyle(tab_style);

  const QFont rom_font = FormFont(13, true);
  const QFont sign_font = FormFont(19);
  const QFont big_value = FormFont(27, true);
  const QFont value = FormFont(24, true);
  const QFont grey_value = FormFont(24);

  f.ds1820 = Page(f.pgc1, "ds1820", QStringLiteral("Ксил-1"));
  f.lbl1 = Label(f.ds1820, "lbl1", QStringLiteral("ROM SN"), 16, 16, &rom_font);
  f.cmb1820 = Combo(f.ds1820, "cmb1820", 88, 16, 233, false);
  f.lblT = Label(f.ds1820, "lblT", QStringLiteral("T="), 48, 80, &sign_font);
  f.lblTvalue = Value(f.ds1820, "lblTvalue", 88, 72, big_value, kValueRed);

  f.HLT = Page(f.pgc1, "HLT", QStringLiteral("Ксил-2"));
  f.lbl4 = Label(f.HLT, "lbl4", QStringLiteral("ROM SN"), 16, 16, &rom_font);
  f.cmbhlt = Combo(f.HLT, "cmbhlt", 88, 16, 233, false);
  // Carried, never displayed: hints are on for one label only.
  f.cmbhlt->setProperty("hint", QStringLiteral("ctrl+F1 обновить"));
  f.lblH = Label(f.HLT, "lblH", QStringLiteral("H="), 48, 80, &sign_font);
  f.lblHvalue = Value(f.HLT, "lblHvalue", 88, 72, big_value, kValueRed);

  f.DS28Q17 = Page(f.pgc1, "DS28Q17", QStringLiteral("Ксил-3"));
  f.lbl2 = Label(f.DS28Q17, "lbl2", QStringLiteral("ROM SN"), 16, 16, &rom_font);
  f.cmbds28e17 = Combo(f.DS28Q17, "cmbds28e17", 88, 16, 219, false);
  f.lblSnHdc = Label(f.DS28Q17, "lblSnHdc", QStringLiteral("SENS SN"), 16, 46, &rom_font);
  f.edtSNHDC = Make<QLineEdit>(f.DS28Q17, "edtSNHDC");
  f.edtSNHDC->setReadOnly(true);
  f.edtSNHDC->setGeometry(88, 43, 219, kComboHeight);
  f.lblTds28 = Label(f.DS28Q17, "lblTds28", QStringLiteral("T="), 48, 76, &sign_font);
  f.lblValT28e17 = Value(f.DS28Q17, "lblValT28e17", 88, 72, value, kValueRed);
  f.lblHds28 = Label(f.DS28Q17, "lblHds28", QStringLiteral("H="), 48, 108, &sign_font);
  f.lblValH28e17 = Value(f.DS28Q17, "lblValH28e17", 88, 104, value, kValueRed);
  // The pressure row: built and kept current, never shown.
  f.lblPds28 = Label(f.DS28Q17, "lblPds28", QStringLiteral("P="), 48, 140, &sign_font);
  f.lblValP28e17 = Value(f.DS28Q17, "lblValP28e17", 88, 136, value, kValueRed, 120);
  f.lblPTds28 = Label(f.DS28Q17, "lblPTds28", QStringLiteral("T="), 212, 140, &sign_font);
  f.lblPTds28->setToolTip(QStringLiteral("Клик мышкой для показа/скрытия."));
  f.lblValPTds28e17 =
      Value<ClickLabel>(f.DS28Q17, "lblValPTds28e17", 240, 136, grey_value, kDarkGrey, 105);
  for (QWidget* hidden :
       {static_cast<QWidget*>(f.lblPds28), static_cast<QWidget*>(f.lblValP28e17),
        static_cast<QWidget*>(f.lblPTds28), static_cast<QWidget*>(f.lblValPTds28e17)})
    hidden->hide();

  f.set_up = Page(f.pgc1, "set_up", QStringLiteral("Настр"));
  f.txt4 = Label(f.set_up, "txt4", QStringLiteral("Порт"), 3, 23);
  f.cbbPort = Combo(f.set_up, "cbbPort", 3, 39, 145, true);
  f.txt5 = Label(f.set_up, "txt5", QStringLiteral("Адаптер"), 3, 60);
  f.cbAdapter = Combo(f.set_up, "cbAdapter", 3, 76, 145, true);

  f.about = Page(f.pgc1, "about", QStringLiteral("О программе"));
  f.MemoInfo = Make<QPlainTextEdit>(f.about, "MemoInfo");
  f.MemoInfo->setGeometry(3, 3, 345, 143);
  f.MemoInfo->setReadOnly(true);
  f.MemoInfo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  f.MemoInfo->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  f.MemoInfo->setLineWrapMode(QPlainTextEdit::WidgetWidth);
  f.MemoInfo->setPlainText(QString::fromUtf8(kTermsOfUse));

  // Over the tab row's empty right end, so raised above the tab control.
  f.btnPathToDir = Make<QPushButton>(w, "btnPathToDir");
  f.btnPathToDir->setText(QStringLiteral("Открыть путь.."));
  f.btnPathToDir->setGeometry(280, 16, 87, 18);
  f.btnPathToDir->raise();

  f.txt1 = Make<ClickLabel>(w, "txt1");
  f.txt1->setText(QString::fromUtf8(kMakerName));
  f.txt1->move(112, 210);
  f.txt1->adjustSize();

  f.lbl6 = Make<ClickLabel>(w, "lbl6");
  QFont link = FormFont(13, false, "Arial");
  link.setUnderline(true);
  f.lbl6->setFont(link);
  f.lbl6->setText(QString::fromUtf8(kMakerSiteText));
  f.lbl6->move(118, 224);
  f.lbl6->adjustSize();
  f.lbl6->setCursor(Qt::PointingHandCursor);

  f.pgc1->setCurrentIndex(0);
  return f;
}

}  // namespace orvel::app
