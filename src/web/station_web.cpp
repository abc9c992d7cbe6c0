#include "web/station_web.h"

#include <cstdlib>
#include <ostream>

#ifndef _WIN32
#include <unistd.h>
#endif

#ifdef ORVEL_HAVE_WEB
#include "web/web_server.h"
#endif

namespace orvel::web {

#ifndef ORVEL_HAVE_WEB
class WebServer {};
#endif

std::string CheckWebOptions(const WebOptions& options) {
  for (const auto& [name, value] :
       {std::pair{"--metrics", &options.metrics}, std::pair{"--http", &options.http}}) {
    if (*value && !ParseListenAddress(**value)) {
      return std::string(name) + " expects [ADDR:]PORT, not \"" + **value + "\"";
    }
  }
  return {};
}

std::string HostName() {
#ifdef _WIN32
  const char* name = std::getenv("COMPUTERNAME");
  return name && *name ? name : "orvel";
#else
  char name[256] = {};
  if (::gethostname(name, sizeof name - 1) != 0 || name[0] == '\0') return "orvel";
  return name;
#endif
}

StationWeb::StationWeb(WebOptions options, std::string station, const board::MqttCountSource* mqtt)
    : options_(std::move(options)), station_(std::move(station)), mqtt_(mqtt) {}

StationWeb::~StationWeb() = default;

bool StationWeb::Start(measure::ReadingFanOut& feed, std::ostream& err) {
  if (!options_.any()) return true;
#ifdef ORVEL_HAVE_WEB
  board::NamesFile names(options_.names ? std::filesystem::path(*options_.names)
                                        : board::NamesFile::DefaultPath());
  if (!names.Load()) err << "cannot read the names file " << names.path().string() << '\n';
  for (const auto& p : names.problems()) {
    err << names.path().string() << ':' << p.line << ": " << p.text << " (line ignored)\n";
  }
  for (const auto& [rom, name] : names.names()) board_.SetName(rom, name);

  feed.Add(board_);
  feed.Add(history_);
  feed.Add(counters_);
  server_ =
      std::make_unique<WebServer>(WebSources{board_, history_, counters_, mqtt_, station_, 10});
  auto address = [](const std::optional<std::string>& text) -> std::optional<ListenAddress> {
    return text ? ParseListenAddress(*text) : std::nullopt;
  };
  if (std::string error = server_->Start(address(options_.metrics), address(options_.http));
      !error.empty()) {
    err << error << '\n';
    return false;
  }
  for (const std::string& url : server_->Urls()) err << "serving " << url << '\n';
  return true;
#else
  (void)feed;
  err << "--metrics and --http are not available in this build\n";
  return false;
#endif
}

}  // namespace orvel::web
