#include "win32/win32_form.h"

#include <commctrl.h>

#include "app/form_texts.h"
#include "win32/wide_text.h"

namespace orvel::win32 {
namespace {

constexpr wchar_t kPageClass[] = L"OrvelPage";
constexpr int kComboHeight = 21;
constexpr COLORREF kValueRed = RGB(255, 0, 0);
constexpr COLORREF kDarkGrey = RGB(128, 128, 128);
constexpr int kDropDownHeight = 160;  // a combo box's height includes its open list

// A page is a child of the tab control; what its controls report goes to
// the main window, which owns the handlers and the colours.
LRESULT CALLBACK PageProcedure(HWND page, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_COMMAND:
    case WM_NOTIFY:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLOREDIT:
    case WM_SETCURSOR:
      return ::SendMessageW(::GetAncestor(page, GA_ROOT), message, wparam, lparam);
    default:
      return ::DefWindowProcW(page, message, wparam, lparam);
  }
}

struct Builder {
  HWND window;
  FormLook& look;
  HFONT base;

  HWND Make(const wchar_t* window_class, HWND parent, const wchar_t* text, DWORD style, int x,
            int y, int width, int height, DWORD ex_style = 0, HFONT font = nullptr) {
    const HWND control =
        ::CreateWindowExW(ex_style, window_class, text, WS_CHILD | style, x, y, width, height,
                          parent, nullptr, ::GetModuleHandleW(nullptr), nullptr);
    ::SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font ? font : base), FALSE);
    return control;
  }

  // A label as large as its text in its font.
  HWND Label(HWND parent, const wchar_t* text, int x, int y, HFONT font = nullptr,
             DWORD extra = 0) {
    const SIZE size = TextSize(text, font ? font : base);
    return Make(WC_STATICW, parent, text, WS_VISIBLE | SS_LEFT | SS_NOPREFIX | extra, x, y, size.cx,
                size.cy, 0, font);
  }

  // A value label: wide enough for any value up to the page's right edge, as
  // tall as its font.
  HWND Value(HWND parent, int x, int y, HFONT font, COLORREF colour, int width = 0,
             DWORD extra = 0) {
    const HWND label =
        Make(WC_STATICW, parent, L"--,--", WS_VISIBLE | SS_LEFT | SS_NOPREFIX | extra, x, y,
             width > 0 ? width : 345 - x, TextSize(L"--,--", font).cy, 0, font);
    look.SetTextColour(label, colour);
    return label;
  }

  HWND Combo(HWND parent, int x, int y, int width, bool editable) {
    return Make(
        WC_COMBOBOXW, parent, L"",
        WS_VISIBLE | WS_TABSTOP | WS_VSCROLL |
            static_cast<DWORD>(editable ? CBS_DROPDOWN | CBS_AUTOHSCROLL : CBS_DROPDOWNLIST),
        x, y, width, kDropDownHeight);
  }

  SIZE TextSize(const wchar_t* text, HFONT font) const {
    const HDC dc = ::GetDC(window);
    const HGDIOBJ old = ::SelectObject(dc, font);
    SIZE size{0, 0};
    ::GetTextExtentPoint32W(dc, text, static_cast<int>(wcslen(text)), &size);
    TEXTMETRICW metrics;
    ::GetTextMetricsW(dc, &metrics);
    size.cy = metrics.tmHeight;
    ::SelectObject(dc, old);
    ::ReleaseDC(window, dc);
    return size;
  }
};

void RegisterPageClass() {
  const HINSTANCE instance = ::GetModuleHandleW(nullptr);
  WNDCLASSW wc{};
  if (::GetClassInfoW(instance, kPageClass, &wc)) return;
  wc.lpfnWndProc = &PageProcedure;
  wc.hInstance = instance;
  wc.hCursor = ::LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
  wc.hbrBackground = ::GetSysColorBrush(COLOR_BTNFACE);
  wc.lpszClassName = kPageClass;
  ::RegisterClassW(&wc);
}

// Windows lines end in CR LF in an edit box.
std::wstring EditLines(const std::string& text) {
  std::wstring wide = Wide(text);
  std::wstring out;
  for (wchar_t c : wide) {
    if (c == L'\n') out += L'\r';
    out += c;
  }
  return out;
}

