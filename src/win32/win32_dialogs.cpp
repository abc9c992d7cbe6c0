#include "win32/win32_dialogs.h"

#include <objbase.h>
#include <shellapi.h>
#include <shlobj.h>

#include <algorithm>
#include <memory>
#include <vector>

#include "win32/resources.h"
#include "win32/wide_text.h"
#include "win32/win32_controls.h"

namespace orvel::win32 {
namespace {

struct TextEntry {
  std::wstring caption;
  std::wstring prompt;
  std::wstring text;  // in: the default; out: what was entered
};

INT_PTR CALLBACK TextEntryProcedure(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
  auto* entry = reinterpret_cast<TextEntry*>(::GetWindowLongPtrW(dialog, DWLP_USER));
  switch (message) {
    case WM_INITDIALOG: {
      entry = reinterpret_cast<TextEntry*>(lparam);
      ::SetWindowLongPtrW(dialog, DWLP_USER, lparam);
      ::SetWindowTextW(dialog, entry->caption.c_str());
      ::SetDlgItemTextW(dialog, ORVEL_IDC_PROMPT, entry->prompt.c_str());
      ::SetDlgItemTextW(dialog, ORVEL_IDC_ENTRY, entry->text.c_str());
      const HWND edit = ::GetDlgItem(dialog, ORVEL_IDC_ENTRY);
      ::SendMessageW(edit, EM_SETSEL, 0, -1);
      ::SetFocus(edit);
      return FALSE;  // the focus is set
    }
    case WM_COMMAND:
      if (LOWORD(wparam) == IDOK) {
        entry->text = Wide(WindowText(::GetDlgItem(dialog, ORVEL_IDC_ENTRY)));
        ::EndDialog(dialog, IDOK);
        return TRUE;
      }
      if (LOWORD(wparam) == IDCANCEL) {
        ::EndDialog(dialog, IDCANCEL);
        return TRUE;
      }
      break;
    default:
      break;
  }
  return FALSE;
}

struct OpenNoticeState {
  std::wstring text;
  std::function<void()> dismissed;
  HWND* standing;
};

// Sizes the text's label to the text and the box around it.
void FitNotice(HWND dialog, const std::wstring& text) {
  const HWND label = ::GetDlgItem(dialog, ORVEL_IDC_NOTICE_TEXT);
  const HWND ok = ::GetDlgItem(dialog, IDOK);
  RECT label_rect;
  ::GetWindowRect(label, &label_rect);
  ::MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&label_rect), 2);
  const HDC dc = ::GetDC(label);
  const HGDIOBJ old =
      ::SelectObject(dc, reinterpret_cast<HGDIOBJ>(::SendMessageW(label, WM_GETFONT, 0, 0)));
  RECT need{0, 0, label_rect.right - label_rect.left, 0};
  ::DrawTextW(dc, text.c_str(), -1, &need, DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX);
  ::SelectObject(dc, old);
  ::ReleaseDC(label, dc);
  const int grow = std::max(0L, need.bottom - (label_rect.bottom - label_rect.top));
  ::SetWindowPos(label, nullptr, 0, 0, label_rect.right - label_rect.left,
                 label_rect.bottom - label_rect.top + grow, SWP_NOMOVE | SWP_NOZORDER);
  RECT ok_rect;
  ::GetWindowRect(ok, &ok_rect);
  ::MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&ok_rect), 2);
  ::SetWindowPos(ok, nullptr, ok_rect.left, ok_rect.top + grow, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  RECT box;
  ::GetWindowRect(dialog, &box);
  ::SetWindowPos(dialog, nullptr, 0, 0, box.right - box.left, box.bottom - box.top + grow,
                 SWP_NOMOVE | SWP_NOZORDER);
}

