#include "app/qt_controls.h"

#include <QPainter>
#include <QSignalBlocker>

namespace orvel::app {

QColor ToQColor(core::Color color) {
  return QColor(static_cast<int>(color & 0xFF), static_cast<int>((color >> 8) & 0xFF),
                static_cast<int>((color >> 16) & 0xFF));
}

// Programmatic changes never count as the user's: the change handlers are
// wired to the user-only signals, and the blockers keep the index signals
// quiet for anyone else listening.
void ComboList::Clear() {
  const QSignalBlocker block(&box_);
  box_.clear();
  if (box_.isEditable()) box_.setEditText(QString());
}

void ComboList::Append(const std::string& item) {
  const QSignalBlocker block(&box_);
  const int keep = box_.currentIndex();
  const QString typed = box_.currentText();
  box_.addItem(ToQt(item));
  // Appending to an empty box would select the item by itself.
  if (keep < 0) box_.setCurrentIndex(-1);
  if (box_.isEditable()) box_.setEditText(typed);
}

void ComboList::Select(int position) {
  const QSignalBlocker block(&box_);
  box_.setCurrentIndex(position >= 0 && position < box_.count() ? position : -1);
  if (box_.currentIndex() < 0 && box_.isEditable()) box_.setEditText(QString());
}

int ComboList::Selected() const {
  if (!box_.isEditable()) return box_.currentIndex();
  return box_.findText(box_.currentText(), Qt::MatchExactly | Qt::MatchCaseSensitive);
}

void ComboList::SetText(const std::string& text) {
  const QSignalBlocker block(&box_);
  const QString q = ToQt(text);
  if (box_.isEditable()) {
    box_.setCurrentIndex(box_.findText(q, Qt::MatchExactly | Qt::MatchCaseSensitive));
    box_.setEditText(q);
  } else {
    box_.setCurrentIndex(box_.findText(q, Qt::MatchExactly | Qt::MatchCaseSensitive));
  }
}

ShapeWidget::ShapeWidget(Kind kind, QWidget* parent) : QWidget(parent), kind_(kind) {}

void ShapeWidget::SetColor(core::Color color) {
  if (color == color_) return;  // the 200 ms indicator must not repaint for nothing
  color_ = color;
  update();
}

void ShapeWidget::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing, kind_ == Kind::kCircle);
  painter.setPen(QPen(Qt::black, 1));
  painter.setBrush(ToQColor(color_));
  const QRectF area = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
  if (kind_ == Kind::kCircle) {
    // The circle is as wide as the shape and centred in its height.
    const qreal d = std::min(area.width(), area.height());
    painter.drawEllipse(QRectF(area.center().x() - d / 2, area.center().y() - d / 2, d, d));
  } else {
    painter.drawRect(area);
  }
}

}  // namespace orvel::app
