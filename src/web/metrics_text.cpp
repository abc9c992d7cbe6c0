#include "web/metrics_text.h"

#include <charconv>
#include <cmath>
#include <ctime>

namespace orvel::web {
namespace {

using measure::ReadState;

// Whatever the process locale says, the exposition wants a full stop.
std::string Number(double v) {
  if (std::isnan(v)) return "NaN";
  if (std::isinf(v)) return v > 0 ? "+Inf" : "-Inf";
  char buf[32];
  const auto r = std::to_chars(buf, buf + sizeof buf, v);
  return std::string(buf, r.ptr);
}

std::string Label(const std::string& v) {
  std::string out;
  for (char c : v) {
    if (c == '\\' || c == '"') {
      out += '\\';
      out += c;
    } else if (c == '\n') {
      out += "\\n";
    } else {
      out += c;
    }
  }
  return out;
}

void Header(std::string& out, const char* name, const char* type, const char* help) {
  out += "# HELP ";
  out += name;
  out += ' ';
  out += help;
  out += "\n# TYPE ";
  out += name;
  out += ' ';
  out += type;
  out += '\n';
}

std::string FamilyHex(std::int32_t family) {
  const char* hex = "0123456789ABCDEF";
  return {hex[(family >> 4) & 0xF], hex[family & 0xF]};
}

std::string DeviceLabels(const std::string& station, const board::BoardRow& row) {
  return "station=\"" + Label(station) + "\",rom=\"" + row.familyFirst + "\",family=\"" +
         FamilyHex(row.device.rom[0]) + "\"";
}

}  // namespace

double UnixSeconds(core::DateTime localTime) {
  const core::CivilTime c = core::DecodeDateTime(localTime);
  std::tm tm{};
  tm.tm_year = c.year - 1900;
  tm.tm_mon = c.month - 1;
  tm.tm_mday = c.day;
  tm.tm_hour = c.hour;
  tm.tm_min = c.minute;
  tm.tm_sec = c.second;
  tm.tm_isdst = -1;
  return static_cast<double>(std::mktime(&tm)) + c.millisecond / 1000.0;
}

std::string MetricsText(const std::string& station, const std::vector<board::BoardRow>& rows,
                        const board::CounterValues& counters, const board::MqttCounts& mqtt) {
  std::string out;
  Header(out, "orvel_sensor_value", "gauge",
         "Last fresh value of a sensor quantity (degrees Celsius, percent RH, kPa).");
  for (const board::BoardRow& row : rows) {
    for (const board::BoardValue& v : row.values) {
      if (!v.current) continue;
      out += "orvel_sensor_value{" + DeviceLabels(station, row) + ",quantity=\"" +
             measure::QuantityName(v.quantity) + "\"} " + Number(v.value) + '\n';
    }
  }
  Header(out, "orvel_sensor_last_fresh_timestamp_seconds", "gauge",
         "When a sensor quantity last gave a fresh value (Unix time).");
  for (const board::BoardRow& row : rows) {
    for (const board::BoardValue& v : row.values) {
      out += "orvel_sensor_last_fresh_timestamp_seconds{" + DeviceLabels(station, row) +
             ",quantity=\"" + measure::QuantityName(v.quantity) + "\"} " +
             Number(UnixSeconds(v.time)) + '\n';
    }
  }
  Header(out, "orvel_sensor_fresh", "gauge",
         "1 while a device's last reading was fresh, 0 otherwise (see the state label).");
  for (const board::BoardRow& row : rows) {
    out += "orvel_sensor_fresh{" + DeviceLabels(station, row) + ",state=\"" +
           measure::ReadStateName(row.state) + "\"} " +
           (row.state == ReadState::Fresh ? "1" : "0") + '\n';
  }

  const std::string st = "station=\"" + Label(station) + "\"";
  auto counter = [&](const char* name, const char* help, std::uint64_t value) {
    Header(out, name, "counter", help);
    out += std::string(name) + "{" + st + "} " + std::to_string(value) + '\n';
  };
  counter("orvel_polls_total", "Polls run.", counters.polls);
  counter("orvel_scans_total", "Bus scans that reached the adapter.", counters.scans);
  counter("orvel_adapter_errors_total", "Scans that could not reach the adapter.",
          counters.adapterErrors);
  Header(out, "orvel_failed_readings_total", "counter", "Readings that gave no value, by cause.");
  for (ReadState s : {ReadState::ReadError, ReadState::PowerOnValue, ReadState::Busy,
                      ReadState::FaultCode, ReadState::NoSensor}) {
    out += "orvel_failed_readings_total{" + st + ",cause=\"" + measure::ReadStateName(s) + "\"} " +
           std::to_string(counters.failed[static_cast<std::size_t>(s)]) + '\n';
  }
  counter("orvel_mqtt_messages_queued_total", "MQTT messages queued for the broker.", mqtt.queued);
  counter("orvel_mqtt_messages_sent_total", "MQTT messages the broker acknowledged.", mqtt.sent);
  counter("orvel_mqtt_messages_dropped_total", "MQTT messages dropped from a full queue.",
          mqtt.dropped);
  return out;
}

}  // namespace orvel::web
