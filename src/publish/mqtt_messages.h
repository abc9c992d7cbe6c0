#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "measure/reading_feed.h"
#include "onewire/rom_code.h"

namespace orvel::publish {

// One message for the broker.
struct Message {
  std::string topic;
  std::string payload;
  bool retain = false;
};

// The ROM as other tools print it: the eight bytes in bus order, family
// first, as 16 upper-case hex digits (the program's own form reversed).
std::string FamilyFirstRom(const onewire::RomCode& rom);

// The chip a family code stands for ("DS18B20"), or "family 0xNN".
std::string SensorKind(std::int32_t family);

// "orvel/<station>/availability", with "online" and the last will "offline".
std::string AvailabilityTopic(const std::string& station);
inline constexpr const char* kOnline = "online";
inline constexpr const char* kOffline = "offline";

// orvel/<station>/<ROM>/<quantity> with {"value","unit","time","rom","rom_text","kind"}.
Message ReadingMessage(const std::string& station, const measure::Reading& reading,
                       std::int64_t utcMillis);

// "fresh", "failed" or "gone"; nullopt for a device not read yet.
std::optional<std::string> StateWord(measure::ReadState state);

// Retained orvel/<station>/<ROM>/state with {"state","time","reason"}; the
// reason is the cause's code ("fault_code", "read_error", ...), empty when
// fresh, with the text for people in "detail". nullopt when there is
// nothing to say yet.
std::optional<Message> StateMessage(const std::string& station, const measure::StateReport& report,
                                    std::int64_t utcMillis);

// Retained homeassistant/sensor/<unique>/config that makes one quantity of
// one sensor appear in Home Assistant with its unit and device class.
Message DiscoveryMessage(const std::string& station, const measure::DeviceId& device,
                         measure::Quantity quantity);

}  // namespace orvel::publish
