#pragma once

#include <string>

namespace orvel::core {

// The journal answers given at start-up, held for the whole run.
struct StartupSettings {
  bool LogEnabled = false;
  std::string LogFolder;  // empty when none was chosen
  int LogInterval = 0;    // seconds: the poll period and the journal interval
};

}  // namespace orvel::core
