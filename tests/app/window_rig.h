#pragma once

#include <QCoreApplication>
#include <QEvent>
#include <QObject>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include "app/main_window.h"
#include "app/scripted_dialogs.h"
#include "core/virtual_clock.h"
#include "measure/fakes.h"
#include "measure/poll_loop.h"
#include "measure/timer_service.h"
#include "onewire/sim/bus_file.h"
#include "onewire/sim/simulated_driver.h"
#include "support/recording_tmex.h"

namespace orvel::test {

// Runs an action the first time the window lets messages through while a
// condition holds: a posted event that posts itself again on every pass of
// the event loop, so it sees each ProcessMessages of a running poll.
class MidPollProbe final : public QObject {
 public:
  MidPollProbe(std::function<bool()> when, std::function<void()> action)
      : when_(std::move(when)), action_(std::move(action)) {
    Post();
  }
  bool fired() const { return fired_; }

 protected:
  bool event(QEvent* e) override {
    if (e->type() != kType) return QObject::event(e);
    if (!fired_ && when_()) {
      fired_ = true;
      action_();
    } else if (!fired_) {
      Post();
    }
    return true;
  }

 private:
  static constexpr QEvent::Type kType = static_cast<QEvent::Type>(QEvent::User + 61);
  void Post() { QCoreApplication::postEvent(this, new QEvent(kType)); }

  std::function<bool()> when_;
  std::function<void()> action_;
  bool fired_ = false;
};

// The window on a simulated bus in virtual time, with scripted dialogues,
// timers that fire when the test says so and journal files in memory.
class WindowRig {
 public:
  explicit WindowRig(const std::string& bus_json,
                     measure::StartupAnswers answers = {false, "", std::nullopt})
      : driver(clock, sim::ParseBusFile(bus_json, "test-bus.json")),
        tmex(driver.tmex()),
        answers_(std::move(answers)) {}

  // Builds the window, which asks the scripted questions and starts.
  app::TFrmMain& Open() { return Open(dialogs, files); }
  // The same with other dialogues and journal files: the real ones.
  app::TFrmMain& Open(core::Dialogs& with_dialogs, measure::JournalFiles& with_files) {
    window = std::make_unique<app::TFrmMain>(
        app::FrmMainDeps{tmex, clock, with_dialogs, timers, with_files,
                         core::LocaleSeparators{',', '.', ':'}, answers_, names_file, renamed});
    return *window;
  }

  // Moves virtual time to the poll timer's next tick and delivers it
  // through the Qt event loop; false when no timer runs.
  bool NextTick() {
    const std::int64_t due = timers.NextDueMicros();
    if (due < 0) return false;
    if (due > clock.MonotonicMicros()) clock.Advance(due - clock.MonotonicMicros());
    timers.FireDue();
    QCoreApplication::processEvents();
    return true;
  }

  // Ticks until `polls` more polls have run (each tick polls at most once).
  void Polls(int polls) {
    const auto target = window->station().poll().Polls() + static_cast<std::uint64_t>(polls);
    for (int guard = 0; guard < 1000 && window->station().poll().Polls() < target; ++guard) {
      if (!NextTick()) break;
    }
  }

  // The text a control shows: a label's or edit box's text, a list's
  // current text.
  std::string Text(const char* name) const {
    QObject* o = window->findChild<QObject*>(QString::fromLatin1(name));
    if (o == nullptr) return "<no " + std::string(name) + ">";
    if (auto* box = qobject_cast<QComboBox*>(o)) return box->currentText().toStdString();
    if (auto* edit = qobject_cast<QLineEdit*>(o)) return edit->text().toStdString();
    if (auto* label = qobject_cast<QLabel*>(o)) return label->text().toStdString();
    return "<not text>";
  }

  core::VirtualClock clock;
  sim::SimulatedDriver driver;
  testing_support::RecordingTmex tmex;
  ScriptedDialogs dialogs;
  measure::ManualTimerService timers{clock};
  measure::testing::FakeJournalFiles files;
  std::unique_ptr<app::TFrmMain> window;
  // Never the user's own names: a file no test has written unless it says so.
  std::filesystem::path names_file = std::filesystem::temp_directory_path() / "orvel-no-names.conf";
  std::function<void(const onewire::RomCode&, const std::string&)> renamed;

 private:
  measure::StartupAnswers answers_;
};

}  // namespace orvel::test
