#include "measure/journal.h"

#include "measure/number_forms.h"
#include "measure/time_stamp.h"

namespace orvel::measure {

Journal::Journal(onewire::DeviceTable& Asens, const core::StartupSettings& settings,
                 core::Clock& clock, core::Dialogs& dialogs,
                 const core::LocaleSeparators& separators, JournalFiles& files)
    : Asens_(Asens),
      settings_(settings),
      clock_(clock),
      dialogs_(dialogs),
      separators_(separators),
      files_(files) {}

std::string Journal::PathOf(std::int16_t slot, const std::string& prefix) const {
  return settings_.LogFolder + kPathSeparator + prefix +
         Asens_[static_cast<std::size_t>(slot)].ROMS + ".csv";
}

bool Journal::AppendLine(JournalFile& file, const std::string& line) {
  const std::int64_t before = file.Size();
  const std::int64_t written = file.Write(line.data(), line.size());
  if (written == static_cast<std::int64_t>(line.size())) return true;
  // A disk that filled up part-way leaves a piece of the line: cut it off
  // so that the next line starts on a line of its own.
  if (written > 0 && before >= 0) file.Truncate(before);
  return false;
}

void Journal::WriteJournal(std::int16_t slot, const std::string& prefix, bool updateGate,
                           double value) {
  if (slot < 0 || slot >= onewire::kSlotCount) return;
  onewire::CurrentSens& sens = Asens_[static_cast<std::size_t>(slot)];
  if (!(clock_.Now() > sens.lastWrLogDateTime) || settings_.LogFolder.empty()) return;

  const std::string name = prefix + sens.ROMS + ".csv";
  std::unique_ptr<JournalFile> file = files_.OpenForAppend(PathOf(slot, prefix));
  if (!file) {
    dialogs_.ShowNotice("Файл " + name + "  открыт в другой программе и не может быть записан!");
  } else {
    const std::string line = JournalStamp(clock_.Now(), separators_) + " ; " +
                             FixedForm(value, separators_.decimal) + "\r\n";
    const bool written = AppendLine(*file, line);
    const bool closed = file->Close();
    if (!written || !closed) dialogs_.ShowNotice("Файл " + name + " не может быть записан!");
  }
  if (updateGate) sens.lastWrLogDateTime = core::AddSeconds(clock_.Now(), settings_.LogInterval);
}

}  // namespace orvel::measure
