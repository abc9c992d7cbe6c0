#pragma once

#include <filesystem>
#include <iosfwd>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "board/names_file.h"
#include "board/recent_history.h"
#include "board/sensor_board.h"
#include "board/station_counters.h"
#include "measure/reading_feed.h"
#include "web/listen_address.h"
#include "web/web_options.h"

namespace orvel::web {

class WebServer;

// The system's host name, the station's name unless one is given.
std::string HostName();

// The board, the history and the counters a station's page and metrics are
// made from, fed by the station, and the server that shows them. Nothing is
// created or read unless --metrics or --http is given.
class StationWeb {
 public:
  StationWeb(WebOptions options, std::string station, const board::MqttCountSource* mqtt = nullptr);
  ~StationWeb();

  // Reads the names, adds the listeners to `feed` and starts the server.
  // Warnings about the names file go to `err`; false (with a line on `err`)
  // when a listener cannot be started or the web is not built in.
  bool Start(measure::ReadingFanOut& feed, std::ostream& err);

  board::SensorBoard& board() { return board_; }

 private:
  WebOptions options_;
  std::string station_;
  const board::MqttCountSource* mqtt_;
  board::SensorBoard board_;
  board::RecentHistory history_;
  board::StationCounters counters_;
  std::unique_ptr<WebServer> server_;
};

}  // namespace orvel::web
