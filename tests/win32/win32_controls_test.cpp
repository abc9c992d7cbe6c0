// The Win32 adapters as the core's interfaces see them: texts in and out,
// list selection, which list changes reach the window, painted colours.
#include <gtest/gtest.h>
#include <windows.h>
// After windows.h, which it needs.
#include <commctrl.h>

#include <string>
#include <vector>

#include "win32/win32_controls.h"

namespace orvel::win32 {
namespace {

// A visible top-level window that records the list notifications it gets,
// with whether the program's own change was under way at the time.
class Host {
 public:
  Host() {
    WNDCLASSW wc{};
    wc.lpfnWndProc = &Host::Procedure;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.hbrBackground = ::GetSysColorBrush(COLOR_BTNFACE);
    wc.lpszClassName = L"OrvelTestHost";
    ::RegisterClassW(&wc);
    window = ::CreateWindowExW(0, L"OrvelTestHost", L"host", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0,
                               400, 300, nullptr, nullptr, wc.hInstance, nullptr);
    ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  }
  ~Host() { ::DestroyWindow(window); }

  HWND Child(const wchar_t* window_class, DWORD style, int x, int y, int width, int height) {
    return ::CreateWindowExW(0, window_class, L"", WS_CHILD | WS_VISIBLE | style, x, y, width,
                             height, window, nullptr, ::GetModuleHandleW(nullptr), nullptr);
  }

  static void Pump() {
    MSG message;
    while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      ::TranslateMessage(&message);
      ::DispatchMessageW(&message);
    }
  }

  struct Note {
    int code;
    bool program;  // the adapter's own change was under way
  };
  HWND window;
  const ComboList* watched = nullptr;
  std::vector<Note> notes;

