// Program entry of the viewer: options, the driver, the window, the loop.
#include <QApplication>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <vector>

#include "app/form_texts.h"
#include "app/main_window.h"
#include "app/qt_dialogs.h"
#include "app/screenshots.h"
#include "core/real_clock.h"
#include "drivers/driver_choice.h"
#include "measure/journal_files.h"
#include "measure/timer_service.h"
#include "web/station_web.h"
#ifdef ORVEL_HAVE_MQTT
#include "publish/mqtt_setup.h"
#endif

namespace {

constexpr int kExitBadArguments = 2;

int Fail(const std::string& message) {
  std::cerr << "orvel-viewer: " << message << '\n';
  return kExitBadArguments;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace orvel;
  std::vector<std::string> args(argv + 1, argv + argc);
  // Not in --help: the screenshot script's way in (the second option: a
  // journal folder whose files the history picture shows).
  const auto take = [&args](const char* option) {
    std::string value;
    for (std::size_t i = 0; i + 1 < args.size(); ++i) {
      if (args[i] == option) {
        value = args[i + 1];
        args.erase(args.begin() + static_cast<std::ptrdiff_t>(i),
                   args.begin() + static_cast<std::ptrdiff_t>(i) + 2);
        break;
      }
    }
    return value;
  };
  const std::string screenshot_dir = take("--screenshot-dir");
  const std::string screenshot_journal = take("--screenshot-journal");

  web::WebOptions web_options;
  if (std::string error = web::TakeWebOptions(args, web_options); !error.empty()) {
    return Fail(error);
  }

#ifdef ORVEL_HAVE_MQTT
  // The publisher outlives the window and its station.
  std::unique_ptr<publish::MqttPublisher> mqtt;
  publish::MqttOptions mqtt_options;
  if (const std::string error = publish::TakeMqttOptions(args, mqtt_options); !error.empty()) {
    return Fail(error);
  }
#endif

  measure::StartupOptions options;
  try {
    options = measure::ParseStartupOptions(args);
  } catch (const measure::StartupOptionsError& e) {
    std::cerr << measure::StartupOptionsUsage("orvel-viewer") << web::WebOptionsUsage();
    return Fail(e.what());
  }
  if (options.help) {
    std::cout << measure::StartupOptionsUsage("orvel-viewer") << web::WebOptionsUsage();
#ifdef ORVEL_HAVE_MQTT
    std::cout << publish::kMqttUsage;
#endif
    return 0;
  }
  if (options.version) {
    std::cout << app::kAppTitle << measure::kVersionSuffix << '\n';
    return 0;
  }
  if (options.answers.journal.value_or(false) &&
      !std::filesystem::is_directory(options.answers.folder)) {
    return Fail("journal folder '" + options.answers.folder + "' is not a folder");
  }

  // A bad bus file or adapter is refused before any window or display.
  core::RealClock clock;
  std::unique_ptr<drivers::Driver> driver;
  try {
    drivers::DriverChoice choice;
    if (!options.bus_file.empty()) choice.bus_file = options.bus_file;
    if (!options.adapter.empty()) choice.adapter = options.adapter;
    driver = drivers::OpenDriver(choice, clock);
  } catch (const drivers::DriverChoiceError& e) {
    return Fail(e.what());
  }

#ifdef ORVEL_HAVE_MQTT
  if (mqtt_options.any()) {
    std::string error;
    auto settings = publish::SettingsFromOptions(mqtt_options, error);
    if (!settings) return Fail(error);
    // From the publisher's thread: the synchronised standard stream.
    settings->notice = [](const std::string& text) { std::cerr << "orvel-viewer: " + text + "\n"; };
    mqtt = std::make_unique<publish::MqttPublisher>(std::move(*settings));
  }
#endif

  QApplication application(argc, argv);
  QApplication::setApplicationName(QString::fromUtf8(app::kAppTitle));
  QApplication::setWindowIcon(QIcon(QStringLiteral(":/orvel-viewer.png")));

  // Before the window: the station's feed holds its listeners to the end.
  web::StationWeb web(web_options, web::HostName());
  measure::ThreadTimerService timers;
  measure::OsJournalFiles files;
  app::QtDialogs dialogs(QString::fromUtf8(app::kAppTitle));
  // Qt has set the process locale from the environment by now.
  // One names file for the overview and the page; a name given in the
  // overview shows on the page too.
  app::FrmMainDeps deps{driver->tmex(), clock, dialogs,
                        timers,         files, core::ProcessLocaleSeparators(),
                        options.answers};
  deps.fast = options.fast;
  if (web_options.names) deps.namesFile = *web_options.names;
  deps.renamed = [&web](const onewire::RomCode& rom, const std::string& name) {
    web.board().SetName(rom, name);
  };
  app::TFrmMain window(std::move(deps));
  dialogs.SetOwner(&window);
  // The first poll comes a second after start, so the listeners see it.
  if (!web.Start(window.station().feed(), std::cerr)) return 1;
#ifdef ORVEL_HAVE_MQTT
  if (mqtt) window.station().feed().Add(*mqtt);
#endif
  window.show();
  if (!screenshot_dir.empty()) app::SaveTabScreenshots(window, screenshot_dir, screenshot_journal);
  return QApplication::exec();
}
