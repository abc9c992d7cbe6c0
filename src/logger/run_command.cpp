#include "logger/run_command.h"

#include <filesystem>
#include <iostream>
#include <memory>
#include <optional>

#include "core/memory_controls.h"
#include "core/platform.h"
#include "logger/console_platform.h"
#include "logger/event_loop.h"
#include "measure/journal_files.h"
#include "measure/poll_loop.h"
#include "measure/startup_dialogue.h"
#include "measure/station.h"
#include "measure/time_stamp.h"
#include "measure/timer_service.h"
#include "web/mqtt_counts.h"
#include "web/station_web.h"
#ifdef ORVEL_HAVE_MQTT
#include "publish/mqtt_setup.h"
#endif

namespace orvel::logger {
namespace {

// The window's controls, with the texts the window starts with.
struct ConsoleWindow {
  core::MemoryText stat1{"Не подключен"};
  core::MemoryList cbbPort, cbAdapter, cmb1820, cmbhlt, cmbds28e17;
  core::MemoryText lblTvalue{"--,--"}, lblHvalue{"--,--"}, edtSNHDC, lblValT28e17{"--,--"},
      lblValH28e17{"--,--"}, lblValP28e17{"--,--"}, lblValPTds28e17{"--,--"}, lblBackTimer{"---"};
  core::MemoryShape shpindik, shpTimer;

  measure::StationControls Controls() {
    return {{stat1, cbbPort, cbAdapter},
            {cmb1820, lblTvalue, cmbhlt, lblHvalue, cmbds28e17, edtSNHDC, lblValT28e17,
             lblValH28e17, lblValP28e17, lblValPTds28e17},
            {shpindik, shpTimer, lblBackTimer}};
  }

