#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "core/date_time.h"
#include "onewire/rom_code.h"

namespace orvel::onewire {

// One device of the last scan with everything the readers leave for the
// display and the journal. Fields keep the names the rest of the program
// uses; several are carried for completeness and written by nobody.
struct CurrentSens {
  std::array<std::int16_t, 10> ROM{};  // elements 0..7: the ROM code, one byte each
  std::string ROMS;                    // the ROM text, CRC first
  std::int32_t Family = 0;             // 0x10, 0x28, 0x26, 0x19, or 0 for anything else
  std::int32_t SubDev = 0;
  double Temperature = 0.0;
  double Hu = 0.0;
  double Pressure = 0.0;
  double Light = 0.0;
  double CO2 = 0.0;
  double CorrectTemp = 0.0;
  double CorrectHu = 0.0;
  double ShiftT = 0.0;
  std::int16_t MissionProgress = 0;
  double UpLimitT = 0.0;
  double DownLimitT = 0.0;
  double UpLimitH = 0.0;
  double DownLimitH = 0.0;
  double UpLimitP = 0.0;
  double DownLimitP = 0.0;
  double UpLimitL = 0.0;
  double DownLimitL = 0.0;
  double UpLimitCO2 = 0.0;
  double DownLimitCO2 = 0.0;
  std::int16_t AlarmSignaledT = 0;
  std::int16_t AlarmSignaledH = 0;
  std::int16_t AlarmSignaledP = 0;
  std::int16_t AlarmSignaledL = 0;
  std::int16_t PrecesionT = 0;
  std::int16_t PrecesionH = 0;
  std::int16_t PrecesionP = 0;
  std::int16_t PrecesionL = 0;
  std::int16_t FlagReadyValue = 0;
  core::DateTime lastWrLogDateTime = 0.0;  // the journal gate

  RomCode Rom() const {
    RomCode rom{};
    for (std::size_t i = 0; i < rom.size(); ++i) rom[i] = static_cast<std::uint8_t>(ROM[i]);
    return rom;
  }
};

inline constexpr int kSlotCount = 100;
using DeviceTable = std::array<CurrentSens, kSlotCount>;

}  // namespace orvel::onewire
