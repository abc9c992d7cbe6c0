#pragma once

#include <cstdio>
#include <string>

#include "core/memory_controls.h"
#include "core/virtual_clock.h"
#include "measure/bus_sensor_readers.h"
#include "onewire/bus_session.h"
#include "onewire/device_catalog.h"
#include "onewire/sim/bus_file.h"
#include "onewire/sim/simulated_driver.h"
#include "onewire/tmex.h"
#include "support/fake_platform.h"

namespace orvel::testing_support {

// The program's units over one driver: a scan into the device table, then
// every reader on every device it serves. Report() is what the units wrote,
// one line per slot, for comparing two drivers on the same bus.
class ReadingRig {
 public:
  ReadingRig(onewire::Tmex& tmex, core::Clock& clock)
      : session(tmex),
        catalog(session, stat1),
        readers(session, catalog.Asens, clock, pump, dialogs) {}

  // The scan's driver calls; the number of devices, or -1 when the adapter
  // failed.
  int Scan(std::int16_t port_num, std::int16_t port_type) {
    auto& t = session.tmex;
    session.SHandle = t.TMExtendedStartSession(port_num, port_type, nullptr);
    if (session.SHandle <= 0) return -1;
    const auto setup = t.TMSetup(session.SHandle);
    if (setup != 1 && setup != 2) return -1;
    int count = 0;
    for (auto r = t.TMFirst(session.SHandle, session.StateBuf.data()); r > 0;
         r = t.TMNext(session.SHandle, session.StateBuf.data())) {
      session.ROM[0] = 0;
      t.TMRom(session.SHandle, session.StateBuf.data(), session.ROM.data());
      catalog.RegisterDevice(session.ROM.data(), count++);
    }
    found = count;
    return count;
  }

  // Every reader that serves the slot's family.
  std::string ReadSlot(int slot) {
    const auto s = static_cast<std::int16_t>(slot);
    std::string out;
    char line[160];
    switch (catalog.Asens[static_cast<std::size_t>(slot)].Family) {
      case 0x10:
      case 0x28:
        out += readers.ReadThermometer(s) ? "T ok" : "T failed";
        break;
      case 0x26:
        out += readers.getValueHLT(s) ? "H ok" : "H failed";
        break;
      case 0x19: {
        std::uint8_t serial[8] = {};
        readers.getSerial_HDC_THP(serial, s);
        std::snprintf(line, sizeof line, "hdc %02X%02X%02X%02X%02X%02X", serial[0], serial[1],
                      serial[2], serial[3], serial[4], serial[5]);
        out += line;
        auto v = readers.getValue_HDC_THP(s);
        out += std::string(" ") + (v.temperature ? "t" : "-") + (v.humidity ? "h" : "-");
        readers.getSerial_SHT_TH(serial, s);
        std::snprintf(line, sizeof line, " sht %02X%02X%02X%02X", serial[0], serial[1], serial[2],
                      serial[3]);
        out += line;
        v = readers.getValue_SHT_TH(s);
        out += std::string(" ") + (v.temperature ? "t" : "-") + (v.humidity ? "h" : "-");
        readers.getSerial_STS_T(serial, s);
        std::snprintf(line, sizeof line, " sts %02X%02X%02X%02X", serial[0], serial[1], serial[2],
                      serial[3]);
        out += line;
        v = readers.getValue_STS_T(s);
        out += std::string(" ") + (v.temperature ? "t" : "-");
        readers.getSerialP(serial, s);
        std::snprintf(line, sizeof line, " p %02X", serial[0]);
        out += line;
        v = readers.getValue_HDC_TP(s);
        out += std::string(" ") + (v.humidity ? "p" : "-");
        break;
      }
      default:
        break;
    }
    return out;
  }

  std::string SlotValues(int slot) const {
    const auto& a = catalog.Asens[static_cast<std::size_t>(slot)];
    char line[200];
    std::snprintf(line, sizeof line, "%s fam %d T %.4f CT %.4f Hu %.4f", a.ROMS.c_str(), a.Family,
                  a.Temperature, a.CorrectTemp, a.Hu);
    return line;
  }

  std::string Report() {
    std::string out;
    for (int i = 0; i < found; ++i) {
      const std::string read = ReadSlot(i);
      out += SlotValues(i) + " | " + read + "\n";
    }
    return out;
  }

  core::MemoryText stat1;
  onewire::BusSession session;
  onewire::DeviceCatalog catalog;
  FakePump pump;
  FakeDialogs dialogs;
  measure::BusSensorReaders readers;
  int found = 0;
};

// What the units report over the simulated driver on the bus of
// `bus_json`: the reference a real adapter's driver must match.
inline std::string SimulatedReport(const char* bus_json) {
  core::VirtualClock clock;
  sim::SimulatedDriver driver(clock, sim::ParseBusFile(bus_json, "reference"));
  ReadingRig rig(driver.tmex(), clock);
  if (rig.Scan(1, 6) < 0) return "scan failed";
  return rig.Report();
}

}  // namespace orvel::testing_support
