#pragma once

#include <QTimer>
#include <QWidget>
#include <filesystem>
#include <functional>
#include <memory>

#include "app/main_form.h"
#include "app/overview_window.h"
#include "app/qt_controls.h"
#include "app/qt_platform.h"
#include "app/qt_tick_poster.h"
#include "board/names_file.h"
#include "board/sensor_board.h"
#include "measure/startup_dialogue.h"
#include "measure/station.h"
#include "measure/window_deps.h"

namespace orvel::app {

// What the window is built on; all of it outlives the window.
struct FrmMainDeps {
  onewire::Tmex& tmex;
  core::Clock& clock;
  core::Dialogs& dialogs;
  measure::TimerService& timers;
  measure::JournalFiles& files;
  core::LocaleSeparators separators;
  measure::StartupAnswers answers;  // questions answered on the command line
  std::filesystem::path namesFile = {};
  // Told of every name the user gives in the overview (the web page's board).
  std::function<void(const onewire::RomCode&, const std::string&)> renamed =
      {};  // the user's names of sensors; empty: the default place
  measure::FastMode fast{};         // --fast, --rescan-every
};

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
  board::SensorBoard& board() { return board_; }
  // The overview of every device (F2), opened on first use; null before.
  OverviewWindow* overview() { return overview_.get(); }
  OverviewWindow& ShowOverview();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  struct Adapters;
  struct PollDone;

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
  board::SensorBoard board_;
  board::NamesFile names_;
  std::unique_ptr<PollDone> pollDone_;
  std::unique_ptr<OverviewWindow> overview_;  // goes before the board it shows
};

}  // namespace orvel::app
