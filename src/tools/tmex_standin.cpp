// A stand-in for the vendor's 1-Wire driver library, built from the
// simulated bus: the same exported operations, names and calling
// convention, so that the Windows build's run-time loading path can be run
// where no adapter (or no vendor library) is at hand, Wine included. The
// bus comes from the file named by ORVEL_STANDIN_BUS, else a small built-in
// one. It has a file name of its own and exports one more operation that
// marks it, so the program never takes it for the vendor's driver.
#include <cstdlib>
#include <memory>

#include "core/real_clock.h"
#include "onewire/sim/bus_file.h"
#include "onewire/sim/json_reader.h"
#include "onewire/sim/simulated_driver.h"
#include "onewire/tmexdll/tmex_api.h"

namespace {

using namespace orvel;

const char* kBuiltInBus = R"({
  "devices": [
    { "family": "28", "serial": "0000012A3B4C", "temperature": 23.5 },
    { "family": "10", "serial": "000801A2B3C4", "temperature": -10.25, "parasite": true },
    { "family": "26", "serial": "000000A1B2C3", "temperature": 24.0, "vdd": 5.0, "rh": 45.0 },
    { "family": "19", "serial": "0000001D2E40",
      "i2c": { "sht": { "temperature": 19.0, "humidity": 55.0, "serial": "1A2B3C4D" } } }
  ]
})";

// The library is one driver for the whole process, as the vendor's is.
onewire::Tmex& Driver() {
  static core::RealClock clock;
  static sim::SimulatedDriver driver = [] {
    const char* file = std::getenv("ORVEL_STANDIN_BUS");
    try {
      if (file != nullptr && *file != '\0')
        return sim::SimulatedDriver(clock, sim::LoadBusFile(file));
    } catch (const sim::BusFileError&) {
      // A bad file leaves the built-in bus; the program shows what it finds.
    }
    return sim::SimulatedDriver(clock, sim::ParseBusFile(kBuiltInBus, "built-in bus"));
  }();
  return driver.tmex();
}

}  // namespace

#define ORVEL_EXPORT extern "C" __declspec(dllexport)

ORVEL_EXPORT std::int16_t ORVEL_TMEX_CALL TMReadDefaultPort(std::int16_t* n, std::int16_t* t) {
  return Driver().TMReadDefaultPort(n, t);
}
ORVEL_EXPORT std::int16_t ORVEL_TMEX_CALL Get_Version(char* buf) {
  return Driver().Get_Version(buf);
}
ORVEL_EXPORT std::int16_t ORVEL_TMEX_CALL TMGetTypeVersion(std::int16_t t, char* buf) {
  return Driver().TMGetTypeVersion(t, buf);
}
ORVEL_EXPORT std::int32_t ORVEL_TMEX_CALL TMExtendedStartSession(std::int16_t n, std::int16_t t,
                                                                 void* r) {
  return Driver().TMExtendedStartSession(n, t, r);
}
ORVEL_EXPORT std::int16_t ORVEL_TMEX_CALL TMSetup(std::int32_t h) { return Driver().TMSetup(h); }
ORVEL_EXPORT std::int16_t ORVEL_TMEX_CALL TMValidSession(std::int32_t h) {
  return Driver().TMValidSession(h);
}
ORVEL_EXPORT std::int16_t ORVEL_TMEX_CALL TMEndSession(std::int32_t h) {
  return Driver().TMEndSession(h);
}
ORVEL_EXPORT std::int16_t ORVEL_TMEX_CALL TMClose(std::int32_t h) { return Driver().TMClose(h); }
ORVEL_EXPORT std::int16_t ORVEL_TMEX_CALL TMTouchReset(std::int32_t h) {
  return Driver().TMTouchReset(h);
}
ORVEL_EXPORT std::int16_t ORVEL_TMEX_CALL TMFirst(std::int32_t h, void* s) {
  return Driver().TMFirst(h, s);
}
ORVEL_EXPORT std::int16_t ORVEL_TMEX_CALL TMNext(std::int32_t h, void* s) {
  return Driver().TMNext(h, s);
}
ORVEL_EXPORT std::int16_t ORVEL_TMEX_CALL TMRom(std::int32_t h, void* s, std::int16_t* rom) {
  return Driver().TMRom(h, s, rom);
}
ORVEL_EXPORT std::int16_t ORVEL_TMEX_CALL TMAccess(std::int32_t h, void* s) {
  return Driver().TMAccess(h, s);
}
ORVEL_EXPORT std::int16_t ORVEL_TMEX_CALL TMStrongAccess(std::int32_t h, void* s) {
  return Driver().TMStrongAccess(h, s);
}
ORVEL_EXPORT std::int16_t ORVEL_TMEX_CALL TMTouchByte(std::int32_t h, std::int16_t b) {
  return Driver().TMTouchByte(h, b);
}
ORVEL_EXPORT std::int16_t ORVEL_TMEX_CALL TMTouchBit(std::int32_t h, std::int16_t b) {
  return Driver().TMTouchBit(h, b);
}
ORVEL_EXPORT std::int16_t ORVEL_TMEX_CALL TMOneWireLevel(std::int32_t h, std::int16_t o,
                                                         std::int16_t l, std::int16_t p) {
  return Driver().TMOneWireLevel(h, o, l, p);
}
ORVEL_EXPORT std::uint16_t ORVEL_TMEX_CALL TMCRC(std::int16_t n, std::uint8_t* buf,
                                                 std::uint16_t seed, std::int16_t type) {
  return Driver().TMCRC(n, buf, seed, type);
}

// The mark of the stand-in: the vendor's library has no such export.
ORVEL_EXPORT std::int32_t ORVEL_TMEX_CALL OrvelSimulatedBus() { return 1; }
