#pragma once

#include <cstdint>
#include <string>
#include <utility>

#include "measure/reading_feed.h"

namespace orvel::measure {

// Which of a bridge chip's values were read in this call.
struct ChipValues {
  bool temperature = false;
  bool humidity = false;
};

// The reader calls the measurement cycle makes, each writing into slot
// `slot` of the device table. The results tell the cycle which values are
// fresh, so that the journal never repeats an old reading as a new one.
class SensorReaders {
 public:
  virtual ~SensorReaders() = default;

  // True when a reading was accepted in this call (CorrectTemp is new).
  virtual bool ReadThermometer(std::int16_t slot) = 0;
  // Why the last ReadThermometer gave nothing, with a short reason.
  virtual std::pair<ReadState, std::string> ThermometerFailure() const {
    return {ReadState::ReadError, "no valid reading"};
  }
  // True when the humidity computation ran and wrote Hu (a value or a
  // fault code).
  virtual bool getValueHLT(std::int16_t slot) = 0;

  // Six serial bytes of the chip behind the bridge, all 0 when none answers.
  virtual void getSerial_HDC_THP(std::uint8_t* buf, std::int16_t slot) = 0;
  virtual void getSerial_SHT_TH(std::uint8_t* buf, std::int16_t slot) = 0;
  virtual void getSerial_STS_T(std::uint8_t* buf, std::int16_t slot) = 0;
  virtual ChipValues getValue_HDC_THP(std::int16_t slot) = 0;
  virtual ChipValues getValue_SHT_TH(std::int16_t slot) = 0;
  virtual ChipValues getValue_STS_T(std::int16_t slot) = 0;

  // Byte 0: the pressure sensor's identification byte (0x58 for a BMP280).
  virtual void getSerialP(std::uint8_t* buf, std::int16_t slot) = 0;
  // `humidity` stands for the pressure: a non-zero pressure stored in Hu.
  virtual ChipValues getValue_HDC_TP(std::int16_t slot) = 0;
};

// The two catalogue operations the cycle needs.
class CatalogCalls {
 public:
  virtual ~CatalogCalls() = default;
  // Puts the ROM code of a ROM text into the session's ROM buffer and makes
  // it the current device; a bad character throws.
  virtual void Hex2Rom(const std::string& text) = 0;
  // The closing Skip ROM broadcast.
  virtual void sendAllDevices() = 0;
};

}  // namespace orvel::measure
