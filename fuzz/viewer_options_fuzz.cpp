// The viewer's start-up command line (parsed without Qt): options or one
// line of refusal, and options only in the combinations it allows.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "arguments.h"
#include "cli/viewer_options.h"
#include "measure/startup_dialogue.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using orvel::measure::ParseIntervalEntry;
  const auto args = orvel::fuzz::Arguments(data, size);
  for (const auto& arg : args) {
    // The interval entry reads back as the number it gave.
    const auto interval = ParseIntervalEntry(arg);
    if (interval && ParseIntervalEntry(std::to_string(*interval)) != interval) std::abort();
  }
  const auto parsed = orvel::cli::ParseViewerOptions(args);
  if (!parsed.options) {
    if (parsed.error.empty()) std::abort();
    if (parsed.error.find('\n') != std::string::npos && size > 0 &&
        std::string(reinterpret_cast<const char*>(data), size).find('\n') == std::string::npos) {
      std::abort();  // one line, unless the argument itself had a line break
    }
    return 0;
  }
  const auto& o = *parsed.options;
  if (o.bus && o.adapter) std::abort();
  if (o.interval && *o.interval <= 0) std::abort();
  if (o.journal && o.journal->empty()) std::abort();
  if (o.no_journal && (o.interval || o.journal)) std::abort();
  return 0;
}
