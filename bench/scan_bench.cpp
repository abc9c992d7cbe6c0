// One ScanBus of 100 simulated devices: the CPU time of the model and the
// scan, and the modelled standard-speed bus time the scan would take on a
// real line.
#include <benchmark/benchmark.h>

#include <memory>

#include "core/memory_controls.h"
#include "core/settings.h"
#include "core/virtual_clock.h"
#include "onewire/bus_scanner.h"
#include "onewire/device_catalog.h"
#include "onewire/sim/devices/rom_only_device.h"
#include "onewire/sim/simulated_driver.h"
#include "support/fake_platform.h"

namespace {

using namespace orvel;

void BM_ScanBus(benchmark::State& state) {
  const auto devices = static_cast<std::uint64_t>(state.range(0));
  core::VirtualClock clock;
  sim::SimulatedDriver driver(clock);
  for (std::uint64_t i = 0; i < devices; ++i) {
    driver.bus().Add(std::make_unique<sim::RomOnlyDevice>(
        onewire::MakeRom(0x28, 0x0000012A0000ULL + i * 0x10001ULL), sim::Faults{}));
  }
  onewire::BusSession bus(driver.tmex());
  core::MemoryText stat1;
  core::MemoryList port;
  core::MemoryList adapter;
  testing_support::FakeDialogs dialogs;
  testing_support::FakePump pump;
  const core::StartupSettings settings{false, {}, 30};
  core::DateTime deadline = 0.0;
  onewire::DeviceCatalog catalog(bus, stat1);
  onewire::BusScanner scanner(bus, catalog, {stat1, port, adapter}, dialogs, pump, clock, settings,
                              deadline);
  scanner.FillPortAndAdapterLists();

  sim::BusTraffic per_scan{};
  for (auto _ : state) {
    driver.bus().ResetTraffic();
    benchmark::DoNotOptimize(scanner.ScanBus());
    per_scan = driver.bus().traffic();
  }
  if (scanner.FoundDev != static_cast<std::int16_t>(devices)) {
    state.SkipWithError("the scan did not find every device");
  }
  state.counters["found"] = scanner.FoundDev;
  state.counters["resets"] = static_cast<double>(per_scan.resets);
  state.counters["slots"] = static_cast<double>(per_scan.slots);
  state.counters["bus_ms"] = static_cast<double>(per_scan.bus_us) / 1000.0;
}

BENCHMARK(BM_ScanBus)->Arg(100)->Arg(10)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
