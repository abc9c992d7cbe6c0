#pragma once

#include "core/clock.h"
#include "core/platform.h"
#include "measure/fast_mode.h"
#include "measure/journal_files.h"
#include "measure/startup_dialogue.h"
#include "measure/timer_service.h"
#include "onewire/tmex.h"

namespace orvel::measure {

// What a window front end builds its station on; all of it outlives the
// window.
struct WindowDeps {
  onewire::Tmex& tmex;
  core::Clock& clock;
  core::Dialogs& dialogs;
  TimerService& timers;
  JournalFiles& files;
  core::LocaleSeparators separators;
  StartupAnswers answers;  // questions answered on the command line
  FastMode fast{};         // --fast, --rescan-every
};

}  // namespace orvel::measure
