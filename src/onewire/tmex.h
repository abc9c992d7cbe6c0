#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace orvel::onewire {

// The driver state buffer: opaque to the program, the driver keeps its
// search state and current device in it.
inline constexpr std::size_t kStateBufSize = 30242;
using StateBuffer = std::array<std::uint8_t, kStateBufSize>;

// Get_Version and TMGetTypeVersion fill buffers of this size.
inline constexpr std::size_t kVersionBufSize = 402;

// TMOneWireLevel arguments.
inline constexpr std::int16_t kLevelRead = 0;
inline constexpr std::int16_t kLevelSet = 1;
inline constexpr std::int16_t kLevelNormal = 0;
inline constexpr std::int16_t kLevelStrongPullup = 1;
inline constexpr std::int16_t kPrimeNow = 0;
inline constexpr std::int16_t kPrimeAfterBit = 1;
inline constexpr std::int16_t kPrimeAfterByte = 2;

// The 1-Wire driver operations the program calls, with the signed 16-bit
// results it tests (above 0 is success unless an operation says otherwise)
// and the 32-bit session handle. ROM buffers are arrays of 16-bit elements
// holding one byte each, family code in element 0.
class Tmex {
 public:
  virtual ~Tmex() = default;

  // 1 or more when a default port is configured; both outputs then hold it.
  virtual std::int16_t TMReadDefaultPort(std::int16_t* port_num, std::int16_t* port_type) = 0;
  virtual std::int16_t Get_Version(char* buf /* kVersionBufSize */) = 0;
  virtual std::int16_t TMGetTypeVersion(std::int16_t port_type, char* buf) = 0;

  // Above 0: a usable handle; below 0: driver error; 0: no handle, no error.
  virtual std::int32_t TMExtendedStartSession(std::int16_t port_num, std::int16_t port_type,
                                              void* reserved) = 0;
  // 1 or 2: adapter present and bus ready.
  virtual std::int16_t TMSetup(std::int32_t handle) = 0;
  virtual std::int16_t TMValidSession(std::int32_t handle) = 0;
  virtual std::int16_t TMEndSession(std::int32_t handle) = 0;
  virtual std::int16_t TMClose(std::int32_t handle) = 0;

  virtual std::int16_t TMTouchReset(std::int32_t handle) = 0;
  virtual std::int16_t TMFirst(std::int32_t handle, void* state) = 0;
  virtual std::int16_t TMNext(std::int32_t handle, void* state) = 0;
  // rom[0] == 0: rom[0..7] receive the current device's code; otherwise the
  // code in rom[0..7] becomes the current device.
  virtual std::int16_t TMRom(std::int32_t handle, void* state, std::int16_t* rom) = 0;
  virtual std::int16_t TMAccess(std::int32_t handle, void* state) = 0;
  virtual std::int16_t TMStrongAccess(std::int32_t handle, void* state) = 0;

  // Send a byte, return the byte read meanwhile (0xFF reads).
  virtual std::int16_t TMTouchByte(std::int32_t handle, std::int16_t byte) = 0;
  // One time slot; the bit read, below 0 on error.
  virtual std::int16_t TMTouchBit(std::int32_t handle, std::int16_t bit) = 0;
  virtual std::int16_t TMOneWireLevel(std::int32_t handle, std::int16_t operation,
                                      std::int16_t level_mode, std::int16_t prime) = 0;

  // Type 0: the 1-Wire CRC-8 of len bytes from seed; type 1: CRC-16.
  virtual std::uint16_t TMCRC(std::int16_t len, const std::uint8_t* buf, std::uint16_t seed,
                              std::int16_t type);
};

}  // namespace orvel::onewire