INT_PTR CALLBACK OpenNoticeProcedure(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
  auto* state = reinterpret_cast<OpenNoticeState*>(::GetWindowLongPtrW(dialog, DWLP_USER));
  switch (message) {
    case WM_INITDIALOG:
      state = reinterpret_cast<OpenNoticeState*>(lparam);
      ::SetWindowLongPtrW(dialog, DWLP_USER, lparam);
      ::SetDlgItemTextW(dialog, ORVEL_IDC_NOTICE_TEXT, state->text.c_str());
      FitNotice(dialog, state->text);
      return TRUE;
    case WM_COMMAND:
      if (LOWORD(wparam) == IDOK || LOWORD(wparam) == IDCANCEL) {
        std::function<void()> dismissed = std::move(state->dismissed);
        ::DestroyWindow(dialog);
        if (dismissed) dismissed();
        return TRUE;
      }
      break;
    case WM_NCDESTROY:
      // Gone with the window or dismissed: either way this box stands no more.
      if (state != nullptr) {
        if (*state->standing == dialog) *state->standing = nullptr;
        delete state;
        ::SetWindowLongPtrW(dialog, DWLP_USER, 0);
      }
      return FALSE;
    default:
      break;
  }
  return FALSE;
}

int CALLBACK StartAtCurrentFolder(HWND browser, UINT message, LPARAM, LPARAM data) {
  if (message == BFFM_INITIALIZED) ::SendMessageW(browser, BFFM_SETSELECTIONW, TRUE, data);
  return 0;
}

}  // namespace

HWND Win32Dialogs::Parent() const {
  return (owner_ != nullptr && ::IsWindowVisible(owner_)) ? owner_ : nullptr;
}

bool Win32Dialogs::AskYesNo(const std::string& question) {
  // No owner: a box without one is centred on the screen.
  return ::MessageBoxW(nullptr, Wide(question).c_str(), L"Confirm",
                       MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON1 | MB_TASKMODAL) == IDYES;
}

std::string Win32Dialogs::ChooseFolder(const std::string& title) {
  // The shell's browser needs COM on this thread; it stays for the
  // thread's life (the first call's initialisation is the one that counts).
  ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
  std::wstring current(MAX_PATH, L'\0');
  current.resize(::GetCurrentDirectoryW(MAX_PATH, current.data()));
  const std::wstring caption = Wide(title);
  BROWSEINFOW info{};
  info.hwndOwner = Parent();
  info.lpszTitle = caption.c_str();
  info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NONEWFOLDERBUTTON;
  info.lpfn = &StartAtCurrentFolder;
  info.lParam = reinterpret_cast<LPARAM>(current.c_str());
  std::string chosen;
  if (PIDLIST_ABSOLUTE list = ::SHBrowseForFolderW(&info)) {
    std::vector<wchar_t> path(MAX_PATH * 4, L'\0');
    if (::SHGetPathFromIDListEx(list, path.data(), static_cast<DWORD>(path.size()), GPFIDL_DEFAULT))
      chosen = Utf8(path.data());
    ::CoTaskMemFree(list);
  }
  return chosen;
}

std::string Win32Dialogs::AskText(const std::string& caption, const std::string& prompt,
                                  const std::string& default_text) {
  TextEntry entry{Wide(caption), Wide(prompt), Wide(default_text)};
  const INT_PTR result =
      ::DialogBoxParamW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(ORVEL_IDD_TEXT), Parent(),
                        &TextEntryProcedure, reinterpret_cast<LPARAM>(&entry));
  return result == IDOK ? Utf8(entry.text) : default_text;
}

void Win32Dialogs::ShowNotice(const std::string& text) {
  ::MessageBoxW(Parent(), Wide(text).c_str(), app_title_.c_str(), MB_OK);
}

void Win32Dialogs::OpenNotice(const std::string& text, std::function<void()> dismissed) {
  auto state = std::make_unique<OpenNoticeState>(
      OpenNoticeState{Wide(text), std::move(dismissed), &open_notice_});
  const HWND box =
      ::CreateDialogParamW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(ORVEL_IDD_NOTICE), owner_,
                           &OpenNoticeProcedure, reinterpret_cast<LPARAM>(state.get()));
  if (box == nullptr) {
    // No box could be made: the waiting notice, as where nothing stands.
    std::function<void()> then = std::move(state->dismissed);
    ShowNotice(text);
    if (then) then();
    return;
  }
  state.release();  // the box owns it now
  ::SetWindowTextW(box, app_title_.c_str());
  open_notice_ = box;
  ::ShowWindow(box, SW_SHOW);
}

void Win32Dialogs::OpenWithShell(const std::string& target) {
  ::ShellExecuteW(Parent(), L"open", Wide(target).c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

}  // namespace orvel::win32
