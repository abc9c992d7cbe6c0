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

}  // namespace orvel::measure
