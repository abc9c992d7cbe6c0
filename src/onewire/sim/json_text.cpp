#include "onewire/sim/json_text.h"

#include <algorithm>

#include "onewire/sim/c_number_locale.h"
#include "onewire/sim/json_reader.h"

namespace orvel::sim {
namespace {

using Json = nlohmann::json;

// "line L, column C" of the 1-based byte position the parser stopped at.
std::string JsonErrorPlace(const std::string& text, std::size_t byte) {
  std::size_t line = 1;
  std::size_t column = 1;
  const std::size_t end = std::min(byte > 0 ? byte - 1 : 0, text.size());
  for (std::size_t i = 0; i < end; ++i) {
    if (text[i] == '\n') {
      ++line;
      column = 1;
    } else {
      ++column;
    }
  }
  return "line " + std::to_string(line) + ", column " + std::to_string(column);
}

// The parser's own account of the problem, without its exception prefix and
// position (which JsonErrorPlace gives).
std::string JsonErrorReason(const std::string& what) {
  const auto colon = what.find(": ");
  if (colon == std::string::npos) return "";
  return " (" + what.substr(colon + 2) + ")";
}

// The 1-based position of the first bracket that opens level `depth`;
// `text` is valid JSON up to there.
std::size_t OpeningAtDepth(const std::string& text, int depth) {
  int level = 0;
  bool in_string = false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (in_string) {
      if (c == '\\') {
        ++i;
      } else if (c == '"') {
        in_string = false;
      }
    } else if (c == '"') {
      in_string = true;
    } else if (c == '[' || c == '{') {
      if (++level == depth) return i + 1;
    } else if (c == ']' || c == '}') {
      --level;
    }
  }
  return text.size();
}

// Checks the text without building anything: the parser's first error with
// its position, or the nesting limit.
class SyntaxCheck final : public nlohmann::json_sax<Json> {
 public:
  bool null() override { return true; }
  bool boolean(bool) override { return true; }
  bool number_integer(number_integer_t) override { return true; }
  bool number_unsigned(number_unsigned_t) override { return true; }
  bool number_float(number_float_t, const string_t&) override { return true; }
  bool string(string_t&) override { return true; }
  bool binary(binary_t&) override { return true; }
  bool start_object(std::size_t) override { return Open(); }
  bool key(string_t&) override { return true; }
  bool end_object() override { return Close(); }
  bool start_array(std::size_t) override { return Open(); }
  bool end_array() override { return Close(); }
  bool parse_error(std::size_t position, const std::string& token,
                   const Json::exception& e) override {
    position_ = position;
    problem_ = "not valid JSON" + JsonErrorReason(e.what());
    // An overflowing number is the one error the parser does not report as
    // a syntax error: point at the number's start and say which it was.
    if (e.id == 406 && token.size() < position) {
      position_ = position - token.size() + 1;
      problem_ = "a number too large for a double (" + token + ")";
    }
    return false;
  }

  // Throws when the check failed.
  void Report(const std::string& text, const std::string& file) const {
    if (depth_ > kMaxJsonDepth) {
      throw BusFileError(file + ": " + JsonErrorPlace(text, OpeningAtDepth(text, depth_)) +
                         ": nested deeper than " + std::to_string(kMaxJsonDepth) + " levels");
    }
    throw BusFileError(file + ": " + JsonErrorPlace(text, position_) + ": " + problem_);
  }

 private:
  bool Open() { return ++depth_ <= kMaxJsonDepth; }
  bool Close() {
    --depth_;
    return true;
  }

  int depth_ = 0;
  std::size_t position_ = 0;
  std::string problem_;
};

}  // namespace

Json ParseJsonText(const std::string& text, const std::string& file) {
  const CNumberLocale c_numbers;
  SyntaxCheck check;
  if (!Json::sax_parse(text, &check)) check.Report(text, file);
  try {
    return Json::parse(text);
  } catch (const Json::exception& e) {  // the check above lets none through
    throw BusFileError(file + ": not valid JSON" + JsonErrorReason(e.what()));
  }
}

}  // namespace orvel::sim
