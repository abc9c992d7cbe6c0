#include "measure/journal.h"

#include <cstring>

#include "measure/number_forms.h"
#include "measure/time_stamp.h"

namespace orvel::measure {
namespace {

// The fixed text, then the system's own reason: a removed folder or a full
// disk must not be blamed on another program.
std::string WithReason(std::string text, int error) {
  if (error != 0) text += std::string(" (") + std::strerror(error) + ")";
  return text;
}

}  // namespace

Journal::Journal(onewire::DeviceTable& Asens, const core::StartupSettings& settings,
                 core::Clock& clock, core::Dialogs& dialogs,
                 const core::LocaleSeparators& separators, JournalFiles& files)
    : Asens_(Asens),
      settings_(settings),
      clock_(clock),
      separators_(separators),
      files_(files),
      errors_(dialogs, kHeldJournalErrors) {}

std::string Journal::PathOf(std::int16_t slot, const std::string& prefix) const {
  return settings_.LogFolder + kPathSeparator + prefix +
         Asens_[static_cast<std::size_t>(slot)].ROMS + ".csv";
}

bool Journal::AppendLine(JournalFile& file, const std::string& line) {
  const std::int64_t before = file.Size();
  // A short write is followed by another for the rest, which either
  // finishes the line or fails with the system's reason.
  std::size_t done = 0;
  while (done < line.size()) {
    const std::int64_t n = file.Write(line.data() + done, line.size() - done);
    if (n <= 0) break;
    done += static_cast<std::size_t>(n);
  }
  if (done == line.size()) return true;
  // A disk that filled up part-way leaves a piece of the line: cut it off
  // so that the next line starts on a line of its own.
  if (done > 0 && before >= 0) file.Truncate(before);
  return false;
}

void Journal::WriteJournal(std::int16_t slot, const std::string& prefix, bool updateGate,
                           double value) {
  if (slot < 0 || slot >= onewire::kSlotCount) return;
  onewire::CurrentSens& sens = Asens_[static_cast<std::size_t>(slot)];
  if (!(clock_.Now() > sens.lastWrLogDateTime) || settings_.LogFolder.empty()) return;

  const std::string name = prefix + sens.ROMS + ".csv";
  int error = 0;
  std::unique_ptr<JournalFile> file = files_.OpenForAppend(PathOf(slot, prefix), error);
  if (!file) {
    errors_.Show(
        WithReason("Файл " + name + "  открыт в другой программе и не может быть записан!", error));
  } else {
    const std::string line = JournalStamp(clock_.Now(), separators_) + " ; " +
                             FixedForm(value, separators_.decimal) + "\r\n";
    const bool written = AppendLine(*file, line);
    const bool closed = file->Close();
    if (!written || !closed) {
      errors_.Show(WithReason("Файл " + name + " не может быть записан!", file->Error()));
    }
  }
  if (updateGate) sens.lastWrLogDateTime = core::AddSeconds(clock_.Now(), settings_.LogInterval);
}

}  // namespace orvel::measure
