#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "core/clock.h"

namespace orvel::measure {

// A running periodic timer; destroying it stops further callbacks without
// waiting for one in progress.
class TimerHandle {
 public:
  virtual ~TimerHandle() = default;
};

// Creates periodic timers: the first callback `due_ms` after creation,
// then every `period_ms`.
class TimerService {
 public:
  virtual ~TimerService() = default;
  virtual std::unique_ptr<TimerHandle> Create(std::uint32_t due_ms, std::uint32_t period_ms,
                                              std::function<void()> callback) = 0;
};

// All timers on one worker thread, started with the first timer: the poll
// handler restarts its timer on every tick, and a thread per restart would
// mean a thread start every second for as long as the program runs.
// Stopping a timer never waits for its callback; a callback that runs long
// holds back the other timers' callbacks meanwhile.
class ThreadTimerService final : public TimerService {
 public:
  ThreadTimerService();
  ~ThreadTimerService() override;
  ThreadTimerService(const ThreadTimerService&) = delete;
  ThreadTimerService& operator=(const ThreadTimerService&) = delete;
  // nullptr when the worker thread cannot be started.
  std::unique_ptr<TimerHandle> Create(std::uint32_t due_ms, std::uint32_t period_ms,
                                      std::function<void()> callback) override;

  // Shared by the service, its worker and the handles, so that a handle
  // may outlive the service.
  struct Shared;

 private:
  std::shared_ptr<Shared> shared_;
  std::thread worker_;
};

// Timers that fire only when the owner says so: the console logger's
// virtual-time loop and the tests drive them from a clock.
class ManualTimerService final : public TimerService {
 public:
  explicit ManualTimerService(core::Clock& clock) : clock_(clock) {}
  std::unique_ptr<TimerHandle> Create(std::uint32_t due_ms, std::uint32_t period_ms,
                                      std::function<void()> callback) override;

  // Monotonic microseconds at which the earliest running timer fires next;
  // -1 when none runs.
  std::int64_t NextDueMicros() const;
  // Runs every callback that is due by the clock's time; returns how many ran.
  int FireDue();

 private:
  struct Entry {
    std::uint64_t id;
    std::int64_t next_us;
    std::int64_t period_us;
    std::function<void()> callback;
  };
  class Handle;
  void Remove(std::uint64_t id);

  core::Clock& clock_;
  std::vector<Entry> entries_;
  std::uint64_t next_id_ = 1;
};

}  // namespace orvel::measure
