#include "cli/viewer_options.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "support/print_args.h"

namespace orvel::cli {
namespace {

struct OptionsCase {
  const char* name;
  std::vector<std::string> args;
  std::optional<std::string> journal;
  bool no_journal;
  std::optional<int> interval;
  std::optional<std::string> bus;
  std::optional<std::string> adapter;
};
void PrintTo(const OptionsCase& c, std::ostream* os) { *os << c.name; }

class ViewerOptionsGood : public testing::TestWithParam<OptionsCase> {};

TEST_P(ViewerOptionsGood, Parses) {
  const OptionsCase& c = GetParam();
  const auto parsed = ParseViewerOptions(c.args);
  ASSERT_TRUE(parsed.options) << parsed.error;
  const ViewerOptions& o = *parsed.options;
  EXPECT_EQ(o.journal, c.journal);
  EXPECT_EQ(o.no_journal, c.no_journal);
  EXPECT_EQ(o.interval, c.interval);
  EXPECT_EQ(o.bus, c.bus);
  EXPECT_EQ(o.adapter, c.adapter);
}

INSTANTIATE_TEST_SUITE_P(
    Args, ViewerOptionsGood,
    testing::Values(
        OptionsCase{"Nothing", {}, std::nullopt, false, std::nullopt, std::nullopt, std::nullopt},
        OptionsCase{"BusNoJournal",
                    {"--bus", "b.json", "--no-journal"},
                    std::nullopt,
                    true,
                    std::nullopt,
                    "b.json",
                    std::nullopt},
        OptionsCase{"JournalInterval",
                    {"--journal", "/tmp/j", "--interval", "60", "--adapter", "ds2490:2"},
                    "/tmp/j",
                    false,
                    60,
                    std::nullopt,
                    "ds2490:2"},
        OptionsCase{"IntervalAlone",
                    {"--interval", "4"},
                    std::nullopt,
                    false,
                    4,
                    std::nullopt,
                    std::nullopt},
        OptionsCase{"ValuesAfterEquals",
                    {"--bus=b.json", "--interval=7"},
                    std::nullopt,
                    false,
                    7,
                    "b.json",
                    std::nullopt}),
    [](const auto& info) { return std::string(info.param.name); });

struct BadCase {
  std::vector<std::string> args;
  const char* error;
};
void PrintTo(const BadCase& c, std::ostream* os) { testing_support::PrintArgs(c.args, os); }

class ViewerOptionsBad : public testing::TestWithParam<BadCase> {};

TEST_P(ViewerOptionsBad, RefusedWithOneLine) {
  const auto parsed = ParseViewerOptions(GetParam().args);
  EXPECT_FALSE(parsed.options);
  EXPECT_EQ(parsed.error, GetParam().error);
}

INSTANTIATE_TEST_SUITE_P(
    Args, ViewerOptionsBad,
    testing::Values(
        BadCase{{"--bus"}, "--bus needs a value"},
        BadCase{{"--journal", ""}, "--journal needs a value"},
        BadCase{{"--interval", "0"}, "--interval needs a whole number of seconds above 0, not '0'"},
        BadCase{{"--interval", "-3"},
                "--interval needs a whole number of seconds above 0, not '-3'"},
        BadCase{{"--interval", "x"}, "--interval needs a whole number of seconds above 0, not 'x'"},
        BadCase{{"--bus", "a", "--adapter", "b"}, "--bus and --adapter exclude each other"},
        BadCase{{"--journal", "/j", "--no-journal"},
                "--journal and --no-journal exclude each other"},
        BadCase{{"--no-journal", "--interval", "5"},
                "--interval is the journal interval: no use with --no-journal"},
        BadCase{{"--frobnicate"}, "unknown argument '--frobnicate'"},
        BadCase{{"stray"}, "unknown argument 'stray'"},
        BadCase{{"--no-journal=yes"}, "--no-journal takes no value"}));

TEST(ViewerUsage, ListsEveryOptionButTheHiddenOne) {
  const std::string usage = ViewerUsage();
  for (const char* option : {"--bus FILE", "--adapter SPEC", "--journal DIR", "--no-journal",
                             "--interval SECONDS", "--config FILE", "--version"}) {
    EXPECT_NE(usage.find(option), std::string::npos) << option;
  }
  EXPECT_EQ(usage.find("--screenshot-dir"), std::string::npos);
  EXPECT_TRUE(ParseViewerOptions({"--screenshot-dir", "/tmp/s"}).options);
}

// The web and MQTT options, which both programs share, in the viewer's words.
TEST(ViewerOptionsShared, WebAndMqttOptionsWithTheirValues) {
  const auto parsed = ParseViewerOptions(
      {"--bus", "x.json", "--http", "8080", "--metrics=[::1]:9100", "--names", "/tmp/n.conf",
       "--mqtt=mqtt://h", "--station", "lab 2", "--mqtt-ca", "/ca.pem", "--mqtt-queue", "7",
       "--mqtt-credentials=/c", "--fast", "--rescan-every", "4", "--no-journal"});
  ASSERT_TRUE(parsed.options) << parsed.error;
  const ViewerOptions& o = *parsed.options;
  EXPECT_EQ(o.web.http, "8080");
  EXPECT_EQ(o.web.metrics, "[::1]:9100");
  EXPECT_EQ(o.web.names, "/tmp/n.conf");
  EXPECT_EQ(o.mqtt.url, "mqtt://h");
  EXPECT_EQ(o.mqtt.station, "lab 2");
  EXPECT_EQ(o.mqtt.caFile, "/ca.pem");
  EXPECT_EQ(o.mqtt.credentials, "/c");
  EXPECT_EQ(o.mqtt.queue, 7u);
  EXPECT_TRUE(o.fast);
  EXPECT_EQ(o.rescan_every, 4);

  const std::pair<std::vector<std::string>, std::string> bad[] = {
      {{"--http"}, "--http needs a value"},
      {{"--http", "--bus", "b"}, "--http needs a value"},
      {{"--http", "1", "--http", "2"}, "--http is given twice"},
      {{"--metrics", "x:y"}, "--metrics expects [ADDR:]PORT, not \"x:y\""},
      {{"--mqtt"}, "--mqtt needs a value"},
      {{"--station", "lab"}, "--station needs --mqtt"},
      {{"--mqtt", "mqtt://a", "--mqtt", "mqtt://b"}, "--mqtt is given twice"},
      {{"--mqtt", "mqtt://a", "--mqtt-queue", "0"},
       "--mqtt-queue needs a whole number from 1 to 10000000, not '0'"},
      {{"--mqtt", "mqtt://a", "--mqtt-queue", "10000001"},
       "--mqtt-queue needs a whole number from 1 to 10000000, not '10000001'"},
      {{"--rescan-every", "3"}, "--rescan-every needs --fast"},
  };
  for (const auto& [args, error] : bad) {
    const auto refused = ParseViewerOptions(args);
    EXPECT_FALSE(refused.options) << args[0];
    EXPECT_EQ(refused.error, error);
  }
}

TEST(ViewerOptionsShared, AnswerTheStartUpQuestionsTheyGive) {
  const auto journal =
      StartupAnswersOf(*ParseViewerOptions({"--journal", "/j", "--interval", "9"}).options);
  EXPECT_EQ(journal.journal, true);
  EXPECT_EQ(journal.folder, "/j");
  EXPECT_EQ(journal.interval, 9);
  const auto none = StartupAnswersOf(*ParseViewerOptions({"--no-journal"}).options);
  EXPECT_EQ(none.journal, false);
  EXPECT_EQ(none.interval, std::nullopt);
  const auto asked = StartupAnswersOf(*ParseViewerOptions({}).options);
  EXPECT_EQ(asked.journal, std::nullopt);
  EXPECT_EQ(asked.interval, std::nullopt);
  EXPECT_FALSE(FastModeOf(*ParseViewerOptions({}).options).enabled);
  const auto fast = FastModeOf(*ParseViewerOptions({"--fast", "--rescan-every", "3"}).options);
  EXPECT_TRUE(fast.enabled);
  EXPECT_EQ(fast.rescanEvery, 3);
}

}  // namespace
}  // namespace orvel::cli
