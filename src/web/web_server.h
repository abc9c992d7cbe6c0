#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "board/recent_history.h"
#include "board/sensor_board.h"
#include "board/station_counters.h"
#include "web/listen_address.h"

namespace orvel::web {

// What the server shows; all of it must outlive the server.
struct WebSources {
  const board::SensorBoard& board;
  const board::RecentHistory& history;
  const board::StationCounters& counters;
  const board::MqttCountSource* mqtt = nullptr;  // none: its counters stay 0
  std::string station;
  int refreshSeconds = 10;
};

// /metrics and the page /, each on its own listener, or both on one when
// they name the same address. Every listener serves from its own thread and
// reads the sources only through their snapshots, so the polls never wait
// for a client.
class WebServer {
 public:
  explicit WebServer(WebSources sources);
  ~WebServer();
  WebServer(const WebServer&) = delete;
  WebServer& operator=(const WebServer&) = delete;

  // Binds and starts; an empty string, or which address could not be bound.
  std::string Start(const std::optional<ListenAddress>& metrics,
                    const std::optional<ListenAddress>& page);
  // The addresses bound, with the port the system chose for port 0:
  // "http://127.0.0.1:9100/metrics" and the like.
  std::vector<std::string> Urls() const;
  void Stop();

 private:
  struct Listener;
  WebSources sources_;
  std::vector<std::unique_ptr<Listener>> listeners_;
};

}  // namespace orvel::web
