#include "drivers/linux_adapters.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include "core/virtual_clock.h"
#include "drivers/driver_choice.h"

namespace orvel::drivers {
namespace {

TEST(LinuxAdapters, AdapterSpecs) {
  struct Case {
    const char* text;
    bool ok;
    std::int16_t type, port;
    const char* path;
  };
  const Case cases[] = {
      {"ds2480b:/dev/ttyUSB0", true, 5, 1, "/dev/ttyUSB0"},
      {"ds2480b:/dev/ttyUSB3", true, 5, 4, "/dev/ttyUSB3"},
      {"ds2480b:/dev/pts/7", true, 5, 1, "/dev/pts/7"},
      {"ds9097e:/dev/ttyS0", true, 1, 1, "/dev/ttyS0"},
      {"ds2490", true, 6, 1, ""},
      {"ds2490:2", true, 6, 2, ""},
      {"ds2480b", false, 0, 0, ""},
      {"ds2480b:", false, 0, 0, ""},
      {"ds2490:0", false, 0, 0, ""},
      {"ds2490:x", false, 0, 0, ""},
      {"ds2490:2x", false, 0, 0, ""},
      {"parallel:1", false, 0, 0, ""},
      {"", false, 0, 0, ""},
  };
  for (const auto& c : cases) {
    std::string error;
    const auto spec = ParseAdapterSpec(c.text, &error);
    ASSERT_EQ(spec.has_value(), c.ok) << c.text;
    if (!c.ok) {
      EXPECT_FALSE(error.empty()) << c.text;
      continue;
    }
    EXPECT_EQ(spec->port_type, c.type) << c.text;
    EXPECT_EQ(spec->port_num, c.port) << c.text;
    EXPECT_EQ(spec->path, c.path) << c.text;
  }
}

TEST(LinuxAdapters, SettingsTabPortsAreTtyUsbDevices) {
  EXPECT_EQ(SerialPortPath(1), "/dev/ttyUSB0");
  EXPECT_EQ(SerialPortPath(12), "/dev/ttyUSB11");
  auto opener = LinuxMasterOpener(std::nullopt);
  std::int32_t error = 0;
  const auto master = opener(4, 5, &error);
  ASSERT_NE(master, nullptr);
  EXPECT_NE(master->Description().find("/dev/ttyUSB3"), std::string::npos);
  const auto usb = opener(2, 6, &error);
  ASSERT_NE(usb, nullptr);
  EXPECT_EQ(usb->Description(), "DS2490 USB 1-Wire adapter number 2");
  const auto passive = opener(2, 1, &error);
  ASSERT_NE(passive, nullptr);
  EXPECT_EQ(passive->Description(), "Passive serial 1-Wire adapter on /dev/ttyUSB1");
  // The named adapter's own device serves its port; others keep theirs.
  AdapterSpec named{5, 1, "/dev/pts/9"};
  auto named_opener = LinuxMasterOpener(named);
  EXPECT_NE(named_opener(1, 5, &error)->Description().find("/dev/pts/9"), std::string::npos);
  EXPECT_NE(named_opener(2, 5, &error)->Description().find("/dev/ttyUSB1"), std::string::npos);
}

TEST(LinuxAdapters, TypesWithoutADriverFailTheSessionStart) {
  core::VirtualClock clock;
  auto driver = OpenDriver(DriverChoice{std::nullopt, std::nullopt}, clock);
  auto& tmex = driver->tmex();
  std::int16_t port = 0, type = 0;
  EXPECT_LT(tmex.TMReadDefaultPort(&port, &type), 1);  // no default port on Linux
  for (std::int16_t t : {2, 3, 4}) EXPECT_LT(tmex.TMExtendedStartSession(1, t, nullptr), 0);
  // A serial adapter on a port with no device: a session, but no adapter.
  const auto h = tmex.TMExtendedStartSession(12, 5, nullptr);
  ASSERT_GT(h, 0);
  if (::access("/dev/ttyUSB11", F_OK) != 0) {
    EXPECT_EQ(tmex.TMSetup(h), 0);
  }
}

TEST(LinuxAdapters, NamedAdapterIsTheDefaultPort) {
  core::VirtualClock clock;
  auto driver = OpenDriver(DriverChoice{std::nullopt, std::string("ds2490:3")}, clock);
  std::int16_t port = 0, type = 0;
  EXPECT_EQ(driver->tmex().TMReadDefaultPort(&port, &type), 1);
  EXPECT_EQ(port, 3);
  EXPECT_EQ(type, 6);
  EXPECT_THROW(OpenDriver(DriverChoice{std::nullopt, std::string("ds2480b")}, clock),
               DriverChoiceError);
}

}  // namespace
}  // namespace orvel::drivers
