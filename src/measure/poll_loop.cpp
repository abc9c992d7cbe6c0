#include "measure/poll_loop.h"

#include <exception>
#include <string>

namespace orvel::measure {
namespace {

// Holds the bus for the lifetime of one piece of bus work.
class BusyScope {
 public:
  explicit BusyScope(bool& busy) : busy_(busy) { busy_ = true; }
  ~BusyScope() { busy_ = false; }
  BusyScope(const BusyScope&) = delete;
  BusyScope& operator=(const BusyScope&) = delete;

 private:
  bool& busy_;
};

}  // namespace

std::string ExceptionText(const std::exception_ptr& error) {
  try {
    std::rethrow_exception(error);
  } catch (const std::exception& e) {
    return e.what();
  } catch (...) {
    return "Неизвестная ошибка";
  }
}

PollLoop::PollLoop(TksTimer& tmrg, PollSteps steps, PollControls controls, core::Clock& clock,
                   core::Dialogs& dialogs, const core::StartupSettings& settings,
                   core::DateTime& lastTimeConvert, std::int16_t& flagExit)
    : tmrg_(tmrg),
      steps_(std::move(steps)),
      c_(controls),
      clock_(clock),
      dialogs_(dialogs),
      settings_(settings),
      lastTimeConvert_(lastTimeConvert),
      flagExit_(flagExit) {}

void PollLoop::tmrgTimer() {
  // A tick that was queued before this poll stopped the timer, delivered
  // while the poll lets messages through: the bus is taken, drop it.
  if (busy_) return;
  tmrg_.SetEnabled(false);
  if (flagExit_ == kDriverClosed) return;
  if (flagExit_ == kCloseRequested) {
    steps_.CloseDriver();
    flagExit_ = kDriverClosed;
    return;
  }
  const core::DateTime now = clock_.Now();
  std::int64_t remaining = core::SecsOf(lastTimeConvert_) - core::SecsOf(now);
  // A deadline more than one interval ahead means that the wall clock went
  // back (daylight saving time ended, the clock was corrected): poll now
  // rather than wait out the difference without readings.
  if (remaining > settings_.LogInterval) remaining = 0;
  if (remaining >= 0 && settings_.LogInterval > 4) {
    c_.lblBackTimer.SetText(std::to_string(remaining));
  }
  if (remaining <= 0) {
    lastTimeConvert_ = core::FromSecs(core::SecsOf(now) + settings_.LogInterval);
    // Whatever escapes the poll is shown and polling goes on: one bad
    // cycle must not end the logging for the rest of the run.
    try {
      Poll();
    } catch (...) {
      dialogs_.ShowNotice(ExceptionText(std::current_exception()));
    }
    ++polls_;
    if (steps_.PollDone) steps_.PollDone();
    if (OnPollEnd) OnPollEnd();
  }
  tmrg_.SetEnabled(true);
}

void PollLoop::Poll() {
  BusyScope busy(busy_);
  if (steps_.ScanBus() > 0) {
    ++goodScans_;
    c_.shpindik.SetColor(core::kLime);
    try {
      if (steps_.flgBusSilent()) {
        steps_.ClearValues();
      } else {
        const bool rebuild = steps_.flgRedravAll() || redrawPending_;
        redrawPending_ = false;
        steps_.RefreshMeasurements(rebuild);
      }
    } catch (...) {
      dialogs_.ShowNotice(ExceptionText(std::current_exception()));
    }
  } else {
    c_.shpindik.SetColor(core::kRed);
    lastTimeConvert_ = clock_.Now();
  }
  RunPendingRescan();
}

void PollLoop::Rescan() {
  steps_.ScanBus();
  if (steps_.flgRedravAll()) redrawPending_ = true;
}

void PollLoop::RunPendingRescan() {
  while (rescanPending_ && flagExit_ == kRunning) {
    rescanPending_ = false;
    Rescan();
  }
  rescanPending_ = false;
}

void PollLoop::RescanRequested() {
  if (busy_) {
    rescanPending_ = true;
    return;
  }
  if (flagExit_ != kRunning) return;
  BusyScope busy(busy_);
  Rescan();
  RunPendingRescan();  // a second Ctrl+F1 pressed during this scan
}

void PollLoop::TimerCheckTmrTimer() {
  if (!timerCheckEnabled_) return;
  c_.shpTimer.SetColor(tmrg_.Enabled() ? core::kGreen : core::kRed);
}

void PollLoop::FormCloseQuery() {
  timerCheckEnabled_ = false;
  flagExit_ = kCloseRequested;
}

}  // namespace orvel::measure
