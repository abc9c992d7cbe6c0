#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "support/print_args.h"

namespace {

namespace fs = std::filesystem;

struct LoggerRun {
  int status = -1;
  std::string out;
  std::string err;
};

std::string Quote(const std::string& arg) {
  std::string q = "'";
  for (char c : arg) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

std::string Slurp(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// Runs the built logger with `args`, capturing both streams and the exit
// status.
LoggerRun RunLogger(const std::vector<std::string>& args) {
  const fs::path dir =
      fs::temp_directory_path() / ("orvel-logger-test-" + std::to_string(::getpid()));
  fs::create_directories(dir);
  std::string command = Quote(ORVEL_LOGGER_PATH);
  for (const auto& a : args) command += " " + Quote(a);
  command += " >" + Quote((dir / "out").string()) + " 2>" + Quote((dir / "err").string());
  const int raw = std::system(command.c_str());
  LoggerRun run;
  run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  run.out = Slurp(dir / "out");
  run.err = Slurp(dir / "err");
  fs::remove_all(dir);
  return run;
}

std::string Example(const char* name) { return std::string(ORVEL_EXAMPLES_DIR) + "/" + name; }

struct ScanCase {
  const char* file;
  const char* out;
  const char* err;
};
void PrintTo(const ScanCase& c, std::ostream* os) { *os << c.file; }

class LoggerScan : public testing::TestWithParam<ScanCase> {};

TEST_P(LoggerScan, PrintsExactlyTheScanReport) {
  const auto& c = GetParam();
  const LoggerRun run = RunLogger({"--bus", Example(c.file), "--scan"});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out, c.out);
  EXPECT_EQ(run.err, c.err);
}

INSTANTIATE_TEST_SUITE_P(
    ExampleBuses, LoggerScan,
    testing::Values(
        ScanCase{"scan-three.json",
                 "status: Адаптер найден\n"
                 "result: 1\n"
                 "found: 3\n"
                 "00 CA000801A2B3C410 16\n"
                 "01 220000012A3B4C28 40\n"
                 "02 4D000000A1B2C326 38\n",
                 ""},
        ScanCase{"id-chip.json",
                 "status: Адаптер найден  3600000BADCAFE01\n"
                 "result: 1\n"
                 "found: 4\n"
                 "00 9700000011223320 0\n"
                 "01 220000012A3B4C28 40\n"
                 "02 5666554433221128 40\n"
                 "03 3600000BADCAFE01 0\n",
                 ""},
        ScanCase{"adapter-absent.json",
                 "status:  Проверьте подключение адаптера 1Wire!!!\n"
                 "result: 0\n"
                 "found: 0\n",
                 ""},
        ScanCase{"no-default-port.json",
                 "status: Не выбран порт для подключения!!!\n"
                 "result: 0\n"
                 "found: 0\n",
                 "Порт 1-wire \"по умолчанию\" не найден. Произведите настройку вручную.\n"},
        ScanCase{"empty-bus.json", "status: Адаптер найден\nresult: 1\nfound: 0\n", ""}));

TEST(LoggerCli, VersionAndHelp) {
  const LoggerRun version = RunLogger({"--version"});
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out, "orvel-logger 0.2.1\n");
  const LoggerRun help = RunLogger({"--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_EQ(help.out.rfind("Usage: orvel-logger [--bus FILE | --adapter SPEC]", 0), 0U);
  EXPECT_NE(help.out.find("--scan"), std::string::npos);
  EXPECT_NE(help.out.find("3 standard output could not be written"), std::string::npos);
  EXPECT_TRUE(help.err.empty());
}

struct Refusal {
  std::vector<std::string> args;
  const char* err;
};
void PrintTo(const Refusal& c, std::ostream* os) { orvel::testing_support::PrintArgs(c.args, os); }

class LoggerRefuses : public testing::TestWithParam<Refusal> {};

TEST_P(LoggerRefuses, WithOneLineAndStatusTwo) {
  const LoggerRun run = RunLogger(GetParam().args);
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.err, GetParam().err);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LoggerRefuses,
    testing::Values(Refusal{{"--bogus"}, "orvel-logger: unknown option --bogus (see --help)\n"},
                    Refusal{{"--bus"}, "orvel-logger: --bus needs a value (see --help)\n"},
                    Refusal{{"--bus", "/nonexistent/bus.json", "--scan"},
                            "orvel-logger: /nonexistent/bus.json: cannot be read\n"},
                    Refusal{{"--bus", "/dev/zero", "--scan"},
                            "orvel-logger: /dev/zero: larger than 16 MiB\n"},
                    Refusal{{"--config", "/nonexistent/orvel.conf"},
                            "orvel-logger: /nonexistent/orvel.conf: cannot be read (see --help)\n"},
                    Refusal{{"--config", "/dev/zero", "--scan"},
                            "orvel-logger: /dev/zero: larger than 1 MiB (see --help)\n"}));

// A run through a configuration file is the run of its command line, and
// the command line still overrides the file.
TEST(LoggerCli, ConfigurationFileRunsAsItsCommandLine) {
  const fs::path file =
      fs::temp_directory_path() / ("orvel-logger-conf-" + std::to_string(::getpid()) + ".conf");
  std::ofstream(file) << "# the demo bus\nbus = \"" << Example("demo.json")
                      << "\"\nvirtual-time = true\ncycles = 5\ninterval = 30\n";
  const LoggerRun by_file = RunLogger({"--config", file.string(), "--cycles", "3"});
  std::ofstream(file, std::ios::app) << "jornal = \"/tmp\"\n";
  const LoggerRun misspelt = RunLogger({"--config", file.string()});
  fs::remove(file);
  const LoggerRun by_args = RunLogger(
      {"--bus", Example("demo.json"), "--virtual-time", "--cycles", "3", "--interval", "30"});
  EXPECT_EQ(by_file.status, 0) << by_file.err;
  EXPECT_EQ(by_file.err, by_args.err);
  // The same polls: the virtual clock starts at the real time, so the stamps
  // and the sensors' values in time may differ, the lines' fields may not.
  const auto fields = [](const std::string& out) {
    std::string names;
    for (char c : out) names += (c == '=' || c == '\n') ? std::string(1, c) : "";
    return names;
  };
  EXPECT_EQ(std::count(by_file.out.begin(), by_file.out.end(), '\n'), 3) << by_file.out;
  EXPECT_EQ(fields(by_file.out), fields(by_args.out));
  EXPECT_NE(by_file.out.find("stat1=\"Адаптер найден"), std::string::npos) << by_file.out;
  EXPECT_EQ(misspelt.status, 2);
  EXPECT_EQ(misspelt.out, "");
  EXPECT_EQ(misspelt.err,
            "orvel-logger: " + file.string() + ": unknown key 'jornal' (see --help)\n");
}

struct BadBus {
  const char* name;
  std::string text;
  std::string problem;  // what follows "orvel-logger: FILE: "
};
void PrintTo(const BadBus& c, std::ostream* os) { *os << c.name; }

// An integer no 64-bit type holds, read as a double that overflows.
const std::string kFourHundredDigits = "1" + std::string(399, '0');

class LoggerRefusesBusFile : public testing::TestWithParam<BadBus> {};

// Whatever is wrong with the file, one line naming it, the place and the
// problem, and status 2; never an abort.
TEST_P(LoggerRefusesBusFile, WithOneLineNamingFilePlaceAndProblem) {
  const fs::path file =
      fs::temp_directory_path() / ("orvel-bad-bus-" + std::to_string(::getpid()) + ".json");
  std::ofstream(file) << GetParam().text;
  const LoggerRun run = RunLogger({"--bus", file.string(), "--scan"});
  fs::remove(file);
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.err, "orvel-logger: " + file.string() + ": " + GetParam().problem + "\n");
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, LoggerRefusesBusFile,
    testing::Values(
        BadBus{
            "NumberAboveDouble",
            R"({ "devices": [ { "family": "28", "serial": "000000000001", "temperature": 1e400 } ] })",
            "line 1, column 75: a number too large for a double (1e400)"},
        BadBus{"NumberBelowDouble",
               R"({ "devices": [ { "family": "28", "serial": "000000000001", "th": -1e400 } ] })",
               "line 1, column 66: a number too large for a double (-1e400)"},
        BadBus{"IntegerOfFourHundredDigits",
               "{ \"adapter\": { \"present\": " + kFourHundredDigits + " } }",
               "line 1, column 27: a number too large for a double (" + kFourHundredDigits + ")"},
        BadBus{"SinePeriodTiny", R"({ "devices": [ { "family": "19", "serial": "000000000001",
                   "i2c": { "hdc": { "humidity": { "base": 45, "period_s": 5e-324 } } } } ] })",
               "/devices/0/i2c/hdc/humidity/period_s: expected seconds from 0.001 to 1000000000"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(LoggerCli, BadBusFileNamesFilePlaceAndProblem) {
  const fs::path file =
      fs::temp_directory_path() / ("orvel-bad-bus-" + std::to_string(::getpid()) + ".json");
  std::ofstream(file) << R"({ "devices": [ { "family": "2X", "serial": "000000000001" } ] })";
  const LoggerRun run = RunLogger({"--bus", file.string(), "--scan"});
  fs::remove(file);
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.err, "orvel-logger: " + file.string() +
                         ": /devices/0/family: expected two hexadecimal digits\n");
}

