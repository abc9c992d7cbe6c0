#include "web/web_server.h"

#include <httplib.h>
#include <sys/socket.h>

#include <atomic>
#include <thread>

#include "web/board_page.h"
#include "web/metrics_text.h"

namespace orvel::web {

struct WebServer::Listener {
  httplib::Server server;
  std::thread thread;
  std::atomic<bool> ended{false};
  ListenAddress bound;
  bool metrics = false;
  bool page = false;
};

WebServer::WebServer(WebSources sources) : sources_(std::move(sources)) {}

WebServer::~WebServer() { Stop(); }

std::string WebServer::Start(const std::optional<ListenAddress>& metrics,
                             const std::optional<ListenAddress>& page) {
  std::vector<std::pair<ListenAddress, std::pair<bool, bool>>> wanted;
  if (metrics) wanted.push_back({*metrics, {true, false}});
  if (page) {
    if (metrics && metrics->port != 0 && *metrics == *page) {
      wanted.front().second.second = true;
    } else {
      wanted.push_back({*page, {false, true}});
    }
  }
  for (const auto& [address, what] : wanted) {
    auto l = std::make_unique<Listener>();
    l->metrics = what.first;
    l->page = what.second;
    if (l->metrics) {
      l->server.Get("/metrics", [this](const httplib::Request&, httplib::Response& res) {
        const board::MqttCounts mqtt =
            sources_.mqtt ? sources_.mqtt->Counts() : board::MqttCounts{};
        res.set_content(MetricsText(sources_.station, sources_.board.Snapshot(),
                                    sources_.counters.Values(), mqtt),
                        "text/plain; version=0.0.4; charset=utf-8");
      });
    }
    if (l->page) {
      l->server.Get("/", [this](const httplib::Request&, httplib::Response& res) {
        res.set_content(BoardPage(sources_.station, sources_.board.Snapshot(), sources_.history,
                                  sources_.refreshSeconds),
                        "text/html; charset=utf-8");
      });
    }
    // SO_REUSEADDR alone: the library's default adds SO_REUSEPORT, which
    // lets a second station bind the same port and take half the scrapes.
    l->server.set_socket_options([](socket_t sock) {
      int yes = 1;
      ::setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    });
    l->bound = address;
    if (address.port == 0) {
      l->bound.port = l->server.bind_to_any_port(address.host);
      if (l->bound.port <= 0) l->bound.port = -1;
    } else if (!l->server.bind_to_port(address.host, address.port)) {
      l->bound.port = -1;
    }
    if (l->bound.port < 0) {
      Stop();
      return "cannot listen on " + address.host + ":" + std::to_string(address.port);
    }
    Listener* raw = l.get();
    l->thread = std::thread([raw] {
      raw->server.listen_after_bind();
      raw->ended = true;
    });
    // A stop that comes before the loop runs would be lost, and the join
    // would wait for ever.
    while (!l->server.is_running() && !l->ended) std::this_thread::yield();
    listeners_.push_back(std::move(l));
  }
  return {};
}

std::vector<std::string> WebServer::Urls() const {
  std::vector<std::string> urls;
  for (const auto& l : listeners_) {
    const bool v6 = l->bound.host.find(':') != std::string::npos;
    const std::string base = "http://" + (v6 ? "[" + l->bound.host + "]" : l->bound.host) + ":" +
                             std::to_string(l->bound.port);
    if (l->metrics) urls.push_back(base + "/metrics");
    if (l->page) urls.push_back(base + "/");
  }
  return urls;
}

void WebServer::Stop() {
  for (auto& l : listeners_) {
    l->server.stop();
    if (l->thread.joinable()) l->thread.join();
  }
  listeners_.clear();
}

}  // namespace orvel::web
