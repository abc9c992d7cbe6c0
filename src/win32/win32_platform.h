#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <functional>

#include "core/platform.h"
#include "measure/ks_timer.h"

namespace orvel::win32 {

// The message the poll timer's ticks arrive as, on the window's thread.
inline constexpr UINT kTickMessage = WM_APP + 1;

// Looks at a message before it is dispatched; true when it was taken.
using MessageFilter = std::function<bool(MSG&)>;

// "Let the window process its pending messages": a PeekMessage pass over
// the thread's queue. A quit request met on the way is put back for the
// outer loop.
class PeekMessagePump final : public core::MessagePump {
 public:
  explicit PeekMessagePump(MessageFilter pre_translate)
      : pre_translate_(std::move(pre_translate)) {}
  void ProcessMessages() override;

 private:
  MessageFilter pre_translate_;
};

// Dispatches one message after `pre_translate` has had its look.
void DispatchOne(MSG& message, const MessageFilter& pre_translate);

// The timer thread posts the tick to the window; the window's thread
// delivers it. Ticks posted after the window is gone are dropped with it.
class WindowTickPoster final : public measure::TickPoster {
 public:
  void SetWindow(HWND window) { window_.store(window); }
  void PostTick(std::uint32_t threadCount) override {
    ::PostMessageW(window_.load(), kTickMessage, static_cast<WPARAM>(threadCount), 0);
  }

 private:
  std::atomic<HWND> window_{nullptr};
};

}  // namespace orvel::win32
