#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/date_time.h"
#include "onewire/current_sens.h"
#include "onewire/rom_code.h"

namespace orvel::measure {

// What a value measures; the journal's prefixes t_, h_, p_ and tp_.
enum class Quantity { Temperature, Humidity, Pressure, PressureSensorTemperature };

// "temperature", "humidity", "pressure", "pressure_sensor_temperature".
const char* QuantityName(Quantity q);
// "°C", "%", "kPa".
const char* QuantityUnit(Quantity q);

// Where a device stands after its last reading, for those who watch the bus
// from outside the window (publishers, the overview, the web page).
enum class ReadState {
  NotReadYet,    // listed by the scan, no reading finished yet
  Fresh,         // the last reading gave a value
  ReadError,     // CRC or transfer failure: no value this time
  PowerOnValue,  // the thermometer still held its power-on value
  Busy,          // the device did not finish its conversion in time
  FaultCode,     // the sensor answered with a fault code (humidity 0, 995..999)
  NoSensor,      // a bridge probe with no chip answering behind it
  Gone,          // no longer found by the scan
};

// "fresh", "not_read", "read_error", "power_on", "busy", "fault_code",
// "no_sensor", "gone".
const char* ReadStateName(ReadState s);

struct DeviceId {
  onewire::RomCode rom{};  // bus order: family first, CRC last
  std::string romText;     // the program's own form, CRC first
  std::int32_t family = 0;
};

DeviceId DeviceIdOf(const onewire::CurrentSens& sens);

// A fresh value, exactly as the journal takes it (fault codes and the
// no-sensor stand-ins never come as readings).
struct Reading {
  DeviceId device;
  Quantity quantity = Quantity::Temperature;
  double value = 0.0;
  core::DateTime time = 0.0;  // local time, as the journal's stamps
};

struct StateReport {
  DeviceId device;
  ReadState state = ReadState::NotReadYet;
  std::string reason;  // a short text for people; empty for Fresh
  core::DateTime time = 0.0;
};

// Told by the station as the bus is scanned and read, on the thread that
// polls: a listener must return quickly and never block on the network.
class ReadingFeed {
 public:
  virtual ~ReadingFeed() = default;
  // After every scan that found the adapter: the devices now on the bus;
  // any device not listed has left (it gets a Gone state report too).
  virtual void OnScan(const std::vector<DeviceId>& present, core::DateTime time) = 0;
  virtual void OnReading(const Reading& reading) = 0;
  virtual void OnState(const StateReport& report) = 0;
  // After every poll, whatever it found.
  virtual void OnPollDone(core::DateTime /*time*/) {}
  // A scan that could not reach the adapter; `text` is the status shown.
  virtual void OnAdapterError(const std::string& /*text*/, core::DateTime /*time*/) {}
};

// Hands every event to each listener added, in the order they were added.
class ReadingFanOut final : public ReadingFeed {
 public:
  void Add(ReadingFeed& listener) { listeners_.push_back(&listener); }
  bool empty() const { return listeners_.empty(); }

  void OnScan(const std::vector<DeviceId>& present, core::DateTime time) override {
    for (ReadingFeed* l : listeners_) l->OnScan(present, time);
  }
  void OnReading(const Reading& reading) override {
    for (ReadingFeed* l : listeners_) l->OnReading(reading);
  }
  void OnState(const StateReport& report) override {
    for (ReadingFeed* l : listeners_) l->OnState(report);
  }
  void OnPollDone(core::DateTime time) override {
    for (ReadingFeed* l : listeners_) l->OnPollDone(time);
  }
  void OnAdapterError(const std::string& text, core::DateTime time) override {
    for (ReadingFeed* l : listeners_) l->OnAdapterError(text, time);
  }

 private:
  std::vector<ReadingFeed*> listeners_;
};

}  // namespace orvel::measure
