#include "measure/startup_dialogue.h"

#include <cctype>
#include <charconv>
#include <climits>

namespace orvel::measure {
namespace {

constexpr char kAskJournal[] = "Включить запись значений датчиков в файл?";
constexpr char kChooseFolder[] = "Выберите каталог для сохранения данных";
constexpr char kIntervalCaption[] = "Интервал записи сек.";
constexpr char kIntervalPrompt[] = "Введите интервал записи в журнал (сек.)";
constexpr char kIntervalDefault[] = "30";
constexpr char kBadInterval[] = "Неверно задан интервал!";

constexpr int kIntervalAfterNo = 3;
constexpr int kIntervalAfterBadEntry = 3;

int AskInterval(core::Dialogs& dialogs) {
  int interval = 0;
  while (interval <= 0) {
    const auto value =
        ParseIntervalEntry(dialogs.AskText(kIntervalCaption, kIntervalPrompt, kIntervalDefault));
    if (!value) {
      dialogs.ShowNotice(kBadInterval);
      return kIntervalAfterBadEntry;
    }
    interval = *value;
  }
  return interval;
}

}  // namespace

std::optional<int> ParseIntervalEntry(const std::string& text) {
  std::size_t begin = 0;
  std::size_t end = text.size();
  while (begin < end && std::isspace(static_cast<unsigned char>(text[begin]))) ++begin;
  while (end > begin && std::isspace(static_cast<unsigned char>(text[end - 1]))) --end;
  // from_chars takes '-' but not '+'; a '+' must be followed by a digit.
  if (begin < end && text[begin] == '+') {
    ++begin;
    if (begin == end || !std::isdigit(static_cast<unsigned char>(text[begin]))) return std::nullopt;
  }
  if (begin == end) return std::nullopt;
  int value = 0;
  const char* first = text.data() + begin;
  const char* last = text.data() + end;
  const auto [ptr, ec] = std::from_chars(first, last, value);
  if (ec != std::errc() || ptr != last) return std::nullopt;
  return value;
}

core::StartupSettings RunStartupDialogue(core::Dialogs& dialogs, const StartupAnswers& answers) {
  core::StartupSettings settings;
  const bool journal = answers.journal ? *answers.journal : dialogs.AskYesNo(kAskJournal);
  if (!journal) {
    settings.LogInterval = kIntervalAfterNo;
    return settings;
  }
  settings.LogEnabled = true;
  settings.LogFolder = answers.journal ? answers.folder : dialogs.ChooseFolder(kChooseFolder);
  if (settings.LogFolder.empty()) {
    settings.LogEnabled = false;
    return settings;  // interval stays 0: every tick polls
  }
  settings.LogInterval =
      (answers.interval && *answers.interval > 0) ? *answers.interval : AskInterval(dialogs);
  return settings;
}

std::string StartupCaption(const std::string& base, const core::StartupSettings& settings) {
  std::string caption = base + kVersionSuffix;
  if (settings.LogEnabled) caption += "  " + settings.LogFolder;
  return caption;
}

StartupOptions ParseStartupOptions(const std::vector<std::string>& args) {
  StartupOptions options;
  bool no_journal = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    const auto value = [&]() -> const std::string& {
      if (i + 1 >= args.size() || args[i + 1].empty())
        throw StartupOptionsError(arg + " needs a value");
      return args[++i];
    };
    if (arg == "--bus") {
      options.bus_file = value();
    } else if (arg == "--adapter") {
      options.adapter = value();
    } else if (arg == "--journal") {
      options.answers.journal = true;
      options.answers.folder = value();
    } else if (arg == "--no-journal") {
      no_journal = true;
    } else if (arg == "--interval") {
      const std::string& text = value();
      const auto interval = ParseIntervalEntry(text);
      if (!interval || *interval <= 0)
        throw StartupOptionsError("--interval needs a whole number of seconds above 0, not '" +
                                  text + "'");
      options.answers.interval = interval;
    } else if (arg == "--help" || arg == "-h") {
      options.help = true;
    } else if (arg == "--version") {
      options.version = true;
    } else {
      throw StartupOptionsError("unknown argument '" + arg + "'");
    }
  }
  if (!options.bus_file.empty() && !options.adapter.empty())
    throw StartupOptionsError("--bus and --adapter exclude each other");
  if (no_journal) {
    if (options.answers.journal)
      throw StartupOptionsError("--journal and --no-journal exclude each other");
    if (options.answers.interval)
      throw StartupOptionsError("--interval is the journal interval: no use with --no-journal");
    options.answers.journal = false;
  }
  return options;
}

std::string StartupOptionsUsage(const std::string& program) {
  return "usage: " + program +
         " [--bus FILE | --adapter SPEC] [--journal DIR | --no-journal] [--interval SECONDS]\n"
         "  --bus FILE        the simulated bus described in FILE\n"
#ifdef _WIN32
         "  --adapter SPEC    the driver library's adapter: tmex (its default port) or\n"
         "                    tmex:PORT:TYPE\n"
#else
         "  --adapter SPEC    a real adapter (ds2480b:/dev/ttyUSB0, ds9097e:/dev/ttyS0,\n"
         "                    ds2490, ds2490:2)\n"
#endif
         "  --journal DIR     keep a journal in DIR without asking\n"
         "  --no-journal      keep no journal, without asking\n"
         "  --interval N      journal and poll interval in seconds, without asking\n"
         "  --version         print the version and exit\n";
}

}  // namespace orvel::measure
