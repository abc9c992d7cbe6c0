#include "logger/service_notifier.h"

#if defined(ORVEL_HAVE_SYSTEMD)
#include <systemd/sd-daemon.h>

#include <chrono>
#include <cstdint>
#endif

namespace orvel::logger {

#if defined(ORVEL_HAVE_SYSTEMD)
namespace {

// sd_notify with NOTIFY_SOCKET: without it (not under systemd) every call
// is a no-op. WATCHDOG=1 only when the unit set a watchdog, at half its
// period so a late tick does not trip it.
class SystemdNotifier final : public ServiceNotifier {
 public:
  SystemdNotifier() {
    std::uint64_t usec = 0;
    if (sd_watchdog_enabled(0, &usec) > 0 && usec > 0) {
      watchdog_every_ = std::chrono::microseconds(usec / 2);
    }
  }
  void Ready() override { sd_notify(0, "READY=1"); }
  void Alive() override {
    if (watchdog_every_.count() == 0) return;
    const auto now = std::chrono::steady_clock::now();
    if (now - last_watchdog_ < watchdog_every_) return;
    last_watchdog_ = now;
    sd_notify(0, "WATCHDOG=1");
  }
  void Stopping() override { sd_notify(0, "STOPPING=1"); }

 private:
  std::chrono::microseconds watchdog_every_{0};
  std::chrono::steady_clock::time_point last_watchdog_{};
};

}  // namespace

std::unique_ptr<ServiceNotifier> SystemServiceNotifier() {
  return std::make_unique<SystemdNotifier>();
}
#else
std::unique_ptr<ServiceNotifier> SystemServiceNotifier() {
  return std::make_unique<NoServiceNotifier>();
}
#endif

}  // namespace orvel::logger
