#include "publish/mqtt_publisher.h"

#include <mosquitto.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <mutex>
#include <set>
#include <thread>
#include <utility>
#include <vector>

#include "publish/mqtt_messages.h"
#include "publish/utc_time.h"

namespace orvel::publish {
namespace {

constexpr int kQos = 1;
// How long one pass of the network loop may wait for the socket: the
// longest a queued message waits before it goes out.
constexpr int kLoopMillis = 50;

struct Entry {
  Message message;
  int mid = 0;  // the library's id while handed over; 0 not handed over
  bool acked = false;
};

using Clock = std::chrono::steady_clock;

}  // namespace

struct MqttPublisher::Impl {
  explicit Impl(PublisherSettings s) : settings(std::move(s)) {
    clientId = "orvel-" + settings.station + "-" + std::to_string(::getpid());
    availability = AvailabilityTopic(settings.station);
    if (settings.queueSize == 0) settings.queueSize = 1;
    if (settings.inFlight == 0) settings.inFlight = 1;
  }

  PublisherSettings settings;
  std::string clientId;
  std::string availability;

  // The polling thread's own.
  UtcConverter utc;
  std::set<std::pair<std::string, measure::Quantity>> announced;

  mutable std::mutex mutex;
  std::condition_variable wake;
  bool stopping = false;
  Clock::time_point closeBy{};  // when stopping: the end of the time to empty the queue
  std::deque<Entry> queue;
  std::vector<Message> discovery;  // sent again on every connect (a broker may forget)
  std::size_t discoverySent = 0;

  std::atomic<std::uint64_t> queued{0}, sent{0}, dropped{0};
  std::atomic<bool> linked{false};

  // The worker's own.
  int connack = -1;
  int closingMid = 0;
  bool closingAcked = false;
  bool failureTold = false;

  std::thread worker;

  void Tell(const std::string& text) const {
    if (settings.notice) settings.notice(text);
  }

  std::string Where() const {
    return (settings.url.tls ? "mqtts://" : "mqtt://") + settings.url.host + ":" +
           std::to_string(settings.url.port);
  }

  // No wake-up: the worker looks at the queue on every pass of its network
  // loop, and waits between tries to connect whatever the queue holds.
  void Enqueue(Message message) {
    std::lock_guard lock(mutex);
    if (queue.size() >= settings.queueSize) {
      queue.pop_front();
      ++dropped;
    }
    queue.push_back(Entry{std::move(message)});
    ++queued;
  }

  void Announce(const measure::DeviceId& device, measure::Quantity quantity) {
    if (!announced.emplace(FamilyFirstRom(device.rom), quantity).second) return;
    std::lock_guard lock(mutex);
    discovery.push_back(DiscoveryMessage(settings.station, device, quantity));
  }

  // From the network loop, on the worker thread.
  void Acknowledged(int mid) {
    std::lock_guard lock(mutex);
    if (mid == closingMid) closingAcked = true;
    for (Entry& e : queue) {
      if (e.mid == mid && !e.acked) {
        e.acked = true;
        break;
      }
    }
    while (!queue.empty() && queue.front().acked) {
      queue.pop_front();
      ++sent;
    }
  }

  static void OnConnect(mosquitto*, void* self, int rc) { static_cast<Impl*>(self)->connack = rc; }
  static void OnPublish(mosquitto*, void* self, int mid) {
    static_cast<Impl*>(self)->Acknowledged(mid);
  }

  bool Stopping() const {
    std::lock_guard lock(mutex);
    return stopping;
  }

  // Closing, and the time to deliver what waits is over.
  bool GiveUp() const {
    std::lock_guard lock(mutex);
    return stopping && Clock::now() >= closeBy;
  }

  void TellFailure(const std::string& why) {
    if (!failureTold) Tell("MQTT: cannot connect to " + Where() + ": " + why);
    failureTold = true;
  }

