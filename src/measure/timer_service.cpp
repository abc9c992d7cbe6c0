#include "measure/timer_service.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>

namespace orvel::measure {

// What a timer thread shares with its handle and the service: the stop
// request and whether the thread has ended.
struct ThreadTimerService::StopFlag {
  std::mutex mutex;
  std::condition_variable wake;
  bool stopped = false;
  std::atomic<bool> finished{false};
};

namespace {

using StopFlag = ThreadTimerService::StopFlag;

class ThreadHandle final : public TimerHandle {
 public:
  explicit ThreadHandle(std::shared_ptr<StopFlag> flag) : flag_(std::move(flag)) {}
  ~ThreadHandle() override {
    {
      std::lock_guard lock(flag_->mutex);
      flag_->stopped = true;
    }
    flag_->wake.notify_all();
  }

 private:
  std::shared_ptr<StopFlag> flag_;
};

void TimerLoop(StopFlag& flag_ref, std::uint32_t due_ms, std::uint32_t period_ms,
               const std::function<void()>& callback) {
  StopFlag* flag = &flag_ref;
  using Clock = std::chrono::steady_clock;
  auto next = Clock::now() + std::chrono::milliseconds(due_ms);
  std::unique_lock lock(flag->mutex);
  for (;;) {
    if (flag->wake.wait_until(lock, next, [&] { return flag->stopped; })) return;
    lock.unlock();
    callback();
    lock.lock();
    if (period_ms == 0) return;
    next += std::chrono::milliseconds(period_ms);
    // A callback that overran does not produce a burst of catch-up ticks.
    const auto now = Clock::now();
    if (next < now) next = now;
  }
}

void RunTimer(std::shared_ptr<StopFlag> flag, std::uint32_t due_ms, std::uint32_t period_ms,
              std::function<void()> callback) {
  TimerLoop(*flag, due_ms, period_ms, callback);
  flag->finished = true;
}

}  // namespace

ThreadTimerService::~ThreadTimerService() {
  // Handles are gone by now, so every thread has been told to stop.
  for (Worker& w : threads_) w.thread.join();
}

std::unique_ptr<TimerHandle> ThreadTimerService::Create(std::uint32_t due_ms,
                                                        std::uint32_t period_ms,
                                                        std::function<void()> callback) {
  auto flag = std::make_shared<StopFlag>();
  std::lock_guard lock(mutex_);
  // Threads of stopped timers that have ended are joined here, so a long
  // run does not collect them; joining a finished thread does not wait.
  std::erase_if(threads_, [](Worker& w) {
    if (!w.flag->finished) return false;
    w.thread.join();
    return true;
  });
  threads_.push_back(
      Worker{std::thread(RunTimer, flag, due_ms, period_ms, std::move(callback)), flag});
  return std::make_unique<ThreadHandle>(std::move(flag));
}

class ManualTimerService::Handle final : public TimerHandle {
 public:
  Handle(ManualTimerService& service, std::uint64_t id) : service_(service), id_(id) {}
  ~Handle() override { service_.Remove(id_); }

 private:
  ManualTimerService& service_;
  std::uint64_t id_;
};

std::unique_ptr<TimerHandle> ManualTimerService::Create(std::uint32_t due_ms,
                                                        std::uint32_t period_ms,
                                                        std::function<void()> callback) {
  const std::uint64_t id = next_id_++;
  entries_.push_back(Entry{id, clock_.MonotonicMicros() + std::int64_t{due_ms} * 1000,
                           std::int64_t{period_ms} * 1000, std::move(callback)});
  return std::make_unique<Handle>(*this, id);
}

void ManualTimerService::Remove(std::uint64_t id) {
  std::erase_if(entries_, [id](const Entry& e) { return e.id == id; });
}

std::int64_t ManualTimerService::NextDueMicros() const {
  std::int64_t next = -1;
  for (const Entry& e : entries_) {
    if (next < 0 || e.next_us < next) next = e.next_us;
  }
  return next;
}

int ManualTimerService::FireDue() {
  int fired = 0;
  const std::int64_t now = clock_.MonotonicMicros();
  // A callback may stop its own timer or start another: look entries up by
  // id after every call.
  std::vector<std::uint64_t> due;
  for (const Entry& e : entries_) {
    if (e.next_us <= now) due.push_back(e.id);
  }
  for (std::uint64_t id : due) {
    auto it =
        std::find_if(entries_.begin(), entries_.end(), [id](const Entry& e) { return e.id == id; });
    if (it == entries_.end()) continue;
    std::function<void()> callback = it->callback;
    if (it->period_us > 0) {
      it->next_us = std::max(it->next_us + it->period_us, now);
    } else {
      entries_.erase(it);
    }
    callback();
    ++fired;
  }
  return fired;
}

}  // namespace orvel::measure
