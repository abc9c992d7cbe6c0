#include "onewire/sim/bus_file.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "onewire/rom_code.h"

namespace orvel::sim {
namespace {

struct BadFile {
  const char* name;
  std::string text;
  std::string message;  // the whole message after "bus.json: "
};
// A case prints as its name, in test listings and failures alike.
void PrintTo(const BadFile& c, std::ostream* os) { *os << c.name; }

class BadBusFiles : public testing::TestWithParam<BadFile> {};

TEST_P(BadBusFiles, AreRefusedNamingFilePlaceAndProblem) {
  const auto& c = GetParam();
  try {
    ParseBusFile(c.text, "bus.json");
    FAIL() << "accepted: " << c.text;
  } catch (const BusFileError& e) {
    EXPECT_EQ(std::string(e.what()), std::string("bus.json: ") + c.message);
  }
}

// An integer no 64-bit type holds, read as a double that overflows.
const std::string kFourHundredDigits = "1" + std::string(399, '0');

#define DEV(body) "{ \"devices\": [ " body " ] }"

INSTANTIATE_TEST_SUITE_P(
    Kinds, BadBusFiles,
    testing::Values(
        BadFile{"TopNotObject", "[]", "/: expected an object"},
        BadFile{"UnknownTopKey", R"({ "adaptor": {} })", "/adaptor: unknown setting"},
        BadFile{"AdapterNotObject", R"({ "adapter": true })", "/adapter: expected an object"},
        BadFile{"AdapterPresentNotBoolean", R"({ "adapter": { "present": 1 } })",
                "/adapter/present: expected true or false"},
        BadFile{"AdapterUnknownKey", R"({ "adapter": { "speed": "fast" } })",
                "/adapter/speed: unknown setting"},
        BadFile{"DevicesNotList", R"({ "devices": {} })", "/devices: expected a list"},
        BadFile{"DeviceNotObject", DEV("3"), "/devices/0: expected an object"},
        BadFile{"FamilyMissing", DEV(R"({ "serial": "000000000001" })"),
                "/devices/0/family: missing text"},
        BadFile{"FamilyNotHex", DEV(R"({ "family": "2G", "serial": "000000000001" })"),
                "/devices/0/family: expected two hexadecimal digits"},
        BadFile{"FamilyThreeDigits", DEV(R"({ "family": "028", "serial": "000000000001" })"),
                "/devices/0/family: expected two hexadecimal digits"},
        BadFile{"FamilyNumber", DEV(R"({ "family": 28, "serial": "000000000001" })"),
                "/devices/0/family: expected a text"},
        BadFile{"SerialShort", DEV(R"({ "family": "28", "serial": "00000001" })"),
                "/devices/0/serial: expected twelve hexadecimal digits"},
        BadFile{"SerialMissing", DEV(R"({ "family": "28" })"), "/devices/0/serial: missing text"},
        BadFile{"RomShort", DEV(R"({ "rom": "566655443322112" })"),
                "/devices/0/rom: expected 16 hexadecimal digits"},
        BadFile{"RomAndFamily", DEV(R"({ "rom": "5666554433221128", "family": "28" })"),
                "/devices/0/rom: give either rom or family and serial, not both"},
        BadFile{"SameRomTwice", DEV(R"({ "family": "01", "serial": "000000000001" },
                       { "rom": "0A00000000000101" })"),
                "/devices/1: a second device with ROM 0A00000000000101"},
        BadFile{"UnknownKeyWithNewline", R"({ "adapter": { "a\nb\u007f": 1 } })",
                "/adapter/a\\u000Ab\\u007F: unknown setting"},
        BadFile{"UnknownDeviceKey",
                DEV(R"({ "family": "01", "serial": "000000000001", "temprature": 20 })"),
                "/devices/0/temprature: unknown setting"},
        BadFile{"FaultsNotObject",
                DEV(R"({ "family": "01", "serial": "000000000001", "faults": [] })"),
                "/devices/0/faults: expected an object"},
        BadFile{"FaultsUnknownKey",
                DEV(R"({ "family": "01", "serial": "000000000001", "faults": { "absent": 1 } })"),
                "/devices/0/faults/absent: unknown setting"},
        BadFile{"AbsentAfterNegative", DEV(R"({ "family": "01", "serial": "000000000001",
                         "faults": { "absent_after": -1 } })"),
                "/devices/0/faults/absent_after: expected a whole number from 0 to "
                "9223372036854775807"},
        BadFile{"AbsentAfterFraction", DEV(R"({ "family": "01", "serial": "000000000001",
                         "faults": { "absent_after": 1.5 } })"),
                "/devices/0/faults/absent_after: expected a whole number from 0 to "
                "9223372036854775807"},
        BadFile{"AbsentAfterHugeFloat", DEV(R"({ "family": "01", "serial": "000000000001",
                         "faults": { "absent_after": 1e30 } })"),
                "/devices/0/faults/absent_after: expected a whole number from 0 to "
                "9223372036854775807"},
        BadFile{"AbsentAfterAboveInt64", DEV(R"({ "family": "01", "serial": "000000000001",
                         "faults": { "absent_after": 18446744073709551615 } })"),
                "/devices/0/faults/absent_after: expected a whole number from 0 to "
                "9223372036854775807"},
        BadFile{"AbsentAfterText", DEV(R"({ "family": "01", "serial": "000000000001",
                         "faults": { "absent_after": "3" } })"),
                "/devices/0/faults/absent_after: expected a whole number"},
        BadFile{"ReturnsWithoutAbsent", DEV(R"({ "family": "01", "serial": "000000000001",
                         "faults": { "returns_after": 3 } })"),
                "/devices/0/faults/returns_after: needs absent_after"},
        BadFile{"ReturnsBeforeAbsent", DEV(R"({ "family": "01", "serial": "000000000001",
                         "faults": { "absent_after": 3, "returns_after": 3 } })"),
                "/devices/0/faults/returns_after: must be above absent_after"},
        BadFile{"CrcRateAboveOne", DEV(R"({ "family": "01", "serial": "000000000001",
                         "faults": { "crc_error_rate": 2 } })"),
                "/devices/0/faults/crc_error_rate: expected a number from 0 to 1"},
        BadFile{"SeedNegative",
                DEV(R"({ "family": "01", "serial": "000000000001", "faults": { "seed": -1 } })"),
                "/devices/0/faults/seed: expected a whole number from 0 to 4294967295"},
        BadFile{"FaultFlagNotBoolean",
                DEV(R"({ "family": "01", "serial": "000000000001", "faults": { "nack": "yes" } })"),
                "/devices/0/faults/nack: expected true or false"},
        BadFile{"NotJson", "{ \"devices\": [\n  { \"family\": \"28\" ]\n}",
                "line 2, column 20: not valid JSON (syntax error while parsing object - "
                "unexpected ']'; expected '}')"},
        BadFile{"Empty", "",
                "line 1, column 1: not valid JSON (syntax error while parsing "
                "value - unexpected end of input; expected '[', '{', or a literal)"},
        // Numbers no double holds: the parser reports them apart from syntax.
        BadFile{"NumberAboveDouble", DEV(R"({ "family": "28", "serial": "000000000001",
                         "temperature": 1e400 })"),
                "line 2, column 41: a number too large for a double (1e400)"},
        BadFile{"NumberBelowDouble",
                R"({ "devices": [ { "family": "28", "temperature": -1e400 } ] })",
                "line 1, column 49: a number too large for a double (-1e400)"},
        BadFile{"FourHundredDigits",
                "{ \"devices\": [ { \"family\": \"28\", \"th\": " + kFourHundredDigits + " } ] }",
                "line 1, column 40: a number too large for a double (" + kFourHundredDigits + ")"},
        BadFile{"NestedTooDeep",
                "{ \"devices\": [ { \"x\": \"[{\" }, [[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[["
                "]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]] ] }",
                "line 1, column 61: nested deeper than 32 levels"},
        // Values the device models could not turn into readings.
        BadFile{"TemperatureOutOfRange",
                DEV(R"({ "family": "28", "serial": "000000000001", "temperature": 1e308 })"),
                "/devices/0/temperature: expected a number from -273.15 to 1000"},
        BadFile{"HumidityBelowZero",
                DEV(R"({ "family": "26", "serial": "000000000001", "rh": -0.5 })"),
                "/devices/0/rh: expected a number from 0 to 100"},
        BadFile{"VoltsOutOfRange",
                DEV(R"({ "family": "26", "serial": "000000000001", "vdd": -1e308 })"),
                "/devices/0/vdd: expected a number from -100 to 100"},
        BadFile{"PeriodTiny", DEV(R"({ "family": "19", "serial": "000000000001", "i2c": { "hdc":
                       { "temperature": { "base": 21, "amplitude": 1, "period_s": 5e-324 } } } })"),
                "/devices/0/i2c/hdc/temperature/period_s: expected seconds from 0.001 to "
                "1000000000"},
        BadFile{"PeriodZero", DEV(R"({ "family": "28", "serial": "000000000001",
                       "temperature": { "base": 21, "period_s": 0 } })"),
                "/devices/0/temperature/period_s: expected seconds from 0.001 to 1000000000"},
        BadFile{"BaseHuge", DEV(R"({ "family": "19", "serial": "000000000001", "i2c": { "sht":
                       { "humidity": { "base": 1e308, "amplitude": 1 } } } })"),
                "/devices/0/i2c/sht/humidity: base and amplitude must keep the value from 0 to "
                "100"},
        BadFile{"BaseHugeNegative", DEV(R"({ "family": "19", "serial": "000000000001", "i2c": {
                       "hdc": { "temperature": { "base": -1e308, "amplitude": 0 } } } })"),
                "/devices/0/i2c/hdc/temperature: base and amplitude must keep the value from "
                "-273.15 to 1000"},
        BadFile{"SwingPastRange", DEV(R"({ "family": "19", "serial": "000000000001", "i2c": {
                       "bmp280": { "pressure": { "base": 100000, "amplitude": -1e308 } } } })"),
                "/devices/0/i2c/bmp280/pressure: base and amplitude must keep the value from 0 "
                "to 10000000"},
        BadFile{"CalibrationWordAboveInt64", DEV(R"({ "family": "19", "serial": "000000000001",
                       "i2c": { "bmp280": { "calibration": [27504, 18446744073709551615, -1000,
                       36477, -10685, 3024, 2855, 140, -7, 15500, -14600, 6000] } } })"),
                "/devices/0/i2c/bmp280/calibration: word 2 must be a whole number from -32768 "
                "to 32767"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(BusFile, DefaultsAndRomsAsWritten) {
  const BusSpec spec = ParseBusFile(
      R"({ "devices": [ { "family": "28", "serial": "0000012A3B4C" },
                        { "rom": "0000000000000020" } ] })",
      "bus.json");
  EXPECT_TRUE(spec.adapter_present);
  EXPECT_TRUE(spec.default_port);
  ASSERT_EQ(spec.devices.size(), 2U);
  EXPECT_EQ(onewire::RomText(spec.devices[0]->rom()), "220000012A3B4C28");
  // A code given by its text is taken as it stands, bad CRC included.
  EXPECT_EQ(onewire::RomText(spec.devices[1]->rom()), "0000000000000020");
  EXPECT_FALSE(onewire::RomCrcValid(spec.devices[1]->rom()));

  const BusSpec adapter =
      ParseBusFile(R"({ "adapter": { "present": false, "default_port": false } })", "a.json");
  EXPECT_FALSE(adapter.adapter_present);
  EXPECT_FALSE(adapter.default_port);
  EXPECT_TRUE(adapter.devices.empty());
}

