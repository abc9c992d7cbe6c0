#pragma once

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QWidget>

#include "app/qt_controls.h"

namespace orvel::app {

inline constexpr int kClientWidth = 375;
inline constexpr int kClientHeight = 248;

// A label that reports a left click, for the two links and the pressure
// sensor's temperature toggle.
class ClickLabel final : public QLabel {
  Q_OBJECT
 public:
  using QLabel::QLabel;
 Q_SIGNALS:
  void clicked();

 protected:
  void mouseReleaseEvent(QMouseEvent* event) override;
};

// Every control of the main window, created with the window as parent and
// named as the program names them.
struct MainForm {
  ShapeWidget* shpindik;
  QLabel* stat1;
  ShapeWidget* shpTimer;
  QLabel* lblBackTimer;
  QPushButton* btnPathToDir;
  QTabWidget* pgc1;
  ClickLabel* txt1;
  ClickLabel* lbl6;

  // "Ксил-1"
  QWidget* ds1820;
  QLabel* lbl1;
  QComboBox* cmb1820;
  QLabel* lblT;
  QLabel* lblTvalue;
  // "Ксил-2"
  QWidget* HLT;
  QLabel* lbl4;
  QComboBox* cmbhlt;
  QLabel* lblH;
  QLabel* lblHvalue;
  // "Ксил-3"
  QWidget* DS28Q17;
  QLabel* lbl2;
  QComboBox* cmbds28e17;
  QLabel* lblSnHdc;
  QLineEdit* edtSNHDC;
  QLabel* lblTds28;
  QLabel* lblValT28e17;
  QLabel* lblHds28;
  QLabel* lblValH28e17;
  QLabel* lblPTds28;
  ClickLabel* lblValPTds28e17;
  QLabel* lblPds28;
  QLabel* lblValP28e17;
  // "Настр"
  QWidget* set_up;
  QLabel* txt4;
  QComboBox* cbbPort;
  QLabel* txt5;
  QComboBox* cbAdapter;
  // "О программе"
  QWidget* about;
  QPlainTextEdit* MemoInfo;
};

// Builds the controls on `window` at their places, sizes, fonts and colours.
MainForm BuildMainForm(QWidget& window);

// Tahoma at a character height in pixels, falling back to the nearest sans.
QFont FormFont(int pixels, bool bold = false, const char* family = "Tahoma");

}  // namespace orvel::app
