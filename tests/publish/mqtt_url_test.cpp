#include "publish/mqtt_url.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "publish/mqtt_setup.h"

namespace orvel::publish {
namespace {

TEST(MqttUrl, AddressesAndTheirFaults) {
  struct Case {
    const char* text;
    bool ok;
    const char* host;
    int port;
    bool tls;
  };
  const Case cases[] = {
      {"mqtt://broker", true, "broker", 1883, false},
      {"mqtt://broker:1884", true, "broker", 1884, false},
      {"mqtt://broker:1884/", true, "broker", 1884, false},
      {"mqtts://broker.example.org", true, "broker.example.org", 8883, true},
      {"mqtts://10.0.0.5:9000", true, "10.0.0.5", 9000, true},
      {"mqtt://[::1]:1885", true, "::1", 1885, false},
      {"mqtts://[fe80::1]", true, "fe80::1", 8883, true},
      {"mqtt://broker:65535", true, "broker", 65535, false},
      {"mqtt://broker:1", true, "broker", 1, false},
      {"http://broker", false, "", 0, false},
      {"broker:1883", false, "", 0, false},
      {"MQTT://broker", false, "", 0, false},
      {"mqtt://", false, "", 0, false},
      {"mqtt://:1883", false, "", 0, false},
      {"mqtt://broker:", false, "", 0, false},
      {"mqtt://broker:0", false, "", 0, false},
      {"mqtt://broker:65536", false, "", 0, false},
      {"mqtt://broker:+80", false, "", 0, false},
      {"mqtt://broker:18x3", false, "", 0, false},
      {"mqtt://user:pw@broker", false, "", 0, false},
      {"mqtt://broker/topic", false, "", 0, false},
      {"mqtt://[::1", false, "", 0, false},
      {"mqtt://[::1]x", false, "", 0, false},
  };
  for (const Case& c : cases) {
    std::string error;
    const auto url = ParseMqttUrl(c.text, error);
    ASSERT_EQ(url.has_value(), c.ok) << c.text << ": " << error;
    if (!c.ok) {
      EXPECT_FALSE(error.empty()) << c.text;
      continue;
    }
    EXPECT_EQ(url->host, c.host) << c.text;
    EXPECT_EQ(url->port, c.port) << c.text;
    EXPECT_EQ(url->tls, c.tls) << c.text;
  }
}

TEST(MqttUrl, StationNamesFitForATopicLevel) {
  for (const char* good : {"site-1", "Лаборатория", "host.example.org", "a b"}) {
    EXPECT_TRUE(ValidStationName(good)) << good;
  }
  for (const char* bad : {"", "a/b", "a+", "#", "tab\there"}) {
    EXPECT_FALSE(ValidStationName(bad)) << bad;
  }
}

class CredentialsFile : public ::testing::Test {
 protected:
  std::filesystem::path Write(const std::string& text) {
    const auto path = std::filesystem::temp_directory_path() /
                      ("orvel-cred-" + std::to_string(::getpid()) + "-" + std::to_string(n_++));
    std::ofstream(path, std::ios::binary) << text;
    paths_.push_back(path);
    return path;
  }
  void TearDown() override {
    for (const auto& p : paths_) std::filesystem::remove(p);
  }

 private:
  int n_ = 0;
  std::vector<std::filesystem::path> paths_;
};

TEST_F(CredentialsFile, UserThenPassword) {
  struct Case {
    const char* text;
    bool ok;
    const char* user;
    const char* password;
  };
  const Case cases[] = {
      {"station7\nse cret\n", true, "station7", "se cret"},
      {"station7\r\npw\r\n", true, "station7", "pw"},
      {"station7\npw", true, "station7", "pw"},
      {"station7\n", true, "station7", ""},
      {"station7", true, "station7", ""},
      {"", false, "", ""},
      {"\npw\n", false, "", ""},
  };
  for (const Case& c : cases) {
    std::string error;
    const auto cred = ReadCredentials(Write(c.text).string(), error);
    ASSERT_EQ(cred.has_value(), c.ok) << c.text;
    if (!c.ok) {
      EXPECT_NE(error.find("first line"), std::string::npos) << error;
      continue;
    }
    EXPECT_EQ(cred->user, c.user);
    EXPECT_EQ(cred->password, c.password);
  }
  std::string error;
  EXPECT_FALSE(ReadCredentials("/nonexistent/orvel-credentials", error));
  EXPECT_NE(error.find("cannot read"), std::string::npos) << error;
}

TEST_F(CredentialsFile, SettingsFromTheCommandLine) {
  const std::string cred = Write("u\np\n").string();
  struct Case {
    MqttOptions options;
    const char* error;  // a part of the message; empty when accepted
  };
  const Case cases[] = {
      {{"mqtt://b", "st", {}, {}, {}}, ""},
      {{"mqtt://b", "st", {}, cred, 5}, ""},
      {{{}, "st", {}, {}, {}}, "need --mqtt"},
      {{{}, {}, {}, {}, 5}, "need --mqtt"},
      {{"tcp://b", {}, {}, {}, {}}, "mqtt://"},
      {{"mqtt://b", "a/b", {}, {}, {}}, "station name"},
      {{"mqtt://b", {}, cred, {}, {}}, "needs an mqtts://"},
      {{"mqtts://b", {}, "/nonexistent/ca.pem", {}, {}}, "CA file"},
      {{"mqtt://b", {}, {}, "/nonexistent/cred", {}}, "credentials file"},
  };
  for (const Case& c : cases) {
    std::string error;
    const auto s = SettingsFromOptions(c.options, error);
    if (std::string(c.error).empty()) {
      ASSERT_TRUE(s) << error;
      EXPECT_EQ(s->station, c.options.station.value_or(HostName()));
      EXPECT_EQ(s->queueSize, c.options.queue.value_or(kDefaultMqttQueue));
      EXPECT_EQ(s->credentials.has_value(), c.options.credentials.has_value());
    } else {
      EXPECT_FALSE(s);
      EXPECT_NE(error.find(c.error), std::string::npos) << error;
    }
  }
  std::string error;
  const auto s = SettingsFromOptions({"mqtt://b", {}, {}, cred, {}}, error);
  ASSERT_TRUE(s);
  EXPECT_EQ(s->station, HostName());
  EXPECT_EQ(s->credentials->user, "u");
  EXPECT_EQ(s->credentials->password, "p");
}

}  // namespace
}  // namespace orvel::publish

namespace orvel::publish {
namespace {

}  // namespace
}  // namespace orvel::publish