  // Hands over what waits, in order: discovery first, then the queue up to
  // the in-flight limit. False when the link failed.
  bool Send(mosquitto* mq) {
    std::lock_guard lock(mutex);
    for (; discoverySent < discovery.size(); ++discoverySent) {
      const Message& m = discovery[discoverySent];
      if (mosquitto_publish(mq, nullptr, m.topic.c_str(), static_cast<int>(m.payload.size()),
                            m.payload.data(), kQos, m.retain) != MOSQ_ERR_SUCCESS) {
        return false;
      }
    }
    std::size_t flying = 0;
    for (Entry& e : queue) {
      if (e.acked) continue;
      if (e.mid != 0) {
        ++flying;
        continue;
      }
      if (flying >= settings.inFlight) break;
      int mid = 0;
      const Message& m = e.message;
      if (mosquitto_publish(mq, &mid, m.topic.c_str(), static_cast<int>(m.payload.size()),
                            m.payload.data(), kQos, m.retain) != MOSQ_ERR_SUCCESS) {
        return false;
      }
      e.mid = mid;
      ++flying;
    }
    return true;
  }

  bool Drained() const {
    std::lock_guard lock(mutex);
    return queue.empty();
  }

  // One connection from the first try to its end; true when the broker
  // accepted it.
  bool Session() {
    std::unique_ptr<mosquitto, void (*)(mosquitto*)> owner(
        mosquitto_new(clientId.c_str(), true, this), mosquitto_destroy);
    mosquitto* mq = owner.get();
    if (mq == nullptr) {
      TellFailure("out of memory");
      return false;
    }
    mosquitto_int_option(mq, MOSQ_OPT_PROTOCOL_VERSION, MQTT_PROTOCOL_V311);
    mosquitto_will_set(mq, availability.c_str(), static_cast<int>(std::strlen(kOffline)), kOffline,
                       kQos, true);
    if (settings.credentials) {
      const Credentials& c = *settings.credentials;
      mosquitto_username_pw_set(mq, c.user.c_str(), c.password.c_str());
    }
    if (settings.url.tls) {
      const int rc = settings.caFile ? mosquitto_tls_set(mq, settings.caFile->c_str(), nullptr,
                                                         nullptr, nullptr, nullptr)
                                     : mosquitto_int_option(mq, MOSQ_OPT_TLS_USE_OS_CERTS, 1);
      if (rc != MOSQ_ERR_SUCCESS) {
        TellFailure(mosquitto_strerror(rc));
        return false;
      }
    }
    mosquitto_connect_callback_set(mq, &Impl::OnConnect);
    mosquitto_publish_callback_set(mq, &Impl::OnPublish);

    connack = -1;
    int rc = mosquitto_connect_async(mq, settings.url.host.c_str(), settings.url.port,
                                     settings.keepAliveSeconds);
    if (rc != MOSQ_ERR_SUCCESS) {
      TellFailure(rc == MOSQ_ERR_ERRNO ? std::strerror(errno) : mosquitto_strerror(rc));
      return false;
    }
    const auto giveUp = Clock::now() + settings.connectTimeout;
    while (connack < 0) {
      if (GiveUp()) return false;
      rc = mosquitto_loop(mq, kLoopMillis, 1);
      if (rc != MOSQ_ERR_SUCCESS) {
        // A refusal comes with the broker's reason.
        TellFailure(connack > 0            ? mosquitto_connack_string(connack)
                    : rc == MOSQ_ERR_ERRNO ? std::strerror(errno)
                                           : mosquitto_strerror(rc));
        return false;
      }
      if (Clock::now() > giveUp) {
        TellFailure("no answer");
        return false;
      }
    }
    if (connack != 0) {
      TellFailure(mosquitto_connack_string(connack));
      return false;
    }

    failureTold = false;
    linked = true;
    Tell("MQTT: connected to " + Where());
    {
      std::lock_guard lock(mutex);
      discoverySent = 0;
      closingMid = 0;
      closingAcked = false;
      for (Entry& e : queue) e.mid = 0;  // what the last link left unacknowledged goes again
    }
    bool up =
        mosquitto_publish(mq, nullptr, availability.c_str(), static_cast<int>(std::strlen(kOnline)),
                          kOnline, kQos, true) == MOSQ_ERR_SUCCESS;
    while (up && !Stopping()) {
      up = Send(mq) && mosquitto_loop(mq, kLoopMillis, 1) == MOSQ_ERR_SUCCESS;
    }
    if (up) Close(mq);
    linked = false;
    if (!up) Tell("MQTT: the link to " + Where() + " was lost; readings wait in the queue");
    return true;
  }

