#pragma once

#include <nlohmann/json.hpp>
#include <string>

namespace orvel::sim {

// Nesting deeper than a bus file needs is refused before a document is
// built, so that a crafted file cannot make the parser hold a huge tree.
inline constexpr int kMaxJsonDepth = 32;

// The JSON document of `text`, with numbers read as JSON writes them
// whatever the locale. Throws BusFileError naming `file`, the line and
// column and the problem: bad syntax, a number no double can hold, too deep
// a nesting.
nlohmann::json ParseJsonText(const std::string& text, const std::string& file);

}  // namespace orvel::sim
