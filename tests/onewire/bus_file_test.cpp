#include "onewire/sim/bus_file.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "onewire/rom_code.h"

namespace orvel::sim {
namespace {

struct BadFile {
  const char* name;
  const char* text;
  const char* message;  // the whole message after "bus.json: "
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
                "value - unexpected end of input; expected '[', '{', or a literal)"}),
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