  std::vector<std::pair<std::string, std::string>> Texts() const {
    return {{"stat1", stat1.Text()},
            {"cmb1820", cmb1820.Text()},
            {"lblTvalue", lblTvalue.Text()},
            {"cmbhlt", cmbhlt.Text()},
            {"lblHvalue", lblHvalue.Text()},
            {"cmbds28e17", cmbds28e17.Text()},
            {"edtSNHDC", edtSNHDC.Text()},
            {"lblValT28e17", lblValT28e17.Text()},
            {"lblValH28e17", lblValH28e17.Text()},
            {"lblValP28e17", lblValP28e17.Text()},
            {"lblValPTds28e17", lblValPTds28e17.Text()}};
  }
};

}  // namespace

std::string FormatPollLine(const std::string& stamp,
                           const std::vector<std::pair<std::string, std::string>>& texts) {
  std::string line = stamp;
  for (const auto& [name, text] : texts) {
    line += ' ';
    line += name;
    line += "=\"";
    for (char c : text) {
      if (c == '"' || c == '\\') line += '\\';
      line += c;
    }
    line += '"';
  }
  return line;
}

int RunPolls(drivers::Driver& driver, core::Clock& clock, core::VirtualClock* virtual_clock,
             const Options& options, const PollOutput::Write& out, std::ostream& err,
             ServiceNotifier* service) {
  NoServiceNotifier nobody;
  ServiceNotifier& notifier = service != nullptr ? *service : nobody;
  if (options.journal) {
    std::error_code ec;
    if (!std::filesystem::is_directory(*options.journal, ec)) {
      err << "orvel-logger: the journal folder \"" << *options.journal << "\" does not exist\n";
      return 2;
    }
  }
#ifdef ORVEL_HAVE_MQTT
  // Made before the station, so that it outlives the station's events.
  std::unique_ptr<publish::MqttPublisher> mqtt;
  if (options.mqtt.url) {
    std::string error;
    auto mqtt_settings = publish::SettingsFromOptions(options.mqtt, error);
    if (!mqtt_settings) {
      err << "orvel-logger: " << error << "\n";
      return 2;
    }
    // From the publisher's thread: the synchronised standard stream.
    mqtt_settings->notice = [](const std::string& text) {
      std::cerr << "orvel-logger: " + text + "\n";
    };
    mqtt = std::make_unique<publish::MqttPublisher>(std::move(*mqtt_settings));
  }
#else
  if (options.mqtt.url) {
    err << "orvel-logger: this build has no MQTT (libmosquitto was not found)\n";
    return 2;
  }
#endif
  EventLoop loop;
  if (!loop.ok()) {
    err << "orvel-logger: cannot create the event loop\n";
    return 1;
  }
  ConsoleDialogs dialogs(err);
  measure::StartupAnswers answers;
  answers.journal = options.journal.has_value();
  answers.folder = options.journal.value_or("");
  answers.interval = options.interval.value_or(kDefaultInterval);
  const core::StartupSettings settings = measure::RunStartupDialogue(dialogs, answers);

  std::unique_ptr<measure::TimerService> timers;
  measure::ManualTimerService* manual = nullptr;
  if (virtual_clock != nullptr) {
    auto service = std::make_unique<measure::ManualTimerService>(*virtual_clock);
    manual = service.get();
    timers = std::move(service);
  } else {
    timers = std::make_unique<measure::ThreadTimerService>();
  }

  ConsoleWindow window;
  measure::OsJournalFiles files;
  // Before the station: its feed holds the page's listeners until the end.
#ifdef ORVEL_HAVE_MQTT
  std::optional<web::MqttCountsOf> mqtt_counts;
  if (mqtt) mqtt_counts.emplace(*mqtt);
  web::StationWeb web(options.web, options.mqtt.station.value_or(web::HostName()),
                      mqtt_counts ? &*mqtt_counts : nullptr);
#else
  web::StationWeb web(options.web, web::HostName());
#endif
  const core::LocaleSeparators separators = core::ProcessLocaleSeparators();
  measure::Station station(
      driver.tmex(), window.Controls(),
      measure::StationPlatform{clock, loop, dialogs, separators, *timers, loop, files}, settings,
      cli::FastModeOf(options));

  if (!web.Start(station.feed(), err)) return 1;

#ifdef ORVEL_HAVE_MQTT
  if (mqtt) station.feed().Add(*mqtt);
#endif

  PollOutput output(out, err);
  std::int64_t polls = 0;
  bool ready = false;
  station.poll().OnPollEnd = [&] {
    if (!ready && station.poll().GoodScans() > 0) {
      ready = true;
      notifier.Ready();
    }
    // Nobody reads the values any more: close as on a termination signal.
    if (!output.Put(FormatPollLine(measure::JournalStamp(clock.Now(), separators), window.Texts()) +
                    '\n')) {
      station.FormCloseQuery();
    }
    if (options.cycles && ++polls >= *options.cycles) station.FormCloseQuery();
  };
  loop.onTick = [&](std::uint32_t n) {
    notifier.Alive();
    station.Tick(n);
  };
  loop.onClose = [&] { station.FormCloseQuery(); };
  loop.CatchTerminationSignals();

  station.FillPortAndAdapterLists();
  station.Start();
  loop.Run([&] { return station.flagExit() == measure::kDriverClosed; }, manual, virtual_clock);
  notifier.Stopping();
  // A close that found the poll timer off (never started, or a run that
  // ended without a tick) still closes the driver.
  if (station.flagExit() != measure::kDriverClosed) {
    station.FormCloseQuery();
    station.Tick(0);
  }
  // Polls ran, yet not one scan got through to the adapter: nothing was
  // read in the whole run, which a script must not take for success.
  if (station.poll().Polls() > 0 && station.poll().GoodScans() == 0) {
    err << "orvel-logger: the adapter could not be opened\n";
    return 1;
  }
  // The values were not all delivered, though nobody stopped reading them.
  return output.failed() ? 3 : 0;
}

}  // namespace orvel::logger