// Wine 8's 64-bit edit control faults in its text shaping on some Cyrillic
// letter pairs ("её"); Windows itself is not affected.
bool EditShapingFaults() {
  const HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
  return sizeof(void*) == 8 && ntdll != nullptr &&
         ::GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

}  // namespace

FormLook::FormLook() = default;

FormLook::~FormLook() {
  for (const FontKey& key : fonts_) ::DeleteObject(key.font);
}

HFONT FormLook::Font(int pixels, bool bold, bool underline, const wchar_t* face) {
  for (const FontKey& key : fonts_) {
    if (key.pixels == pixels && key.bold == bold && key.underline == underline && key.face == face)
      return key.font;
  }
  // A negative height is the character height in pixels, as the form gives it.
  const HFONT font =
      ::CreateFontW(-pixels, 0, 0, 0, bold ? FW_BOLD : FW_NORMAL, FALSE, underline ? TRUE : FALSE,
                    FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                    DEFAULT_QUALITY, DEFAULT_PITCH | FF_SWISS, face);
  fonts_.push_back({pixels, bold, underline, face, font});
  return font;
}

COLORREF FormLook::TextColour(HWND control) const {
  for (const auto& [window, colour] : colours_) {
    if (window == control) return colour;
  }
  return RGB(0, 0, 0);
}

