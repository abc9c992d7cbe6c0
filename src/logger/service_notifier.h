#pragma once

#include <memory>

namespace orvel::logger {

// What the logger tells a service manager: ready once the adapter has
// answered a first poll, alive from the loop, stopping on the way out.
class ServiceNotifier {
 public:
  virtual ~ServiceNotifier() = default;
  virtual void Ready() = 0;
  // Called on every tick of the loop; the notifier decides how often it
  // passes that on.
  virtual void Alive() = 0;
  virtual void Stopping() = 0;
};

class NoServiceNotifier final : public ServiceNotifier {
 public:
  void Ready() override {}
  void Alive() override {}
  void Stopping() override {}
};

// systemd's notification socket where the logger runs under systemd with
// libsystemd at hand, else one that tells nobody.
std::unique_ptr<ServiceNotifier> SystemServiceNotifier();

}  // namespace orvel::logger
