#pragma once

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QWidget>
#include <string>

#include "core/controls.h"

namespace orvel::app {

inline QString ToQt(const std::string& text) { return QString::fromStdString(text); }
inline std::string FromQt(const QString& text) { return text.toStdString(); }

// Colours are kept as the toolkit numbers them (red in the lowest byte).
QColor ToQColor(core::Color color);

// A drop-down list as the cycle and the scan see it. A pick-only list shows
// only its items; an editable one also keeps what the user typed.
class ComboList final : public core::ListControl {
 public:
  explicit ComboList(QComboBox& box) : box_(box) {}

  void Clear() override;
  void Append(const std::string& item) override;
  void Select(int position) override;
  // In an editable list, the item the typed text names, if any.
  int Selected() const override;
  std::string Text() const override { return FromQt(box_.currentText()); }
  void SetText(const std::string& text) override;
  int Count() const override { return box_.count(); }
  std::string Item(int position) const override { return FromQt(box_.itemText(position)); }

 private:
  QComboBox& box_;
};

// A label or an edit box: both Qt widgets take and give plain text.
template <typename Widget>
class WidgetText final : public core::TextControl {
 public:
  explicit WidgetText(Widget& widget) : widget_(widget) {}
  void SetText(const std::string& text) override { widget_.setText(ToQt(text)); }
  std::string Text() const override { return FromQt(widget_.text()); }

 private:
  Widget& widget_;
};

using LabelText = WidgetText<QLabel>;
using EditText = WidgetText<QLineEdit>;

// A filled circle or rectangle with a thin black outline, as the adapter and
// timer indicators are drawn.
class ShapeWidget final : public QWidget, public core::ShapeControl {
 public:
  enum class Kind { kCircle, kSquare };
  ShapeWidget(Kind kind, QWidget* parent);

  void SetColor(core::Color color) override;
  core::Color GetColor() const override { return color_; }
  Kind kind() const { return kind_; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  Kind kind_;
  core::Color color_ = 0xFFFFFF;  // white until the first poll paints it
};

}  // namespace orvel::app
