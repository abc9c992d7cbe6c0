#pragma once

#include <cstdint>

// The library's exported operations as the program calls them: 16-bit
// results, a 32-bit session handle, and the Windows API calling convention
// (stdcall on 32-bit x86, the one convention on 64-bit). The stand-in
// library exports the same.
#if defined(_WIN32) && !defined(_WIN64)
#define ORVEL_TMEX_CALL __stdcall
#else
#define ORVEL_TMEX_CALL
#endif

namespace orvel::onewire::tmex_api {

using TMReadDefaultPort = std::int16_t(ORVEL_TMEX_CALL*)(std::int16_t*, std::int16_t*);
using Get_Version = std::int16_t(ORVEL_TMEX_CALL*)(char*);
using TMGetTypeVersion = std::int16_t(ORVEL_TMEX_CALL*)(std::int16_t, char*);
using TMExtendedStartSession = std::int32_t(ORVEL_TMEX_CALL*)(std::int16_t, std::int16_t, void*);
using HandleOnly = std::int16_t(ORVEL_TMEX_CALL*)(std::int32_t);
using HandleState = std::int16_t(ORVEL_TMEX_CALL*)(std::int32_t, void*);
using TMRom = std::int16_t(ORVEL_TMEX_CALL*)(std::int32_t, void*, std::int16_t*);
using HandleValue = std::int16_t(ORVEL_TMEX_CALL*)(std::int32_t, std::int16_t);
using TMOneWireLevel = std::int16_t(ORVEL_TMEX_CALL*)(std::int32_t, std::int16_t, std::int16_t,
                                                      std::int16_t);
using TMCRC = std::uint16_t(ORVEL_TMEX_CALL*)(std::int16_t, std::uint8_t*, std::uint16_t,
                                              std::int16_t);

}  // namespace orvel::onewire::tmex_api
