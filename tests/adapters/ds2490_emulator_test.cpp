// The DS2490 driver through libusb, end to end: the console logger runs
// against an independent DS2490 emulator (a libusb-1.0 stand-in forwarding
// to a Python model of the chip), and what it finds and reads is checked
// against the emulator's own description of its bus. Real time, kept to
// seconds: the emulator does not pace the 1-Wire slots.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <nlohmann/json.hpp>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "adapters/emulator_child.h"

namespace {

namespace fs = std::filesystem;
using namespace orvel::testing_support;

const fs::path kEmulators = ORVEL_EMULATORS_DIR;
const fs::path kShimLibDir = ORVEL_DS2490_SHIM_LIB_DIR;

struct LoggerRun {
  int status = -1;
  std::string out;
  std::string err;
};

class Ds2490Emulator : public testing::Test {
 protected:
  void SetUp() override {
    if (!fs::exists(kEmulators / "ds2490" / "ds2490_emu.py") ||
        !fs::exists(kShimLibDir / "libusb-1.0.so.0")) {
      GTEST_SKIP() << "skipped: no DS2490 emulator (../shared/emulators beside the source "
                      "tree, with its libusb stand-in built)";
    }
    // Short: the socket's path must fit a Unix socket address.
    dir_ = fs::temp_directory_path() / ("orvel-ds2490-" + std::to_string(::getpid()));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override {
    if (emulator_) {
      emulator_->Signal(SIGTERM);
      emulator_->Wait();
      emulator_.reset();
    }
    if (!dir_.empty()) fs::remove_all(dir_);
  }

  std::vector<std::string> Python(const fs::path& bus) const {
    return {"python3", (kEmulators / "ds2490" / "ds2490_emu.py").string(), bus.string()};
  }
  std::map<std::string, std::string> Env() const {
    return {{"PYTHONDONTWRITEBYTECODE", "1"},
            {"DS2490_EMU_SOCKET", (dir_ / "emu.sock").string()},
            {"LD_LIBRARY_PATH", kShimLibDir.string()}};
  }

  // The emulator's oracle: every device with the readings a client shows.
  nlohmann::json Describe(const fs::path& bus) { return DescribeBus(Python(bus), Env(), dir_); }

  // Serves `bus` and waits for the socket, the adapter plugged in; returns
  // the emulator's description, taken while it starts.
  nlohmann::json Start(const fs::path& bus) {
    auto argv = Python(bus);
    argv.insert(argv.end(),
                {"--socket", (dir_ / "emu.sock").string(), "--no-pace", "--max-seconds", "120"});
    emulator_ = std::make_unique<Child>(argv, Env(), dir_ / "emu.out", dir_ / "emu.err");
    nlohmann::json described = Describe(bus);
    EXPECT_TRUE(Within(std::chrono::seconds(30),
                       [&] { return fs::is_socket(dir_ / "emu.sock") || emulator_->Ended(); }));
    EXPECT_TRUE(fs::is_socket(dir_ / "emu.sock")) << Slurp(dir_ / "emu.err");
    return described;
  }

  std::unique_ptr<Child> Logger(std::vector<std::string> args) {
    args.insert(args.begin(), {ORVEL_LOGGER_PATH, "--adapter", "ds2490"});
    return std::make_unique<Child>(args, Env(), dir_ / "logger.out", dir_ / "logger.err");
  }
  LoggerRun RunLogger(const std::vector<std::string>& args) {
    LoggerRun run;
    run.status = Logger(args)->Wait();
    run.out = Slurp(dir_ / "logger.out");
    run.err = Slurp(dir_ / "logger.err");
    return run;
  }

  fs::path Bus(const char* name) const { return kEmulators / "buses" / name; }
  fs::path WriteBus(const std::string& json) const {
    std::ofstream(dir_ / "bus.json") << json;
    return dir_ / "bus.json";
  }

  fs::path dir_;
  std::unique_ptr<Child> emulator_;
};

// One bridge (19, SHT3x) whose code sorts after the adapter's own ID chip
// (81): the ID chip comes first, the bridge last.
const char* kBridgeBehindIdChip = R"({"devices": [
  {"type": "DS28E17", "rom": "19.3D2C1B0A0000", "i2c": [
    {"type": "SHT3x", "address": 68, "temperature": 19.5, "humidity": 55.5}]}]})";

struct ScanCase {
  const char* name;
  const char* bus;  // a file of the emulators' buses, or the JSON itself
  std::size_t devices;
};
void PrintTo(const ScanCase& c, std::ostream* os) { *os << c.name; }

class Ds2490EmulatorScan : public Ds2490Emulator, public testing::WithParamInterface<ScanCase> {};

