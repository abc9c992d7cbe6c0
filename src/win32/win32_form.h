#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "win32/win32_controls.h"

namespace orvel::win32 {

inline constexpr int kClientWidth = 375;
inline constexpr int kClientHeight = 248;

// Tab pages in the order the tab control shows them.
enum Page { kPageDs1820, kPageHlt, kPageDs28e17, kPageSetUp, kPageAbout, kPageCount };

// Every control of the main window, named as the program names them.
struct MainForm {
  std::unique_ptr<ShapeWindow> shpindik;
  HWND stat1;
  std::unique_ptr<ShapeWindow> shpTimer;
  HWND lblBackTimer;
  HWND btnPathToDir;
  HWND pgc1;
  HWND txt1;
  HWND lbl6;
  HWND pages[kPageCount];
  const wchar_t* page_names[kPageCount];

  // "Ксил-1"
  HWND lbl1, cmb1820, lblT, lblTvalue;
  // "Ксил-2"
  HWND lbl4, cmbhlt, lblH, lblHvalue;
  // "Ксил-3"
  HWND lbl2, cmbds28e17, lblSnHdc, edtSNHDC, lblTds28, lblValT28e17, lblHds28, lblValH28e17,
      lblPTds28, lblValPTds28e17, lblPds28, lblValP28e17;
  // "Настр"
  HWND txt4, cbbPort, txt5, cbAdapter;
  // "О программе"
  HWND MemoInfo;
};

// The fonts and text colours the window paints its controls with.
class FormLook {
 public:
  FormLook();
  ~FormLook();
  FormLook(const FormLook&) = delete;
  FormLook& operator=(const FormLook&) = delete;

  HFONT Font(int pixels, bool bold = false, bool underline = false,
             const wchar_t* face = L"Tahoma");
  void SetTextColour(HWND control, COLORREF colour) { colours_.push_back({control, colour}); }
  // The colour a label's text is drawn in, black unless set.
  COLORREF TextColour(HWND control) const;

 private:
  struct FontKey {
    int pixels;
    bool bold;
    bool underline;
    std::wstring face;
    HFONT font;
  };
  std::vector<FontKey> fonts_;
  std::vector<std::pair<HWND, COLORREF>> colours_;
};

// Builds the controls on `window` at their places, sizes, fonts and
// colours. The tab pages pass their controls' notifications on to the
// window.
MainForm BuildMainForm(HWND window, FormLook& look);

// Shows the page at `index` and hides the others.
void ShowPage(const MainForm& form, int index);

}  // namespace orvel::win32
