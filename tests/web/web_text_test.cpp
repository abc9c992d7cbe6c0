#include <gtest/gtest.h>

#include <regex>

#include "board/recent_history.h"
#include "board/rom_spellings.h"
#include "board/sensor_board.h"
#include "support/feed_devices.h"
#include "web/board_page.h"
#include "web/listen_address.h"
#include "web/metrics_text.h"
#include "web/station_web.h"

namespace orvel::web {
namespace {

using testing_support::FeedDevice;

using measure::DeviceId;
using measure::Quantity;
using measure::ReadState;

TEST(ListenAddress, Forms) {
  struct Case {
    const char* text;
    std::optional<ListenAddress> want;
  };
  const Case cases[] = {
      {"9100", ListenAddress{"127.0.0.1", 9100}},
      {"0.0.0.0:80", ListenAddress{"0.0.0.0", 80}},
      {"localhost:0", ListenAddress{"localhost", 0}},
      {"[::1]:9100", ListenAddress{"::1", 9100}},
      {"::1:9100", std::nullopt},
      {":9100", std::nullopt},
      {"host:", std::nullopt},
      {"65536", std::nullopt},
      {"-1", std::nullopt},
      {"91a0", std::nullopt},
      {"", std::nullopt},
  };
  for (const Case& c : cases) EXPECT_EQ(ParseListenAddress(c.text), c.want) << c.text;
}

// A thermometer read fresh and a humidity module whose last read failed.
struct TwoDevices {
  DeviceId t = FeedDevice(0x28, 0x12A3B4C);
  DeviceId h = FeedDevice(0x26, 0xA1B2C3);
  board::SensorBoard board;
  board::RecentHistory history;

  TwoDevices() {
    const core::DateTime day = 46000.0;
    for (int i = 0; i < 3; ++i) {
      const core::DateTime at = day + i / 2880.0;
      board.OnScan({t, h}, at);
      for (auto r : {measure::Reading{t, Quantity::Temperature, 21.5 + i, at},
                     measure::Reading{h, Quantity::Humidity, 45.0, at}}) {
        if (i == 2 && r.device.rom == h.rom) continue;
        board.OnReading(r);
        history.OnReading(r);
      }
      board.OnState({t, ReadState::Fresh, "", at});
      board.OnState({h, i == 2 ? ReadState::FaultCode : ReadState::Fresh, i == 2 ? "996" : "", at});
      board.OnPollDone(at);
    }
    board.SetName(t.rom, "Склад \"Б\" <север>");
  }
};

TEST(MetricsText, CurrentValuesOnlyWithFamilyFirstRoms) {
  TwoDevices d;
  board::CounterValues c;
  c.polls = 3;
  c.failed[static_cast<std::size_t>(ReadState::FaultCode)] = 1;
  const std::string text = MetricsText("st\"1", d.board.Snapshot(), c, {5, 4, 1});
  const std::string tLabels =
      "station=\"st\\\"1\",rom=\"" + board::FamilyFirstText(d.t.rom) + "\",family=\"28\"";
  EXPECT_NE(text.find("orvel_sensor_value{" + tLabels + ",quantity=\"temperature\"} 23.5\n"),
            std::string::npos)
      << text;
  // The module's humidity is from an earlier poll: no gauge, but its time.
  EXPECT_EQ(
      text.find("orvel_sensor_value{station=\"st\\\"1\",rom=\"" + board::FamilyFirstText(d.h.rom)),
      std::string::npos);
  EXPECT_NE(text.find("orvel_sensor_last_fresh_timestamp_seconds{station=\"st\\\"1\",rom=\"" +
                      board::FamilyFirstText(d.h.rom) + "\",family=\"26\",quantity=\"humidity\"}"),
            std::string::npos);
  EXPECT_NE(text.find("orvel_sensor_fresh{station=\"st\\\"1\",rom=\"" +
                      board::FamilyFirstText(d.h.rom) + "\",family=\"26\",state=\"fault_code\"} 0"),
            std::string::npos);
  EXPECT_NE(text.find("orvel_polls_total{station=\"st\\\"1\"} 3\n"), std::string::npos);
  EXPECT_NE(text.find("orvel_failed_readings_total{station=\"st\\\"1\",cause=\"fault_code\"} 1\n"),
            std::string::npos);
  EXPECT_NE(text.find("orvel_mqtt_messages_dropped_total{station=\"st\\\"1\"} 1\n"),
            std::string::npos);
}

TEST(BoardPage, TableAndPlotsFromTheBoard) {
  TwoDevices d;
  const std::string html = BoardPage("st", d.board.Snapshot(), d.history, 7);
  EXPECT_NE(html.find("<meta http-equiv=\"refresh\" content=\"7\">"), std::string::npos);
  EXPECT_EQ(html.find("<script"), std::string::npos);
  EXPECT_NE(html.find("Склад &quot;Б&quot; &lt;север&gt;"), std::string::npos);
  EXPECT_EQ(html.find("<север>"), std::string::npos);
  EXPECT_NE(html.find("23,50 °C"), std::string::npos);
  EXPECT_NE(html.find("<div class=\"value stale\" title=\"влажность, устаревшее\">45,00 %</div>"),
            std::string::npos);
  EXPECT_NE(html.find(board::StateWords(ReadState::FaultCode)), std::string::npos);
  // One plot per device and quantity, each with a point per reading.
  const std::regex polyline("points=\"([^\"]*)\"");
  std::vector<int> counts;
  for (auto it = std::sregex_iterator(html.begin(), html.end(), polyline);
       it != std::sregex_iterator(); ++it) {
    const std::string pts = (*it)[1];
    counts.push_back(static_cast<int>(std::count(pts.begin(), pts.end(), ',')));
  }
  EXPECT_EQ(counts, (std::vector<int>{3, 2}));
}

}  // namespace
}  // namespace orvel::web
