#pragma once

#include "board/station_counters.h"
#include "publish/mqtt_counters.h"

namespace orvel::web {

// The publisher's counters as the metrics page reads them.
class MqttCountsOf final : public board::MqttCountSource {
 public:
  explicit MqttCountsOf(const publish::MqttCounterSource& source) : source_(source) {}
  board::MqttCounts Counts() const override {
    const publish::MqttCounters c = source_.mqttCounters();
    return board::MqttCounts{c.queued, c.sent, c.dropped};
  }

 private:
  const publish::MqttCounterSource& source_;
};

}  // namespace orvel::web
