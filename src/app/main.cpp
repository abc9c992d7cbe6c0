// Program entry of the viewer: options, the driver, the window, the loop.
#include <QApplication>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <memory>
#include <optional>
#include <vector>

#include "app/form_texts.h"
#include "app/main_window.h"
#include "app/qt_dialogs.h"
#include "app/screenshots.h"
#include "cli/viewer_options.h"
#include "core/real_clock.h"
#include "drivers/driver_choice.h"
#include "measure/journal_files.h"
#include "measure/timer_service.h"
#include "web/mqtt_counts.h"
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
  const auto parsed = cli::ParseViewerOptions(std::vector<std::string>(argv + 1, argv + argc));
  if (!parsed.options) {
    std::cerr << cli::ViewerUsage();
    return Fail(parsed.error);
  }
  const cli::ViewerOptions& options = *parsed.options;
  if (options.help) {
    std::cout << cli::ViewerUsage();
    return 0;
  }
  if (options.version) {
    std::cout << app::kAppTitle << measure::kVersionSuffix << '\n';
    return 0;
  }
  const measure::StartupAnswers answers = cli::StartupAnswersOf(options);
  if (answers.journal.value_or(false) && !std::filesystem::is_directory(answers.folder)) {
    return Fail("journal folder '" + answers.folder + "' is not a folder");
  }

#ifdef ORVEL_HAVE_MQTT
  // The publisher outlives the window and its station.
  std::unique_ptr<publish::MqttPublisher> mqtt;
  if (options.mqtt.url) {
    std::string error;
    auto settings = publish::SettingsFromOptions(options.mqtt, error);
    if (!settings) return Fail(error);
    // From the publisher's thread: the synchronised standard stream.
    settings->notice = [](const std::string& text) { std::cerr << "orvel-viewer: " + text + "\n"; };
    mqtt = std::make_unique<publish::MqttPublisher>(std::move(*settings));
  }
  std::optional<web::MqttCountsOf> mqtt_counts;
  if (mqtt) mqtt_counts.emplace(*mqtt);
#else
  if (options.mqtt.url) return Fail("this build has no MQTT (libmosquitto was not found)");
#endif

  // A bad bus file or adapter is refused before any window or display.
  core::RealClock clock;
  std::unique_ptr<drivers::Driver> driver;
  try {
    driver = drivers::OpenDriver({options.bus, options.adapter}, clock);
  } catch (const drivers::DriverChoiceError& e) {
    return Fail(e.what());
  }

  QApplication application(argc, argv);
  QApplication::setApplicationName(QString::fromUtf8(app::kAppTitle));
  QApplication::setWindowIcon(QIcon(QStringLiteral(":/orvel-viewer.png")));

  // Before the window: the station's feed holds its listeners to the end.
#ifdef ORVEL_HAVE_MQTT
  web::StationWeb web(options.web, options.mqtt.station.value_or(web::HostName()),
                      mqtt_counts ? &*mqtt_counts : nullptr);
#else
  web::StationWeb web(options.web, web::HostName());
#endif
  measure::ThreadTimerService timers;
  measure::OsJournalFiles files;
  app::QtDialogs dialogs(QString::fromUtf8(app::kAppTitle));
  // Qt has set the process locale from the environment by now.
  // One names file for the overview and the page; a name given in the
  // overview shows on the page too.
  app::FrmMainDeps deps{
      driver->tmex(), clock, dialogs, timers, files, core::ProcessLocaleSeparators(), answers};
  deps.fast = cli::FastModeOf(options);
  if (options.web.names) deps.namesFile = *options.web.names;
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
  if (options.screenshot_dir) {
    app::SaveTabScreenshots(window, *options.screenshot_dir,
                            options.screenshot_journal.value_or(std::string()));
  }
  return QApplication::exec();
}
