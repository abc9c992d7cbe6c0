// What a fresh reading costs the polling thread when MQTT is on: building
// its message and queueing it, with the broker away (nothing leaves the
// queue) or a full queue dropping its oldest.
#include <benchmark/benchmark.h>

#include "onewire/rom_code.h"
#include "publish/mqtt_publisher.h"

namespace {

using namespace orvel;

publish::PublisherSettings Unreachable(std::size_t queue) {
  publish::PublisherSettings s;
  s.url = {"127.0.0.1", 1, false};  // nothing listens on port 1
  s.station = "bench";
  s.queueSize = queue;
  s.firstRetry = std::chrono::seconds(60);
  return s;
}

void BM_OnReading(benchmark::State& state) {
  const auto rom = onewire::MakeRom(0x28, 0x12A3B4C);
  const measure::Reading reading{
      {rom, onewire::RomText(rom), 0x28}, measure::Quantity::Temperature, 21.0625, 46000.5};
  publish::MqttPublisher publisher(Unreachable(static_cast<std::size_t>(state.range(0))));
  for (auto _ : state) publisher.OnReading(reading);
  state.counters["dropped"] = static_cast<double>(publisher.mqttCounters().dropped);
}
BENCHMARK(BM_OnReading)->Arg(1000)->Arg(1000000);

}  // namespace

BENCHMARK_MAIN();
