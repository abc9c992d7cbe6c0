#pragma once

#include <cstdint>
#include <exception>
#include <functional>
#include <string>

#include "core/clock.h"
#include "core/controls.h"
#include "core/date_time.h"
#include "core/platform.h"
#include "core/settings.h"
#include "measure/ks_timer.h"

namespace orvel::measure {

// The bus work a poll is made of, supplied by the station.
struct PollSteps {
  std::function<std::int16_t()> ScanBus;
  std::function<bool()> flgRedravAll;
  std::function<void(bool rebuild)> RefreshMeasurements;
  std::function<void()> CloseDriver;  // TMClose of the session
  // The scan reached the adapter but found no device: nothing is read and
  // the values shown are withdrawn.
  std::function<bool()> flgBusSilent;
  std::function<void()> ClearValues;
  // After every poll, before OnPollEnd; may be empty.
  std::function<void()> PollDone;
};

struct PollControls {
  core::ShapeControl& shpindik;
  core::ShapeControl& shpTimer;
  core::TextControl& lblBackTimer;
};

// The text a notice shows for an exception that escaped a handler.
std::string ExceptionText(const std::exception_ptr& error);

// flagExit states.
inline constexpr std::int16_t kRunning = 0;
inline constexpr std::int16_t kCloseRequested = 1;
inline constexpr std::int16_t kDriverClosed = 2;

// The poll timer's handler with its deadline, the two indicators, the
// countdown and the close request. One guard keeps bus work from nesting:
// a tick that arrives during a poll is dropped, and a rescan asked for
// meanwhile runs once the poll has ended.
class PollLoop {
 public:
  PollLoop(TksTimer& tmrg, PollSteps steps, PollControls controls, core::Clock& clock,
           core::Dialogs& dialogs, const core::StartupSettings& settings,
           core::DateTime& lastTimeConvert, std::int16_t& flagExit);

  // The poll timer's OnTimer.
  void tmrgTimer();
  // The 200 ms indicator timer.
  void TimerCheckTmrTimer();
  bool TimerCheckTmrEnabled() const { return timerCheckEnabled_; }
  // The window's close request; the close is always granted.
  void FormCloseQuery();
  // Ctrl+F1: a scan now, or after the bus work in progress.
  void RescanRequested();

  bool BusBusy() const { return busy_; }
  // Called after every poll (a scan attempt with what followed it).
  std::function<void()> OnPollEnd;
  std::uint64_t Polls() const { return polls_; }
  // Polls whose scan succeeded (ScanBus above 0).
  std::uint64_t GoodScans() const { return goodScans_; }

 private:
  void Poll();
  void Rescan();
  void RunPendingRescan();

  TksTimer& tmrg_;
  PollSteps steps_;
  PollControls c_;
  core::Clock& clock_;
  core::Dialogs& dialogs_;
  const core::StartupSettings& settings_;
  core::DateTime& lastTimeConvert_;
  std::int16_t& flagExit_;
  bool timerCheckEnabled_ = true;
  bool busy_ = false;
  bool rescanPending_ = false;
  // A rescan between polls changed the device count: the next cycle
  // rebuilds the lists although its own scan sees no change.
  bool redrawPending_ = false;
  std::uint64_t polls_ = 0;
  std::uint64_t goodScans_ = 0;
};

}  // namespace orvel::measure
