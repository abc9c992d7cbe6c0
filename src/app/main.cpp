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
#include "cli/viewer_options.h"
#include "core/real_clock.h"
#include "drivers/driver_choice.h"
#include "measure/journal_files.h"
#include "measure/timer_service.h"

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
  measure::StartupAnswers answers;
  if (options.journal) {
    answers.journal = true;
    answers.folder = *options.journal;
  } else if (options.no_journal) {
    answers.journal = false;
  }
  answers.interval = options.interval;
  if (answers.journal.value_or(false) && !std::filesystem::is_directory(answers.folder)) {
    return Fail("journal folder '" + answers.folder + "' is not a folder");
  }

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

  measure::ThreadTimerService timers;
  measure::OsJournalFiles files;
  app::QtDialogs dialogs(QString::fromUtf8(app::kAppTitle));
  // Qt has set the process locale from the environment by now.
  app::TFrmMain window(app::FrmMainDeps{driver->tmex(), clock, dialogs, timers, files,
                                        core::ProcessLocaleSeparators(), answers});
  dialogs.SetOwner(&window);
  window.show();
  if (options.screenshot_dir) app::SaveTabScreenshots(window, *options.screenshot_dir);
  return QApplication::exec();
}