// A bus longer than the device table: the first 100 in search order, and
// a word on standard error about the rest.
TEST(LoggerCli, ABusOfHundredTwentyGivesFoundHundredAndNamesTheRest) {
  const fs::path file =
      fs::temp_directory_path() / ("orvel-120-bus-" + std::to_string(::getpid()) + ".json");
  {
    std::ofstream out(file);
    out << "{ \"devices\": [\n";
    for (int i = 0; i < 120; ++i) {
      char serial[16];
      std::snprintf(serial, sizeof serial, "%012X", 0x5000 + i * 37);
      out << (i ? ",\n" : "") << "{ \"family\": \"28\", \"serial\": \"" << serial << "\" }";
    }
    out << "\n] }\n";
  }
  const LoggerRun run = RunLogger({"--bus", file.string(), "--scan"});
  fs::remove(file);
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.err,
            "Найдено устройств: 120, в таблицу вошли первые 100; не показано устройств: 20.\n");
  std::istringstream lines(run.out);
  std::string line;
  std::vector<std::string> all;
  while (std::getline(lines, line)) all.push_back(line);
  ASSERT_EQ(all.size(), 103U);
  EXPECT_EQ(all[2], "found: 100");
  EXPECT_EQ(all[3].substr(0, 3), "00 ");
  EXPECT_EQ(all[102].substr(0, 3), "99 ");
  EXPECT_EQ(all[102].substr(all[102].size() - 3), " 40");
}

}  // namespace
