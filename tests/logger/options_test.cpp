#include "logger/options.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "support/print_args.h"

namespace orvel::logger {
namespace {

TEST(LoggerOptions, EveryOptionInBothForms) {
  const auto parsed = ParseOptions({"--bus", "b.json", "--journal=/tmp/j", "--interval", "10",
                                    "--cycles=5", "--virtual-time", "--scan"});
  ASSERT_TRUE(parsed.options) << parsed.error;
  const Options& o = *parsed.options;
  EXPECT_EQ(o.bus, "b.json");
  EXPECT_EQ(o.adapter, std::nullopt);
  EXPECT_EQ(o.journal, "/tmp/j");
  EXPECT_EQ(o.interval, 10);
  EXPECT_EQ(o.cycles, 5);
  EXPECT_TRUE(o.virtual_time);
  EXPECT_TRUE(o.scan);
  EXPECT_FALSE(o.help);

  const auto plain = ParseOptions({});
  ASSERT_TRUE(plain.options);
  EXPECT_EQ(plain.options->interval, std::nullopt);
  EXPECT_FALSE(plain.options->scan);
  EXPECT_TRUE(ParseOptions({"--adapter", "ds2490:2"}).options);

  const auto web = ParseOptions({"--http", "0.0.0.0:8080", "--metrics=9100", "--names", "n.conf"});
  ASSERT_TRUE(web.options) << web.error;
  EXPECT_EQ(web.options->web.http, "0.0.0.0:8080");
  EXPECT_EQ(web.options->web.metrics, "9100");
  EXPECT_EQ(web.options->web.names, "n.conf");
}

TEST(LoggerOptions, FastModeAndItsSearchInterval) {
  const auto fast = ParseOptions({"--bus", "b.json", "--fast", "--rescan-every=4"});
  ASSERT_TRUE(fast.options) << fast.error;
  EXPECT_TRUE(fast.options->fast);
  EXPECT_EQ(fast.options->rescan_every, 4);
  const auto plain = ParseOptions({"--bus", "b.json"});
  ASSERT_TRUE(plain.options);
  EXPECT_FALSE(plain.options->fast);
  EXPECT_EQ(plain.options->rescan_every, std::nullopt);
  for (const auto& [args, error] : std::vector<std::pair<std::vector<std::string>, std::string>>{
           {{"--rescan-every", "3"}, "--rescan-every needs --fast"},
           {{"--fast", "--rescan-every", "0"},
            "--rescan-every expects a whole number of polls above 0, not \"0\""},
           {{"--fast", "--rescan-every"}, "--rescan-every needs a value"},
           {{"--fast=1"}, "--fast takes no value"}}) {
    const auto parsed = ParseOptions(args);
    EXPECT_FALSE(parsed.options);
    EXPECT_EQ(parsed.error, error);
  }
  EXPECT_FALSE(plain.options->mqtt.any());
}

TEST(LoggerOptions, MqttOptionsInBothForms) {
  const auto parsed =
      ParseOptions({"--mqtt", "mqtts://broker:8884", "--station=lab 2", "--mqtt-ca", "/etc/ca.pem",
                    "--mqtt-credentials=/etc/orvel/mqtt", "--mqtt-queue", "500"});
  ASSERT_TRUE(parsed.options) << parsed.error;
  const publish::MqttOptions& m = parsed.options->mqtt;
  EXPECT_EQ(m.url, "mqtts://broker:8884");
  EXPECT_EQ(m.station, "lab 2");
  EXPECT_EQ(m.caFile, "/etc/ca.pem");
  EXPECT_EQ(m.credentials, "/etc/orvel/mqtt");
  EXPECT_EQ(m.queue, 500u);
}

struct BadArgs {
  std::vector<std::string> args;
  const char* error;
};
void PrintTo(const BadArgs& c, std::ostream* os) { testing_support::PrintArgs(c.args, os); }

class LoggerBadOptions : public testing::TestWithParam<BadArgs> {};

TEST_P(LoggerBadOptions, GiveOneClearLine) {
  const auto parsed = ParseOptions(GetParam().args);
  EXPECT_FALSE(parsed.options);
  EXPECT_EQ(parsed.error, GetParam().error);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LoggerBadOptions,
    testing::Values(
        BadArgs{{"--bogus"}, "unknown option --bogus"}, BadArgs{{"-x"}, "unknown option -x"},
        BadArgs{{"scan"}, "unexpected argument \"scan\""},
        BadArgs{{"--bus"}, "--bus needs a value"},
        BadArgs{{"--bus", "--scan"}, "--bus needs a value"},
        BadArgs{{"--bus="}, "--bus needs a value"},
        // An empty argument, as an unset shell variable gives, is no value either.
        BadArgs{{"--bus", ""}, "--bus needs a value"},
        BadArgs{{"--journal", "", "--scan"}, "--journal needs a value"},
        BadArgs{{"--bus", "a", "--bus", "b"}, "--bus is given twice"},
        BadArgs{{"--scan=yes"}, "--scan takes no value"},
        BadArgs{{"--metrics", "host:port"}, "--metrics expects [ADDR:]PORT, not \"host:port\""},
        BadArgs{{"--http", "70000"}, "--http expects [ADDR:]PORT, not \"70000\""},
        BadArgs{{"--http", "1", "--http", "2"}, "--http is given twice"},
        BadArgs{{"--interval", "abc"},
                "--interval expects a whole number of seconds above 0, not \"abc\""},
        BadArgs{{"--interval", "0"},
                "--interval expects a whole number of seconds above 0, not \"0\""},
        BadArgs{{"--interval", "-5"},
                "--interval expects a whole number of seconds above 0, not \"-5\""},
        BadArgs{{"--interval", "99999999999"},
                "--interval expects a whole number of seconds above 0, not \"99999999999\""},
        BadArgs{{"--cycles", "1.5"}, "--cycles expects a whole number above 0, not \"1.5\""},
        BadArgs{{"--bus", "a", "--adapter", "ds2490"},
                "--bus and --adapter cannot be used together"},
        BadArgs{{"--virtual-time"}, "--virtual-time needs --bus"},
        BadArgs{{"--mqtt"}, "--mqtt needs a value"},
        BadArgs{{"--mqtt", "mqtt://a", "--mqtt=mqtt://b"}, "--mqtt is given twice"},
        BadArgs{{"--mqtt", "mqtt://a", "--mqtt-queue", "0"},
                "--mqtt-queue expects a whole number from 1 to 10000000, not \"0\""},
        BadArgs{{"--station", "lab"}, "--station needs --mqtt"},
        BadArgs{{"--mqtt-ca", "ca.pem"}, "--mqtt-ca needs --mqtt"},
        BadArgs{{"--mqtt-credentials", "c"}, "--mqtt-credentials needs --mqtt"},
        BadArgs{{"--mqtt-queue", "10"}, "--mqtt-queue needs --mqtt"}));

}  // namespace
}  // namespace orvel::logger
