#include "measure/timer_service.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <system_error>

namespace orvel::measure {

struct ThreadTimerService::Shared {
  using Clock = std::chrono::steady_clock;
  struct Entry {
    std::uint64_t id;
    Clock::time_point next;
    std::chrono::milliseconds period;
    std::shared_ptr<const std::function<void()>> callback;
  };
  std::mutex mutex;
  std::condition_variable wake;
  std::vector<Entry> entries;
  std::uint64_t next_id = 1;
  bool quit = false;

  void Remove(std::uint64_t id) {
    {
      std::lock_guard lock(mutex);
      std::erase_if(entries, [id](const Entry& e) { return e.id == id; });
    }
    wake.notify_all();
  }

  // The worker: sleeps until the earliest timer is due, runs its callback
  // without the lock, so that handles can stop timers meanwhile.
  void Run() {
    std::unique_lock lock(mutex);
    while (!quit) {
      if (entries.empty()) {
        wake.wait(lock);
        continue;
      }
      auto due = std::min_element(entries.begin(), entries.end(),
                                  [](const Entry& a, const Entry& b) { return a.next < b.next; });
      const auto now = Clock::now();
      if (now < due->next) {
        wake.wait_until(lock, due->next);
        continue;
      }
      const auto callback = due->callback;
      if (due->period.count() == 0) {
        entries.erase(due);
      } else {
        // A callback that overran does not produce a burst of catch-up ticks.
        due->next = std::max(due->next + due->period, now);
      }
      lock.unlock();
      (*callback)();
      lock.lock();
    }
  }
};

namespace {

class ThreadHandle final : public TimerHandle {
 public:
  ThreadHandle(std::shared_ptr<ThreadTimerService::Shared> shared, std::uint64_t id)
      : shared_(std::move(shared)), id_(id) {}
  ~ThreadHandle() override { shared_->Remove(id_); }

 private:
  std::shared_ptr<ThreadTimerService::Shared> shared_;
  std::uint64_t id_;
};

}  // namespace

ThreadTimerService::ThreadTimerService() : shared_(std::make_shared<Shared>()) {}

ThreadTimerService::~ThreadTimerService() {
  {
    std::lock_guard lock(shared_->mutex);
    shared_->quit = true;
  }
  shared_->wake.notify_all();
  if (worker_.joinable()) worker_.join();
}

std::unique_ptr<TimerHandle> ThreadTimerService::Create(std::uint32_t due_ms,
                                                        std::uint32_t period_ms,
                                                        std::function<void()> callback) {
  std::uint64_t id;
  {
    std::lock_guard lock(shared_->mutex);
    if (!worker_.joinable()) {
      try {
        worker_ = std::thread([shared = shared_] { shared->Run(); });
      } catch (const std::system_error&) {
        return nullptr;  // as a timer that could not be created: no ticks
      }
    }
    id = shared_->next_id++;
    shared_->entries.push_back(
        Shared::Entry{id, Shared::Clock::now() + std::chrono::milliseconds(due_ms),
                      std::chrono::milliseconds(period_ms),
                      std::make_shared<const std::function<void()>>(std::move(callback))});
  }
  shared_->wake.notify_all();
  return std::make_unique<ThreadHandle>(shared_, id);
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
