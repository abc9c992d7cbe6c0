#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <mutex>
#include <nlohmann/json.hpp>
#include <set>

#include "onewire/rom_code.h"
#include "publish/mqtt_messages.h"
#include "publish/mqtt_publisher.h"
#include "test_broker.h"
#include "time_zone.h"

namespace orvel::publish {
namespace {

using nlohmann::json;
using namespace std::chrono_literals;
using testing::Received;
using testing::TestBroker;
using testing::TestSubscriber;

const onewire::RomCode kThermometer = onewire::MakeRom(0x28, 0x0000012A3B4C);
const onewire::RomCode kHumidity = onewire::MakeRom(0x26, 0x000000A1B2C3);

measure::DeviceId Device(const onewire::RomCode& rom) {
  return {rom, onewire::RomText(rom), rom[0]};
}

core::DateTime At(int second) { return core::EncodeDateTime({2026, 12, 8, 10, 0, second, 0}); }

measure::Reading Temperature(double value, int second = 0) {
  return {Device(kThermometer), measure::Quantity::Temperature, value, At(second)};
}

std::string Topic(const onewire::RomCode& rom, const std::string& last) {
  return "orvel/st1/" + FamilyFirstRom(rom) + "/" + last;
}

class PublisherBroker : public testing::BrokerTest {
 protected:
  PublisherSettings Settings(const TestBroker& broker) {
    std::string error;
    PublisherSettings s;
    s.url = *ParseMqttUrl(broker.url(), error);
    s.station = "st1";
    s.firstRetry = 50ms;
    s.lastRetry = 200ms;
    s.connectTimeout = 2s;
    s.flushOnClose = 100ms;  // those that cannot connect give up soon
    s.notice = [this](const std::string& text) {
      std::lock_guard lock(noticeMutex_);
      notices_ += text + "\n";
    };
    return s;
  }

  void ClearNotices() {
    std::lock_guard lock(noticeMutex_);
    notices_.clear();
  }

  std::string Notices() {
    std::lock_guard lock(noticeMutex_);
    return notices_;
  }

  // Values of the temperature readings that arrived, first copies only
  // (QoS 1 may bring one twice after a reconnect).
  static std::vector<double> FirstCopies(const std::vector<Received>& got) {
    std::vector<double> values;
    std::vector<std::string> seen;
    for (const Received& r : got) {
      if (r.topic != Topic(kThermometer, "temperature")) continue;
      if (std::find(seen.begin(), seen.end(), r.payload) != seen.end()) continue;
      seen.push_back(r.payload);
      values.push_back(json::parse(r.payload).at("value").get<double>());
    }
    return values;
  }

  testing::TimeZone utc_{"UTC0"};

