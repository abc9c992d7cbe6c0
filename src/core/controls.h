#pragma once

#include <cstdint>
#include <string>

namespace orvel::core {

// A pick-only drop-down list as the measurement cycle and the scan use it.
class ListControl {
 public:
  virtual ~ListControl() = default;
  virtual void Clear() = 0;
  virtual void Append(const std::string& item) = 0;
  // Position from 0; -1 selects nothing and empties the current text.
  virtual void Select(int position) = 0;
  virtual int Selected() const = 0;
  // The current text: the selected item's text, or what SetText last put.
  virtual std::string Text() const = 0;
  virtual void SetText(const std::string& text) = 0;
  virtual int Count() const = 0;
  virtual std::string Item(int position) const = 0;
};

// A label or a read-only edit box.
class TextControl {
 public:
  virtual ~TextControl() = default;
  virtual void SetText(const std::string& text) = 0;
  virtual std::string Text() const = 0;
};

// Colours as the window toolkit numbers them: red in the lowest byte.
using Color = std::uint32_t;
inline constexpr Color kRed = 255;
inline constexpr Color kLime = 65280;
inline constexpr Color kGreen = 32768;

class ShapeControl {
 public:
  virtual ~ShapeControl() = default;
  virtual void SetColor(Color color) = 0;
  virtual Color GetColor() const = 0;
};

}  // namespace orvel::core
