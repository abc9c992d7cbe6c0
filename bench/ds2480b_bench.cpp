// Serial traffic and modelled time through a DS2480B: one reading of each
// kind at 9600 baud (bytes each way, the time they take on the line at 10
// bits a byte, the 1-Wire time and the waits of the reader), and whole polls
// of small buses at both line speeds, next to the least a poll can take.
// Runs in virtual time against the adapter model, so the figures are exact.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

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
#include "station_rig.h"
#include "support/fake_platform.h"

namespace {

using namespace orvel;

using testing_support::FakeDialogs;
using testing_support::FakePump;

struct Rig {
  explicit Rig(const std::string& device_json) {
    auto spec = sim::ParseBusFile("{\"devices\": [" + device_json + "]}", "bench");
    for (auto& d : spec.devices) bus.Add(std::move(d));
    model.IgnoreBaudChange(true);  // these figures are for a line kept at 9600
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
  double out = 0, in = 0, serial_us = 0, bus_us = 0, wait_us = 0, pullup_us = 0;
  for (auto _ : state) {
    const auto sent = rig.master->bytes_sent();
    const auto got = rig.master->bytes_received();
    const double serial0 = rig.model.serial_us();
    rig.bus.ResetTraffic();
    const auto t0 = rig.clock.ElapsedMicros();
    read(rig.readers);
    out += static_cast<double>(rig.master->bytes_sent() - sent);
    in += static_cast<double>(rig.master->bytes_received() - got);
    serial_us += rig.model.serial_us() - serial0;
    bus_us += static_cast<double>(rig.bus.traffic().bus_us);
    pullup_us += static_cast<double>(rig.bus.traffic().strong_pullup_us);
    wait_us += static_cast<double>(rig.clock.ElapsedMicros() - t0);
  }
  const double n = static_cast<double>(state.iterations());
  const double serial_ms = serial_us / n / 1000.0;
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

// The serial line in time: the host's bytes leave one after another at the
// line speed, the adapter takes each once it has arrived and its 1-Wire work
// before it is done, and its answers come back one after another. A read
// waits for the last byte it asks for, a missing one for the whole timeout.
// So a batch overlaps its transfer with the bus work, while a byte at a time
// pays every turn of the line.
class PacedStream final : public onewire::ByteStream {
 public:
  PacedStream(sim::Ds2480bModel& model, sim::SimBus& bus) : model_(model), bus_(bus) {}

  bool Write(const std::uint8_t* data, std::size_t n) override {
    for (std::size_t i = 0; i < n; ++i) {
      line_in_ = std::max(line_in_, now_) + ByteMicros(baud_);
      const std::int64_t before = bus_.traffic().bus_us;
      std::vector<std::uint8_t> out;
      model_.Receive(data[i], baud_, out);
      adapter_ = std::max(adapter_, line_in_) + static_cast<double>(bus_.traffic().bus_us - before);
      for (const std::uint8_t b : out) {
        // Answers leave at the adapter's speed, whatever the host expects.
        line_out_ = std::max(line_out_, adapter_) + ByteMicros(model_.Baud());
        replies_.push_back({b, line_out_});
      }
    }
    return true;
  }
  std::size_t Read(std::uint8_t* data, std::size_t n, int timeout_ms) override {
    std::size_t got = 0;
    while (got < n && !replies_.empty()) {
      data[got++] = replies_.front().byte;
      now_ = std::max(now_, replies_.front().at);
      replies_.pop_front();
    }
    if (got < n) now_ += 1000.0 * timeout_ms;
    return got;
  }
  bool SetBaud(int baud) override {
    baud_ = baud;
    return true;
  }
  void SendBreak() override {}
  void FlushInput() override { replies_.clear(); }
  bool Alive() const override { return true; }

  // Time the host has spent on the line, in microseconds.
  double link_us() const { return now_; }

 private:
  struct Reply {
    std::uint8_t byte;
    double at;
  };
  static double ByteMicros(int baud) { return 10.0e6 / baud; }

  sim::Ds2480bModel& model_;
  sim::SimBus& bus_;
  std::deque<Reply> replies_;
  int baud_ = 9600;
  double now_ = 0, line_in_ = 0, adapter_ = 0, line_out_ = 0;
};

// The program's whole poll (scan, every listed device read for the journal,
// the closing broadcast) through the driver and the model on a paced line.
struct PollRig {
  PollRig(const std::string& devices_json, const std::function<void(sim::Ds2480bModel&)>& setup,
          measure::FastMode fast)
      : station(clock, tmex, fast) {
    auto spec = sim::ParseBusFile("{\"devices\": [" + devices_json + "]}", "bench");
    for (auto& d : spec.devices) bus.Add(std::move(d));
    setup(model);
  }

  core::VirtualClock clock;
  sim::SimBus bus{clock};
  sim::Ds2480bModel model{bus};
  PacedStream* line = nullptr;
  std::shared_ptr<onewire::Ds2480bMaster> master = std::make_shared<onewire::Ds2480bMaster>(
      [this](std::string*) {
        auto stream = std::make_unique<PacedStream>(model, bus);
        line = stream.get();
        return stream;
      },
      "model");
  onewire::TmexOverMaster tmex{[this](std::int16_t, std::int16_t, std::int32_t*) { return master; },
                               onewire::DefaultPort{1, 5}, "bench"};
  bench::StationRig station;
};

// What the task's measurements give for each bus: the least a poll can
// take, and the serial bytes of the two peer programs.
struct Reference {
  double least_ms, least_bytes, digitemp_bytes, owfs_bytes;
};

void Poll(benchmark::State& state, const std::string& devices,
          const std::function<void(sim::Ds2480bModel&)>& setup, measure::FastMode fast,
          const Reference& reference) {
  PollRig rig(devices, setup, fast);
  rig.station.OnePoll();  // the first poll builds the lists (and sets the line up)
  double bytes = 0, serial_us = 0, link_us = 0, wire_us = 0, waits_us = 0, longest_us = 0,
         most_bytes = 0;
  for (auto _ : state) {
    const auto sent = rig.master->bytes_sent() + rig.master->bytes_received();
    const double serial0 = rig.model.serial_us(), link0 = rig.line->link_us();
    const std::int64_t wire0 = rig.bus.traffic().bus_us;
    rig.station.OnePoll();
    const auto poll_bytes =
        static_cast<double>(rig.master->bytes_sent() + rig.master->bytes_received() - sent);
    bytes += poll_bytes;
    most_bytes = std::max(most_bytes, poll_bytes);
    serial_us += rig.model.serial_us() - serial0;
    link_us += rig.line->link_us() - link0;
    wire_us += static_cast<double>(rig.bus.traffic().bus_us - wire0);
    waits_us += static_cast<double>(rig.station.poll_us);
    longest_us = std::max(longest_us,
                          rig.line->link_us() - link0 + static_cast<double>(rig.station.poll_us));
  }
  const double n = static_cast<double>(state.iterations()) * 1000.0;
  state.counters["serial_bytes"] = bytes * 1000.0 / n;
  state.counters["serial_ms"] = serial_us / n;
  state.counters["onewire_ms"] = wire_us / n;
  state.counters["waits_ms"] = waits_us / n;
  // The host's time on the line, its turns included, plus the waits.
  state.counters["modelled_ms"] = (link_us + waits_us) / n;
  // An infinitely fast line: the 1-Wire time and the waits alone.
  state.counters["floor_ms"] = (wire_us + waits_us) / n;
  // The slowest poll: in fast mode the one that also searches the bus.
  state.counters["longest_ms"] = longest_us / 1000.0;
  state.counters["most_bytes"] = most_bytes;
  state.counters["least_ms"] = reference.least_ms;
  state.counters["least_B"] = reference.least_bytes;
  state.counters["digitemp_B"] = reference.digitemp_bytes;
  state.counters["owfs_B"] = reference.owfs_bytes;
}

std::string Thermometers(const char* family, int count, bool parasite) {
  std::string json;
  for (int i = 0; i < count; ++i) {
    // Whole and half degrees: no reading calls for a confirmation pass.
    char device[160];
    std::snprintf(device, sizeof device,
                  R"(%s{ "family": "%s", "serial": "0000012A3B%02X", "temperature": %.1f%s })",
                  i ? ", " : "", family, i + 0x40, 20.5 + i,
                  parasite ? R"(, "parasite": true)" : "");
    json += device;
  }
  return json;
}

const std::string kHumidity =
    R"({ "family": "26", "serial": "000000A1B2C3", "temperature": 24.0, "vdd": 5.0, "rh": 45.0 })";

void AtFullSpeed(sim::Ds2480bModel&) {}
constexpr measure::FastMode kFast{true, measure::kDefaultRescanEvery};
// An adapter that keeps 9600 baud: the driver falls back in the first poll.
void At9600(sim::Ds2480bModel& model) { model.IgnoreBaudChange(true); }

}  // namespace

BENCHMARK(BM_Thermometer28)->Iterations(20);
BENCHMARK(BM_ParasiteThermometer10)->Iterations(20);
BENCHMARK(BM_HumidityModule26)->Iterations(20);
BENCHMARK(BM_BridgeHdc)->Iterations(20);
BENCHMARK(BM_BridgeSht)->Iterations(20);
BENCHMARK(BM_BridgeSts)->Iterations(20);
BENCHMARK(BM_BridgeBmp280)->Iterations(20);

int main(int argc, char** argv) {
  struct Bus {
    const char* name;
    std::string devices;
    Reference reference;
  };
  const Bus buses[] = {
      {"1_DS18B20", Thermometers("28", 1, false), {780, 50, 94, 122}},
      {"1_DS18S20", Thermometers("10", 1, false), {780, 50, 94, 122}},
      {"1_DS2438", kHumidity, {170, 268, 790, 732}},
      {"10_DS18B20", Thermometers("28", 10, false), {980, 428, 850, 1220}},
      {"10_DS18B20_parasite", Thermometers("28", 10, true), {990, 444, 850, 1080}},
  };
  const std::pair<const char*, void (*)(sim::Ds2480bModel&)> speeds[] = {
      {"115200", AtFullSpeed},
      {"9600", At9600},
  };
  for (const auto& bus : buses) {
    for (const auto& [speed, setup] : speeds) {
      benchmark::RegisterBenchmark((std::string("BM_Poll_") + bus.name + "/" + speed).c_str(),
                                   [&bus, setup = setup](benchmark::State& s) {
                                     Poll(s, bus.devices, setup, {}, bus.reference);
                                   })
          ->Iterations(3)
          ->Unit(benchmark::kMillisecond);
    }
    // Fast mode at full speed, over one whole search period: nine polls
    // without a search and one with.
    benchmark::RegisterBenchmark(
        (std::string("BM_FastPoll_") + bus.name + "/115200").c_str(),
        [&bus](benchmark::State& s) { Poll(s, bus.devices, AtFullSpeed, kFast, bus.reference); })
        ->Iterations(kFast.rescanEvery)
        ->Unit(benchmark::kMillisecond);
  }
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
