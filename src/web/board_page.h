#pragma once

#include <string>
#include <vector>

#include "board/recent_history.h"
#include "board/sensor_board.h"

namespace orvel::web {

// The station's page: the board table and a plot per sensor and quantity,
// in Russian, self-contained (inline style and SVG, no script), reloading
// itself every `refreshSeconds`.
std::string BoardPage(const std::string& station, const std::vector<board::BoardRow>& rows,
                      const board::RecentHistory& history, int refreshSeconds);

// Text safe inside HTML elements and quoted attributes.
std::string HtmlEscape(const std::string& text);

}  // namespace orvel::web