 private:
  std::mutex noticeMutex_;
  std::string notices_;
};

TEST_F(PublisherBroker, ReadingsStatesDiscoveryAndAvailability) {
  TestBroker broker;
  ASSERT_TRUE(broker.Start()) << broker.log();
  TestSubscriber live(broker.port(), {"orvel/#", "homeassistant/#"});
  ASSERT_TRUE(live.Ready());

  auto publisher = std::make_unique<MqttPublisher>(Settings(broker));
  publisher->OnScan({Device(kThermometer), Device(kHumidity)}, At(0));
  publisher->OnReading(Temperature(23.5, 1));
  publisher->OnReading({Device(kHumidity), measure::Quantity::Humidity, 45.2, At(1)});
  publisher->OnState({Device(kThermometer), measure::ReadState::Fresh, "", At(1)});
  publisher->OnState({Device(kHumidity), measure::ReadState::FaultCode, "код 999", At(2)});
  publisher->OnReading(Temperature(-10.125, 3));
  ASSERT_TRUE(testing::Eventually([&] { return publisher->mqttCounters().sent == 5; }))
      << Notices();
  ASSERT_TRUE(live.WaitFor([](const auto& got) { return got.size() >= 8; })) << Notices();

  const auto temps = live.On(Topic(kThermometer, "temperature"));
  ASSERT_EQ(temps.size(), 2u);
  const json first = json::parse(temps[0].payload);
  EXPECT_EQ(first, json::parse(R"({"value":23.5,"unit":"°C","time":"2026-12-08T10:00:01.000Z",
      "rom":")" + FamilyFirstRom(kThermometer) +
                               R"(","rom_text":")" + onewire::RomText(kThermometer) +
                               R"(","kind":"DS18B20"})"));
  EXPECT_EQ(json::parse(temps[1].payload).at("value"), -10.125);
  const auto hum = live.On(Topic(kHumidity, "humidity"));
  ASSERT_EQ(hum.size(), 1u);
  EXPECT_EQ(json::parse(hum[0].payload).at("unit"), "%");
  EXPECT_EQ(json::parse(hum[0].payload).at("kind"), "DS2438");
  const auto failed = live.On(Topic(kHumidity, "state"));
  ASSERT_EQ(failed.size(), 1u);
  EXPECT_EQ(json::parse(failed[0].payload),
            json::parse(R"({"state":"failed","time":"2026-12-08T10:00:02.000Z",
                            "reason":"fault_code","detail":"код 999"})"));
  // A sensor's discovery comes before its first value.
  const auto all = live.messages();
  const auto at = [&](const std::string& topic) {
    return std::find_if(all.begin(), all.end(),
                        [&](const Received& r) { return r.topic == topic; }) -
           all.begin();
  };
  const std::string config =
      "homeassistant/sensor/orvel_st1_" + FamilyFirstRom(kThermometer) + "_temperature/config";
  EXPECT_LT(at(config), at(Topic(kThermometer, "temperature")));
  EXPECT_EQ(json::parse(live.On(config).at(0).payload).at("device_class"), "temperature");
  EXPECT_EQ(live.On("orvel/st1/availability").at(0).payload, "online");

  // One who subscribes later gets the retained ones: availability, the
  // states and the discovery, but no old values.
  TestSubscriber late(broker.port(), {"orvel/#", "homeassistant/#"});
  ASSERT_TRUE(late.Ready());
  ASSERT_TRUE(late.WaitFor([](const auto& got) { return got.size() >= 5; }));
  std::set<std::string> retained;
  for (const Received& r : late.messages()) {
    EXPECT_TRUE(r.retain) << r.topic;
    retained.insert(r.topic);
  }
  EXPECT_EQ(retained, (std::set<std::string>{"orvel/st1/availability", Topic(kThermometer, "state"),
                                             Topic(kHumidity, "state"), config,
                                             "homeassistant/sensor/orvel_st1_" +
                                                 FamilyFirstRom(kHumidity) + "_humidity/config"}));
  EXPECT_EQ(json::parse(late.On(Topic(kThermometer, "state")).at(0).payload).at("state"), "fresh");

  const MqttCounters c = publisher->mqttCounters();
  EXPECT_EQ(c.queued, 5u);
  EXPECT_EQ(c.dropped, 0u);
  // Closing says so before it leaves.
  publisher.reset();
  EXPECT_TRUE(live.WaitFor([](const auto& got) {
    return got.back().topic == "orvel/st1/availability" && got.back().payload == "offline";
  }));
}

// The broker goes away while polls go on: what is read meanwhile waits
// in the queue and arrives in order once the broker is back.
TEST_F(PublisherBroker, ReadingsWaitForABrokerThatIsBack) {
  TestBroker broker;
  ASSERT_TRUE(broker.Start()) << broker.log();
  // A subscriber whose session the broker keeps while it is away, so that
  // it misses nothing the publisher sends when it reconnects.
  ASSERT_TRUE(testing::KeepSession(broker.port(), "orvel-test-keeper"));
  MqttPublisher publisher(Settings(broker));
  publisher.OnReading(Temperature(0.0, 0));
  ASSERT_TRUE(testing::Eventually([&] { return publisher.mqttCounters().sent == 1; }));

  broker.Stop();
  ASSERT_TRUE(testing::Eventually([&] { return !publisher.connected(); }));
  constexpr int kWhileAway = 40;
  for (int i = 1; i <= kWhileAway; ++i) publisher.OnReading(Temperature(i * 0.0625, i));
  EXPECT_EQ(publisher.waiting(), static_cast<std::size_t>(kWhileAway));
  EXPECT_EQ(publisher.mqttCounters().sent, 1u);

  ASSERT_TRUE(broker.Start()) << broker.log();
  ASSERT_TRUE(testing::Eventually([&] { return publisher.waiting() == 0; })) << Notices();
  TestSubscriber keeper(broker.port(), {"orvel/#"}, std::nullopt, "orvel-test-keeper");
  ASSERT_TRUE(keeper.WaitFor([](const auto& got) { return FirstCopies(got).size() >= kWhileAway; }))
      << keeper.messages().size();
  std::vector<double> expected{0.0};  // the keeper was away for that one too
  for (int i = 1; i <= kWhileAway; ++i) expected.push_back(i * 0.0625);
  EXPECT_EQ(FirstCopies(keeper.messages()), expected);
  const MqttCounters c = publisher.mqttCounters();
  EXPECT_EQ(c.queued, kWhileAway + 1u);
  EXPECT_EQ(c.sent, kWhileAway + 1u);
  EXPECT_EQ(c.dropped, 0u);
  EXPECT_NE(Notices().find("was lost"), std::string::npos) << Notices();
}

// A queue that fills while the broker is away keeps the newest readings.
TEST_F(PublisherBroker, AFullQueueDropsTheOldestAndCountsThem) {
  TestBroker broker;
  ASSERT_TRUE(broker.Start()) << broker.log();
  ASSERT_TRUE(testing::KeepSession(broker.port(), "orvel-test-keeper"));
  broker.Stop();

  PublisherSettings settings = Settings(broker);
  settings.queueSize = 5;
  MqttPublisher publisher(settings);
  for (int i = 0; i < 12; ++i) publisher.OnReading(Temperature(i, i));
  MqttCounters c = publisher.mqttCounters();
  EXPECT_EQ(c.queued, 12u);
  EXPECT_EQ(c.dropped, 7u);
  EXPECT_EQ(publisher.waiting(), 5u);

  ASSERT_TRUE(broker.Start()) << broker.log();
  ASSERT_TRUE(testing::Eventually([&] { return publisher.mqttCounters().sent == 5; })) << Notices();
  TestSubscriber keeper(broker.port(), {"orvel/#"}, std::nullopt, "orvel-test-keeper");
  ASSERT_TRUE(keeper.WaitFor([](const auto& got) { return FirstCopies(got).size() >= 5; }));
  EXPECT_EQ(FirstCopies(keeper.messages()), (std::vector<double>{7, 8, 9, 10, 11}));
  c = publisher.mqttCounters();
  EXPECT_EQ(c.dropped, 7u);
  EXPECT_EQ(c.sent, 5u);
  EXPECT_NE(Notices().find("cannot connect"), std::string::npos) << Notices();
}

TEST_F(PublisherBroker, TlsWithAThrowAwayCa) {
  testing::TempDir certs;
  std::string log;
  const auto made = testing::MakeCertificates(certs.path(), log);
  if (!made) GTEST_SKIP() << "openssl could not make the test certificates: " << log;
  TestBroker broker(*made);
  ASSERT_TRUE(broker.Start()) << broker.log();
  TestSubscriber live(broker.port(), {"orvel/#"}, made->caFile);
  ASSERT_TRUE(live.Ready()) << broker.log();

  PublisherSettings settings = Settings(broker);
  ASSERT_TRUE(settings.url.tls);
  settings.caFile = made->caFile;
  MqttPublisher publisher(settings);
  publisher.OnReading(Temperature(21.0625, 5));
  ASSERT_TRUE(live.WaitFor([](const auto& got) { return FirstCopies(got).size() == 1; }))
      << Notices() << broker.log();
  EXPECT_EQ(FirstCopies(live.messages()), std::vector<double>{21.0625});

  // The system's store does not know the throw-away CA: no link, and the
  // reading stays queued.
  MqttPublisher untrusting(Settings(broker));
  untrusting.OnReading(Temperature(1.0, 6));
  ASSERT_TRUE(testing::Eventually([&] {
    return Notices().find("cannot connect") != std::string::npos;
  })) << Notices();
  EXPECT_FALSE(untrusting.connected());
  EXPECT_EQ(untrusting.mqttCounters().sent, 0u);
  EXPECT_EQ(untrusting.waiting(), 1u);
}

TEST_F(PublisherBroker, UserAndPasswordFromTheCredentials) {
  TestBroker broker(std::nullopt, {{"station7", "pass word"}});
  ASSERT_TRUE(broker.Start()) << broker.log();
  const struct {
    std::optional<Credentials> credentials;
    bool admitted;
  } cases[] = {
      {Credentials{"station7", "pass word"}, true},
      {Credentials{"station7", "wrong"}, false},
      {std::nullopt, false},
  };
  for (const auto& c : cases) {
    ClearNotices();
    PublisherSettings settings = Settings(broker);
    settings.credentials = c.credentials;
    MqttPublisher publisher(settings);
    publisher.OnReading(Temperature(1.5, 1));
    if (c.admitted) {
      EXPECT_TRUE(testing::Eventually([&] { return publisher.mqttCounters().sent == 1; }))
          << Notices() << broker.log();
    } else {
      EXPECT_TRUE(testing::Eventually([&] {
        return Notices().find("not authori") != std::string::npos;
      })) << Notices();
      EXPECT_FALSE(publisher.connected());
      EXPECT_EQ(publisher.mqttCounters().sent, 0u);
    }
  }
}

// A run that ends before the broker was reached (a short run, a broker
// back just then) still delivers what it read.
TEST_F(PublisherBroker, ClosingConnectsToDeliverWhatWaits) {
  TestBroker broker;
  PublisherSettings settings = Settings(broker);
  settings.firstRetry = 30s;  // no second try of its own in this test
  settings.flushOnClose = 3s;
  auto publisher = std::make_unique<MqttPublisher>(settings);
  ASSERT_TRUE(
      testing::Eventually([&] { return Notices().find("cannot connect") != std::string::npos; }));
  publisher->OnReading(Temperature(3.25, 1));
  publisher->OnReading(Temperature(3.5, 2));

  ASSERT_TRUE(broker.Start()) << broker.log();
  TestSubscriber live(broker.port(), {"orvel/#"});
  ASSERT_TRUE(live.Ready());
  publisher.reset();
  EXPECT_EQ(FirstCopies(live.messages()), (std::vector<double>{3.25, 3.5})) << Notices();
  const auto availability = live.On("orvel/st1/availability");
  ASSERT_FALSE(availability.empty());
  EXPECT_EQ(availability.back().payload, "offline");
}

}  // namespace
}  // namespace orvel::publish
