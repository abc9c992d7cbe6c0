#include "history/journal_source.h"

#include "onewire/rom_code.h"

namespace orvel::history {

const char* JournalPrefix(measure::Quantity q) {
  switch (q) {
    case measure::Quantity::Temperature:
      return "t_";
    case measure::Quantity::Humidity:
      return "h_";
    case measure::Quantity::Pressure:
      return "p_";
    case measure::Quantity::PressureSensorTemperature:
      return "tp_";
  }
  return "t_";
}

std::optional<JournalSource> SourceOfJournalName(std::string_view path) {
  const std::size_t slash = path.find_last_of("/\\");
  std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
  constexpr std::string_view kExt = ".csv";
  if (name.size() < kExt.size() || name.substr(name.size() - kExt.size()) != kExt) {
    return std::nullopt;
  }
  name.remove_suffix(kExt.size());
  for (const auto q : {measure::Quantity::PressureSensorTemperature, measure::Quantity::Temperature,
                       measure::Quantity::Humidity, measure::Quantity::Pressure}) {
    const std::string_view prefix = JournalPrefix(q);
    if (name.substr(0, prefix.size()) != prefix) continue;
    const std::string_view rom = name.substr(prefix.size());
    const auto code = onewire::ParseRomText(rom);
    if (!code) return std::nullopt;
    JournalSource source;
    source.quantity = q;
    source.romText = onewire::RomText(*code);
    source.family = (*code)[0];
    return source;
  }
  return std::nullopt;
}

bool IsStandIn(const JournalSource& source, double value) {
  const bool bridge = source.family == onewire::kFamilyDs28e17;
  switch (source.quantity) {
    case measure::Quantity::Humidity:
      return value == 0.0 || (value >= 995.0 && value <= 999.0);
    case measure::Quantity::Temperature:
      return bridge && value == -51.0;
    case measure::Quantity::Pressure:
    case measure::Quantity::PressureSensorTemperature:
      return false;
  }
  return false;
}

}  // namespace orvel::history
