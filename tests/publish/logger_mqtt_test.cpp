#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <sstream>

#include "core/real_clock.h"
#include "core/virtual_clock.h"
#include "drivers/driver_choice.h"
#include "logger/run_command.h"
#include "onewire/rom_code.h"
#include "publish/mqtt_messages.h"
#include "test_broker.h"

extern char** environ;

namespace orvel::publish {
namespace {

using nlohmann::json;
using testing::Received;
using testing::TestBroker;
using testing::TestSubscriber;

const std::string kDemoBus = std::string(ORVEL_EXAMPLES_DIR) + "/demo.json";

using LoggerMqtt = testing::BrokerTest;

// The journal's values per topic, in the order of their lines.
std::map<std::string, std::vector<double>> JournalValues(const std::filesystem::path& dir,
                                                         const std::string& station) {
  const std::pair<std::string, measure::Quantity> prefixes[] = {
      {"tp_", measure::Quantity::PressureSensorTemperature},
      {"t_", measure::Quantity::Temperature},
      {"h_", measure::Quantity::Humidity},
      {"p_", measure::Quantity::Pressure}};
  std::map<std::string, std::vector<double>> values;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    const std::string name = entry.path().filename().string();
    for (const auto& [prefix, quantity] : prefixes) {
      if (name.rfind(prefix, 0) != 0) continue;
      const auto rom = onewire::ParseRomText(name.substr(prefix.size(), 16));
      if (!rom) break;
      const std::string topic =
          "orvel/" + station + "/" + FamilyFirstRom(*rom) + "/" + measure::QuantityName(quantity);
      std::ifstream in(entry.path());
      std::string line;
      while (std::getline(in, line)) {
        std::string value = line.substr(line.find(" ; ") + 3);
        for (char& c : value) c = c == ',' ? '.' : c;
        values[topic].push_back(std::strtod(value.c_str(), nullptr));
      }
      break;
    }
  }
  return values;
}

// The values that arrived per reading topic, first copies only.
std::map<std::string, std::vector<double>> Arrived(const std::vector<Received>& got) {
  std::map<std::string, std::vector<double>> values;
  std::map<std::string, std::vector<std::string>> seen;
  for (const Received& r : got) {
    const auto slash = r.topic.rfind('/');
    const std::string last = r.topic.substr(slash + 1);
    if (last == "state" || last == "availability") continue;
    auto& s = seen[r.topic];
    if (std::find(s.begin(), s.end(), r.payload) != s.end()) continue;
    s.push_back(r.payload);
    values[r.topic].push_back(json::parse(r.payload).at("value").get<double>());
  }
  return values;
}

// The logger polls in virtual time; the broker stops after the fourth
// poll and is back after the fifteenth. Every value of the journal reaches
// the broker, in the journal's order.
TEST_F(LoggerMqtt, ABrokerRestartedWhileTheLoggerPollsInVirtualTime) {
  TestBroker broker;
  ASSERT_TRUE(broker.Start()) << broker.log();
  const std::string keeperId = "orvel-test-keeper";
  ASSERT_TRUE(testing::KeepSession(broker.port(), keeperId));
  testing::TempDir journal;

  logger::Options options;
  options.bus = kDemoBus;
  options.virtual_time = true;
  options.journal = journal.path().string();
  options.cycles = 24;
  options.mqtt.url = broker.url();
  options.mqtt.station = "e2e";
  core::RealClock real;
  core::VirtualClock clock(real.Now());
  auto driver = drivers::OpenDriver({options.bus, std::nullopt}, clock);

  std::unique_ptr<TestSubscriber> keeper;
  int polls = 0;
  bool allArrived = false;
  const auto write = [&](const char*, std::size_t size) -> std::int64_t {
    ++polls;
    if (polls == 4) broker.Stop();
    if (polls == 15) {
      EXPECT_TRUE(broker.Start()) << broker.log();
      keeper = std::make_unique<TestSubscriber>(broker.port(), std::vector<std::string>{"orvel/#"},
                                                std::nullopt, keeperId);
    }
    if (polls == 24) {
      // Before the logger closes: everything in the journal is out.
      const auto lines = JournalValues(journal.path(), "e2e");
      allArrived = keeper->WaitFor([&](const auto& got) {
        const auto arrived = Arrived(got);
        for (const auto& [topic, values] : lines) {
          const auto it = arrived.find(topic);
          if (it == arrived.end() || it->second.size() < values.size()) return false;
        }
        for (const auto& [topic, values] : arrived) {
          if (lines.count(topic) == 0 && values.size() < 24) return false;
        }
        return true;
      });
    }
    return static_cast<std::int64_t>(size);
  };
  std::ostringstream err;
  EXPECT_EQ(logger::RunPolls(*driver, clock, &clock, options, write, err), 0) << err.str();
  ASSERT_EQ(polls, 24);
  EXPECT_TRUE(allArrived);

  const auto written = JournalValues(journal.path(), "e2e");
  const auto arrived = Arrived(keeper->messages());
  ASSERT_GE(written.size(), 4u);
  for (const auto& [topic, values] : written) {
    SCOPED_TRACE(topic);
    ASSERT_EQ(values.size(), 24u);
    const auto it = arrived.find(topic);
    ASSERT_NE(it, arrived.end());
    ASSERT_EQ(it->second.size(), values.size());
    // The journal keeps two decimals.
    for (std::size_t i = 0; i < values.size(); ++i) EXPECT_NEAR(it->second[i], values[i], 0.006);
  }
  // The pressure sensor's temperature goes to the journal only while the
  // window shows it; the broker has it from every poll.
  for (const auto& [topic, values] : arrived) {
    if (written.count(topic) == 1) continue;
    EXPECT_NE(topic.find("/pressure_sensor_temperature"), std::string::npos) << topic;
    EXPECT_EQ(values.size(), 24u) << topic;
  }
}

// A logger killed outright leaves its last will: the station goes offline.
TEST_F(LoggerMqtt, AKilledLoggerGoesOffline) {
  TestBroker broker;
  ASSERT_TRUE(broker.Start()) << broker.log();
  TestSubscriber live(broker.port(), {"orvel/will/availability"});
  ASSERT_TRUE(live.Ready());

  const std::string url = broker.url();
  const char* argv[] = {ORVEL_LOGGER_PATH, "--bus",     kDemoBus.c_str(), "--mqtt",
                        url.c_str(),       "--station", "will",           nullptr};
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  pid_t pid = -1;
  ASSERT_EQ(
      ::posix_spawn(&pid, ORVEL_LOGGER_PATH, &actions, nullptr, const_cast<char**>(argv), environ),
      0);
  posix_spawn_file_actions_destroy(&actions);
  const bool online =
      live.WaitFor([](const auto& got) { return !got.empty() && got.back().payload == "online"; });
  ::kill(pid, SIGKILL);
  int status = 0;
  ::waitpid(pid, &status, 0);
  ASSERT_TRUE(online);
  ASSERT_TRUE(WIFSIGNALED(status));
  EXPECT_TRUE(live.WaitFor([](const auto& got) { return got.back().payload == "offline"; }))
      << broker.log();
}

}  // namespace
}  // namespace orvel::publish
