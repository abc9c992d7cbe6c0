#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "onewire/sim/json_reader.h"
#include "onewire/sim/sim_device.h"

namespace orvel::sim {

// A simulated bus as a bus file describes it.
struct BusSpec {
  bool adapter_present = true;
  bool default_port = true;
  std::vector<std::unique_ptr<SimDevice>> devices;
};

// A bus file is a few kilobytes; anything past this is not one.
inline constexpr std::size_t kMaxBusFileBytes = std::size_t{16} << 20;

// Parses bus-file text; `file` names it in error messages. Throws
// BusFileError naming the file, the place and the problem.
BusSpec ParseBusFile(const std::string& text, const std::string& file);
BusSpec LoadBusFile(const std::string& path);

}  // namespace orvel::sim
