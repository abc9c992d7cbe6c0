#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "core/platform.h"
#include "core/virtual_clock.h"
#include "measure/ks_timer.h"
#include "measure/timer_service.h"

namespace orvel::logger {

// The logger's message loop: ticks from the timer thread and close
// requests from SIGINT/SIGTERM/SIGHUP arrive as messages on one self-pipe and are
// handled on the main thread, between polls or whenever a poll lets
// messages through. In virtual time nothing waits: when no message is
// pending the clock jumps to the next timer.
class EventLoop final : public measure::TickPoster, public core::MessagePump {
 public:
  EventLoop();
  ~EventLoop() override;
  EventLoop(const EventLoop&) = delete;
  EventLoop& operator=(const EventLoop&) = delete;

  // False when the pipe could not be made.
  bool ok() const { return read_fd_ >= 0; }

  std::function<void(std::uint32_t threadCount)> onTick;
  std::function<void()> onClose;

  // Timer thread: never blocks; a tick that finds the pipe full is lost.
  void PostTick(std::uint32_t threadCount) override;
  // Handles every message that is already waiting.
  void ProcessMessages() override;
  // SIGINT, SIGTERM and SIGHUP become close requests, SIGXFSZ and SIGPIPE
  // are ignored (the failed write reports them); the previous handlers of
  // all but SIGPIPE come back when the loop is destroyed.
  void CatchTerminationSignals();
  // As if a termination signal had arrived.
  void PostClose();

  // Handles messages until `done` holds. With `timers` and `clock` the
  // loop runs in virtual time; it also ends when no timer is left to wait
  // for.
  void Run(const std::function<bool()>& done, measure::ManualTimerService* timers = nullptr,
           core::VirtualClock* clock = nullptr);

 private:
  // True when at least one message was handled.
  bool Dispatch(bool block);

  int read_fd_ = -1;
  int write_fd_ = -1;
  bool signals_caught_ = false;
  std::string carry_;  // a message split across two reads
};

}  // namespace orvel::logger
