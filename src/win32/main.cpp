// Program entry of the Windows viewer: options, the driver, the window, the
// loop.
#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>

#include <clocale>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "app/form_texts.h"
#include "cli/viewer_options.h"
#include "core/real_clock.h"
#include "drivers/driver_choice.h"
#include "measure/journal_files.h"
#include "measure/startup_dialogue.h"
#include "measure/timer_service.h"
#include "measure/window_deps.h"
#include "win32/main_window.h"
#include "win32/screenshots.h"
#include "win32/wide_text.h"
#include "win32/win32_dialogs.h"

namespace {

constexpr int kExitBadArguments = 2;

// A GUI program has no console of its own: its text goes to the console it
// was started from, if any.
void UseParentConsole() {
  const HANDLE err = ::GetStdHandle(STD_ERROR_HANDLE);
  if (err != nullptr && err != INVALID_HANDLE_VALUE) return;  // redirected, or Wine's terminal
  if (!::AttachConsole(ATTACH_PARENT_PROCESS)) return;
  ::SetConsoleOutputCP(CP_UTF8);
  std::freopen("CONOUT$", "w", stdout);
  std::freopen("CONOUT$", "w", stderr);
}

// Said on the console, or in a box where there is none.
int Fail(const std::string& message, const std::string& usage = {}) {
  const std::string text = "orvel-viewer: " + message + "\n";
  if (::GetConsoleWindow() == nullptr && ::GetStdHandle(STD_ERROR_HANDLE) == nullptr) {
    ::MessageBoxW(nullptr, orvel::win32::Wide(usage + text).c_str(),
                  orvel::win32::Wide(orvel::app::kAppTitle).c_str(), MB_OK | MB_ICONERROR);
  } else {
    std::fputs(usage.c_str(), stderr);
    std::fputs(text.c_str(), stderr);
  }
  return kExitBadArguments;
}

std::vector<std::string> Arguments() {
  int count = 0;
  LPWSTR* wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
  std::vector<std::string> args;
  for (int i = 1; i < count; ++i) args.push_back(orvel::win32::Utf8(wide[i]));
  ::LocalFree(wide);
  return args;
}

}  // namespace

int main() {
  using namespace orvel;
  std::setlocale(LC_ALL, "");  // the decimal sign and date separators of the user's locale
  UseParentConsole();
  const auto parsed = cli::ParseViewerOptions(Arguments());
  if (!parsed.options) return Fail(parsed.error, cli::ViewerUsage());
  const cli::ViewerOptions& options = *parsed.options;
  if (options.help) {
    std::fputs(cli::ViewerUsage().c_str(), stdout);
    return 0;
  }
  if (options.version) {
    std::printf("%s%s\n", app::kAppTitle, measure::kVersionSuffix);
    return 0;
  }
  // The server and the publisher need libraries Debian builds for Linux only.
  if (options.web.any() || options.mqtt.url) {
    return Fail("--metrics, --http and --mqtt are not available in the Windows build");
  }
  const measure::StartupAnswers answers = cli::StartupAnswersOf(options);
  if (answers.journal.value_or(false) &&
      !std::filesystem::is_directory(std::filesystem::path(
          std::u8string(reinterpret_cast<const char8_t*>(answers.folder.c_str()))))) {
    return Fail("journal folder '" + answers.folder + "' is not a folder");
  }

  // A bad bus file or adapter is refused before any window.
  core::RealClock clock;
  std::unique_ptr<drivers::Driver> driver;
  try {
    driver = drivers::OpenDriver({options.bus, options.adapter}, clock);
  } catch (const drivers::DriverChoiceError& e) {
    return Fail(e.what());
  }
  if (const std::string warning = driver->Warning(); !warning.empty())
    std::fprintf(stderr, "orvel-viewer: %s\n", warning.c_str());

  measure::ThreadTimerService timers;
  measure::OsJournalFiles files;
  win32::Win32Dialogs dialogs(win32::Wide(app::kAppTitle));
  win32::MainWindowDeps deps{
      driver->tmex(), clock, dialogs, timers, files, core::ProcessLocaleSeparators(), answers};
  deps.fast = cli::FastModeOf(options);
  win32::MainWindow window(std::move(deps));
  dialogs.SetOwner(window.handle());
  window.FormCreate();
  if (options.screenshot_dir) {
    win32::SaveTabScreenshots(window, win32::Wide(*options.screenshot_dir));
  }
  return window.Run();
}
