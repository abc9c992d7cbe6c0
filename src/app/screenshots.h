#pragma once

#include <string>

namespace orvel::app {

class TFrmMain;

// Once the first poll has filled the tabs, saves the client area with each
// tab in front as <dir>/<tab name>.png, then closes the window.
void SaveTabScreenshots(TFrmMain& window, const std::string& dir);

}  // namespace orvel::app
