#pragma once

#include <atomic>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>

#include "measure/timer_service.h"

namespace orvel::measure {

// Hands a tick from the timer thread to the user-interface thread, which
// then calls TksTimer::TimerWndProc with the same count. Implemented by the
// window (a queued event) and by the console logger's event loop.
class TickPoster {
 public:
  virtual ~TickPoster() = default;
  // Called on the timer thread; must not block.
  virtual void PostTick(std::uint32_t threadCount) = 0;
};

// The poll timer: ticks counted on a timer thread, delivered to the UI
// thread through a TickPoster, the handler run there.
class TksTimer {
 public:
  using Handler = std::function<void(TksTimer& sender)>;
  using ExceptionHandler = std::function<void(std::exception_ptr)>;

  TksTimer(TimerService& service, TickPoster& poster);
  virtual ~TksTimer();
  TksTimer(const TksTimer&) = delete;
  TksTimer& operator=(const TksTimer&) = delete;

  bool Enabled() const { return FEnabled; }
  // Enabling resets both counters and starts a new timer; disabling stops
  // it without waiting for a callback in progress.
  void SetEnabled(bool value);
  std::uint32_t DueTime() const { return FDueTime; }
  std::uint32_t Period() const { return FPeriod; }
  // Ignored while the timer runs.
  void SetDueTime(std::uint32_t value);
  void SetPeriod(std::uint32_t value);
  std::uint32_t Count() const { return FCount; }
  std::uint32_t ThreadCount() const { return FThreadCount->load(); }

  Handler OnTimer;
  // Receives what escapes OnTimer; without one the exception is dropped.
  ExceptionHandler OnException;

  // On the UI thread, for every posted tick.
  void TimerWndProc(std::uint32_t threadCount);

 protected:
  virtual void DoTimer();

 private:
  TimerService& service_;
  TickPoster& poster_;
  std::uint32_t FDueTime = 1000;
  std::uint32_t FPeriod = 1000;
  std::unique_ptr<TimerHandle> FTimerHandle;
  // Shared with the timer thread, which may still finish a callback after
  // the timer was disabled or destroyed.
  std::shared_ptr<std::atomic<std::uint32_t>> FThreadCount;
  // Closed by the destructor: a callback still running then holds the lock,
  // so destruction waits for it and no later callback reaches the poster.
  struct PostGate {
    std::mutex mutex;
    bool open = true;
  };
  std::shared_ptr<PostGate> gate_;
  std::uint32_t FCount = 0;
  bool FEnabled = false;
};

}  // namespace orvel::measure