  // Asked to stop while linked: the queue first, then "offline", then a
  // clean disconnect.
  void Close(mosquitto* mq) {
    bool up = true;
    while (up && !Drained() && !GiveUp()) {
      up = Send(mq) && mosquitto_loop(mq, kLoopMillis, 1) == MOSQ_ERR_SUCCESS;
    }
    if (!up) return;
    int mid = 0;
    if (mosquitto_publish(mq, &mid, availability.c_str(), static_cast<int>(std::strlen(kOffline)),
                          kOffline, kQos, true) != MOSQ_ERR_SUCCESS) {
      return;
    }
    {
      std::lock_guard lock(mutex);
      closingMid = mid;
    }
    const auto lastWait = Clock::now() + std::chrono::milliseconds(500);
    while (Clock::now() < lastWait) {
      {
        std::lock_guard lock(mutex);
        if (closingAcked) break;
      }
      if (mosquitto_loop(mq, kLoopMillis, 1) != MOSQ_ERR_SUCCESS) return;
    }
    mosquitto_disconnect(mq);
    mosquitto_loop(mq, kLoopMillis, 1);
  }

  void Run() {
    auto delay = settings.firstRetry;
    for (;;) {
      if (Stopping() && (Drained() || GiveUp())) return;
      if (Session()) delay = settings.firstRetry;
      std::unique_lock lock(mutex);
      if (stopping) {
        // Closing with messages still queued: another try soon, until closeBy.
        wake.wait_for(lock, std::chrono::milliseconds(100));
        continue;
      }
      wake.wait_for(lock, delay, [&] { return stopping; });
      if (!stopping) delay = std::min(delay * 2, settings.lastRetry);
    }
  }
};

MqttPublisher::MqttPublisher(PublisherSettings settings)
    : impl_(std::make_unique<Impl>(std::move(settings))) {
  mosquitto_lib_init();
  impl_->worker = std::thread([this] { impl_->Run(); });
}

MqttPublisher::~MqttPublisher() {
  {
    std::lock_guard lock(impl_->mutex);
    impl_->stopping = true;
    impl_->closeBy = Clock::now() + impl_->settings.flushOnClose;
  }
  impl_->wake.notify_all();
  impl_->worker.join();
  mosquitto_lib_cleanup();
}

void MqttPublisher::OnScan(const std::vector<measure::DeviceId>&, core::DateTime) {}

void MqttPublisher::OnReading(const measure::Reading& reading) {
  impl_->Announce(reading.device, reading.quantity);
  impl_->Enqueue(
      ReadingMessage(impl_->settings.station, reading, impl_->utc.ToUtcMillis(reading.time)));
}

void MqttPublisher::OnState(const measure::StateReport& report) {
  if (auto message =
          StateMessage(impl_->settings.station, report, impl_->utc.ToUtcMillis(report.time))) {
    impl_->Enqueue(std::move(*message));
  }
}

MqttCounters MqttPublisher::mqttCounters() const {
  return {impl_->queued.load(), impl_->sent.load(), impl_->dropped.load()};
}

bool MqttPublisher::connected() const { return impl_->linked.load(); }

std::size_t MqttPublisher::waiting() const {
  std::lock_guard lock(impl_->mutex);
  return impl_->queue.size();
}

}  // namespace orvel::publish
