#pragma once

#include <QObject>
#include <cstdint>
#include <functional>

#include "measure/ks_timer.h"

namespace orvel::app {

// The hidden receiver of the poll timer's ticks: the timer thread posts, the
// UI thread's event loop delivers. Ticks posted after this object is gone
// are dropped with its pending events.
class QtTickPoster final : public QObject, public measure::TickPoster {
 public:
  std::function<void(std::uint32_t)> OnTick;  // runs on the UI thread

  void PostTick(std::uint32_t threadCount) override {
    QMetaObject::invokeMethod(
        this,
        [this, threadCount] {
          if (OnTick) OnTick(threadCount);
        },
        Qt::QueuedConnection);
  }
};

}  // namespace orvel::app
