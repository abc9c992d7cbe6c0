#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "measure/reading_feed.h"
#include "publish/mqtt_counters.h"
#include "publish/mqtt_options.h"
#include "publish/mqtt_url.h"

namespace orvel::publish {

struct PublisherSettings {
  MqttUrl url;
  std::string station;
  std::optional<std::string> caFile;       // mqtts: trust this CA; unset: the system's store
  std::optional<Credentials> credentials;  // unset: no user name
  std::size_t queueSize = kDefaultMqttQueue;
  std::chrono::milliseconds firstRetry{1000};  // doubled after each failed try...
  std::chrono::milliseconds lastRetry{60000};  // ...up to this
  std::chrono::milliseconds connectTimeout{10000};
  std::chrono::milliseconds flushOnClose{2000};  // time to empty the queue when closing
  int keepAliveSeconds = 30;
  std::size_t inFlight = 20;  // handed to the broker and not yet acknowledged
  // Told when the link comes up, goes down or a first try fails; called
  // on the publisher's own thread.
  std::function<void(const std::string&)> notice;
};

// Publishes every fresh reading and state change to an MQTT broker, QoS 1.
// The feed's calls only build the message and queue it; a thread of the
// publisher's own connects (with back-off between tries), sends in order,
// keeps each message until the broker acknowledges it and sends again,
// after a reconnect, whatever was not acknowledged. A full queue drops its
// oldest message.
class MqttPublisher final : public measure::ReadingFeed, public MqttCounterSource {
 public:
  explicit MqttPublisher(PublisherSettings settings);
  // Empties the queue for up to flushOnClose (connecting first if need
  // be), says "offline" and leaves.
  ~MqttPublisher() override;
  MqttPublisher(const MqttPublisher&) = delete;
  MqttPublisher& operator=(const MqttPublisher&) = delete;

  void OnScan(const std::vector<measure::DeviceId>& present, core::DateTime time) override;
  void OnReading(const measure::Reading& reading) override;
  void OnState(const measure::StateReport& report) override;

  MqttCounters mqttCounters() const override;
  bool connected() const;
  std::size_t waiting() const;  // messages in the queue, sent or not

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace orvel::publish
