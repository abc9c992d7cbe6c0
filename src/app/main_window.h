#pragma once

#include <QTimer>
#include <QWidget>
#include <memory>

#include "app/main_form.h"
#include "app/qt_controls.h"
#include "app/qt_platform.h"
#include "app/qt_tick_poster.h"
#include "measure/startup_dialogue.h"
#include "measure/station.h"
#include "measure/window_deps.h"

namespace orvel::app {

using FrmMainDeps = measure::WindowDeps;

// The main window: the controls, the real dialogues and timers, and the
// units of the station they are handed to. A view: every event is forwarded
// to a station handler.
class TFrmMain final : public QWidget {
 public:
  // Builds the controls and runs the start-up sequence, journal questions
  // included; the poll timer runs once the constructor returns.
  explicit TFrmMain(FrmMainDeps deps, QWidget* parent = nullptr);
  ~TFrmMain() override;

  measure::Station& station() { return *station_; }
  const MainForm& form() const { return f_; }
  const core::StartupSettings& settings() { return station_->settings(); }
  bool TimerCheckTmrActive() const { return TimerCheckTmr_.isActive(); }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  struct Adapters;

  void FormCreate();
  // True when the key was one of the window's commands.
  bool FormKeyDown(int key, Qt::KeyboardModifiers shift);
  void WireHandlers();
  void txt1Click();
  void lbl6Click();
  void btnPathToDirClick();
  void TimerCheckTmrTimer();

  FrmMainDeps deps_;
  MainForm f_;
  std::unique_ptr<Adapters> controls_;
  QtMessagePump pump_;
  QtTickPoster poster_;
  QTimer TimerCheckTmr_;
  std::unique_ptr<measure::Station> station_;
};

}  // namespace orvel::app
