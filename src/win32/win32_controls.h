#pragma once

#include <windows.h>

#include <string>

#include "core/controls.h"

namespace orvel::win32 {

// The text of any window: a label, an edit box, a combo box's edit part.
std::string WindowText(HWND window);
void SetWindowTextUtf8(HWND window, const std::string& text);

// A drop-down list as the cycle and the scan see it. A pick-only list
// (CBS_DROPDOWNLIST) shows only its items; an editable one (CBS_DROPDOWN)
// also keeps what the user typed. While the program changes the list,
// Changing() is true, so the window takes no notification for the user's.
class ComboList final : public core::ListControl {
 public:
  explicit ComboList(HWND box) : box_(box) {}

  void Clear() override;
  void Append(const std::string& item) override;
  void Select(int position) override;
  // In an editable list, the item the typed text names exactly, if any.
  int Selected() const override;
  std::string Text() const override { return WindowText(box_); }
  void SetText(const std::string& text) override;
  int Count() const override;
  std::string Item(int position) const override;

  bool Changing() const { return changing_ > 0; }
  HWND handle() const { return box_; }

 private:
  bool Editable() const;
  int FindExact(const std::string& text) const;

  HWND box_;
  int changing_ = 0;
};

// A static label or an edit box.
class WindowTextControl final : public core::TextControl {
 public:
  explicit WindowTextControl(HWND window) : window_(window) {}
  void SetText(const std::string& text) override { SetWindowTextUtf8(window_, text); }
  std::string Text() const override { return WindowText(window_); }

 private:
  HWND window_;
};

// A filled circle or rectangle with a thin black outline, as the adapter and
// timer indicators are drawn: a window of its own class painting itself.
class ShapeWindow final : public core::ShapeControl {
 public:
  enum class Kind { kCircle, kSquare };
  ShapeWindow(Kind kind, HWND parent, int x, int y, int width, int height);
  ~ShapeWindow() override;
  ShapeWindow(const ShapeWindow&) = delete;
  ShapeWindow& operator=(const ShapeWindow&) = delete;

  void SetColor(core::Color color) override;
  core::Color GetColor() const override { return color_; }
  HWND handle() const { return window_; }

 private:
  static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
  void Paint();

  Kind kind_;
  core::Color color_ = 0xFFFFFF;  // white until the first poll paints it
  HWND window_ = nullptr;
};

}  // namespace orvel::win32
