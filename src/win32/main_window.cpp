#include "win32/main_window.h"

#include <commctrl.h>

#include "app/form_texts.h"
#include "win32/wide_text.h"

namespace orvel::win32 {
namespace {

constexpr wchar_t kWindowClass[] = L"TFrmMain";
constexpr UINT_PTR kCheckTimerId = 1;
constexpr UINT kCheckTimerMs = 200;
constexpr DWORD kWindowStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;

bool KeyDown(int key) { return (::GetKeyState(key) & 0x8000) != 0; }

}  // namespace

// The Win32 controls as the station's interfaces see them.
struct MainWindow::Adapters {
  explicit Adapters(const MainForm& f)
      : stat1(f.stat1),
        cbbPort(f.cbbPort),
        cbAdapter(f.cbAdapter),
        cmb1820(f.cmb1820),
        lblTvalue(f.lblTvalue),
        cmbhlt(f.cmbhlt),
        lblHvalue(f.lblHvalue),
        cmbds28e17(f.cmbds28e17),
        edtSNHDC(f.edtSNHDC),
        lblValT28e17(f.lblValT28e17),
        lblValH28e17(f.lblValH28e17),
        lblValP28e17(f.lblValP28e17),
        lblValPTds28e17(f.lblValPTds28e17),
        lblBackTimer(f.lblBackTimer) {}

  measure::StationControls Controls(const MainForm& f) {
    return {{stat1, cbbPort, cbAdapter},
            {cmb1820, lblTvalue, cmbhlt, lblHvalue, cmbds28e17, edtSNHDC, lblValT28e17,
             lblValH28e17, lblValP28e17, lblValPTds28e17},
            {*f.shpindik, *f.shpTimer, lblBackTimer}};
  }

  WindowTextControl stat1;
  ComboList cbbPort;
  ComboList cbAdapter;
  ComboList cmb1820;
  WindowTextControl lblTvalue;
  ComboList cmbhlt;
  WindowTextControl lblHvalue;
  ComboList cmbds28e17;
  WindowTextControl edtSNHDC;
  WindowTextControl lblValT28e17;
  WindowTextControl lblValH28e17;
  WindowTextControl lblValP28e17;
  WindowTextControl lblValPTds28e17;
  WindowTextControl lblBackTimer;
};

MainWindow::MainWindow(MainWindowDeps deps)
    : deps_(std::move(deps)), pump_([this](MSG& message) { return PreTranslate(message); }) {
  INITCOMMONCONTROLSEX common{sizeof(common), ICC_TAB_CLASSES | ICC_STANDARD_CLASSES};
  ::InitCommonControlsEx(&common);
  const HINSTANCE instance = ::GetModuleHandleW(nullptr);
  WNDCLASSW wc{};
  if (!::GetClassInfoW(instance, kWindowClass, &wc)) {
    wc.lpfnWndProc = &MainWindow::Procedure;
    wc.hInstance = instance;
    wc.hIcon = ::LoadIconW(nullptr, reinterpret_cast<LPCWSTR>(IDI_APPLICATION));
    wc.hCursor = ::LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    wc.hbrBackground = ::GetSysColorBrush(COLOR_BTNFACE);
    wc.lpszClassName = kWindowClass;
    ::RegisterClassW(&wc);
  }
  // The fixed client area at the top-left of the screen.
  RECT frame{0, 0, kClientWidth, kClientHeight};
  ::AdjustWindowRectEx(&frame, kWindowStyle, FALSE, 0);
  window_ = ::CreateWindowExW(0, kWindowClass, Wide(app::kAppTitle).c_str(), kWindowStyle, 0, 0,
                              frame.right - frame.left, frame.bottom - frame.top, nullptr, nullptr,
                              instance, this);
  f_ = BuildMainForm(window_, look_);
  controls_ = std::make_unique<Adapters>(f_);
  poster_.SetWindow(window_);

  station_ = std::make_unique<measure::Station>(
      deps_.tmex, controls_->Controls(f_),
      measure::StationPlatform{deps_.clock, pump_, deps_.dialogs, deps_.separators, deps_.timers,
                               poster_, deps_.files},
      core::StartupSettings{}, deps_.fast);

  // Runs from start-up: the modal questions let it through, so the square
  // shows the poll timer off while they are open.
  ::SetTimer(window_, kCheckTimerId, kCheckTimerMs, nullptr);
  check_timer_on_ = true;
}

MainWindow::~MainWindow() {
  StopCheckTimer();
  station_.reset();  // stops the poll timer before the window goes
  poster_.SetWindow(nullptr);
  if (::IsWindow(window_)) {
    ::SetWindowLongPtrW(window_, GWLP_USERDATA, 0);
    ::DestroyWindow(window_);
  }
  // Ticks already posted die with the window; its quit is no one else's.
  MSG message;
  while (::PeekMessageW(&message, nullptr, kTickMessage, kTickMessage, PM_REMOVE)) {
  }
}

void MainWindow::FormCreate() {
  ShowPage(f_, 0);
  ::SetWindowTextW(window_, Wide(std::string(app::kAppTitle) + measure::kVersionSuffix).c_str());
  station_->FillPortAndAdapterLists();
  // No bus access before the questions are answered: the poll timer is off.
  station_->settings() = measure::RunStartupDialogue(deps_.dialogs, deps_.answers);
  const core::StartupSettings& s = station_->settings();
  ::SetWindowTextW(window_, Wide(measure::StartupCaption(app::kAppTitle, s)).c_str());
  ::EnableWindow(f_.btnPathToDir, measure::FolderButtonEnabled(s) ? TRUE : FALSE);
  ::ShowWindow(window_, SW_SHOWNORMAL);
  ::UpdateWindow(window_);
  station_->Start();
}

int MainWindow::Run() {
  MSG message;
  const MessageFilter look = [this](MSG& m) { return PreTranslate(m); };
  while (::GetMessageW(&message, nullptr, 0, 0) > 0) DispatchOne(message, look);
  return static_cast<int>(message.wParam);
}

bool MainWindow::PreTranslate(MSG& message) {
  if (message.hwnd == nullptr) return false;
  const HWND root = ::GetAncestor(message.hwnd, GA_ROOT);
  if (root == window_) {
    // The window's keys first, whichever control has the focus.
    if ((message.message == WM_KEYDOWN || message.message == WM_SYSKEYDOWN) &&
        FormKeyDown(message.wParam))
      return true;
    return ::IsDialogMessageW(window_, &message) != FALSE;
  }
  // A notice standing over the window takes its Enter and Escape.
  if (::GetWindow(root, GW_OWNER) == window_) return ::IsDialogMessageW(root, &message) != FALSE;
  return false;
}

bool MainWindow::FormKeyDown(WPARAM key) {
  if (key != VK_F1) return false;
  if (KeyDown(VK_CONTROL)) {
    station_->RescanRequested();  // held back while bus work runs
  } else {
    deps_.dialogs.ShowNotice(app::kHelpText);
  }
  return true;
}

LRESULT CALLBACK MainWindow::Procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_NCCREATE) {
    const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lparam);
    ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  auto* self = reinterpret_cast<MainWindow*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
  if (self == nullptr || self->station_ == nullptr)
    return ::DefWindowProcW(window, message, wparam, lparam);
  return self->Handle(message, wparam, lparam);
}

