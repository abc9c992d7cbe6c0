// A whole poll of a bus with 10 thermometers, 3 humidity modules and 3
// bridge probes, journal on: the modelled time on a real line next to the
// waits the algorithm mandates, the CPU time of a poll without its virtual
// waits, the logger's peak memory over 1000 polls and the CPU time the
// logger spends while it waits for the next poll.
#include <benchmark/benchmark.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <string>
#include <vector>

#include "core/memory_controls.h"
#include "core/virtual_clock.h"
#include "measure/journal_files.h"
#include "measure/poll_loop.h"
#include "measure/station.h"
#include "measure/timer_service.h"
#include "onewire/sim/bus_file.h"
#include "onewire/sim/simulated_driver.h"
#include "station_rig.h"

namespace {

using namespace orvel;

const std::string kBusFile = std::string(ORVEL_BENCH_DIR) + "/poll_bus.json";

// The waits the readers must make for this bus: Convert T of every
// thermometer, the humidity module's two 10 ms conversions and 100 ms
// settling pause, the HDC, SHT and STS measurement times and the BMP280's
// forced measurement.
constexpr double kMandatedWaitMs = 10 * 800.0 + 3 * (2 * 10.0 + 100.0) + 20.0 + 15.0 + 15.0 + 100.0;

struct Rig {
  core::VirtualClock clock;
  sim::SimulatedDriver driver{clock, sim::LoadBusFile(kBusFile)};
  bench::StationRig station{clock, driver.tmex()};
};

void BM_PollWithJournal(benchmark::State& state) {
  Rig rig;
  rig.station.OnePoll();  // the first poll builds the lists
  std::int64_t bus_us = 0, waits_us = 0, pullup_us = 0;
  for (auto _ : state) {
    const sim::BusTraffic before = rig.driver.bus().traffic();
    rig.station.OnePoll();
    const sim::BusTraffic& after = rig.driver.bus().traffic();
    bus_us += after.bus_us - before.bus_us;
    pullup_us += after.strong_pullup_us - before.strong_pullup_us;
    waits_us += rig.station.poll_us;
  }
  const double n = static_cast<double>(state.iterations());
  state.counters["bus_ms"] = static_cast<double>(bus_us) / 1000.0 / n;
  state.counters["waits_ms"] = static_cast<double>(waits_us) / 1000.0 / n;
  state.counters["modelled_ms"] = static_cast<double>(bus_us + waits_us) / 1000.0 / n;
  state.counters["mandated_waits_ms"] = kMandatedWaitMs;
  state.counters["strong_pullup_ms"] = static_cast<double>(pullup_us) / 1000.0 / n;
}

// Runs the logger and returns its resource use; -1 exit status on failure.
struct ChildRun {
  int status = -1;
  rusage usage{};
  double wall_s = 0;
};

ChildRun RunLogger(const std::vector<std::string>& args) {
  ChildRun run;
  const auto start = std::chrono::steady_clock::now();
  const pid_t pid = fork();
  if (pid == 0) {
    std::vector<char*> argv{const_cast<char*>(ORVEL_LOGGER_PATH)};
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    if (freopen("/dev/null", "w", stdout) == nullptr) _exit(126);
    execv(ORVEL_LOGGER_PATH, argv.data());
    _exit(127);
  }
  int status = 0;
  if (pid < 0 || wait4(pid, &status, 0, &run.usage) < 0) return run;
  run.wall_s = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return run;
}

double CpuMs(const rusage& u) {
  return (static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) * 1000.0) +
         static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1000.0;
}

void BM_LoggerPeakRss1000Polls(benchmark::State& state) {
  char pattern[] = "/tmp/orvel-rss-bench-XXXXXX";
  const std::string dir = mkdtemp(pattern);
  ChildRun run;
  for (auto _ : state) {
    run = RunLogger({"--bus", kBusFile, "--journal", dir, "--interval", "1", "--cycles", "1000",
                     "--virtual-time"});
  }
  std::filesystem::remove_all(dir);
  if (run.status != 0) state.SkipWithError("the logger failed");
  state.counters["peak_rss_MB"] = static_cast<double>(run.usage.ru_maxrss) / 1024.0;
  state.counters["cpu_ms_per_poll"] = CpuMs(run.usage) / 1000.0;
}

// Real time: two polls of a bus without devices, three seconds apart; the
// process should sleep in between.
void BM_LoggerCpuBetweenPolls(benchmark::State& state) {
  ChildRun run;
  for (auto _ : state) {
    run =
        RunLogger({"--bus", std::string(ORVEL_EXAMPLES_DIR) + "/empty-bus.json", "--cycles", "2"});
  }
  if (run.status != 0) state.SkipWithError("the logger failed");
  state.counters["wall_s"] = run.wall_s;
  state.counters["cpu_ms_total"] = CpuMs(run.usage);
  state.counters["cpu_ms_per_idle_s"] = CpuMs(run.usage) / run.wall_s;
}

}  // namespace

BENCHMARK(BM_PollWithJournal)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoggerPeakRss1000Polls)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoggerCpuBetweenPolls)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
