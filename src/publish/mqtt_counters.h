#pragma once

#include <cstdint>

namespace orvel::publish {

// Readings and state reports given to the MQTT publisher since it started.
struct MqttCounters {
  std::uint64_t queued = 0;   // taken into the queue
  std::uint64_t sent = 0;     // acknowledged by the broker
  std::uint64_t dropped = 0;  // pushed out of a full queue, oldest first
};

// Read-only access for whoever shows the figures (the metrics page); safe
// from any thread. Header only, so that a reader needs no MQTT library.
class MqttCounterSource {
 public:
  virtual ~MqttCounterSource() = default;
  virtual MqttCounters mqttCounters() const = 0;
};

}  // namespace orvel::publish
