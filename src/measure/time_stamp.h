#pragma once

#include <string>

#include "core/date_time.h"
#include "core/platform.h"

namespace orvel::measure {

// "yyyy/mm/dd hh:mm:ss" with every "/" written as the locale's date
// separator and every ":" as its time separator: the journal's stamp, which
// the console logger also puts in front of each poll line.
std::string JournalStamp(core::DateTime t, const core::LocaleSeparators& separators);

}  // namespace orvel::measure
