#include "onewire/sim/bus_file.h"

#include <array>
#include <filesystem>
#include <fstream>
#include <set>

#include "onewire/rom_code.h"
#include "onewire/sim/json_text.h"
#include "onewire/sim/sim_families.h"

namespace orvel::sim {
namespace {

onewire::RomCode DeviceRom(const JsonObject& device) {
  if (device.Has("rom")) {
    if (device.Has("family") || device.Has("serial")) {
      device.Fail("rom", "give either rom or family and serial, not both");
    }
    const auto rom = onewire::ParseRomText(device.String("rom"));
    if (!rom) device.Fail("rom", "expected 16 hexadecimal digits");
    return *rom;
  }
  const std::string family = device.String("family");
  if (family.size() != 2 ||
      family.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos) {
    device.Fail("family", "expected two hexadecimal digits");
  }
  const std::string serial = device.String("serial");
  if (serial.size() != 12 ||
      serial.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos) {
    device.Fail("serial", "expected twelve hexadecimal digits");
  }
  return onewire::MakeRom(static_cast<std::uint8_t>(std::stoul(family, nullptr, 16)),
                          std::stoull(serial, nullptr, 16));
}

}  // namespace

BusSpec ParseBusFile(const std::string& text, const std::string& file) {
  const nlohmann::json doc = ParseJsonText(text, file);
  const JsonObject top(doc, "", file);
  top.AllowOnly({"adapter", "devices"});

  BusSpec spec;
  if (top.Has("adapter")) {
    const JsonObject adapter = top.Object("adapter");
    adapter.AllowOnly({"present", "default_port"});
    spec.adapter_present = adapter.Boolean("present", true);
    spec.default_port = adapter.Boolean("default_port", true);
  }
  if (!top.Has("devices")) return spec;
  const auto& devices = doc.at("devices");
  if (!devices.is_array()) top.Fail("devices", "expected a list");

  std::set<onewire::RomCode> seen;
  for (std::size_t i = 0; i < devices.size(); ++i) {
    const JsonObject device(devices[i], "/devices/" + std::to_string(i), file);
    const onewire::RomCode rom = DeviceRom(device);
    if (!seen.insert(rom).second) {
      device.Fail("", "a second device with ROM " + onewire::RomText(rom));
    }
    const Faults faults = device.ReadFaults();
    spec.devices.push_back(FactoryForFamily(rom[0])(rom, device, faults));
  }
  return spec;
}

BusSpec LoadBusFile(const std::string& path) {
  std::error_code ec;
  if (std::filesystem::is_directory(path, ec)) throw BusFileError(path + ": is a folder");
  std::ifstream in(path, std::ios::binary);
  if (!in) throw BusFileError(path + ": cannot be read");
  // Read with a cap: the size the file system reports cannot be trusted
  // (a device such as /dev/zero reports 0 and never ends).
  std::string text;
  std::array<char, 1 << 16> chunk;
  while (in) {
    in.read(chunk.data(), static_cast<std::streamsize>(chunk.size()));
    text.append(chunk.data(), static_cast<std::size_t>(in.gcount()));
    if (text.size() > kMaxBusFileBytes) {
      throw BusFileError(path + ": larger than " + std::to_string(kMaxBusFileBytes >> 20) + " MiB");
    }
  }
  if (in.bad()) throw BusFileError(path + ": cannot be read");
  return ParseBusFile(text, path);
}

}  // namespace orvel::sim