 private:
  static LRESULT CALLBACK Procedure(HWND w, UINT message, WPARAM wparam, LPARAM lparam) {
    auto* self = reinterpret_cast<Host*>(::GetWindowLongPtrW(w, GWLP_USERDATA));
    if (message == WM_COMMAND && self != nullptr && self->watched != nullptr &&
        reinterpret_cast<HWND>(lparam) == self->watched->handle()) {
      const int code = HIWORD(wparam);
      if (code == CBN_SELCHANGE || code == CBN_EDITCHANGE)
        self->notes.push_back({code, self->watched->Changing()});
    }
    return ::DefWindowProcW(w, message, wparam, lparam);
  }
};

// ---- texts ----

struct TextCase {
  const char* name;
  const wchar_t* window_class;
  DWORD style;
};
void PrintTo(const TextCase& c, std::ostream* os) { *os << c.name; }

class TextRoundTrip : public testing::TestWithParam<TextCase> {};

TEST_P(TextRoundTrip, WhatIsPutIsWhatIsRead) {
  Host host;
  const TextCase& c = GetParam();
  WindowTextControl text(host.Child(c.window_class, c.style, 0, 0, 300, 20));
  for (const std::string& value : std::vector<std::string>{
           "Адаптер найден", "", "--,--", "23,5 °C", "Не выбран порт для подключения!!!",
           "1A2B3C4D", std::string(300, 'x') + "ё"}) {
    text.SetText(value);
    EXPECT_EQ(text.Text(), value);
  }
}

INSTANTIATE_TEST_SUITE_P(Controls, TextRoundTrip,
                         testing::Values(TextCase{"Label", WC_STATICW, SS_LEFT | SS_NOPREFIX},
                                         TextCase{"ReadOnlyEdit", WC_EDITW,
                                                  ES_READONLY | ES_AUTOHSCROLL}),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- lists ----

struct ListCase {
  const char* name;
  DWORD style;
  bool editable;
};
void PrintTo(const ListCase& c, std::ostream* os) { *os << c.name; }

class Lists : public testing::TestWithParam<ListCase> {
 protected:
  Host host;
  ComboList list{host.Child(WC_COMBOBOXW, GetParam().style, 0, 0, 200, 150)};
};

TEST_P(Lists, SelectionAndText) {
  for (const char* item : {"COM1", "com1", "28 0000012A3B4C 22"}) list.Append(item);
  EXPECT_EQ(list.Count(), 3);
  EXPECT_EQ(list.Selected(), -1) << "appending selects nothing";
  EXPECT_EQ(list.Text(), "");
  EXPECT_EQ(list.Item(2), "28 0000012A3B4C 22");

  list.Select(1);
  EXPECT_EQ(list.Selected(), 1);
  EXPECT_EQ(list.Text(), "com1");
  // Case counts: the exact item is chosen, not the first that matches.
  list.SetText("com1");
  EXPECT_EQ(list.Selected(), 1);
  list.SetText("COM1");
  EXPECT_EQ(list.Selected(), 0);

  list.Select(3);  // past the end: nothing
  EXPECT_EQ(list.Selected(), -1);
  EXPECT_EQ(list.Text(), "");

  list.SetText("COM7");
  EXPECT_EQ(list.Selected(), -1);
  EXPECT_EQ(list.Text(), GetParam().editable ? "COM7" : "");

  list.Select(0);
  list.Clear();
  EXPECT_EQ(list.Count(), 0);
  EXPECT_EQ(list.Selected(), -1);
  EXPECT_EQ(list.Text(), "");
}

TEST_P(Lists, OnlyTheUsersChangesReachTheWindowAsTheirs) {
  for (const char* item : {"one", "two", "three"}) list.Append(item);
  host.watched = &list;
  list.Select(0);
  list.SetText("two");
  list.Clear();
  for (const char* item : {"one", "two", "three"}) list.Append(item);
  list.Select(0);
  Host::Pump();
  for (const auto& note : host.notes) EXPECT_TRUE(note.program) << "code " << note.code;
  host.notes.clear();

  // The user moves down the list with the arrow key.
  ::SetFocus(list.handle());
  ::SendMessageW(list.handle(), WM_KEYDOWN, VK_DOWN, 0);
  Host::Pump();
  ASSERT_FALSE(host.notes.empty()) << "the user's change was not reported";
  EXPECT_EQ(host.notes.back().code, CBN_SELCHANGE);
  EXPECT_FALSE(host.notes.back().program);
  EXPECT_EQ(list.Selected(), 1);
}

INSTANTIATE_TEST_SUITE_P(
    Controls, Lists,
    testing::Values(ListCase{"PickOnly", CBS_DROPDOWNLIST | WS_VSCROLL, false},
                    ListCase{"Editable", CBS_DROPDOWN | CBS_AUTOHSCROLL | WS_VSCROLL, true}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- shapes ----

struct ShapeCase {
  const char* name;
  core::Color color;
};
void PrintTo(const ShapeCase& c, std::ostream* os) { *os << c.name; }

class ShapeColours : public testing::TestWithParam<ShapeCase> {};

TEST_P(ShapeColours, PaintedInTheCoresNumbering) {
  Host host;
  for (const auto kind : {ShapeWindow::Kind::kCircle, ShapeWindow::Kind::kSquare}) {
    ShapeWindow shape(kind, host.window, 20, 20, 16, 16);
    EXPECT_EQ(shape.GetColor(), 0xFFFFFFu) << "white until the first poll";
    shape.SetColor(GetParam().color);
    EXPECT_EQ(shape.GetColor(), GetParam().color);
    ::RedrawWindow(shape.handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    // What the window shows, copied where it can be read back.
    const HDC screen = ::GetDC(shape.handle());
    const HDC memory = ::CreateCompatibleDC(screen);
    const HBITMAP bitmap = ::CreateCompatibleBitmap(screen, 16, 16);
    const HGDIOBJ old = ::SelectObject(memory, bitmap);
    ::BitBlt(memory, 0, 0, 16, 16, screen, 0, 0, SRCCOPY);
    const COLORREF centre = ::GetPixel(memory, 8, 8);
    const COLORREF corner_edge = ::GetPixel(memory, 0, 8);
    ::SelectObject(memory, old);
    ::DeleteObject(bitmap);
    ::DeleteDC(memory);
    ::ReleaseDC(shape.handle(), screen);
    EXPECT_EQ(centre, static_cast<COLORREF>(GetParam().color));
    EXPECT_EQ(corner_edge, RGB(0, 0, 0)) << "the outline";
  }
}

INSTANTIATE_TEST_SUITE_P(Colours, ShapeColours,
                         testing::Values(ShapeCase{"Red", core::kRed},
                                         ShapeCase{"Lime", core::kLime},
                                         ShapeCase{"Green", core::kGreen},
                                         ShapeCase{"Blue", 0xFF0000u}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace orvel::win32
