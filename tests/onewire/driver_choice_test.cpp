#include "drivers/driver_choice.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "core/virtual_clock.h"

namespace orvel::drivers {
namespace {

std::string ExamplePath(const char* name) {
  const char* dir = std::getenv("ORVEL_SOURCE_DIR");
  return (std::filesystem::path(dir ? dir : ".") / "examples" / "buses" / name).string();
}

TEST(DriverChoice, ABusFileGivesItsSimulatedBus) {
  core::VirtualClock clock;
  const auto driver = OpenDriver({ExamplePath("scan-three.json"), std::nullopt}, clock);
  ASSERT_NE(driver->simulated_bus(), nullptr);
  EXPECT_EQ(driver->simulated_bus()->DeviceCount(), 3U);
  std::int16_t port = 0;
  std::int16_t type = 0;
  EXPECT_EQ(driver->tmex().TMReadDefaultPort(&port, &type), 1);
  EXPECT_EQ(port, 1);
  EXPECT_EQ(type, 6);
}

TEST(DriverChoice, ABadBusFileBecomesAChoiceErrorWithTheSameMessage) {
  core::VirtualClock clock;
  const std::string missing = "/nonexistent/bus.json";
  try {
    OpenDriver({missing, std::nullopt}, clock);
    FAIL();
  } catch (const DriverChoiceError& e) {
    EXPECT_EQ(std::string(e.what()), missing + ": cannot be read");
  }
  EXPECT_THROW(OpenDriver({ExamplePath("scan-three.json"), "ds2490"}, clock), DriverChoiceError);
}

}  // namespace
}  // namespace orvel::drivers