TEST(BusFile, UnreadableFilesNameThemselves) {
  const std::string missing = "/nonexistent/orvel/bus.json";
  try {
    LoadBusFile(missing);
    FAIL();
  } catch (const BusFileError& e) {
    EXPECT_EQ(std::string(e.what()), missing + ": cannot be read");
  }
  const std::string folder = std::filesystem::temp_directory_path().string();
  try {
    LoadBusFile(folder);
    FAIL();
  } catch (const BusFileError& e) {
    EXPECT_EQ(std::string(e.what()), folder + ": is a folder");
  }
}

// The size is read with a cap, as a device file reports none and never
// ends; a file of exactly the cap still loads.
TEST(BusFile, FilesPastSixteenMebibytesAreRefused) {
  try {
    LoadBusFile("/dev/zero");
    FAIL();
  } catch (const BusFileError& e) {
    EXPECT_EQ(std::string(e.what()), "/dev/zero: larger than 16 MiB");
  }
  const auto path = std::filesystem::temp_directory_path() /
                    ("orvel-bus-cap-" + std::to_string(::getpid()) + ".json");
  std::string text = R"({ "devices": [ { "family": "28", "serial": "000000000001" } ] })";
  text.resize(kMaxBusFileBytes, ' ');
  std::ofstream(path, std::ios::binary) << text;
  EXPECT_EQ(LoadBusFile(path.string()).devices.size(), 1U);
  std::ofstream(path, std::ios::binary | std::ios::app) << "\n";
  try {
    LoadBusFile(path.string());
    ADD_FAILURE() << "a file one byte past the cap was accepted";
  } catch (const BusFileError& e) {
    EXPECT_EQ(std::string(e.what()), path.string() + ": larger than 16 MiB");
  }
  std::filesystem::remove(path);
}

// The example bus files must load: the demo and those of the scan tests.
TEST(BusFile, ScanExamplesLoad) {
  const char* dir = std::getenv("ORVEL_SOURCE_DIR");
  ASSERT_NE(dir, nullptr);
  for (const char* name : {"demo.json", "scan-three.json", "id-chip.json", "adapter-absent.json",
                           "no-default-port.json", "empty-bus.json"}) {
    const auto path = std::filesystem::path(dir) / "examples" / "buses" / name;
    EXPECT_NO_THROW(LoadBusFile(path.string())) << name;
  }
}

}  // namespace
}  // namespace orvel::sim
