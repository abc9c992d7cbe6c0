// ROM texts: the strict parser and the measurement cycle's Hex2Rom agree
// on every text both accept, and the parser inverts RomText.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "core/memory_controls.h"
#include "core/virtual_clock.h"
#include "onewire/bus_session.h"
#include "onewire/device_catalog.h"
#include "onewire/rom_code.h"
#include "onewire/sim/simulated_driver.h"

namespace {

bool UpperHexOnly(const std::string& text) {
  for (char c : text) {
    if (!((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'))) return false;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace orvel;
  const std::string text(reinterpret_cast<const char*>(data), size);
  const auto rom = onewire::ParseRomText(text);
  if (rom && UpperHexOnly(text) && onewire::RomText(*rom) != text) std::abort();
  if (rom && onewire::ParseRomText(onewire::RomText(*rom)) != rom) std::abort();

  static core::VirtualClock clock;
  static sim::SimulatedDriver driver(clock);
  onewire::BusSession bus(driver.tmex());
  core::MemoryText stat1;
  onewire::DeviceCatalog catalog(bus, stat1);
  bool refused = false;
  try {
    catalog.Hex2Rom(text);
  } catch (const onewire::RomTextError&) {
    refused = true;
  }
  if (size != 16) {
    // Any other length leaves the buffer alone.
    for (auto b : bus.ROM) {
      if (b != 0) std::abort();
    }
    return 0;
  }
  if (refused == UpperHexOnly(text)) std::abort();
  if (!refused) {
    for (std::size_t i = 0; i < 8; ++i) {
      if (bus.ROM[i] != (*rom)[i]) std::abort();
    }
  }
  return 0;
}
