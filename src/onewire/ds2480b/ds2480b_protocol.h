#pragma once

#include <array>
#include <cstdint>
#include <optional>

#include "onewire/rom_code.h"

// The DS2480B serial protocol: command codes and the decoding of its reply
// bytes, as pure functions shared by the driver and the adapter model.
namespace orvel::onewire::ds2480b {

// Mode switches, sent as they are.
inline constexpr std::uint8_t kDataMode = 0xE1;     // command mode -> data mode
inline constexpr std::uint8_t kCommandMode = 0xE3;  // data mode -> command mode (twice: data 0xE3)
inline constexpr std::uint8_t kStopPulse = 0xF1;    // ends a strong pull-up early

// Communication commands at standard speed (bit 7 and bit 0 set).
inline constexpr std::uint8_t kReset = 0xC1;
inline constexpr std::uint8_t kSearchAccelOn = 0xB1;
inline constexpr std::uint8_t kSearchAccelOff = 0xA1;
inline constexpr std::uint8_t kPulse5VNow = 0xED;  // strong pull-up at once

// Configuration parameters (bits 6..4) and the values the driver uses.
enum class Param : std::uint8_t {
  kSlewRate = 1,        // pull-down slew rate
  kProgPulse = 2,       // 12 V programming pulse duration
  kPullupDuration = 3,  // strong pull-up duration
  kWrite1Low = 4,
  kSampleOffset = 5,
  kLoad = 6,
  kBaud = 7,
};
inline constexpr std::uint8_t kSlew1_37VPerUs = 3;
inline constexpr std::uint8_t kWrite1Low10us = 2;
inline constexpr std::uint8_t kSampleOffset8us = 5;
inline constexpr std::uint8_t kPullupInfinite = 7;  // until the host ends it
inline constexpr std::uint8_t kBaud9600 = 0;
inline constexpr std::uint8_t kBaud115200 = 3;

// Configuration command writing `value` (0..7) into `param`; its reply is
// the same byte with bit 0 cleared.
constexpr std::uint8_t WriteParam(Param param, std::uint8_t value) {
  return static_cast<std::uint8_t>(static_cast<std::uint8_t>(param) << 4 | (value & 7) << 1 | 1);
}
// Reading a parameter: the reply holds its value in bits 3..1.
constexpr std::uint8_t ReadParam(Param param) {
  return static_cast<std::uint8_t>(static_cast<std::uint8_t>(param) << 1 | 1);
}
constexpr std::uint8_t ExpectedWriteReply(std::uint8_t command) {
  return static_cast<std::uint8_t>(command & 0xFE);
}
// The value in a read-parameter reply, or nullopt if the reply is no such.
std::optional<std::uint8_t> DecodeReadParam(std::uint8_t reply);

// One time slot at standard speed; `pullup` starts the strong pull-up right
// after it. The reply echoes bits 7..2 and carries the bit read in 1..0.
constexpr std::uint8_t SingleBit(int bit, bool pullup = false) {
  return static_cast<std::uint8_t>(0x81 | (bit ? 0x10 : 0) | (pullup ? 0x02 : 0));
}
// The bit read, or nullopt if the reply does not belong to `command`.
std::optional<int> DecodeSingleBit(std::uint8_t command, std::uint8_t reply);

// The outcome of a reset as the adapter reports it in bits 1..0.
enum class ResetResult { kShorted, kPresence, kAlarmPresence, kNoPresence };
// Reset reply byte: 110 in bits 7..5, the chip revision in 4..2.
std::optional<ResetResult> DecodeReset(std::uint8_t reply);
std::uint8_t EncodeReset(ResetResult result);  // as the chip answers

// A strong pull-up ends with one reply byte carrying 111 in bits 7..5.
constexpr bool IsPulseReply(std::uint8_t reply) { return (reply & 0xE0) == 0xE0; }

// The search accelerator's 16-byte frames: for ROM bit n, bit 2n is the
// discrepancy flag and bit 2n+1 the path (sent: taken on a conflict;
// received: taken).
using AccelFrame = std::array<std::uint8_t, 16>;
AccelFrame EncodeSearchChoices(const RomCode& choices);
struct AccelResult {
  RomCode rom;
  std::uint64_t flags;  // discrepancy flags: a conflict, or nobody answered
  bool complete;        // false: the adapter ran out of answers
};
AccelResult DecodeSearchReply(const AccelFrame& reply);

}  // namespace orvel::onewire::ds2480b
