#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "core/virtual_clock.h"
#include "onewire/sim/bus_file.h"
#include "onewire/sim/sim_bus.h"

namespace orvel::testing_support {

// A virtual clock shared by the test thread and a model served from a
// thread of its own.
class LockedClock final : public core::Clock {
 public:
  core::DateTime Now() override {
    std::lock_guard<std::mutex> lock(mutex_);
    return clock_.Now();
  }
  std::uint32_t TickCount() override {
    std::lock_guard<std::mutex> lock(mutex_);
    return clock_.TickCount();
  }
  void Sleep(std::uint32_t ms) override {
    std::lock_guard<std::mutex> lock(mutex_);
    clock_.Sleep(ms);
  }
  std::int64_t MonotonicMicros() override {
    std::lock_guard<std::mutex> lock(mutex_);
    return clock_.MonotonicMicros();
  }

 private:
  std::mutex mutex_;
  core::VirtualClock clock_;
};

// A bus file with one device of every kind the readers serve, with fixed
// values so that two runs can be compared exactly.
inline const char* kEveryKindBus = R"({
  "devices": [
    { "family": "28", "serial": "0000012A3B4C", "temperature": 23.5, "resolution": 12 },
    { "family": "10", "serial": "000801A2B3C4", "temperature": -10.25, "parasite": true },
    { "family": "26", "serial": "000000A1B2C3", "temperature": 24.0, "vdd": 5.0, "rh": 45.0 },
    { "family": "19", "serial": "0000001D2E3F",
      "i2c": { "hdc": { "temperature": 21.3, "humidity": 45.2, "serial": "0102030405A6" },
               "bmp280": { "temperature": 22.1, "pressure": 100653.27 } } },
    { "family": "19", "serial": "0000001D2E40",
      "i2c": { "sht": { "temperature": 19.0, "humidity": 55.0, "serial": "1A2B3C4D" } } },
    { "family": "19", "serial": "0000001D2E41",
      "i2c": { "sts": { "temperature": 30.5, "serial": "0A0B0C0D" } } },
    { "family": "01", "serial": "00000BADCAFE" }
  ]
})";

// Puts the devices of kEveryKindBus on `bus`.
inline void AddEveryKind(sim::SimBus& bus) {
  for (auto& d : sim::ParseBusFile(kEveryKindBus, "every-kind").devices) bus.Add(std::move(d));
}

}  // namespace orvel::testing_support
