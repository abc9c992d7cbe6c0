// The logger's command line: options or one error line, and options only
// within the ranges and combinations the usage allows.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "arguments.h"
#include "logger/options.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const auto parsed = orvel::logger::ParseOptions(orvel::fuzz::Arguments(data, size));
  if (parsed.options.has_value() == !parsed.error.empty()) std::abort();
  if (!parsed.options) {
    if (parsed.error.find('\n') != std::string::npos && size > 0 &&
        std::string(reinterpret_cast<const char*>(data), size).find('\n') == std::string::npos) {
      std::abort();  // one line, unless the argument itself had a line break
    }
    return 0;
  }
  const auto& o = *parsed.options;
  if (o.interval && *o.interval < 1) std::abort();
  if (o.cycles && *o.cycles < 1) std::abort();
  if (o.bus && o.adapter) std::abort();
  if (o.virtual_time && !o.bus) std::abort();
  if ((o.bus && o.bus->empty()) || (o.adapter && o.adapter->empty()) ||
      (o.journal && o.journal->empty())) {
    std::abort();
  }
  return 0;
}
