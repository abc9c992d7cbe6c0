#pragma once

#include <string>

namespace orvel::win32 {

class MainWindow;

// For the Wine proof: once all three sensor tabs show values and the poll is
// idle, saves each tab's client area as DIR/<page>.png, reports the title,
// the client size and the time since the last start-up answer on standard
// error, and closes the window. Gives up (and says so) after 15 s.
void SaveTabScreenshots(MainWindow& window, const std::wstring& dir);

}  // namespace orvel::win32
