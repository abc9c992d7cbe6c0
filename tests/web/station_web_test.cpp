#include "web/station_web.h"

#include <gtest/gtest.h>
#include <httplib.h>

#include <filesystem>
#include <regex>
#include <sstream>

#include "board/names_file.h"
#include "support/feed_devices.h"

namespace orvel::web {
namespace {

using testing_support::FeedDevice;

namespace fs = std::filesystem;

// The page of a station that has seen one scan with `devices`.
std::string PageAfterOneScan(const WebOptions& options,
                             const std::vector<measure::DeviceId>& devices) {
  StationWeb web(options, "test");
  measure::ReadingFanOut feed;
  std::ostringstream err;
  EXPECT_TRUE(web.Start(feed, err)) << err.str();
  feed.OnScan(devices, 46000.0);
  feed.OnPollDone(46000.0);
  std::smatch port;
  const std::string said = err.str();
  EXPECT_TRUE(std::regex_search(said, port, std::regex("127\\.0\\.0\\.1:(\\d+)/"))) << said;
  httplib::Client client("127.0.0.1", std::stoi(port[1]));
  auto res = client.Get("/");
  EXPECT_TRUE(res && res->status == 200);
  return res ? res->body : std::string();
}

TEST(StationWeb, RenamedSensorShowsOnThePageAfterARestart) {
  const fs::path dir = fs::temp_directory_path() / "orvel-station-web-names";
  fs::remove_all(dir);
  const fs::path file = dir / "names.conf";
  const auto a = FeedDevice(0x28, 0x12A3B4C);
  const auto b = FeedDevice(0x10, 0x801A2B3C4);
  WebOptions options;
  options.http = "127.0.0.1:0";
  options.names = file.string();

  // Nothing named yet: no file is created by serving.
  EXPECT_EQ(PageAfterOneScan(options, {a, b}).find("Котельная"), std::string::npos);
  EXPECT_FALSE(fs::exists(file));

  {
    board::NamesFile names(file);
    ASSERT_TRUE(names.Load());
    ASSERT_EQ(names.Rename(a.rom, "Котельная"), "");
  }
  const std::string page = PageAfterOneScan(options, {a, b});
  EXPECT_NE(page.find("data-rom=\"" + a.romText + "\"><td class=\"name\">Котельная</td>"),
            std::string::npos)
      << page;
  EXPECT_NE(page.find("data-rom=\"" + b.romText + "\"><td class=\"name\"></td>"),
            std::string::npos);
  fs::remove_all(dir);
}

TEST(StationWeb, NothingStartsWithoutTheOptions) {
  StationWeb web({}, "test");
  measure::ReadingFanOut feed;
  std::ostringstream err;
  EXPECT_TRUE(web.Start(feed, err));
  EXPECT_TRUE(feed.empty());
  EXPECT_EQ(err.str(), "");
}

TEST(StationWeb, AnAddressInUseIsRefused) {
  httplib::Server holder;
  const int port = holder.bind_to_any_port("127.0.0.1");
  ASSERT_GT(port, 0);
  WebOptions options;
  options.metrics = std::to_string(port);
  StationWeb web(options, "test");
  measure::ReadingFanOut feed;
  std::ostringstream err;
  EXPECT_FALSE(web.Start(feed, err));
  EXPECT_NE(err.str().find("cannot listen on 127.0.0.1:" + std::to_string(port)),
            std::string::npos);
}

}  // namespace
}  // namespace orvel::web
