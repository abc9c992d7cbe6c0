// Serial traffic and modelled time of one reading of each kind through a
// DS2480B at 9600 baud: bytes each way, the time they take on the line
// (10 bits a byte), the 1-Wire time and the waits of the reader. Runs in
// virtual time against the adapter model, so the figures are exact.
#include <benchmark/benchmark.h>

#include <functional>
#include <memory>
#include <string>

#include "core/memory_controls.h"
#include "core/virtual_clock.h"
#include "measure/bus_sensor_readers.h"
#include "onewire/device_catalog.h"
#include "onewire/ds2480b/ds2480b_master.h"
#include "onewire/sim/adapters/ds2480b_model.h"
#include "onewire/sim/adapters/model_stream.h"
#include "onewire/sim/bus_file.h"
#include "onewire/sim/sim_bus.h"
#include "onewire/tmex_over_master.h"
#include "support/fake_platform.h"

namespace {

using namespace orvel;

using testing_support::FakeDialogs;
using testing_support::FakePump;

constexpr double kBaud = 9600.0;

struct Rig {
  explicit Rig(const std::string& device_json) {
    auto spec = sim::ParseBusFile("{\"devices\": [" + device_json + "]}", "bench");
    for (auto& d : spec.devices) bus.Add(std::move(d));
    session.SHandle = tmex.TMExtendedStartSession(1, 5, nullptr);
    tmex.TMSetup(session.SHandle);
    tmex.TMFirst(session.SHandle, session.StateBuf.data());
    session.ROM[0] = 0;
    tmex.TMRom(session.SHandle, session.StateBuf.data(), session.ROM.data());
    catalog.RegisterDevice(session.ROM.data(), 0);
  }

  core::VirtualClock clock;
  sim::SimBus bus{clock};
  sim::Ds2480bModel model{bus};
  std::shared_ptr<onewire::Ds2480bMaster> master = std::make_shared<onewire::Ds2480bMaster>(
      [this](std::string*) { return std::make_unique<sim::ModelStream>(model); }, "model");
  onewire::TmexOverMaster tmex{[this](std::int16_t, std::int16_t, std::int32_t*) { return master; },
                               onewire::DefaultPort{1, 5}, "bench"};
  onewire::BusSession session{tmex};
  core::MemoryText stat1;
  onewire::DeviceCatalog catalog{session, stat1};
  FakePump pump;
  FakeDialogs dialogs;
  measure::BusSensorReaders readers{session, catalog.Asens, clock, pump, dialogs};
};

void Reading(benchmark::State& state, const std::string& device,
             const std::function<void(measure::BusSensorReaders&)>& read) {
  Rig rig(device);
  double out = 0, in = 0, bus_us = 0, wait_us = 0, pullup_us = 0;
  for (auto _ : state) {
    const auto sent = rig.master->bytes_sent();
    const auto got = rig.master->bytes_received();
    rig.bus.ResetTraffic();
    const auto t0 = rig.clock.ElapsedMicros();
    read(rig.readers);
    out += static_cast<double>(rig.master->bytes_sent() - sent);
    in += static_cast<double>(rig.master->bytes_received() - got);
    bus_us += static_cast<double>(rig.bus.traffic().bus_us);
    pullup_us += static_cast<double>(rig.bus.traffic().strong_pullup_us);
    wait_us += static_cast<double>(rig.clock.ElapsedMicros() - t0);
  }
  const double n = static_cast<double>(state.iterations());
  const double serial_ms = (out + in) / n * 10.0 / kBaud * 1000.0;
  state.counters["bytes_out"] = out / n;
  state.counters["bytes_in"] = in / n;
  state.counters["serial_ms"] = serial_ms;
  state.counters["onewire_ms"] = bus_us / n / 1000.0;
  state.counters["pullup_ms"] = pullup_us / n / 1000.0;
  state.counters["wait_ms"] = wait_us / n / 1000.0;
  // The line and the bus take turns for every reply, and the reader's
  // waits come on top.
  state.counters["modelled_ms"] = serial_ms + bus_us / n / 1000.0 + wait_us / n / 1000.0;
}

void BM_Thermometer28(benchmark::State& state) {
  Reading(state, R"({ "family": "28", "serial": "0000012A3B4C", "temperature": 23.5 })",
          [](auto& r) { r.ReadThermometer(0); });
}
void BM_ParasiteThermometer10(benchmark::State& state) {
  Reading(
      state,
      R"({ "family": "10", "serial": "000801A2B3C4", "temperature": -10.25, "parasite": true })",
      [](auto& r) { r.ReadThermometer(0); });
}
void BM_HumidityModule26(benchmark::State& state) {
  Reading(
      state,
      R"({ "family": "26", "serial": "000000A1B2C3", "temperature": 24.0, "vdd": 5.0, "rh": 45.0 })",
      [](auto& r) { r.getValueHLT(0); });
}
void BM_BridgeHdc(benchmark::State& state) {
  Reading(state,
          R"({ "family": "19", "serial": "0000001D2E3F",
               "i2c": { "hdc": { "temperature": 21.3, "humidity": 45.2, "serial": "0102030405A6" } } })",
          [](auto& r) { r.getValue_HDC_THP(0); });
}
void BM_BridgeSht(benchmark::State& state) {
  Reading(state,
          R"({ "family": "19", "serial": "0000001D2E40",
               "i2c": { "sht": { "temperature": 19.0, "humidity": 55.0, "serial": "1A2B3C4D" } } })",
          [](auto& r) { r.getValue_SHT_TH(0); });
}
void BM_BridgeSts(benchmark::State& state) {
  Reading(state,
          R"({ "family": "19", "serial": "0000001D2E41",
               "i2c": { "sts": { "temperature": 30.5, "serial": "0A0B0C0D" } } })",
          [](auto& r) { r.getValue_STS_T(0); });
}
void BM_BridgeBmp280(benchmark::State& state) {
  Reading(state,
          R"({ "family": "19", "serial": "0000001D2E3F",
               "i2c": { "bmp280": { "temperature": 22.1, "pressure": 100653.27 } } })",
          [](auto& r) { r.getValue_HDC_TP(0); });
}

}  // namespace

BENCHMARK(BM_Thermometer28)->Iterations(20);
BENCHMARK(BM_ParasiteThermometer10)->Iterations(20);
BENCHMARK(BM_HumidityModule26)->Iterations(20);
BENCHMARK(BM_BridgeHdc)->Iterations(20);
BENCHMARK(BM_BridgeSht)->Iterations(20);
BENCHMARK(BM_BridgeSts)->Iterations(20);
BENCHMARK(BM_BridgeBmp280)->Iterations(20);
BENCHMARK_MAIN();
