#pragma once

#include <string>
#include <vector>

#include "core/controls.h"

namespace orvel::core {

// Controls that only remember their state: the console logger's window and
// the tests' fake one.
class MemoryList final : public ListControl {
 public:
  void Clear() override {
    items_.clear();
    selected_ = -1;
    text_.clear();
  }
  void Append(const std::string& item) override { items_.push_back(item); }
  void Select(int position) override {
    if (position >= 0 && position < Count()) {
      selected_ = position;
      text_ = items_[static_cast<std::size_t>(position)];
    } else {
      selected_ = -1;
      text_.clear();
    }
  }
  int Selected() const override { return selected_; }
  std::string Text() const override { return text_; }
  void SetText(const std::string& text) override {
    text_ = text;
    selected_ = -1;
    for (int i = 0; i < Count(); ++i) {
      if (items_[static_cast<std::size_t>(i)] == text) {
        selected_ = i;
        break;
      }
    }
  }
  int Count() const override { return static_cast<int>(items_.size()); }
  std::string Item(int position) const override {
    return (position >= 0 && position < Count()) ? items_[static_cast<std::size_t>(position)]
                                                 : std::string();
  }

 private:
  std::vector<std::string> items_;
  int selected_ = -1;
  std::string text_;
};

class MemoryText final : public TextControl {
 public:
  explicit MemoryText(std::string text = {}) : text_(std::move(text)) {}
  void SetText(const std::string& text) override { text_ = text; }
  std::string Text() const override { return text_; }

 private:
  std::string text_;
};

class MemoryShape final : public ShapeControl {
 public:
  void SetColor(Color color) override { color_ = color; }
  Color GetColor() const override { return color_; }

 private:
  Color color_ = 0xFFFFFF;
};

}  // namespace orvel::core
