// The viewer's start-up command line (parsed without Qt): options or a
// StartupOptionsError, and options only in the combinations it allows.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "arguments.h"
#include "measure/startup_dialogue.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace orvel::measure;
  const auto args = orvel::fuzz::Arguments(data, size);
  for (const auto& arg : args) {
    // The interval entry reads back as the number it gave.
    const auto interval = ParseIntervalEntry(arg);
    if (interval && ParseIntervalEntry(std::to_string(*interval)) != interval) std::abort();
  }
  StartupOptions o;
  try {
    o = ParseStartupOptions(args);
  } catch (const StartupOptionsError&) {
    return 0;
  }
  if (!o.bus_file.empty() && !o.adapter.empty()) std::abort();
  if (o.answers.interval && *o.answers.interval <= 0) std::abort();
  if (o.answers.journal == true && o.answers.folder.empty()) std::abort();
  if (o.answers.journal == false && (o.answers.interval || !o.answers.folder.empty())) std::abort();
  return 0;
}
