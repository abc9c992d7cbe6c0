#pragma once

#include <cstdint>

#include "core/platform.h"
#include "onewire/bus_session.h"
#include "onewire/current_sens.h"

namespace orvel::sensors {

// n (the byte count) on success, -1..-5 on failure:
// -1 n outside 1..26, nothing sent; -2 driver error while sending the frame;
// -3 driver error while polling the busy bit; -4 still busy at the poll
// limit; -5 the bridge reported a failure in its status byte(s).
using BridgeResult = std::int32_t;

inline constexpr BridgeResult kBridgeBadCount = -1;
inline constexpr BridgeResult kBridgeSendFailed = -2;
inline constexpr BridgeResult kBridgePollFailed = -3;
inline constexpr BridgeResult kBridgeStillBusy = -4;
inline constexpr BridgeResult kBridgeBadStatus = -5;

// One I2C chip behind the bridge with its own limits.
struct BridgeTarget {
  std::uint8_t address;           // 7-bit I2C address
  std::int32_t write_poll_limit;  // busy-bit polls allowed after a write frame
  std::int32_t read_poll_limit;   // and after a read frame
  bool show_bad_status;           // a non-zero read status is shown to the user
};

inline constexpr BridgeTarget kHdcTarget{0x40, 60000, 600, false};
inline constexpr BridgeTarget kShtTarget{0x44, 60000, 600, false};
inline constexpr BridgeTarget kStsTarget{0x4A, 60000, 600, false};
inline constexpr BridgeTarget kPressureTarget{0x77, 6000, 600, true};

// The I2C transfers through a DS28E17 bridge. Each is one command frame, a
// bounded busy wait that lets the window process its messages, and the
// bridge's status. The bridge must have been addressed (TMStrongAccess)
// just before each call; no transfer resets the bus itself.
class BridgeTransfers {
 public:
  BridgeTransfers(onewire::BusSession& bus, onewire::DeviceTable& Asens, core::MessagePump& pump,
                  core::Dialogs& dialogs);

  // TMRom with the slot's ROM code, TMValidSession, TMStrongAccess: true
  // when all three succeed.
  bool SelectDevice(std::int16_t Indx);

  BridgeResult I2CReadHDC(std::uint8_t* buf, std::int32_t n) { return Read(kHdcTarget, buf, n); }
  BridgeResult I2CReadSHT(std::uint8_t* buf, std::int32_t n) { return Read(kShtTarget, buf, n); }
  BridgeResult I2CReadSTS(std::uint8_t* buf, std::int32_t n) { return Read(kStsTarget, buf, n); }
  BridgeResult I2CReadP(std::uint8_t* buf, std::int32_t n) { return Read(kPressureTarget, buf, n); }

  BridgeResult I2CWriteHDC(const std::uint8_t* data, std::int32_t n) {
    return Write(kHdcTarget, true, data, n);
  }
  BridgeResult I2CWriteSHT(const std::uint8_t* data, std::int32_t n) {
    return Write(kShtTarget, true, data, n);
  }
  BridgeResult I2CWriteSTS(const std::uint8_t* data, std::int32_t n) {
    return Write(kStsTarget, true, data, n);
  }
  // stop == 1 ends with a stop; anything else leaves the I2C bus claimed so
  // that the next read continues with a repeated start.
  BridgeResult I2CWriteP(const std::uint8_t* data, std::int32_t n, std::uint8_t stop) {
    return Write(kPressureTarget, stop == 1, data, n);
  }

  BridgeResult Read(const BridgeTarget& target, std::uint8_t* buf, std::int32_t n);
  BridgeResult Write(const BridgeTarget& target, bool stop, const std::uint8_t* data,
                     std::int32_t n);

 private:
  // -2 on the first byte the driver fails to send.
  BridgeResult SendFrame(const std::uint8_t* bytes, int size);
  // 0 once the busy bit reads 0, else -3 or -4.
  BridgeResult WaitNotBusy(std::int32_t poll_limit);

  onewire::BusSession& bus_;
  onewire::DeviceTable& Asens_;
  core::MessagePump& pump_;
  core::Dialogs& dialogs_;
};

}  // namespace orvel::sensors