LRESULT MainWindow::Handle(UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case kTickMessage:
      station_->Tick(static_cast<std::uint32_t>(wparam));
      return 0;
    case WM_TIMER:
      if (wparam == kCheckTimerId) TimerCheckTmrTimer();
      return 0;
    case WM_COMMAND:
      Command(reinterpret_cast<HWND>(lparam), HIWORD(wparam));
      return 0;
    case WM_NOTIFY: {
      const auto* header = reinterpret_cast<const NMHDR*>(lparam);
      if (header->hwndFrom == f_.pgc1 && header->code == TCN_SELCHANGE)
        ShowPage(f_, static_cast<int>(::SendMessageW(f_.pgc1, TCM_GETCURSEL, 0, 0)));
      return 0;
    }
    case WM_CTLCOLORSTATIC: {
      const HDC dc = reinterpret_cast<HDC>(wparam);
      const HWND control = reinterpret_cast<HWND>(lparam);
      ::SetTextColor(dc, look_.TextColour(control));
      ::SetBkColor(dc, ::GetSysColor(COLOR_BTNFACE));
      // The read-only edit box keeps the white of an edit box.
      if (control == f_.edtSNHDC || control == f_.MemoInfo) {
        ::SetBkColor(dc, ::GetSysColor(COLOR_WINDOW));
        return reinterpret_cast<LRESULT>(::GetSysColorBrush(COLOR_WINDOW));
      }
      return reinterpret_cast<LRESULT>(::GetSysColorBrush(COLOR_BTNFACE));
    }
    case WM_SETCURSOR:
      if (reinterpret_cast<HWND>(wparam) == f_.lbl6) {
        ::SetCursor(::LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_HAND)));
        return TRUE;
      }
      return ::DefWindowProcW(window_, message, wparam, lparam);
    case WM_HELP:
      return TRUE;  // F1 is the window's own key
    case WM_CLOSE:
      FormCloseQuery();
      return 0;
    default:
      return ::DefWindowProcW(window_, message, wparam, lparam);
  }
}

void MainWindow::Command(HWND control, int code) {
  measure::Station& s = *station_;
  // The user's changes only: the adapters mark the program's own.
  const auto user_change = [code](const ComboList& list) {
    return !list.Changing() && (code == CBN_SELCHANGE || code == CBN_EDITCHANGE);
  };
  if (control == f_.cmb1820 && user_change(controls_->cmb1820)) s.cmb1820Change();
  if (control == f_.cmbhlt && user_change(controls_->cmbhlt)) s.cmbhltChange();
  if (control == f_.cmbds28e17 && user_change(controls_->cmbds28e17)) s.cmbds28e17Change();
  if (control == f_.cbbPort && user_change(controls_->cbbPort)) s.cbbPortChange();
  if (control == f_.cbAdapter && user_change(controls_->cbAdapter)) s.cbAdapterChange();
  if (code == STN_CLICKED || code == BN_CLICKED) {
    if (control == f_.lblValPTds28e17) s.lblValPTds28e17Click();
    if (control == f_.txt1 || control == f_.lbl6) deps_.dialogs.OpenWithShell(app::kMakerSiteUrl);
    if (control == f_.btnPathToDir) {
      const std::string& folder = s.settings().LogFolder;
      if (!folder.empty()) deps_.dialogs.OpenWithShell(folder);
    }
  }
}

void MainWindow::TimerCheckTmrTimer() {
  if (!station_->TimerCheckTmrEnabled()) {
    StopCheckTimer();
    return;
  }
  station_->TimerCheckTmrTimer();
}

void MainWindow::StopCheckTimer() {
  if (check_timer_on_ && ::IsWindow(window_)) ::KillTimer(window_, kCheckTimerId);
  check_timer_on_ = false;
}

void MainWindow::FormCloseQuery() {
  // Granted at once: the window goes from the screen and the loop ends;
  // a poll under way finishes on its own stack first, and the driver
  // closes on the tick after.
  StopCheckTimer();
  station_->FormCloseQuery();
  closed_ = true;
  ::ShowWindow(window_, SW_HIDE);
  ::PostQuitMessage(0);
}

}  // namespace orvel::win32