TEST_P(Ds2490EmulatorScan, FindsEveryDeviceTheEmulatorHas) {
  const auto& c = GetParam();
  const fs::path bus = c.bus[0] == '{' ? WriteBus(c.bus) : Bus(c.bus);
  const nlohmann::json described = Start(bus);
  ASSERT_FALSE(HasFailure());
  std::set<std::string> expected;
  for (const auto& device : described["devices"]) {
    expected.insert(TableCode(device["digitemp"].get<std::string>()));
  }
  ASSERT_EQ(expected.size(), c.devices);
  const LoggerRun run = RunLogger({"--scan"});
  ASSERT_EQ(run.status, 0) << run.err;
  const auto lines = Lines(run.out);
  ASSERT_GE(lines.size(), 3U) << run.out;
  EXPECT_EQ(lines[0].rfind("status: Адаптер найден", 0), 0U) << run.out;
  EXPECT_EQ(lines[2], "found: " + std::to_string(c.devices)) << run.out;
  std::set<std::string> found;
  for (std::size_t i = 3; i < lines.size(); ++i) found.insert(lines[i].substr(3, 16));
  EXPECT_EQ(found, expected);
}

INSTANTIATE_TEST_SUITE_P(Buses, Ds2490EmulatorScan,
                         testing::Values(ScanCase{"Demo", "demo.json", 7},
                                         ScanCase{"FortyThermometers", "big.json", 41},
                                         ScanCase{"BridgeBehindIdChip", kBridgeBehindIdChip, 2}),
                         [](const testing::TestParamInfo<ScanCase>& info) {
                           return info.param.name;
                         });

TEST_F(Ds2490Emulator, ThermometersAndBridgesReadTheEmulatorsValues) {
  const fs::path bus = Bus("demo.json");
  const nlohmann::json described = Start(bus);
  ASSERT_FALSE(HasFailure());
  const nlohmann::json& devices = described["devices"];
  fs::create_directories(dir_ / "journal");
  const LoggerRun run =
      RunLogger({"--journal", (dir_ / "journal").string(), "--interval", "1", "--cycles", "1"});
  ASSERT_EQ(run.status, 0) << run.err;
  int checked = 0;
  for (const auto& device : devices) {
    const std::string type = device["type"];
    const fs::path file =
        dir_ / "journal" / ("t_" + TableCode(device["digitemp"].get<std::string>()) + ".csv");
    std::vector<double> oracle;
    if (type == "DS18B20" || type == "DS18S20") {
      oracle.push_back(device["temperature_c"].back().get<double>());
    } else if (type == "DS28E17") {
      for (const auto& chip : device["i2c"]) {
        if (chip["type"] != "BMP280") oracle.push_back(chip["temperature_c"].get<double>());
      }
    } else {
      continue;
    }
    const auto values = JournalValues(file);
    ASSERT_EQ(values.size(), oracle.size()) << file << "\n" << run.out;
    for (std::size_t i = 0; i < values.size(); ++i) {
      EXPECT_PRED2(SameReading, values[i], oracle[i]) << file;
      ++checked;
    }
  }
  EXPECT_EQ(checked, 5);  // two thermometers, HDC1080, SHT3x, STS3x
}

TEST_F(Ds2490Emulator, UnpluggedAndPluggedBackPollingResumesByItself) {
  const fs::path bus = WriteBus(
      R"({"devices": [{"type": "DS18B20", "rom": "28.FF641E0F1604", "temperature": 23.0625}]})");
  Start(bus);
  ASSERT_FALSE(HasFailure());
  fs::create_directories(dir_ / "journal");
  const fs::path journal = dir_ / "journal" / "t_1304160F1E64FF28.csv";
  auto logger = Logger({"--journal", (dir_ / "journal").string(), "--interval", "1"});
  // Whole poll lines only.
  const auto polls = [&] {
    const std::string out = Slurp(dir_ / "logger.out");
    return Lines(out.substr(0, out.rfind('\n') + 1));
  };
  const auto last_status = [&] {
    const auto lines = polls();
    return lines.empty() ? std::string() : lines.back().substr(0, lines.back().find(" cmb1820"));
  };
  constexpr auto kLimit = std::chrono::seconds(20);
  ASSERT_TRUE(Within(kLimit, [&] {
    return !JournalValues(journal).empty() &&
           last_status().find("Адаптер найден") != std::string::npos;
  })) << Slurp(dir_ / "logger.err");

  emulator_->Signal(SIGUSR2);  // pulled out
  ASSERT_TRUE(Within(kLimit, [&] {
    return last_status().find("Проверьте подключение адаптера 1Wire!!!") != std::string::npos;
  })) << Slurp(dir_ / "logger.out");
  const std::size_t before = JournalValues(journal).size();
  const std::size_t polls_out = polls().size();

  emulator_->Signal(SIGUSR2);  // back in: a new address, the old handle dead
  ASSERT_TRUE(Within(kLimit, [&] {
    return polls().size() > polls_out &&
           last_status().find("Адаптер найден") != std::string::npos &&
           JournalValues(journal).size() > before;
  })) << Slurp(dir_ / "logger.out");
  for (double value : JournalValues(journal)) EXPECT_PRED2(SameReading, value, 23.0625);

  logger->Signal(SIGTERM);
  EXPECT_EQ(logger->Wait(), 0) << Slurp(dir_ / "logger.err");
}

}  // namespace
