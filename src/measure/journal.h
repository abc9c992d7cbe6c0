#pragma once

#include <cstdint>
#include <string>

#include "core/clock.h"
#include "core/platform.h"
#include "core/settings.h"
#include "measure/journal_files.h"
#include "onewire/current_sens.h"

namespace orvel::measure {

// The CSV journal: one file per quantity prefix and device in the chosen
// folder, one "stamp ; value" line per write.
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
  core::Dialogs& dialogs_;
  const core::LocaleSeparators& separators_;
  JournalFiles& files_;
};

}  // namespace orvel::measure
