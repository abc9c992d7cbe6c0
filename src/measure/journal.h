#pragma once

#include <cstdint>
#include <string>

#include "core/clock.h"
#include "core/platform.h"
#include "core/settings.h"
#include "measure/journal_files.h"
#include "measure/one_notice.h"
#include "onewire/current_sens.h"

namespace orvel::measure {

// The line below a journal error that stood for others while it was open.
inline constexpr char kHeldJournalErrors[] =
    "Ошибок записи в журнал, пока было открыто предыдущее сообщение: ";

// The CSV journal: one file per quantity prefix and device in the chosen
// folder, one "stamp ; value" line per write. A failed write is reported
// with the system's reason, one box at a time, and the cycle goes on while
// the box stands.
class Journal {
 public:
  Journal(onewire::DeviceTable& Asens, const core::StartupSettings& settings, core::Clock& clock,
          core::Dialogs& dialogs, const core::LocaleSeparators& separators, JournalFiles& files);

  // Appends `value` to prefix + ROM text + ".csv" when the slot's gate has
  // passed; with `updateGate` the gate moves LogInterval seconds ahead, also
  // after a failed write. A line is never left half written.
  void WriteJournal(std::int16_t slot, const std::string& prefix, bool updateGate, double value);

  // The path a write for this slot and prefix goes to.
  std::string PathOf(std::int16_t slot, const std::string& prefix) const;

 private:
  // False when the line could not be appended whole.
  bool AppendLine(JournalFile& file, const std::string& line);

  onewire::DeviceTable& Asens_;
  const core::StartupSettings& settings_;
  core::Clock& clock_;
  const core::LocaleSeparators& separators_;
  JournalFiles& files_;
  OneNoticeAtATime errors_;
};

}  // namespace orvel::measure
