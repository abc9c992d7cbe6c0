#include "win32/win32_controls.h"

#include <algorithm>
#include <vector>

#include "win32/wide_text.h"

namespace orvel::win32 {
namespace {

constexpr wchar_t kShapeClass[] = L"OrvelShape";

// Counts the program's own change to a list for as long as it runs.
class ProgramChange {
 public:
  explicit ProgramChange(int& depth) : depth_(depth) { ++depth_; }
  ~ProgramChange() { --depth_; }
  ProgramChange(const ProgramChange&) = delete;
  ProgramChange& operator=(const ProgramChange&) = delete;

 private:
  int& depth_;
};

}  // namespace

std::string WindowText(HWND window) {
  const int length = ::GetWindowTextLengthW(window);
  if (length <= 0) return {};
  std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
  const int got = ::GetWindowTextW(window, text.data(), length + 1);
  text.resize(static_cast<std::size_t>(got > 0 ? got : 0));
  return Utf8(text);
}

void SetWindowTextUtf8(HWND window, const std::string& text) {
  ::SetWindowTextW(window, Wide(text).c_str());
}

bool ComboList::Editable() const { return (::GetWindowLongW(box_, GWL_STYLE) & 3) == CBS_DROPDOWN; }

int ComboList::FindExact(const std::string& text) const {
  // CB_FINDSTRINGEXACT ignores case; the lists hold ROM codes and ports
  // whose case matters to the user.
  const int count = Count();
  for (int i = 0; i < count; ++i) {
    if (Item(i) == text) return i;
  }
  return -1;
}

void ComboList::Clear() {
  const ProgramChange guard(changing_);
  ::SendMessageW(box_, CB_RESETCONTENT, 0, 0);
  if (Editable()) ::SetWindowTextW(box_, L"");
}

void ComboList::Append(const std::string& item) {
  const ProgramChange guard(changing_);
  // Adding neither selects nor changes the typed text.
  ::SendMessageW(box_, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Wide(item).c_str()));
}

void ComboList::Select(int position) {
  const ProgramChange guard(changing_);
  const bool valid = position >= 0 && position < Count();
  ::SendMessageW(box_, CB_SETCURSEL,
                 valid ? static_cast<WPARAM>(position) : static_cast<WPARAM>(-1), 0);
  if (!valid && Editable()) ::SetWindowTextW(box_, L"");
}

int ComboList::Selected() const {
  if (!Editable()) return static_cast<int>(::SendMessageW(box_, CB_GETCURSEL, 0, 0));
  return FindExact(Text());
}

void ComboList::SetText(const std::string& text) {
  const ProgramChange guard(changing_);
  const int found = FindExact(text);
  ::SendMessageW(box_, CB_SETCURSEL, static_cast<WPARAM>(found), 0);
  if (Editable()) SetWindowTextUtf8(box_, text);
}

int ComboList::Count() const { return static_cast<int>(::SendMessageW(box_, CB_GETCOUNT, 0, 0)); }

std::string ComboList::Item(int position) const {
  const LRESULT length = ::SendMessageW(box_, CB_GETLBTEXTLEN, static_cast<WPARAM>(position), 0);
  if (length == CB_ERR || length <= 0) return {};
  std::vector<wchar_t> text(static_cast<std::size_t>(length) + 1, L'\0');
  ::SendMessageW(box_, CB_GETLBTEXT, static_cast<WPARAM>(position),
                 reinterpret_cast<LPARAM>(text.data()));
  return Utf8(std::wstring(text.data()));
}

ShapeWindow::ShapeWindow(Kind kind, HWND parent, int x, int y, int width, int height)
    : kind_(kind) {
  const HINSTANCE instance = ::GetModuleHandleW(nullptr);
  WNDCLASSW wc{};
  if (!::GetClassInfoW(instance, kShapeClass, &wc)) {
    wc.lpfnWndProc = &ShapeWindow::Procedure;
    wc.hInstance = instance;
    wc.hCursor = ::LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    wc.lpszClassName = kShapeClass;
    ::RegisterClassW(&wc);
  }
  window_ = ::CreateWindowExW(0, kShapeClass, L"", WS_CHILD | WS_VISIBLE, x, y, width, height,
                              parent, nullptr, instance, this);
}

ShapeWindow::~ShapeWindow() {
  if (window_ != nullptr && ::IsWindow(window_)) {
    ::SetWindowLongPtrW(window_, GWLP_USERDATA, 0);
    ::DestroyWindow(window_);
  }
}

void ShapeWindow::SetColor(core::Color color) {
  if (color == color_) return;  // the 200 ms indicator must not repaint for nothing
  color_ = color;
  ::InvalidateRect(window_, nullptr, TRUE);
}

LRESULT CALLBACK ShapeWindow::Procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_NCCREATE) {
    const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lparam);
    ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  auto* self = reinterpret_cast<ShapeWindow*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
  if (message == WM_PAINT && self != nullptr) {
    self->window_ = window;
    self->Paint();
    return 0;
  }
  if (message == WM_ERASEBKGND) return 1;  // WM_PAINT fills the whole area
  return ::DefWindowProcW(window, message, wparam, lparam);
}

void ShapeWindow::Paint() {
  PAINTSTRUCT ps;
  const HDC dc = ::BeginPaint(window_, &ps);
  RECT area;
  ::GetClientRect(window_, &area);
  ::FillRect(dc, &area, ::GetSysColorBrush(COLOR_BTNFACE));
  // COLORREF numbers colours as the core does: red in the lowest byte.
  const HBRUSH fill = ::CreateSolidBrush(static_cast<COLORREF>(color_));
  const HGDIOBJ old_brush = ::SelectObject(dc, fill);
  const HGDIOBJ old_pen = ::SelectObject(dc, ::GetStockObject(BLACK_PEN));
  if (kind_ == Kind::kCircle) {
    // As wide as the shape and centred in its height.
    const int d = std::min(area.right, area.bottom);
    const int top = (area.bottom - d) / 2;
    const int left = (area.right - d) / 2;
    ::Ellipse(dc, left, top, left + d, top + d);
  } else {
    ::Rectangle(dc, 0, 0, area.right, area.bottom);
  }
  ::SelectObject(dc, old_pen);
  ::SelectObject(dc, old_brush);
  ::DeleteObject(fill);
  ::EndPaint(window_, &ps);
}

}  // namespace orvel::win32
