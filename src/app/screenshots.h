#pragma once

#include <string>

namespace orvel::app {

class TFrmMain;

// Once the first poll has filled the tabs, saves the client area with each
// tab in front as <dir>/<tab name>.png, then presses F2 and saves the
// overview as <dir>/overview.png; with a journal folder, also the history
// of its sensors over the day up to its last line as <dir>/history.png.
// Then closes the window.
void SaveTabScreenshots(TFrmMain& window, const std::string& dir, const std::string& journal = {});

}  // namespace orvel::app