MainForm BuildMainForm(HWND window, FormLook& look) {
  RegisterPageClass();
  MainForm f{};
  Builder b{window, look, look.Font(11)};
  ::SendMessageW(window, WM_SETFONT, reinterpret_cast<WPARAM>(b.base), FALSE);

  f.shpindik = std::make_unique<ShapeWindow>(ShapeWindow::Kind::kCircle, window, 8, 0, 12, 17);
  f.stat1 = b.Label(window, L"Не подключен", 48, 0);
  ::SetWindowPos(f.stat1, nullptr, 0, 0, 309 - 48 - 4, b.TextSize(L"Не", b.base).cy,
                 SWP_NOMOVE | SWP_NOZORDER);
  f.shpTimer = std::make_unique<ShapeWindow>(ShapeWindow::Kind::kSquare, window, 309, 0, 10, 10);
  f.lblBackTimer = b.Label(window, L"---", 325, 0);
  ::SetWindowPos(f.lblBackTimer, nullptr, 0, 0, kClientWidth - 325, b.TextSize(L"---", b.base).cy,
                 SWP_NOMOVE | SWP_NOZORDER);

  // Siblings clipped, so the folder button over the tab row stays on top.
  f.pgc1 = b.Make(WC_TABCONTROLW, window, L"",
                  WS_VISIBLE | WS_TABSTOP | WS_CLIPSIBLINGS | WS_CLIPCHILDREN, 8, 16, 359, 192,
                  WS_EX_CONTROLPARENT);
  // Tabs as narrow as their captions allow, so the five fit left of the
  // folder button at the right end of the tab row.
  ::SendMessageW(f.pgc1, TCM_SETPADDING, 0, MAKELPARAM(4, 3));
  const wchar_t* captions[kPageCount] = {L"Ксил-1", L"Ксил-2", L"Ксил-3", L"Настр", L"О программе"};
  const wchar_t* names[kPageCount] = {L"ds1820", L"HLT", L"DS28Q17", L"set_up", L"about"};
  for (int i = 0; i < kPageCount; ++i) {
    TCITEMW item{};
    item.mask = TCIF_TEXT;
    item.pszText = const_cast<wchar_t*>(captions[i]);
    ::SendMessageW(f.pgc1, TCM_INSERTITEMW, static_cast<WPARAM>(i),
                   reinterpret_cast<LPARAM>(&item));
  }
  RECT area{0, 0, 359, 192};
  ::SendMessageW(f.pgc1, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&area));
  for (int i = 0; i < kPageCount; ++i) {
    f.page_names[i] = names[i];
    f.pages[i] = b.Make(kPageClass, f.pgc1, L"", WS_CLIPSIBLINGS, area.left, area.top,
                        area.right - area.left, area.bottom - area.top, WS_EX_CONTROLPARENT);
  }

  const HFONT rom_font = look.Font(13, true);
  const HFONT sign_font = look.Font(19);
  const HFONT big_value = look.Font(27, true);
  const HFONT value = look.Font(24, true);
  const HFONT grey_value = look.Font(24);

  HWND p = f.pages[kPageDs1820];
  f.lbl1 = b.Label(p, L"ROM SN", 16, 16, rom_font);
  f.cmb1820 = b.Combo(p, 88, 16, 233, false);
  f.lblT = b.Label(p, L"T=", 48, 80, sign_font);
  f.lblTvalue = b.Value(p, 88, 72, big_value, kValueRed);

  p = f.pages[kPageHlt];
  f.lbl4 = b.Label(p, L"ROM SN", 16, 16, rom_font);
  f.cmbhlt = b.Combo(p, 88, 16, 233, false);
  f.lblH = b.Label(p, L"H=", 48, 80, sign_font);
  f.lblHvalue = b.Value(p, 88, 72, big_value, kValueRed);

  p = f.pages[kPageDs28e17];
  f.lbl2 = b.Label(p, L"ROM SN", 16, 16, rom_font);
  f.cmbds28e17 = b.Combo(p, 88, 16, 219, false);
  f.lblSnHdc = b.Label(p, L"SENS SN", 16, 46, rom_font);
  f.edtSNHDC = b.Make(WC_EDITW, p, L"", WS_VISIBLE | WS_TABSTOP | ES_READONLY | ES_AUTOHSCROLL, 88,
                      43, 219, kComboHeight, WS_EX_CLIENTEDGE);
  f.lblTds28 = b.Label(p, L"T=", 48, 76, sign_font);
  f.lblValT28e17 = b.Value(p, 88, 72, value, kValueRed);
  f.lblHds28 = b.Label(p, L"H=", 48, 108, sign_font);
  f.lblValH28e17 = b.Value(p, 88, 104, value, kValueRed);
  // The pressure row: built and kept current, never shown.
  f.lblPds28 = b.Label(p, L"P=", 48, 140, sign_font);
  f.lblValP28e17 = b.Value(p, 88, 136, value, kValueRed, 120);
  f.lblPTds28 = b.Label(p, L"T=", 212, 140, sign_font);
  f.lblValPTds28e17 = b.Value(p, 240, 136, grey_value, kDarkGrey, 105, SS_NOTIFY);
  for (HWND hidden : {f.lblPds28, f.lblValP28e17, f.lblPTds28, f.lblValPTds28e17})
    ::ShowWindow(hidden, SW_HIDE);

  p = f.pages[kPageSetUp];
  f.txt4 = b.Label(p, L"Порт", 3, 23);
  f.cbbPort = b.Combo(p, 3, 39, 145, true);
  f.txt5 = b.Label(p, L"Адаптер", 3, 60);
  f.cbAdapter = b.Combo(p, 3, 76, 145, true);

  p = f.pages[kPageAbout];
  if (!EditShapingFaults()) {
    f.MemoInfo =
        b.Make(WC_EDITW, p, EditLines(app::kTermsOfUse).c_str(),
               WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL,
               3, 3, 345, 143, WS_EX_CLIENTEDGE);
    // The bar stands even while the text fits, as the form has it.
    ::ShowScrollBar(f.MemoInfo, SB_VERT, TRUE);
  } else {
    // The same text in a label of the same place and look, which fits without scrolling.
    f.MemoInfo = b.Make(WC_STATICW, p, EditLines(app::kTermsOfUse).c_str(),
                        WS_VISIBLE | SS_LEFT | SS_NOPREFIX, 3, 3, 345, 143, WS_EX_CLIENTEDGE);
  }

  // Over the tab row's empty right end, so above the tab control.
  f.btnPathToDir = b.Make(WC_BUTTONW, window, L"Открыть путь..",
                          WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, 280, 16, 87, 18);
  ::SetWindowPos(f.btnPathToDir, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);

  const std::wstring maker = Wide(app::kMakerName);
  f.txt1 = b.Label(window, maker.c_str(), 112, 210, nullptr, SS_NOTIFY);
  const std::wstring site = Wide(app::kMakerSiteText);
  f.lbl6 = b.Label(window, site.c_str(), 118, 224, look.Font(13, false, true, L"Arial"), SS_NOTIFY);

  ShowPage(f, 0);
  return f;
}

void ShowPage(const MainForm& form, int index) {
  ::SendMessageW(form.pgc1, TCM_SETCURSEL, static_cast<WPARAM>(index), 0);
  for (int i = 0; i < kPageCount; ++i) ::ShowWindow(form.pages[i], i == index ? SW_SHOW : SW_HIDE);
}

}  // namespace orvel::win32
