#include "measure/ks_timer.h"

namespace orvel::measure {

TksTimer::TksTimer(TimerService& service, TickPoster& poster)
    : service_(service),
      poster_(poster),
      FThreadCount(std::make_shared<std::atomic<std::uint32_t>>(0)),
      gate_(std::make_shared<PostGate>()) {}

TksTimer::~TksTimer() {
  SetEnabled(false);
  // Unlike disabling, destruction may wait: the poster goes away after us.
  std::lock_guard lock(gate_->mutex);
  gate_->open = false;
}

void TksTimer::SetEnabled(bool value) {
  if (value == FEnabled) return;
  if (value) {
    // A fresh counter per enable, so a callback of the previous timer that
    // is still finishing cannot count into this one.
    FThreadCount = std::make_shared<std::atomic<std::uint32_t>>(0);
    FCount = 0;
    TickPoster* poster = &poster_;
    FTimerHandle = service_.Create(FDueTime, FPeriod, [count = FThreadCount, poster, gate = gate_] {
      std::lock_guard lock(gate->mutex);
      if (gate->open) poster->PostTick(++*count);
    });
    FEnabled = FTimerHandle != nullptr;
  } else {
    FTimerHandle.reset();  // stops without waiting for a callback in progress
    FEnabled = false;
  }
}

void TksTimer::SetDueTime(std::uint32_t value) {
  if (!FEnabled) FDueTime = value;
}

void TksTimer::SetPeriod(std::uint32_t value) {
  if (!FEnabled) FPeriod = value;
}

void TksTimer::TimerWndProc(std::uint32_t threadCount) {
  FCount = threadCount;
  try {
    DoTimer();
  } catch (...) {
    if (OnException) OnException(std::current_exception());
  }
}

void TksTimer::DoTimer() {
  if (OnTimer) OnTimer(*this);
}

}  // namespace orvel::measure
