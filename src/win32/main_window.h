#pragma once

#include <windows.h>

#include <memory>

#include "measure/startup_dialogue.h"
#include "measure/station.h"
#include "measure/window_deps.h"
#include "win32/win32_dialogs.h"
#include "win32/win32_form.h"
#include "win32/win32_platform.h"

namespace orvel::win32 {

using MainWindowDeps = measure::WindowDeps;

// The main window: the Win32 controls, and the units of the station they
// are handed to. A view: every event is forwarded to a station handler.
class MainWindow {
 public:
  // Creates the window hidden, with its controls and the station.
  explicit MainWindow(MainWindowDeps deps);
  ~MainWindow();
  MainWindow(const MainWindow&) = delete;
  MainWindow& operator=(const MainWindow&) = delete;

  // The start-up sequence, journal questions included, then shows the
  // window; the poll timer runs once this returns.
  void FormCreate();

  // The look at every message before it is dispatched: the window's keys
  // come here before the focused control sees them, and the standing
  // notice gets its dialogue keys. True when the message was taken.
  bool PreTranslate(MSG& message);
  // Runs the thread's message loop until the window is closed.
  int Run();

  HWND handle() const { return window_; }
  const MainForm& form() const { return f_; }
  measure::Station& station() { return *station_; }
  core::MessagePump& pump() { return pump_; }
  bool TimerCheckTmrActive() const { return check_timer_on_; }
  // Set once a close request was granted.
  bool Closed() const { return closed_; }

 private:
  struct Adapters;
  static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
  LRESULT Handle(UINT message, WPARAM wparam, LPARAM lparam);
  void Command(HWND control, int code);
  // True when the key was one of the window's commands.
  bool FormKeyDown(WPARAM key);
  void TimerCheckTmrTimer();
  void StopCheckTimer();
  void FormCloseQuery();

  MainWindowDeps deps_;
  FormLook look_;
  HWND window_ = nullptr;
  MainForm f_;
  std::unique_ptr<Adapters> controls_;
  PeekMessagePump pump_;
  WindowTickPoster poster_;
  bool check_timer_on_ = false;
  bool closed_ = false;
  std::unique_ptr<measure::Station> station_;
};

}  // namespace orvel::win32
