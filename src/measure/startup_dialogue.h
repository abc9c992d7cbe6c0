#pragma once

#include <optional>
#include <string>

#include "core/platform.h"
#include "core/settings.h"

namespace orvel::measure {

inline constexpr char kVersionSuffix[] = " V0.2.1";

// Answers to the journal questions given up front (the command line of an
// unattended start); a question with an answer here is not shown.
struct StartupAnswers {
  std::optional<bool> journal;  // yes or no to "keep a journal?"
  std::string folder;           // the folder when journal is yes
  std::optional<int> interval;  // a whole number above 0
};

// The journal questions asked while the window is created: yes/no, folder,
// interval. Cancelling the folder turns the journal off with interval 0; an
// entry that is no whole number gives 3 seconds after one notice; 0 or less
// asks again.
core::StartupSettings RunStartupDialogue(core::Dialogs& dialogs,
                                         const StartupAnswers& answers = {});

// The window caption after start-up: base + version, and the folder after two
// spaces while journaling.
std::string StartupCaption(const std::string& base, const core::StartupSettings& settings);

// The folder button is usable only with a folder to open.
inline bool FolderButtonEnabled(const core::StartupSettings& settings) {
  return settings.LogEnabled && !settings.LogFolder.empty();
}

// The interval entry as a whole number (surrounding blanks allowed), or
// nothing when it is not one or does not fit.
std::optional<int> ParseIntervalEntry(const std::string& text);

}  // namespace orvel::measure
