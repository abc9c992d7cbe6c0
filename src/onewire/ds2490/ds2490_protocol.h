#pragma once

#include <cstdint>

// The DS2490's USB commands: request numbers, command codes with their
// flag bits, mode settings, and the layout of its status packet.
namespace orvel::onewire::ds2490 {

inline constexpr std::uint16_t kVendorId = 0x04FA;
inline constexpr std::uint16_t kProductId = 0x2490;
inline constexpr std::uint8_t kEpStatus = 0x81;  // interrupt in
inline constexpr std::uint8_t kEpDataOut = 0x02;
inline constexpr std::uint8_t kEpDataIn = 0x83;

// bRequest of the vendor control transfers.
inline constexpr std::uint8_t kControlCmd = 0x00;
inline constexpr std::uint8_t kCommCmd = 0x01;
inline constexpr std::uint8_t kModeCmd = 0x02;

// Control commands (wValue of kControlCmd).
inline constexpr std::uint16_t kCtlResetDevice = 0x0000;
inline constexpr std::uint16_t kCtlResumeExe = 0x0002;
inline constexpr std::uint16_t kCtlHaltExeIdle = 0x0003;
inline constexpr std::uint16_t kCtlFlushCommCmds = 0x0007;
inline constexpr std::uint16_t kCtlFlushRcvBuffer = 0x0008;
inline constexpr std::uint16_t kCtlFlushXmtBuffer = 0x0009;

// Mode settings (wValue of kModeCmd; the setting in wIndex).
inline constexpr std::uint16_t kModPulseEnable = 0x0000;
inline constexpr std::uint16_t kModSpeedChangeEnable = 0x0001;
inline constexpr std::uint16_t kMod1WireSpeed = 0x0002;
inline constexpr std::uint16_t kModStrongPullupDuration = 0x0003;
inline constexpr std::uint16_t kPulseEnableStrongPullup = 0x0001;

// Communication commands (wValue of kCommCmd) and their flag bits.
inline constexpr std::uint16_t kCommBitIo = 0x0020;
inline constexpr std::uint16_t kCommPulse = 0x0030;
inline constexpr std::uint16_t kCommReset = 0x0042;
inline constexpr std::uint16_t kCommByteIo = 0x0052;
inline constexpr std::uint16_t kCommBlockIo = 0x0074;
inline constexpr std::uint16_t kCommSearchAccess = 0x00F4;
inline constexpr std::uint16_t kFlagImmediate = 0x0001;          // IM: run at once
inline constexpr std::uint16_t kFlagData = 0x0008;               // D: the bit to write (bit I/O)
inline constexpr std::uint16_t kFlagSearchMode = 0x0008;         // SM: search only, no access
inline constexpr std::uint16_t kFlagReset = 0x0100;              // RST: reset first
inline constexpr std::uint16_t kFlagClearOnError = 0x0800;       // F
inline constexpr std::uint16_t kFlagStrongPullup = 0x1000;       // SPU after the command
inline constexpr std::uint16_t kFlagReturnDiscrepancy = 0x4000;  // RTS (search)

// Status packet: byte 8 holds the state flags, byte 11 the number of
// commands not yet done; result bytes follow byte 15.
inline constexpr int kStatusLength = 16;
inline constexpr int kStatusFlagsAt = 8;
inline constexpr int kCommBufferAt = 11;
inline constexpr std::uint8_t kStatusStrongPullup = 0x01;
inline constexpr std::uint8_t kStatusIdle = 0x20;
// Result byte flags.
inline constexpr std::uint8_t kResultDeviceDetect = 0xA5;  // a device was attached: not an error
inline constexpr std::uint8_t kResultNoPresence = 0x01;
inline constexpr std::uint8_t kResultShort = 0x02;
inline constexpr std::uint8_t kResultEndOfSearch = 0x80;

// Strong pull-up duration unit and the longest one a mode setting takes.
inline constexpr int kPullupUnitMs = 16;
inline constexpr std::uint16_t kPullupLongest = 0xFF;

}  // namespace orvel::onewire::ds2490
