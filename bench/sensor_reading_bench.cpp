// One reading of each kind on the simulated bus in virtual time: the CPU
// time of model and reader, and the modelled time the reading takes on a
// real line (its waits plus standard-speed bus time), next to the floor its
// protocol sets.
#include <benchmark/benchmark.h>

#include <memory>

#include "core/virtual_clock.h"
#include "onewire/sim/devices/ds18b20_device.h"
#include "onewire/sim/devices/ds18s20_device.h"
#include "onewire/sim/devices/ds2438_device.h"
#include "onewire/sim/simulated_driver.h"
#include "sensors/humidity_reader.h"
#include "sensors/thermometer_reader.h"
#include "support/fake_platform.h"

namespace {

using namespace orvel;

// Standard-speed time of resets and whole bytes.
double BusMs(int resets, int bytes) {
  return static_cast<double>(resets * sim::kResetMicros + bytes * 8 * sim::kSlotMicros) / 1000.0;
}

// The least a thermometer reading can cost: Match ROM + Convert T, the 800 ms
// wait, Match ROM + Read Scratchpad + nine bytes.
const double kThermometerFloorMs = 800.0 + BusMs(2, 9 + 1 + 9 + 1 + 9);
// The humidity module, nine commands each after Match ROM: Convert T,
// Convert V, a page poll (Recall, 10 ms, Read + nine bytes), Write and Copy
// of the configuration, the 100 ms pause, Convert V, a second page poll.
const double kHumidityFloorMs =
    2 * 10.0 + 100.0 + BusMs(9, 9 * 9 + 1 + 1 + 2 * (2 + 2 + 9) + 3 + 2 + 1);

struct Bench {
  core::VirtualClock clock;
  sim::SimulatedDriver driver{clock};
  onewire::BusSession bus{driver.tmex()};
  onewire::DeviceTable Asens{};
  testing_support::FakePump pump;

  void Slot(const onewire::RomCode& rom) {
    for (std::size_t i = 0; i < rom.size(); ++i) Asens[0].ROM[i] = rom[i];
    Asens[0].Family = rom[0];
    bus.SHandle = driver.tmex().TMExtendedStartSession(1, 6, nullptr);
    driver.tmex().TMSetup(bus.SHandle);
  }
};

template <typename Read>
void Measure(benchmark::State& state, Bench& b, double floor_ms, Read read) {
  double modelled_ms = 0.0;
  double bus_ms = 0.0;
  for (auto _ : state) {
    b.driver.bus().ResetTraffic();
    const auto start = b.clock.ElapsedMicros();
    if (!read()) {
      state.SkipWithError("the reading failed");
      break;
    }
    bus_ms = static_cast<double>(b.driver.bus().traffic().bus_us) / 1000.0;
    modelled_ms = static_cast<double>(b.clock.ElapsedMicros() - start) / 1000.0 + bus_ms;
  }
  state.counters["modelled_ms"] = modelled_ms;
  state.counters["bus_ms"] = bus_ms;
  state.counters["floor_ms"] = floor_ms;
}

// One thermometer of the given model on the bus, read again and again.
template <typename Device>
void ReadThermometerOn(benchmark::State& state, const onewire::RomCode& rom, double celsius,
                       bool parasite) {
  Bench b;
  sim::ThermometerSettings s;
  s.temperature = sim::SimValue::Constant(celsius);
  s.parasite = parasite;
  b.driver.bus().Add(std::make_unique<Device>(rom, sim::Faults{}, s));
  b.Slot(rom);
  sensors::ThermometerReader reader(b.bus, b.Asens, b.clock, b.pump);
  Measure(state, b, kThermometerFloorMs, [&] { return reader.ReadThermometer(0) == 1.0; });
}

void BM_ThermometerDs18b20(benchmark::State& state) {
  ReadThermometerOn<sim::Ds18b20Device>(
      state, onewire::MakeRom(onewire::kFamilyDs18b20, 0x0000012A3B4C), 23.5, false);
}

void BM_ThermometerDs18s20Parasite(benchmark::State& state) {
  ReadThermometerOn<sim::Ds18s20Device>(
      state, onewire::MakeRom(onewire::kFamilyDs18s20, 0x000801A2B3C4), -10.25, true);
}

void BM_HumidityModule(benchmark::State& state) {
  Bench b;
  const auto rom = onewire::MakeRom(0x26, 0x000000A1B2C3);
  sim::Ds2438Settings s;
  s.temperature = sim::SimValue::Constant(24.0);
  s.rh = sim::SimValue::Constant(45.0);
  b.driver.bus().Add(std::make_unique<sim::Ds2438Device>(rom, sim::Faults{}, s));
  b.Slot(rom);
  sensors::HumidityReader reader(b.bus, b.Asens, b.clock, b.pump);
  Measure(state, b, kHumidityFloorMs,
          [&] { return reader.getValueHLT(0) && b.Asens[0].Hu < 900.0; });
}

BENCHMARK(BM_ThermometerDs18b20)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ThermometerDs18s20Parasite)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_HumidityModule)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
