// One full reading of a bridge probe with an HDC and a BMP280, as the
// measurement cycle runs it (the three chip serials, the HDC values, the
// pressure sensor's identification and measurement), on the simulated bus
// in virtual time: the CPU time of model and drivers, and the modelled time
// on a real line (waits plus standard-speed bus time) next to the floor
// that its transfers, waits and conversions set.
#include <benchmark/benchmark.h>

#include <array>
#include <memory>

#include "core/virtual_clock.h"
#include "onewire/sim/bus_file.h"
#include "onewire/sim/simulated_driver.h"
#include "sensors/bridge_sensors.h"
#include "sensors/ds28e17_transfers.h"
#include "sensors/pressure_sensor.h"
#include "support/fake_platform.h"

namespace {

using namespace orvel;

// A TMStrongAccess: reset, Search ROM and 64 triplets.
constexpr std::int64_t kStrongAccessUs = sim::kResetMicros + (8 + 64 * 3) * sim::kSlotMicros;

// One transfer at its cheapest: a fresh access, the frame, one busy poll
// and the bytes clocked in after it.
struct Transfer {
  int frame;
  int reply;
};

constexpr std::int64_t TransferUs(Transfer t) {
  return kStrongAccessUs + ((t.frame + t.reply) * 8 + 1) * sim::kSlotMicros;
}

constexpr Transfer kWrite1{6, 2}, kWrite2{7, 2}, kRead1{5, 2}, kRead2{5, 3}, kRead6{5, 7},
    kRead24{5, 25};

// Six selections of one access each; the pressure measurement's first
// transfer rides on its selection's access instead of a fresh one.
constexpr std::int64_t FloorUs() {
  std::int64_t us = 6 * kStrongAccessUs - kStrongAccessUs;
  for (int i = 0; i < 3; ++i) us += TransferUs(kWrite1) + TransferUs(kRead2);  // HDC serial
  for (int i = 0; i < 2; ++i) us += TransferUs(kWrite1) + TransferUs(kRead2);  // HDC values
  us += 2 * TransferUs(kWrite2);                   // SHT and STS serial commands, refused
  us += TransferUs(kWrite1) + TransferUs(kRead1);  // identification
  us += 2 * TransferUs(kWrite2) + 2 * TransferUs(kWrite1) + TransferUs(kRead6) +
        TransferUs(kRead24);  // forced measurement and calibration
  // The waits cover the conversions (6.35 + 6.5 ms and 38.6 ms).
  return us + (20 + 20 + 100) * 1000;
}

constexpr const char* kBus = R"({"devices": [{"family": "19", "serial": "0000001D2E3F",
  "i2c": {"hdc": {"temperature": 21.3, "humidity": 45.2},
          "bmp280": {"temperature": 25.08, "pressure": 100653.27}}}]})";

void BM_BridgeProbeFullReading(benchmark::State& state) {
  core::VirtualClock clock;
  sim::BusSpec spec = sim::ParseBusFile(kBus, "bench");
  const onewire::RomCode rom = spec.devices[0]->rom();
  sim::SimulatedDriver driver(clock, std::move(spec));
  onewire::BusSession bus(driver.tmex());
  onewire::DeviceTable Asens{};
  for (std::size_t i = 0; i < rom.size(); ++i) Asens[0].ROM[i] = rom[i];
  bus.SHandle = driver.tmex().TMExtendedStartSession(1, 6, nullptr);
  driver.tmex().TMSetup(bus.SHandle);
  testing_support::FakePump pump;
  testing_support::FakeDialogs dialogs;
  sensors::BridgeTransfers transfers(bus, Asens, pump, dialogs);
  sensors::BridgeSensors chips(bus, Asens, transfers, clock);
  sensors::PressureSensor pressure(bus, Asens, transfers, clock, dialogs);

  double modelled_ms = 0.0;
  double bus_ms = 0.0;
  for (auto _ : state) {
    driver.bus().ResetTraffic();
    const auto start = clock.ElapsedMicros();
    std::array<std::uint8_t, 6> buf{};
    chips.getSerial_HDC_THP(buf.data(), 0);
    const bool hdc = chips.getValue_HDC_THP(0).humidity;
    chips.getSerial_SHT_TH(buf.data(), 0);
    chips.getSerial_STS_T(buf.data(), 0);
    pressure.getSerialP(buf.data(), 0);
    const bool bmp = buf[0] == sensors::kBmp280ChipId && pressure.getValue_HDC_TP(0).humidity;
    if (!hdc || !bmp) {
      state.SkipWithError("the reading failed");
      break;
    }
    bus_ms = static_cast<double>(driver.bus().traffic().bus_us) / 1000.0;
    modelled_ms = static_cast<double>(clock.ElapsedMicros() - start) / 1000.0 + bus_ms;
  }
  state.counters["modelled_ms"] = modelled_ms;
  state.counters["bus_ms"] = bus_ms;
  state.counters["floor_ms"] = static_cast<double>(FloorUs()) / 1000.0;
}

BENCHMARK(BM_BridgeProbeFullReading)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
